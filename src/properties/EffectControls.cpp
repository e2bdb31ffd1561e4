#include "properties/EffectControls.h"

#include "imaging/CorrectingSpinBox.h"
#include "properties/EffectLink.h"
#include "properties/MaskedTimeEdit.h"
#include "properties/PropertyRules.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>

namespace {
const char *const kDirections[] = {"Up", "Down", "Left", "Right"};
}

EffectControls::Side EffectControls::Side::find(QWidget &dialog, const QString &side)
{
    const auto named = [&](const char *prefix, const char *suffix) {
        return QString::fromLatin1(prefix) + side + QString::fromLatin1(suffix);
    };
    Side s;
    s.pattern = dialog.findChild<QRadioButton *>(named("RButton", "Pattern"));
    s.diss = dialog.findChild<QRadioButton *>(named("RButton", "Diss"));
    s.patternEdit = dialog.findChild<QLineEdit *>(named("Edit", "Pattern"));
    s.time = dialog.findChild<MaskedTimeEdit *>(named("MEdit", "EffTime"));
    for (int d = 0; d < 4; ++d)
        s.directions[std::size_t(d)] = dialog.findChild<QToolButton *>(
            named("SButton", "Dir") + QString::fromLatin1(kDirections[d]));
    s.speed = dialog.findChild<CorrectingSpinBox *>(named("UpDown", "SlideSpeed"));
    return s;
}

EffectControls::EffectControls(QWidget &dialog, EffectLink &link,
                               std::function<QString(const QString &)> timeRule)
    : QObject(&dialog), m_link(link), m_in(Side::find(dialog, QStringLiteral("In"))),
      m_out(Side::find(dialog, QStringLiteral("Out")))
{
    for (Side *side : {&m_in, &m_out}) {
        side->time->setGroups(2);
        side->time->setRule(timeRule);
        side->speed->setRange(PropertyRules::MinSpeed, PropertyRules::MaxSpeed);
        side->speed->setSingleStep(2);
        side->speed->setRule([](const QString &text) {
            return PropertyRules::number(PropertyRules::speed(text)).value_or(2);
        });
    }
    m_in.speed->edit()->setObjectName(QStringLiteral("EditInSlideSpeed"));
    m_out.speed->edit()->setObjectName(QStringLiteral("EditOutSlideSpeed"));
    wire(m_in, true);
    wire(m_out, false);
}

void EffectControls::wire(Side &side, bool in)
{
    connect(side.pattern, &QRadioButton::clicked, this, [this, in] {
        in ? m_link.chooseInPattern() : m_link.chooseOutPattern();
        showLink();
    });
    connect(side.diss, &QRadioButton::clicked, this, [this, in] {
        in ? m_link.chooseInDiss() : m_link.chooseOutDiss();
        showLink();
    });
    QLineEdit *edit = side.patternEdit;
    connect(edit, &QLineEdit::editingFinished, this, [this, in, edit] {
        in ? m_link.leaveInPattern(edit->text()) : m_link.leaveOutPattern(edit->text());
        showLink();
    });
    // One direction at a time, or none: pressing the pressed one releases it.
    for (QToolButton *button : side.directions) {
        connect(button, &QToolButton::toggled, this, [&side, button](bool down) {
            if (!down)
                return;
            for (QToolButton *other : side.directions)
                if (other != button)
                    other->setChecked(false);
        });
    }
}

void EffectControls::fill(const EffectTexts &in, const EffectTexts &out)
{
    fillSide(m_out, out);
    fillSide(m_in, in);
    showLink();
}

void EffectControls::fillSide(Side &side, const EffectTexts &texts)
{
    side.time->setDigits(texts.time);
    side.speed->setValue(PropertyRules::number(texts.slideSpeed).value_or(2));
    for (int d = 0; d < 4; ++d)
        side.directions[std::size_t(d)]->setChecked(texts.slideDirection == d + 1);
}

void EffectControls::read(EffectTexts &in, EffectTexts &out) const
{
    readSide(m_in, in);
    readSide(m_out, out);
}

void EffectControls::readSide(const Side &side, EffectTexts &texts)
{
    texts.time = side.time->digits();
    texts.slideSpeed = QString::number(side.speed->value());
    texts.slideDirection = 0;
    for (int d = 0; d < 4; ++d)
        if (side.directions[std::size_t(d)]->isChecked())
            texts.slideDirection = d + 1;
}

void EffectControls::enableSlides(bool slides, bool vertical)
{
    for (Side *side : {&m_in, &m_out}) {
        side->speed->setEnabled(slides);
        for (int d = 0; d < 4; ++d) {
            QToolButton *button = side->directions[std::size_t(d)];
            const bool enabled = slides && (vertical || d >= 2);
            if (slides && !enabled)
                button->setChecked(false);
            button->setEnabled(enabled);
        }
    }
}

void EffectControls::showLink()
{
    const QSignalBlocker blockIn(m_in.patternEdit);
    const QSignalBlocker blockOut(m_out.patternEdit);
    m_in.patternEdit->setText(m_link.inText());
    m_out.patternEdit->setText(m_link.outText());
    (m_link.inPattern() ? m_in.pattern : m_in.diss)->setChecked(true);
    (m_link.outPattern() ? m_out.pattern : m_out.diss)->setChecked(true);
    m_in.patternEdit->setEnabled(m_link.inTextEnabled());
    m_out.pattern->setEnabled(m_link.outChoiceEnabled());
    m_out.diss->setEnabled(m_link.outChoiceEnabled());
    m_out.patternEdit->setEnabled(m_link.outTextEnabled());
}

void EffectControls::leaveTypedPatterns()
{
    if (m_in.patternEdit->isEnabled() && m_in.patternEdit->text() != m_link.inText())
        m_link.leaveInPattern(m_in.patternEdit->text());
    if (m_out.patternEdit->isEnabled() && m_out.patternEdit->text() != m_link.outText())
        m_link.leaveOutPattern(m_out.patternEdit->text());
    showLink();
}
