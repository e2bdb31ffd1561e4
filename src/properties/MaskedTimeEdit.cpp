#include "properties/MaskedTimeEdit.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

MaskedTimeEdit::MaskedTimeEdit(QWidget *parent) : QLineEdit(parent)
{
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    setDragEnabled(false);
    // Digits come from the keys alone: no input method text, no pasting.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setDigits(QString());
}

void MaskedTimeEdit::setGroups(int groups)
{
    const QString d = digits();
    m_groups = groups;
    setDigits(d);
}

void MaskedTimeEdit::setDigits(const QString &digits)
{
    // Always the full mask: missing digits show as 0.
    QString d = digits.left(2 * m_groups);
    d = d.leftJustified(2 * m_groups, QLatin1Char('0'));
    QString text;
    for (int g = 0; g < m_groups; ++g) {
        if (g > 0)
            text += QLatin1Char(':');
        text += d.mid(2 * g, 2);
    }
    setText(text);
}

QString MaskedTimeEdit::digits() const
{
    QString d = text();
    d.remove(QLatin1Char(':'));
    return d;
}

bool MaskedTimeEdit::check()
{
    if (!m_rule)
        return false;
    const QString typed = digits();
    const QString corrected = m_rule(typed);
    if (corrected == typed)
        return false;
    setDigits(corrected);
    return true;
}

void MaskedTimeEdit::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9 &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        typeDigit(QChar(u'0' + (key - Qt::Key_0)));
        event->accept();
        return;
    }
    if ((key == Qt::Key_Left || key == Qt::Key_Right) && event->modifiers() == Qt::NoModifier) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    // Everything else (Enter, Escape, F1 ...) belongs to the dialog; nothing
    // else edits the field.
    event->ignore();
}

void MaskedTimeEdit::typeDigit(QChar digit)
{
    int pos = hasSelectedText() ? selectionStart() : cursorPosition();
    pos = nextDigitPosition(pos);
    QString t = text();
    if (pos >= t.size())
        return;
    t[pos] = digit;
    setText(t);
    setCursorPosition(nextDigitPosition(pos + 1));
}

int MaskedTimeEdit::nextDigitPosition(int pos) const
{
    const QString t = text();
    while (pos < t.size() && t.at(pos) == QLatin1Char(':'))
        ++pos;
    return pos;
}

void MaskedTimeEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // The middle button would paste the selection of another program.
    if (event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void MaskedTimeEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (check()) {
        // Back into the field with the corrected value selected, once the
        // focus change that left it is over.
        QTimer::singleShot(0, this, [this] {
            if (!isVisible() || !isEnabled())
                return;
            setFocus(Qt::OtherFocusReason);
            selectAll();
        });
    }
    emit exited();
}
