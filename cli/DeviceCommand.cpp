// titledeck-cli device info: connect to the mixer (over USB, or the virtual
// mixer in-process) and show its descriptors as the USB diagnostics window
// does, its firmware, whether it is in setup-data mode, and the link log of
// the run.

#include "CliCommand.h"
#include "CliMessageBoxes.h"
#include "core/SettingsStore.h"
#include "core/Waits.h"
#include "device/DescriptorText.h"
#include "device/DeviceLink.h"
#include "mixer/UsbBackendChoice.h"

#include <memory>

namespace {

int usage(const QString &why)
{
    cliErr() << "titledeck-cli device: " << why << "\n"
             << "usage: titledeck-cli device info [--virtual-mixer[=FILE]] [--settings FILE]\n";
    return 2;
}

void printSection(const char *title, const QStringList &lines)
{
    cliOut() << title << "\n";
    for (const QString &line : lines)
        cliOut() << (line.isEmpty() ? QString() : QStringLiteral("  ") + line) << "\n";
}

int info(const UsbBackendChoice::Choice &choice, const QString &settingsFile)
{
    Waits waits;
    CliMessageBoxes boxes;
    SettingsStore settings(settingsFile.isEmpty() ? SettingsStore().fileName() : settingsFile);
    bool usable = false;
    QString why;
    const std::unique_ptr<UsbBackend> backend =
        UsbBackendChoice::make(choice, settings, waits, &usable, &why);
    if (!backend) {
        cliErr() << "titledeck-cli: " << why << "\n";
        return 1;
    }
    if (!usable) {
        cliErr() << "titledeck-cli: USB access is not available\n";
        return 1;
    }

    int status = 0;
    {
        DeviceLink link(backend.get(), waits, boxes);
        link.Start();
        if (!link.Connected()) {
            cliErr() << "titledeck-cli: no mixer connected\n";
            status = 1;
        } else {
            cliOut() << "Device path: " << link.DevicePath() << "\n";
            printSection("Device",
                         DescriptorText::lines(DescriptorText::Device, link.DeviceDescriptor(),
                                               link.ConfigDescriptor()));
            printSection("Configuration",
                         DescriptorText::lines(DescriptorText::Configuration,
                                               link.DeviceDescriptor(), link.ConfigDescriptor()));
            printSection("Interface",
                         DescriptorText::lines(DescriptorText::Interface, link.DeviceDescriptor(),
                                               link.ConfigDescriptor()));
            cliOut() << "USB Firmware Version: " << link.FirmwareText()
                     << (link.ExtendedFirmware() ? " (extended)" : "") << "\n";
            cliOut() << "Setup data mode: " << (link.SetupDataMode() ? "on" : "off") << "\n";
        }
        link.Stop();
        printSection("Link log", link.logLines());
    }
    return status;
}

int deviceMain(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usage(QStringLiteral("missing sub-command"));
    if (arguments.first() != QLatin1String("info"))
        return usage(QStringLiteral("unknown sub-command: ") + arguments.first());
    UsbBackendChoice::Choice choice;
    QString settingsFile;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (const auto virtualMixer = UsbBackendChoice::virtualMixerArgument(a))
            choice = *virtualMixer;
        else if (a == QLatin1String("--settings") && i + 1 < arguments.size())
            settingsFile = arguments[++i];
        else if (a == QLatin1String("--settings"))
            return usage(QStringLiteral("--settings needs a file name"));
        else
            return usage(QStringLiteral("unknown option: ") + a);
    }
    return info(choice, settingsFile);
}

} // namespace

static CliCommand deviceCommand("device", "device info [--virtual-mixer[=FILE]] [--settings FILE]",
                                deviceMain);
