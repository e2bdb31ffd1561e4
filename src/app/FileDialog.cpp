#include "app/FileDialog.h"

#include "core/Settings.h"
#include "resources/MessageTable.h"

#include <QFileDialog>
#include <QFileInfo>

namespace FileDialog {

QStringList filtersFromMessage(int id)
{
    const QStringList parts = MessageTable::text(id).split(QChar(u'\0'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString display = parts.at(i);
        QString patterns = parts.at(i + 1);
        patterns.replace(u';', u' ');
        // Qt reads the patterns from the last parentheses of the text.
        if (!display.contains(u'('))
            display += QStringLiteral(" (") + patterns + u')';
        else
            display = display.left(display.lastIndexOf(u'(')) + u'(' + patterns + u')';
        out.append(display);
    }
    return out;
}

FileDialogSetup setup(int mode, const EnvironmentSettings &environment,
                      const QString &programFolder)
{
    FileDialogSetup s;
    switch (mode) {
    case 0:
        s.filters = filtersFromMessage(150) + filtersFromMessage(151);
        s.startFolder = environment.TitleFolder;
        break;
    case 1:
        s.save = true;
        s.filters = filtersFromMessage(152);
        s.extensions = {QStringLiteral(".tga"), QStringLiteral(".tif")};
        s.startFolder = environment.TitleFolder;
        break;
    case 2:
        s.filters = filtersFromMessage(150) + filtersFromMessage(151);
        s.startFolder = environment.IntVideoFolder;
        break;
    case 3:
        s.save = true;
        s.filters = filtersFromMessage(153);
        s.extensions = {QStringLiteral(".tga"), QStringLiteral(".bmp"), QStringLiteral(".jpg"),
                        QStringLiteral(".tif"), QStringLiteral(".pct")};
        s.startFolder = environment.IntVideoFolder;
        s.preselected = environment.IntVideoFilter - 1;
        break;
    case 4:
        s.filters = filtersFromMessage(154);
        s.startFolder = environment.ListFolder;
        break;
    case 5:
        s.save = true;
        s.filters = filtersFromMessage(154);
        s.extensions = {QStringLiteral(".vtl")};
        s.startFolder = environment.ListFolder;
        break;
    case 6:
    case 7:
        s.save = mode == 7;
        s.filters = filtersFromMessage(155);
        if (s.save)
            s.extensions = {QStringLiteral(".vts")};
        s.startFolder = programFolder;
        break;
    default:
        return s;
    }
    s.valid = true;
    return s;
}

QString withExtension(const QString &name, const QString &extension)
{
    if (name.isEmpty() || extension.isEmpty() || name.endsWith(extension, Qt::CaseInsensitive))
        return name;
    return name + extension;
}

namespace {

QString show(QWidget *owner, int mode, const EnvironmentSettings &environment,
             const QString &programFolder, int *chosenFilter)
{
    const FileDialogSetup s = setup(mode, environment, programFolder);
    if (!s.valid)
        return {};
    QFileDialog dialog(owner);
    dialog.setAcceptMode(s.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(s.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    // The extension is added below, by the chosen filter.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setNameFilters(s.filters);
    dialog.setDirectory(s.startFolder);
    if (s.preselected >= 0 && s.preselected < s.filters.size())
        dialog.selectNameFilter(s.filters.at(s.preselected));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    QString name = dialog.selectedFiles().constFirst();
    const qsizetype filter = s.filters.indexOf(dialog.selectedNameFilter());
    if (chosenFilter && filter >= 0)
        *chosenFilter = int(filter);
    if (s.save) {
        if (filter >= 0 && filter < s.extensions.size())
            name = withExtension(name, s.extensions.at(filter));
    }
    return name;
}

} // namespace

QString FileDialog(QWidget *owner, int mode, EnvironmentSettings &environment,
                   const QString &programFolder)
{
    int chosen = -1;
    const QString name = show(owner, mode, environment, programFolder, &chosen);
    // The clip save dialog's filter is kept for the next time.
    if (!name.isEmpty() && mode == 3 && chosen >= 0)
        environment.IntVideoFilter = chosen + 1;
    return name;
}

} // namespace FileDialog
