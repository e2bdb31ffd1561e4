#pragma once

#include <QString>

// The Pattern/Diss choice and pattern number of the in and the out effect,
// with the rule that ties them: a pattern numbered 3000 or more is a combined
// in/out wipe, so while the in side uses one the out side shows the same
// number as a pattern and cannot be changed (it is "linked"). Diss on the in
// side with such a number in its field forces the out side to Diss.
//
// Both property dialogs keep one of these and show its state; the command
// line makes the same moves.
class EffectLink
{
public:
    // The opening fill: the out side first, then the in side, each as if its
    // radio button had been clicked.
    void fill(bool inPattern, const QString &inText, bool outPattern, const QString &outText);

    // The radio buttons.
    void chooseInPattern();
    void chooseInDiss();
    void chooseOutPattern();
    void chooseOutDiss();
    // Leaving a pattern field with the typed text (corrected here).
    void leaveInPattern(const QString &typed);
    void leaveOutPattern(const QString &typed);
    // Back to free sides (the default dialog's Init): both out radio buttons
    // and, with Pattern, the out field enabled again.
    void release();

    bool inPattern() const { return m_inPattern; }
    bool outPattern() const { return m_outPattern; }
    const QString &inText() const { return m_inText; }
    const QString &outText() const { return m_outText; }
    bool inTextEnabled() const { return m_inPattern; }
    // The out radio buttons take clicks (the out side is not linked).
    bool outChoiceEnabled() const { return m_outFree; }
    bool outTextEnabled() const { return m_outFree && m_outPattern; }

private:
    void linkOut();
    void unlinkOut();

    bool m_inPattern = false;
    bool m_outPattern = false;
    QString m_inText = QStringLiteral("0");
    QString m_outText = QStringLiteral("0");
    bool m_outFree = true;
};
