#pragma once

#include <QString>

// Where the program keeps its files. On this platform the program folder is
// the per-user data folder ($XDG_DATA_HOME/TitleDeck), holding the data
// folders "ListData", "TitleData" and "IntVideoData", and the property
// history "TitleDeck.vth".
struct AppPaths
{
    QString ProgramFolder;
    QString HistoryFile;
    QString HelpFile;
    QString ListDataDir;
    QString TitleDataDir;
    QString IntVideoDataDir;

    // The paths below the per-user data folder.
    static AppPaths standard();
    // The paths below an explicit program folder.
    static AppPaths inFolder(const QString &programFolder);

    // Creates the program folder and the three data folders where missing and
    // makes them writable for their owner. Failures are ignored (reported by
    // the operations that later use the folders); returns whether all exist.
    bool PrepareDataFolders() const;
};
