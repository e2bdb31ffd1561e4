#include "memory/TFormIntvProperty.h"

#include "imaging/Bitmap.h"
#include "resources/MessageTable.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QString c(const char *japanese)
{
    return MessageTable::caption(QString::fromUtf8(japanese));
}

QLabel *panel(QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setMinimumWidth(90);
    return l;
}

} // namespace

TFormIntvProperty::TFormIntvProperty(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFormIntvProperty"));
    setWindowTitle(c("プロパティ"));
    auto *top = new QHBoxLayout;
    ImageIcon = new QLabel(this);
    ImageIcon->setObjectName(QStringLiteral("ImageIcon"));
    ImageIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ImageIcon->setFixedSize(112 + 4, 84 + 4);
    ImageIcon->setAlignment(Qt::AlignCenter);
    top->addWidget(ImageIcon);
    auto *facts = new QFormLayout;
    PanelType = panel(this);
    PanelType->setObjectName(QStringLiteral("PanelType"));
    PanelFrame = panel(this);
    PanelFrame->setObjectName(QStringLiteral("PanelFrame"));
    facts->addRow(QStringLiteral("Type"), PanelType);
    facts->addRow(QStringLiteral("Frame"), PanelFrame);
    top->addLayout(facts);

    auto *mode = new QGroupBox(QStringLiteral("Mode"), this);
    auto *modeLayout = new QVBoxLayout(mode);
    RButtonMovieRepeat = new QRadioButton(QStringLiteral("Repeat"), mode);
    RButtonMovieOnce = new QRadioButton(QStringLiteral("Once"), mode);
    modeLayout->addWidget(RButtonMovieRepeat);
    modeLayout->addWidget(RButtonMovieOnce);
    auto *direction = new QGroupBox(QStringLiteral("Direction"), this);
    auto *directionLayout = new QVBoxLayout(direction);
    RButtonMovieNormal = new QRadioButton(QStringLiteral("Normal"), direction);
    RButtonMovieReverse = new QRadioButton(QStringLiteral("Reverse"), direction);
    directionLayout->addWidget(RButtonMovieNormal);
    directionLayout->addWidget(RButtonMovieReverse);
    for (QRadioButton *b :
         {RButtonMovieRepeat, RButtonMovieOnce, RButtonMovieNormal, RButtonMovieReverse})
        b->setEnabled(false);
    auto *groups = new QHBoxLayout;
    groups->addWidget(mode);
    groups->addWidget(direction);

    auto *intervalBox = new QGroupBox(this);
    auto *intervalLayout = new QHBoxLayout(intervalBox);
    intervalLayout->addWidget(new QLabel(QStringLiteral("Interval"), intervalBox));
    EditMovieInterval = new QLineEdit(QStringLiteral("0"), intervalBox);
    EditMovieInterval->setObjectName(QStringLiteral("EditMovieInterval"));
    EditMovieInterval->setMaximumWidth(50);
    UpDownMovieInterval = new QSpinBox(intervalBox);
    UpDownMovieInterval->setRange(0, 255);
    UpDownMovieInterval->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    UpDownMovieInterval->setFixedWidth(20);
    UpDownMovieInterval->setStyleSheet(QStringLiteral("QSpinBox { color: transparent; }"));
    intervalLayout->addWidget(EditMovieInterval);
    intervalLayout->addWidget(UpDownMovieInterval);
    intervalLayout->addWidget(new QLabel(QStringLiteral("frame"), intervalBox));
    intervalLayout->addStretch();
    connect(UpDownMovieInterval, &QSpinBox::valueChanged, this,
            [this](int v) { EditMovieInterval->setText(QString::number(v)); });
    connect(EditMovieInterval, &QLineEdit::editingFinished, this,
            &TFormIntvProperty::EditMovieIntervalExit);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ButtonOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("ButtonCancel"));
    buttons->button(QDialogButtonBox::Cancel)->setText(c("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        EditMovieIntervalExit();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(groups);
    layout->addWidget(intervalBox);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFormIntvProperty::preset(const TitleAttributes &header, const Bitmap &icon, bool aspect16x9)
{
    const int h = aspect16x9 ? 63 : 84;
    ImageIcon->setFixedSize(112 + 4, h + 4);
    QPixmap picture(112, h);
    picture.fill(palette().window().color());
    if (!icon.isNull()) {
        const QImage image(icon.bits(), icon.width(), icon.height(), icon.bytesPerLine(),
                           icon.bitsPerPixel() == 24 ? QImage::Format_BGR888
                                                     : QImage::Format_RGB32);
        // A 16:9 icon is the band of the 4:3 frame that holds the picture.
        const QImage shown =
            aspect16x9 && image.height() == 84 ? image.copy(0, 10, 112, h) : image.scaled(112, h);
        picture = QPixmap::fromImage(shown);
    }
    ImageIcon->setPixmap(picture);
    PanelType->setText(header.kind() == TitleKind::Still ? MessageTable::text(42)
                                                         : MessageTable::text(43));
    PanelFrame->setText(QString::number(header.frameCount()));
    const ClipProperties p = ClipProperties::fromHeader(header);
    RButtonMovieRepeat->setChecked(p.repeat);
    RButtonMovieOnce->setChecked(!p.repeat);
    RButtonMovieReverse->setChecked(p.reverse);
    RButtonMovieNormal->setChecked(!p.reverse);
    EditMovieInterval->setText(QString::number(p.interval));
    const QSignalBlocker block(UpDownMovieInterval);
    UpDownMovieInterval->setValue(p.interval);
}

void TFormIntvProperty::EditMovieIntervalExit()
{
    const int v = ClipProperties::intervalFromText(EditMovieInterval->text());
    EditMovieInterval->setText(QString::number(v));
    const QSignalBlocker block(UpDownMovieInterval);
    UpDownMovieInterval->setValue(v);
}

ClipProperties TFormIntvProperty::properties() const
{
    ClipProperties p;
    p.repeat = RButtonMovieRepeat->isChecked();
    p.reverse = RButtonMovieReverse->isChecked();
    p.interval = ClipProperties::intervalFromText(EditMovieInterval->text());
    return p;
}
