#pragma once

#include "core/MessageBoxes.h"

// Message boxes of the command line: every message is printed to standard
// error as "caption: text"; errors are answered OK. Questions are answered
// No (Cancel where offered) unless the command says otherwise: Yes for its
// --yes option, or asked on the terminal when standard input is one. The
// count of messages shown lets a command tell whether any message was shown.
class CliMessageBoxes : public MessageBoxes
{
public:
    enum Answers { AnswerNo, AnswerYes, AskOnTerminal };

    int show(int captionId, int textId, const QString &caption, const QString &text,
             int flags) override;

    // AskOnTerminal falls back to AnswerNo when standard input is not a terminal.
    void setAnswers(Answers answers);
    int shownCount() const { return m_shown; }

private:
    int ask(bool withCancel) const;

    int m_shown = 0;
    Answers m_answers = AnswerNo;
};
