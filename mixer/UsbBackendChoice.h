#pragma once

#include <memory>

class SettingsStore;
class UsbBackend;
class Waits;

// The mixer the program talks to, chosen in one place for the window and the
// command line: the virtual mixer when asked for, otherwise the first device
// on USB with the vendor and product ids of the settings' "Device" group.
namespace UsbBackendChoice {

// `usable` (when given) says whether the backend can reach a device at all;
// false when USB access is not available on this machine.
std::unique_ptr<UsbBackend> make(bool virtualMixer, SettingsStore &settings, Waits &waits,
                                 bool *usable = nullptr);

} // namespace UsbBackendChoice
