#pragma once

#include <QString>
#include <QStringList>

class QWidget;
struct EnvironmentSettings;

// The file dialogs shared by every window, by mode: 0 open a picture, 1 save
// a title picture, 2 open a clip's picture, 3 save a clip, 4 open a list,
// 5 save a list. (Modes 6 and 7 belong to the setup-data commands.)
struct FileDialogSetup
{
    bool save = false;
    // Qt name filters, "display text (patterns)".
    QStringList filters;
    // For a save dialog: the extension of each filter (".tga"), added to a
    // typed name that does not already end in it.
    QStringList extensions;
    QString startFolder;
    // The filter shown first (an index into filters), -1 for the first.
    int preselected = -1;
    bool valid = false;
};

namespace FileDialog {

// What mode asks for; invalid for a mode this program does not know.
FileDialogSetup setup(int mode, const EnvironmentSettings &environment);
// The name with the chosen filter's extension appended unless it already
// ends in it (compared case-insensitively).
QString withExtension(const QString &name, const QString &extension);
// The display texts and patterns of a message-table filter (pairs separated by NUL).
QStringList filtersFromMessage(int id);
// Shows the dialog; the chosen path, or empty when cancelled.
QString FileDialog(QWidget *owner, int mode, const EnvironmentSettings &environment);
// The same; the clip save dialog (mode 3) keeps the chosen filter in IntVideoFilter.
QString FileDialog(QWidget *owner, int mode, EnvironmentSettings &environment);

} // namespace FileDialog
