#pragma once

#include "CliMessageBoxes.h"
#include "core/Settings.h"
#include "core/SettingsStore.h"
#include "core/Waits.h"
#include "imaging/DevicePicture.h"
#include "mixer/UsbBackendChoice.h"

#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class DeviceLink;
class UsbBackend;

// What every `titledeck-cli device` sub-command shares: the options
// --virtual-mixer[=FILE], --settings FILE and --yes, the protocol waits (with
// TITLEDECK_TIME_SCALE), the message boxes of the terminal, the settings and
// the connection to the mixer.
class DeviceCli
{
public:
    // One sub-command; each file registers its own with a static object.
    struct Subcommand
    {
        using Handler = int (*)(DeviceCli &cli);
        Subcommand(const char *name, const char *usage, Handler handler);
        const char *name;
        const char *usage;
        Handler handler;
        Subcommand *next;
        static Subcommand *first();
    };

    DeviceCli();
    ~DeviceCli();

    // Runs `device ARGS...`: the sub-command's exit status.
    static int run(const QStringList &arguments);

    // The arguments left after the common options (the sub-command's own).
    const QStringList &arguments() const { return m_arguments; }
    // --yes was given: the program's questions are answered Yes.
    bool yes() const { return m_yes; }

    Waits &waits() { return m_waits; }
    CliMessageBoxes &boxes() { return m_boxes; }
    SettingsStore &settings() { return *m_settings; }
    // Opens the chosen mixer; false (with the reason on standard error) when
    // there is none. The link stays open until this object goes.
    bool connect();
    DeviceLink &link() { return *m_link; }
    // The link exists (connect() made it, whether or not a mixer answered).
    bool hasLink() const { return bool(m_link); }

    // The program's settings as the window reads them at start.
    Settings programSettings();
    // The level settings (YUVMax, YUVMin) pictures are converted with.
    DevicePicture::LevelSettings levels();

    // A title or clip memory number as typed: decimal or 0x hexadecimal.
    static std::optional<std::uint16_t> parseMemoryNo(const QString &text);
    // A memory number as the sub-commands print it (0x0000).
    static QString memoryNoText(std::uint16_t memoryNo);

    // A usage error of the sub-command: the message and its usage line; gives 2.
    int usage(const QString &why) const;
    // A failure: "titledeck-cli: WHY" on standard error; gives 1.
    static int fail(const QString &why);

private:
    int parse(const QStringList &arguments);

    const Subcommand *m_subcommand = nullptr;
    QStringList m_arguments;
    bool m_yes = false;
    UsbBackendChoice::Choice m_choice;
    QString m_settingsFile;
    Waits m_waits;
    CliMessageBoxes m_boxes;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<UsbBackend> m_backend;
    std::unique_ptr<DeviceLink> m_link;
};
