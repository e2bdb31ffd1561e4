#include "properties/TFormProperty.h"

#include "core/HelpManual.h"
#include "imaging/LoadImageFile.h"
#include "imaging/Thumbnail.h"
#include "list/ListServices.h"
#include "list/TitleList.h"
#include "properties/EffectControls.h"
#include "properties/PropertyRules.h"
#include "resources/MessageTable.h"
#include "ui_TFormProperty.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPixmap>

namespace {
constexpr int kPropertiesCaption = 13;
constexpr int kOrder = 60;
constexpr int kStill = 42;
constexpr int kMovie = 43;
constexpr int kRoll = 48;
constexpr int kCrawl = 53;

QString divideText(int blocksPerFrame)
{
    switch (blocksPerFrame) {
    case 1:
        return QStringLiteral("1/8");
    case 2:
        return QStringLiteral("1/4");
    case 4:
        return QStringLiteral("1/2");
    default:
        return QStringLiteral("1");
    }
}
} // namespace

TFormProperty::TFormProperty(TitleList &list, int order, ListServices &services, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TFormProperty>()), m_list(list), m_order(order),
      m_services(services)
{
    ui->setupUi(this);
    const TitleEntry &title = list.at(order);
    m_props = TitleProperties::of(title, services.format());
    m_fileList = title.FileList;
    m_help = [this](int topic) { HelpManual::ShowHelp(this, topic); };
    setUpControls();
    fill();
    m_showing = false;
}

TFormProperty::~TFormProperty() = default;

void TFormProperty::setUpControls()
{
    ui->ButtonCancel->setText(MessageTable::caption(ui->ButtonCancel->text()));
    ui->ButtonHelp->setText(MessageTable::caption(ui->ButtonHelp->text()));
    ui->UpDownIcon->edit()->setObjectName(QStringLiteral("EditIcon"));
    ui->UpDownPositionX->edit()->setObjectName(QStringLiteral("EditPositionX"));
    ui->UpDownPositionY->edit()->setObjectName(QStringLiteral("EditPositionY"));
    ui->UpDownMovieInterval->edit()->setObjectName(QStringLiteral("EditMovieInterval"));
    ui->UpDownTypeRollSpeed->edit()->setObjectName(QStringLiteral("EditRollCrawlSpeed"));

    // The ranges, and each field's exit check.
    const TitleProperties &p = m_props;
    ui->UpDownIcon->setRange(1, std::max<int>(1, int(m_fileList.size())));
    ui->UpDownIcon->setRule([this](const QString &text) {
        return PropertyRules::number(PropertyRules::iconFrame(text, ui->UpDownIcon->maximum()))
            .value_or(1);
    });
    ui->UpDownPositionX->setRange(0, p.positionXMaximum());
    ui->UpDownPositionX->setRule([this](const QString &text) {
        return PropertyRules::number(m_props.checkedPositionX(text)).value_or(0);
    });
    ui->UpDownPositionY->setRange(0, p.positionYMaximum());
    ui->UpDownPositionY->setSingleStep(2);
    ui->UpDownPositionY->setRule([this](const QString &text) {
        return PropertyRules::number(m_props.checkedPositionY(text)).value_or(0);
    });
    ui->UpDownTypeRollSpeed->setRange(PropertyRules::MinSpeed, PropertyRules::MaxSpeed);
    ui->UpDownTypeRollSpeed->setSingleStep(2);
    ui->UpDownTypeRollSpeed->setRule([](const QString &text) {
        return PropertyRules::number(PropertyRules::speed(text)).value_or(2);
    });
    ui->UpDownMovieInterval->setRange(0, PropertyRules::MaxMovieInterval);
    ui->UpDownMovieInterval->setRule([](const QString &text) {
        return PropertyRules::number(PropertyRules::movieInterval(text)).value_or(0);
    });
    const auto shortTime = [this](const QString &digits) {
        return m_props.checkedShortTime(digits);
    };
    ui->MEditInWait->setRule(shortTime);
    ui->MEditDuration->setGroups(3);
    ui->MEditDuration->setRule(
        [this](const QString &digits) { return m_props.checkedDuration(digits); });
    m_effects = new EffectControls(*this, m_props.patterns, shortTime);

    connect(ui->CBoxInAutoTrigger, &QCheckBox::toggled, this,
            &TFormProperty::CBoxInAutoTriggerClick);
    connect(ui->CBoxOutAutoTrigger, &QCheckBox::toggled, this,
            &TFormProperty::CBoxOutAutoTriggerClick);
    connect(ui->UpDownTypeRollSpeed, &QSpinBox::valueChanged, this,
            &TFormProperty::EditRollCrawlSpeedChange);
    for (QSpinBox *redraws :
         {static_cast<QSpinBox *>(ui->UpDownIcon), static_cast<QSpinBox *>(ui->UpDownPositionX),
          static_cast<QSpinBox *>(ui->UpDownPositionY)})
        connect(redraws, &QSpinBox::valueChanged, this, &TFormProperty::drawThumbnail);
    // Enter in the icon number draws that frame (it does not close the dialog).
    ui->UpDownIcon->installEventFilter(this);
    connect(ui->MemoComment, &QPlainTextEdit::textChanged, this, [this] {
        // The comment holds at most 128 characters, as the name.
        const QString text = ui->MemoComment->toPlainText();
        if (text.size() > ui->EditName->maxLength()) {
            ui->MemoComment->setPlainText(text.left(ui->EditName->maxLength()));
            ui->MemoComment->moveCursor(QTextCursor::End);
        }
    });
    connect(ui->ButtonOK, &QPushButton::clicked, this, &TFormProperty::ButtonOKClick);
    connect(ui->ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->ButtonHelp, &QPushButton::clicked, this, &TFormProperty::ButtonHelpClick);
}

void TFormProperty::fill()
{
    const TitleProperties &p = m_props;
    setWindowTitle(MessageTable::text(kPropertiesCaption) + QStringLiteral("  ") +
                   MessageTable::text(kOrder) + QString::number(m_order));
    ui->EditName->setText(p.name);
    ui->MemoComment->setPlainText(p.comment);
    ui->PanelDivide->setText(divideText(p.blocksPerFrame));
    ui->PanelFrame->setText(QString::number(p.frameCount));
    ui->UpDownPositionX->setValue(PropertyRules::number(p.positionX).value_or(0));
    ui->UpDownPositionY->setValue(PropertyRules::number(p.positionY).value_or(0));
    ui->UpDownPositionX->setEnabled(p.positionXEnabled());
    ui->UpDownPositionY->setEnabled(p.positionYEnabled());
    ui->MEditDuration->setDigits(p.duration);

    ui->ComboBoxMarkSelect->addItems(TitleProperties::markItems(m_list, m_order));
    ui->ComboBoxMarkSelect->setCurrentIndex(p.mark);
    ui->CBoxKeep->setChecked(p.protect);
    ui->UpDownIcon->setValue(PropertyRules::number(p.iconFrame).value_or(1));
    fillKind();

    m_effects->fill(p.in, p.out);
    m_effects->enableSlides(p.slides(), p.verticalSlides());
    ui->CBoxOutAutoTrigger->setEnabled(p.outTriggerEnabled());
    ui->CBoxOutAutoTrigger->setChecked(p.out.autoTrigger);
    ui->CBoxInAutoTrigger->setChecked(p.in.autoTrigger);
    ui->MEditInWait->setDigits(p.in.wait);
    // A check box set by the program runs its click rule as a click would.
    CBoxInAutoTriggerClick();
    CBoxOutAutoTriggerClick();
}

void TFormProperty::fillKind()
{
    const TitleProperties &p = m_props;
    for (QWidget *hidden :
         {static_cast<QWidget *>(ui->GBoxMovieMode), static_cast<QWidget *>(ui->GBoxMoviePlayDir),
          static_cast<QWidget *>(ui->GBoxMovieInterval), static_cast<QWidget *>(ui->GBoxRollCrawl),
          static_cast<QWidget *>(ui->PanelIconFrame)})
        hidden->setVisible(false);
    switch (p.kind) {
    case TitleKind::Still:
        ui->PanelType->setText(MessageTable::text(kStill));
        break;
    case TitleKind::Movie:
        ui->PanelType->setText(MessageTable::text(kMovie));
        for (QWidget *w : {static_cast<QWidget *>(ui->GBoxMovieMode),
                           static_cast<QWidget *>(ui->GBoxMoviePlayDir),
                           static_cast<QWidget *>(ui->GBoxMovieInterval),
                           static_cast<QWidget *>(ui->PanelIconFrame)})
            w->setVisible(true);
        for (QRadioButton *r : {ui->RButtonMovieRepeat, ui->RButtonMovieOnce,
                                ui->RButtonMovieNormal, ui->RButtonMovieReverse})
            r->setEnabled(true);
        (p.movieRepeat ? ui->RButtonMovieRepeat : ui->RButtonMovieOnce)->setChecked(true);
        (p.movieReverse ? ui->RButtonMovieReverse : ui->RButtonMovieNormal)->setChecked(true);
        ui->UpDownMovieInterval->setValue(PropertyRules::number(p.movieInterval).value_or(0));
        break;
    case TitleKind::Roll:
    case TitleKind::Crawl: {
        const bool roll = p.kind == TitleKind::Roll;
        ui->PanelType->setText(MessageTable::text(roll ? kRoll : kCrawl));
        ui->GBoxRollCrawl->setVisible(true);
        ui->PanelIconFrame->setVisible(true);
        QToolButton *forward = roll ? ui->SButtonTypeDirUp : ui->SButtonTypeDirLeft;
        QToolButton *reverse = roll ? ui->SButtonTypeDirDown : ui->SButtonTypeDirRight;
        forward->setEnabled(true);
        reverse->setEnabled(true);
        forward->setAutoExclusive(true);
        reverse->setAutoExclusive(true);
        (p.rollCrawlReverse ? reverse : forward)->setChecked(true);
        ui->UpDownTypeRollSpeed->setValue(PropertyRules::number(p.rollCrawlSpeed).value_or(2));
        break;
    }
    }
}

TitleProperties TFormProperty::properties() const
{
    TitleProperties p = m_props;
    p.name = ui->EditName->text();
    p.comment = ui->MemoComment->toPlainText();
    p.positionX = QString::number(ui->UpDownPositionX->value());
    p.positionY = QString::number(ui->UpDownPositionY->value());
    p.duration = ui->MEditDuration->digits();
    p.mark = std::max(0, ui->ComboBoxMarkSelect->currentIndex());
    p.protect = ui->CBoxKeep->isChecked();
    p.movieRepeat = ui->RButtonMovieRepeat->isChecked();
    p.movieReverse = ui->RButtonMovieReverse->isChecked();
    p.movieInterval = QString::number(ui->UpDownMovieInterval->value());
    p.rollCrawlReverse = p.kind == TitleKind::Roll ? ui->SButtonTypeDirDown->isChecked()
                                                   : ui->SButtonTypeDirRight->isChecked();
    p.rollCrawlSpeed = QString::number(ui->UpDownTypeRollSpeed->value());
    m_effects->read(p.in, p.out);
    p.in.autoTrigger = ui->CBoxInAutoTrigger->isChecked();
    p.in.wait = ui->MEditInWait->digits();
    p.out.autoTrigger = ui->CBoxOutAutoTrigger->isChecked();
    p.iconFrame = QString::number(ui->UpDownIcon->value());
    return p;
}

QImage TFormProperty::thumbnail() const
{
    return ui->ImageIcon->pixmap().toImage();
}

void TFormProperty::CBoxInAutoTriggerClick()
{
    ui->MEditInWait->setEnabled(ui->CBoxInAutoTrigger->isChecked());
}

void TFormProperty::CBoxOutAutoTriggerClick()
{
    ui->MEditDuration->setEnabled(ui->CBoxOutAutoTrigger->isChecked());
}

void TFormProperty::EditRollCrawlSpeedChange()
{
    if (m_showing || !m_props.rollOrCrawl())
        return;
    m_props.rollCrawlSpeedChanged(QString::number(ui->UpDownTypeRollSpeed->value()));
    ui->MEditDuration->setDigits(m_props.duration);
}

void TFormProperty::ButtonOKClick()
{
    // The field being edited runs its exit check first.
    ui->ButtonOK->setFocus(Qt::OtherFocusReason);
    // Checked again here, for a window that does not have the focus to move:
    // the checks leave a right value as it is.
    for (CorrectingSpinBox *edit : {ui->UpDownIcon, ui->UpDownPositionX, ui->UpDownPositionY,
                                    ui->UpDownMovieInterval, ui->UpDownTypeRollSpeed})
        edit->interpretText();
    m_effects->leaveTypedPatterns();
    for (MaskedTimeEdit *time :
         {ui->MEditInWait, ui->MEditInEffTime, ui->MEditOutEffTime, ui->MEditDuration})
        time->check();

    TitleProperties p = properties();
    TitleEntry &title = m_list.at(m_order);
    p.mark = TitleProperties::chooseMark(m_list, m_order, p.mark, m_services.boxes);
    p.applyTo(title);
    title.Mark = p.mark;
    accept();
}

void TFormProperty::ButtonHelpClick()
{
    if (m_help)
        m_help(HelpManual::PropertyDialog);
}

void TFormProperty::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1) {
        ButtonHelpClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TFormProperty::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->UpDownIcon && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ui->UpDownIcon->interpretText();
            drawThumbnail();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormProperty::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    drawThumbnail();
}

void TFormProperty::drawThumbnail()
{
    if (!isVisible() || m_fileList.isEmpty())
        return;
    int icon = ui->UpDownIcon->value();
    if (icon < 1 || icon > m_fileList.size()) {
        icon = 1;
        ui->UpDownIcon->setValue(1);
    }
    if (icon != m_loadedIcon) {
        Bitmap picture;
        if (!LoadImageFile(m_services.images, m_services.boxes, m_fileList.at(icon - 1), picture))
            return;
        m_picture = std::move(picture);
        m_loadedIcon = icon;
    }
    const Bitmap drawn =
        Thumbnail::rendered(m_picture, ui->UpDownPositionX->value(), ui->UpDownPositionY->value(),
                            m_services.format(), m_services.isWide());
    const QImage image(drawn.bits(), drawn.width(), drawn.height(), drawn.bytesPerLine(),
                       drawn.bitsPerPixel() == 24 ? QImage::Format_BGR888 : QImage::Format_RGB32);
    ui->ImageIcon->setPixmap(QPixmap::fromImage(image));
}
