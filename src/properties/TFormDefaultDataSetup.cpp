#include "properties/TFormDefaultDataSetup.h"

#include "core/HelpManual.h"
#include "core/MessageBoxes.h"
#include "properties/EffectControls.h"
#include "properties/PropertyRules.h"
#include "resources/MessageTable.h"
#include "ui_TFormDefaultDataSetup.h"

#include <QKeyEvent>

namespace {
constexpr int kInitCaption = 4;
constexpr int kInitQuestion = 104;

int numberOf(const QString &text)
{
    return PropertyRules::number(text).value_or(0);
}
} // namespace

TFormDefaultDataSetup::TFormDefaultDataSetup(const DefaultProperties &defaults, int framesPerSecond,
                                             MessageBoxes &boxes, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TFormDefaultDataSetup>()), m_defaults(defaults),
      m_values(DefaultPropertyValues::of(defaults, framesPerSecond)), m_boxes(boxes)
{
    ui->setupUi(this);
    m_help = [this](int topic) { HelpManual::ShowHelp(this, topic); };
    setUpControls();
    fill();
}

TFormDefaultDataSetup::~TFormDefaultDataSetup() = default;

void TFormDefaultDataSetup::setUpControls()
{
    setWindowTitle(MessageTable::caption(windowTitle()));
    for (QPushButton *b : {ui->ButtonInit, ui->ButtonCancel, ui->ButtonHelp})
        b->setText(MessageTable::caption(b->text()));
    ui->UpDownRollSpeed->edit()->setObjectName(QStringLiteral("EditRollSpeed"));
    ui->UpDownCrawlSpeed->edit()->setObjectName(QStringLiteral("EditCrawlSpeed"));
    ui->UpDownPositionX->edit()->setObjectName(QStringLiteral("EditPositionX"));
    ui->UpDownPositionY_NTSC->edit()->setObjectName(QStringLiteral("EditPositionY_NTSC"));
    ui->UpDownPositionY_PAL->edit()->setObjectName(QStringLiteral("EditPositionY_PAL"));

    for (CorrectingSpinBox *speed : {ui->UpDownRollSpeed, ui->UpDownCrawlSpeed}) {
        speed->setRange(PropertyRules::MinSpeed, PropertyRules::MaxSpeed);
        speed->setSingleStep(2);
        speed->setRule([](const QString &text) { return numberOf(PropertyRules::speed(text)); });
    }
    ui->UpDownPositionX->setRange(0, DefaultPropertyValues::MaxPositionX);
    ui->UpDownPositionX->setRule([](const QString &text) {
        return numberOf(DefaultPropertyValues::checkedPositionX(text));
    });
    ui->UpDownPositionY_NTSC->setRange(0, DefaultPropertyValues::MaxPositionYNtsc);
    ui->UpDownPositionY_NTSC->setSingleStep(2);
    ui->UpDownPositionY_NTSC->setRule([](const QString &text) {
        return numberOf(DefaultPropertyValues::checkedPositionYNtsc(text));
    });
    ui->UpDownPositionY_PAL->setRange(0, DefaultPropertyValues::MaxPositionYPal);
    ui->UpDownPositionY_PAL->setSingleStep(2);
    ui->UpDownPositionY_PAL->setRule([](const QString &text) {
        return numberOf(DefaultPropertyValues::checkedPositionYPal(text));
    });
    for (MaskedTimeEdit *duration : {ui->MEditStillDuration, ui->MEditMovieDuration}) {
        duration->setGroups(3);
        duration->setRule(
            [this](const QString &digits) { return m_values.checkedDuration(digits); });
    }
    m_effects = new EffectControls(*this, m_values.patterns, [this](const QString &digits) {
        return m_values.checkedShortTime(digits);
    });

    connect(ui->ButtonInit, &QPushButton::clicked, this, &TFormDefaultDataSetup::ButtonInitClick);
    connect(ui->ButtonOK, &QPushButton::clicked, this, &TFormDefaultDataSetup::ButtonOKClick);
    connect(ui->ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->ButtonHelp, &QPushButton::clicked, this, &TFormDefaultDataSetup::ButtonHelpClick);
}

void TFormDefaultDataSetup::fill()
{
    const DefaultPropertyValues &v = m_values;
    ui->MEditStillDuration->setDigits(v.stillDuration);
    ui->MEditMovieDuration->setDigits(v.movieDuration);
    ui->UpDownRollSpeed->setValue(numberOf(v.rollSpeed));
    ui->UpDownCrawlSpeed->setValue(numberOf(v.crawlSpeed));
    ui->UpDownPositionX->setValue(numberOf(v.positionX));
    ui->UpDownPositionY_NTSC->setValue(numberOf(v.positionYNtsc));
    ui->UpDownPositionY_PAL->setValue(numberOf(v.positionYPal));
    ui->CBoxOutAutoTrigger->setChecked(v.out.autoTrigger);
    // The title's height is not known here: every slide direction is offered.
    m_effects->enableSlides(true, true);
    m_effects->fill(v.in, v.out);
}

DefaultPropertyValues TFormDefaultDataSetup::values() const
{
    DefaultPropertyValues v = m_values;
    v.stillDuration = ui->MEditStillDuration->digits();
    v.movieDuration = ui->MEditMovieDuration->digits();
    v.rollSpeed = QString::number(ui->UpDownRollSpeed->value());
    v.crawlSpeed = QString::number(ui->UpDownCrawlSpeed->value());
    v.positionX = QString::number(ui->UpDownPositionX->value());
    v.positionYNtsc = QString::number(ui->UpDownPositionY_NTSC->value());
    v.positionYPal = QString::number(ui->UpDownPositionY_PAL->value());
    m_effects->read(v.in, v.out);
    v.out.autoTrigger = ui->CBoxOutAutoTrigger->isChecked();
    return v;
}

void TFormDefaultDataSetup::ButtonInitClick()
{
    if (ShowMessageById(m_boxes, kInitCaption, kInitQuestion, MsgQuestionYesNo) == IdNo)
        return;
    m_defaults = DefaultProperties::factory();
    m_values = DefaultPropertyValues::of(m_defaults, m_values.framesPerSecond);
    m_values.patterns.release();
    fill();
}

void TFormDefaultDataSetup::ButtonOKClick()
{
    ui->ButtonOK->setFocus(Qt::OtherFocusReason);
    // Checked again here, for a window that does not have the focus to move.
    for (CorrectingSpinBox *edit : {ui->UpDownRollSpeed, ui->UpDownCrawlSpeed, ui->UpDownPositionX,
                                    ui->UpDownPositionY_NTSC, ui->UpDownPositionY_PAL})
        edit->interpretText();
    m_effects->leaveTypedPatterns();
    for (MaskedTimeEdit *time :
         {ui->MEditInEffTime, ui->MEditOutEffTime, ui->MEditStillDuration, ui->MEditMovieDuration})
        time->check();
    values().applyTo(m_defaults);
    accept();
}

void TFormDefaultDataSetup::ButtonHelpClick()
{
    if (m_help)
        m_help(HelpManual::DefaultProperties);
}

void TFormDefaultDataSetup::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1) {
        ButtonHelpClick();
        return;
    }
    QDialog::keyPressEvent(event);
}
