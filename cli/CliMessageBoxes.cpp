#include "CliMessageBoxes.h"

#include "CliCommand.h"

int CliMessageBoxes::show(int captionId, int textId, const QString &caption, const QString &text,
                          int flags)
{
    ++m_shown;
    cliErr() << caption << ": " << text << "\n";
    cliErr().flush();
    switch (flags) {
    case MsgExclamationYesNoCancel:
        return IdCancel;
    case MsgQuestionYesNo:
    case MsgExclamationYesNo:
        return IdNo;
    default:
        return IdOk;
    }
}
