#pragma once

#include <QSettings>
#include <QString>
#include <memory>

// The per-user settings file: QSettings in INI form in the configuration
// folder ($XDG_CONFIG_HOME/Korvel KL-VT90/TitleDeck.ini), with the groups
// and value names of the program's registry layout. A file that cannot be
// parsed is treated as absent: every read yields its default.
//
// The file is only read through QSettings. Written values are kept here until
// sync(), which lays the file out (IniText) and replaces it through
// SafeFileWriter: QSettings' own save cannot see a write that fails at its
// final flush (a full disk) and would rename a short file over the settings.
class SettingsStore
{
public:
    SettingsStore();
    // A store on an explicit file (tests, the command line's --settings).
    explicit SettingsStore(const QString &fileName);
    ~SettingsStore();

    QString fileName() const;
    // Opens a group ("Default", "Environment", "MainForm", "MemorySetting", "Device").
    void beginGroup(const QString &group);
    void endGroup();

    // The stored value when the name exists in the open group and is readable, else the default.
    int ReadIntegerDefault(const QString &name, int defaultValue) const;
    bool ReadBoolDefault(const QString &name, bool defaultValue) const;
    QString ReadStringDefault(const QString &name, const QString &defaultValue) const;

    void WriteInteger(const QString &name, int value);
    void WriteBool(const QString &name, bool value);
    void WriteString(const QString &name, const QString &value);
    // Writes the file's values with the written ones over them; false, with the
    // previous file left as it was, when it could not be written.
    bool sync();

private:
    // The written value of the name in the open group, else the file's (null when neither).
    QVariant value(const QString &name) const;

    std::unique_ptr<QSettings> m_settings;
    bool m_readable = true;
    QString m_group;
    QSettings::SettingsMap m_written;
};
