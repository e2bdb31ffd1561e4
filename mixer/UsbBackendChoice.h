#pragma once

#include <QString>
#include <memory>
#include <optional>

class SettingsStore;
class UsbBackend;
class Waits;

// The mixer the program talks to, chosen in one place for the window and the
// command line: the virtual mixer when asked for, otherwise the first device
// on USB with the vendor and product ids of the settings' "Device" group.
namespace UsbBackendChoice {

struct Choice
{
    bool virtualMixer = false;
    // The virtual mixer's state file; empty: its memory lasts only as long as the program.
    QString stateFile;
};

// `--virtual-mixer` or `--virtual-mixer=FILE`; nothing for any other argument.
std::optional<Choice> virtualMixerArgument(const QString &argument);

// `usable` (when given) says whether the backend can reach a device at all;
// false when USB access is not available on this machine. Nothing, with why
// set, when the virtual mixer's state file cannot be used.
std::unique_ptr<UsbBackend> make(const Choice &choice, SettingsStore &settings, Waits &waits,
                                 bool *usable = nullptr, QString *why = nullptr);

// TITLEDECK_TIME_SCALE (a positive number, 0.01 for a hundredth) scales every
// protocol wait and the virtual mixer's own times, for rehearsals and tests.
// False, with why set, when it is not a positive number or is set for the
// real USB backend, whose device keeps its own times.
bool applyTimeScale(const Choice &choice, Waits &waits, QString *why = nullptr);

} // namespace UsbBackendChoice
