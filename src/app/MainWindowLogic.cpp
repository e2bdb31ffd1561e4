#include "app/MainWindowLogic.h"

#include "core/MessageBoxes.h"
#include "resources/MessageTable.h"

#include <QFileInfo>
#include <algorithm>

namespace MainWindowLogic {

QString captionPrefix()
{
    return QStringLiteral("TitleDeck  -  ");
}

QString caption(const QString &listFileName, bool modified)
{
    QString c = captionPrefix();
    c += listFileName.isEmpty() ? MessageTable::text(59)
                                : QFileInfo(listFileName).completeBaseName();
    if (modified)
        c += MessageTable::text(20);
    return c;
}

bool closeQuery(MessageBoxes &boxes, bool hasTitles, bool modified, bool confirmClose,
                const std::function<bool()> &save)
{
    if (hasTitles && modified) {
        const int answer = ShowMessageById(boxes, 11, 129, MsgExclamationYesNoCancel);
        if (answer == IdCancel)
            return false;
        // A failed save has shown its own message; closing now would lose the list.
        if (answer == IdYes && save && !save())
            return false;
    }
    if (confirmClose && ShowMessageById(boxes, 8, 126, MsgQuestionYesNo) != IdYes)
        return false;
    return true;
}

int recentred(int edge, int screenSize, int windowSize)
{
    if (screenSize < edge)
        return (screenSize - windowSize) / 2;
    return edge;
}

int lastColumnWidth(int gridWidth, int otherColumnsWidth, double fontScale)
{
    return std::max(240, gridWidth - otherColumnsWidth - int(30 * fontScale));
}

} // namespace MainWindowLogic
