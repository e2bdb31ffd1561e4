#pragma once

#include <QByteArray>
#include <QSettings>

// The settings file's text as QSettings reads it back in INI form: a section
// per group and one `name="value"` line per value, every value quoted and
// escaped, so that commas, quotes, a leading '@' or a line break in a path
// come back as they went in. The program lays out its settings file itself so
// that the file can be replaced through SafeFileWriter.
namespace IniText {

// Keys are "Group/Name" (deeper keys as QSettings writes them); values are
// written as their text.
QByteArray write(const QSettings::SettingsMap &values);

} // namespace IniText
