#include "imaging/TFormTitleType.h"

#include "imaging/LoadImageFile.h"
#include "imaging/TitleTypeRules.h"
#include "resources/MessageTable.h"
#include "ui_TFormTitleType.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>

namespace {
constexpr int kHelpTopic = 10060;
constexpr int kPreviewWidth = 112;
constexpr int kPreviewHeight = 84;
} // namespace

TFormTitleType::TFormTitleType(const TitleTypeQuestion &question, ImageLibrary &images,
                               MessageBoxes &boxes, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TFormTitleType>()), m_question(question),
      m_images(images), m_boxes(boxes)
{
    ui->setupUi(this);
    setWindowTitle(MessageTable::caption(windowTitle()));
    for (QWidget *w :
         {static_cast<QWidget *>(ui->LabelFrame), static_cast<QWidget *>(ui->LabelIcon)})
        if (auto *l = qobject_cast<QLabel *>(w))
            l->setText(MessageTable::caption(l->text()));
    ui->ButtonCancel->setText(MessageTable::caption(ui->ButtonCancel->text()));
    ui->ButtonHelp->setText(MessageTable::caption(ui->ButtonHelp->text()));
    ui->UpDownFrame->edit()->setObjectName(QStringLiteral("EditFrame"));
    ui->UpDownIcon->edit()->setObjectName(QStringLiteral("EditIcon"));

    // 1. The frame counter: every file found, capped below fps x 60.
    const int frameMax =
        TitleTypeRules::frameMaximum(int(m_question.fileList.size()), m_question.framesPerSecond);
    ui->UpDownFrame->setRange(1, std::max(1, frameMax));
    ui->UpDownFrame->setValue(ui->UpDownFrame->maximum());
    ui->UpDownFrame->setRule([this](const QString &text) {
        return TitleTypeRules::correctedFrameCount(text, ui->UpDownFrame->maximum());
    });
    // 2. The icon counter follows the frame count; it starts at 1.
    ui->UpDownIcon->setRange(1, ui->UpDownFrame->maximum());
    ui->UpDownIcon->setValue(1);
    ui->UpDownIcon->setRule([this](const QString &text) {
        return TitleTypeRules::correctedIconFrame(text, ui->UpDownIcon->maximum());
    });
    // 3. The kinds the picture's size allows; the first is selected.
    for (TitleTypeKind kind : TitleTypeRules::kindsForVariant(m_question.variant))
        ui->CBoxType->addItem(TitleTypeRules::kindText(kind));
    ui->CBoxType->setCurrentIndex(0);
    // 4. The preview starts empty in the panel's colour.
    QPixmap empty(kPreviewWidth, kPreviewHeight);
    empty.fill(ui->PanelIcon->palette().color(QPalette::Window));
    ui->ImageIcon->setPixmap(empty);

    connect(ui->UpDownFrame, &QSpinBox::valueChanged, this, &TFormTitleType::EditFrameChange);
    connect(ui->UpDownIcon, &QSpinBox::valueChanged, this, &TFormTitleType::EditIconChange);
    connect(ui->CBoxType, &QComboBox::currentIndexChanged, this, &TFormTitleType::CBoxTypeChange);
    connect(ui->ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->ButtonHelp, &QPushButton::clicked, this, &TFormTitleType::ButtonHelpClick);
    CBoxTypeChange();
    showPreview(ui->UpDownIcon->value());
}

TFormTitleType::~TFormTitleType() = default;

int TFormTitleType::frameMaximum() const
{
    return ui->UpDownFrame->maximum();
}

int TFormTitleType::iconMaximum() const
{
    return ui->UpDownIcon->maximum();
}

TitleTypeAnswer TFormTitleType::answer() const
{
    TitleTypeAnswer a;
    a.kind = currentKind();
    a.frameCount = ui->UpDownFrame->value();
    a.iconFrame = ui->UpDownIcon->value();
    return a;
}

void TFormTitleType::EditFrameChange()
{
    // Lowering the icon maximum lowers an icon number above it.
    ui->UpDownIcon->setMaximum(ui->UpDownFrame->value());
}

void TFormTitleType::EditIconChange()
{
    showPreview(ui->UpDownIcon->value());
}

TitleTypeKind TFormTitleType::currentKind() const
{
    // The combo lists the variant's kinds in their order.
    const QList<TitleTypeKind> kinds = TitleTypeRules::kindsForVariant(m_question.variant);
    const int index = ui->CBoxType->currentIndex();
    return index >= 0 && index < kinds.size() ? kinds.at(index) : kinds.constFirst();
}

void TFormTitleType::CBoxTypeChange()
{
    const bool still = currentKind() == TitleTypeKind::Still;
    if (still)
        ui->UpDownIcon->setValue(1);
    for (QWidget *w :
         {static_cast<QWidget *>(ui->UpDownFrame), static_cast<QWidget *>(ui->UpDownIcon)})
        w->setEnabled(!still);
}

void TFormTitleType::ButtonHelpClick()
{
    if (m_help)
        m_help(kHelpTopic);
}

void TFormTitleType::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1) {
        ButtonHelpClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormTitleType::showPreview(int icon)
{
    if (icon == m_previewedIcon || icon < 1 || icon > m_question.fileList.size())
        return;
    m_previewedIcon = icon;
    Bitmap picture;
    if (!LoadImageFile(m_images, m_boxes, m_question.fileList.at(icon - 1), picture) ||
        picture.isNull())
        return;
    // One field: every even line copied over the odd line below it.
    for (int y = 0; y + 1 < picture.height(); y += 2)
        picture.putRow(y + 1, picture.row(y), picture.bytesPerLine());
    const int fullWidth = std::max(1, m_question.fullWidth);
    const int fullHeight = std::max(1, m_question.fullHeight);
    const int w = int(qint64(picture.width()) * kPreviewWidth / fullWidth);
    const int h = int(qint64(picture.height()) * kPreviewHeight / fullHeight);
    QPixmap preview(kPreviewWidth, kPreviewHeight);
    preview.fill(ui->PanelIcon->palette().color(QPalette::Window));
    if (w > 0 && h > 0) {
        // Pictures larger than the screen are cut to the panel.
        const Bitmap small = picture.resampled(w, h).converted(32);
        const QImage image(small.bits(), small.width(), small.height(), small.bytesPerLine(),
                           QImage::Format_RGB32);
        QPainter p(&preview);
        p.drawImage(QPoint(0, 0), image);
    }
    ui->ImageIcon->setPixmap(preview);
}
