#include "CliMessageBoxes.h"

#include "CliCommand.h"

#include <QTextStream>
#include <unistd.h>

void CliMessageBoxes::setAnswers(Answers answers)
{
    m_answers = answers == AskOnTerminal && !isatty(STDIN_FILENO) ? AnswerNo : answers;
}

int CliMessageBoxes::show(int captionId, int textId, const QString &caption, const QString &text,
                          int flags)
{
    ++m_shown;
    cliErr() << caption << ": " << text << "\n";
    cliErr().flush();
    const bool withCancel = flags == MsgExclamationYesNoCancel;
    if (flags != MsgQuestionYesNo && flags != MsgExclamationYesNo && !withCancel)
        return IdOk;
    switch (m_answers) {
    case AnswerYes:
        return IdYes;
    case AskOnTerminal:
        return ask(withCancel);
    case AnswerNo:
        break;
    }
    return withCancel ? IdCancel : IdNo;
}

int CliMessageBoxes::ask(bool withCancel) const
{
    static QTextStream in(stdin);
    for (;;) {
        cliErr() << (withCancel ? "[y]es, [n]o or [c]ancel? " : "[y]es or [n]o? ");
        cliErr().flush();
        const QString line = in.readLine();
        if (line.isNull())
            return withCancel ? IdCancel : IdNo;
        const QString answer = line.trimmed().toLower();
        if (answer == QLatin1String("y") || answer == QLatin1String("yes"))
            return IdYes;
        if (answer == QLatin1String("n") || answer == QLatin1String("no"))
            return IdNo;
        if (withCancel && (answer == QLatin1String("c") || answer == QLatin1String("cancel")))
            return IdCancel;
    }
}
