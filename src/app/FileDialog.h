#pragma once

#include <QString>
#include <QStringList>

class QWidget;
struct EnvironmentSettings;

// The file dialogs shared by every window, by mode: 0 open a picture, 1 save
// a title picture, 2 open a clip's picture, 3 save a clip, 4 open a list,
// 5 save a list, 6 open and 7 save a setup-data file (these two start in the
// program folder).
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
FileDialogSetup setup(int mode, const EnvironmentSettings &environment,
                      const QString &programFolder = {});
// The name with the chosen filter's extension appended unless it already
// ends in it (compared case-insensitively).
QString withExtension(const QString &name, const QString &extension);
// The display texts and patterns of a message-table filter (pairs separated by NUL).
QStringList filtersFromMessage(int id);
// Shows the dialog of mode; the chosen path, or empty when cancelled. The
// clip save dialog (mode 3) keeps the chosen filter in IntVideoFilter; the
// setup-data modes start in programFolder.
QString FileDialog(QWidget *owner, int mode, EnvironmentSettings &environment,
                   const QString &programFolder = {});

} // namespace FileDialog
