#include "imaging/CorrectingSpinBox.h"

#include <QLineEdit>

CorrectingSpinBox::CorrectingSpinBox(QWidget *parent) : QSpinBox(parent)
{
    setKeyboardTracking(false);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QValidator::State CorrectingSpinBox::validate(QString &input, int &pos) const
{
    if (!m_rule)
        return QSpinBox::validate(input, pos);
    // Any text may stand while typing; the rule corrects it when editing ends.
    return QValidator::Acceptable;
}

int CorrectingSpinBox::valueFromText(const QString &text) const
{
    if (!m_rule)
        return QSpinBox::valueFromText(text);
    return m_rule(text.trimmed());
}

void CorrectingSpinBox::fixup(QString &input) const
{
    if (!m_rule) {
        QSpinBox::fixup(input);
        return;
    }
    input = QString::number(m_rule(input.trimmed()));
}
