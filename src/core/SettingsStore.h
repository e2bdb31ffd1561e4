#pragma once

#include <QSettings>
#include <QString>
#include <memory>

// The per-user settings file: QSettings in INI form in the configuration
// folder ($XDG_CONFIG_HOME/Korvel KL-VT90/TitleDeck.ini), with the groups
// and value names of the program's registry layout. A file that cannot be
// parsed is treated as absent: every read yields its default.
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
    // Writes pending values to disk; false when the file could not be written.
    bool sync();

private:
    std::unique_ptr<QSettings> m_settings;
    bool m_readable = true;
};
