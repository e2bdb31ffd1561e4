#include "core/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

AppPaths AppPaths::standard()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return inFolder(QDir(data).filePath(QStringLiteral("TitleDeck")));
}

AppPaths AppPaths::inFolder(const QString &programFolder)
{
    AppPaths p;
    p.ProgramFolder = QDir::cleanPath(programFolder);
    const QDir dir(p.ProgramFolder);
    p.HistoryFile = dir.filePath(QStringLiteral("TitleDeck.vth"));
    p.HelpFile = dir.filePath(QStringLiteral("help/index.html"));
    p.ListDataDir = dir.filePath(QStringLiteral("ListData"));
    p.TitleDataDir = dir.filePath(QStringLiteral("TitleData"));
    p.IntVideoDataDir = dir.filePath(QStringLiteral("IntVideoData"));
    return p;
}

bool AppPaths::PrepareDataFolders() const
{
    bool all = true;
    for (const QString &folder : {ProgramFolder, ListDataDir, TitleDataDir, IntVideoDataDir}) {
        if (!QDir().mkpath(folder)) {
            all = false;
            continue;
        }
        QFile::setPermissions(folder, QFile::permissions(folder) | QFile::ReadOwner |
                                          QFile::WriteOwner | QFile::ExeOwner);
    }
    return all;
}
