#include "app/EnvironmentSetup.h"

#include "core/Settings.h"

#include <QDir>
#include <QFileInfo>

namespace EnvironmentSetup {

QString checkedFolder(const QString &typed, const QString &current)
{
    const QString trimmed = typed.trimmed();
    const QFileInfo info(trimmed);
    if (trimmed.isEmpty() || !info.isDir())
        return current;
    return QDir::cleanPath(info.absoluteFilePath());
}

void store(const EnvironmentSettings &edited, EnvironmentSettings &target)
{
    target.HistoryMode = edited.HistoryMode;
    target.YUVMax = edited.YUVMax;
    target.YUVMin = edited.YUVMin;
    target.BeginLastStatus = edited.BeginLastStatus;
    target.ConfirmClose = edited.ConfirmClose;
    target.ClearMemory = edited.ClearMemory;
    target.ClearKeepData = edited.ClearKeepData;
    target.CursorAutoMove = edited.CursorAutoMove;
    target.ListFolder = edited.ListFolder;
    target.TitleFolder = edited.TitleFolder;
    target.IntVideoFolder = edited.IntVideoFolder;
}

} // namespace EnvironmentSetup
