// titledeck-cli device info: connect to the mixer (over USB, or the virtual
// mixer in-process) and show its descriptors as the USB diagnostics window
// does, its firmware, whether it is in setup-data mode, and the link log of
// the run.

#include "CliCommand.h"
#include "DeviceCli.h"
#include "device/DescriptorText.h"
#include "device/DeviceLink.h"

namespace {

void printSection(const char *title, const QStringList &lines)
{
    cliOut() << title << "\n";
    for (const QString &line : lines)
        cliOut() << (line.isEmpty() ? QString() : QStringLiteral("  ") + line) << "\n";
}

int info(DeviceCli &cli)
{
    if (!cli.arguments().isEmpty())
        return cli.usage(QStringLiteral("unknown option: ") + cli.arguments().first());
    const bool connected = cli.connect();
    if (connected) {
        const DeviceLink &link = cli.link();
        cliOut() << "Device path: " << link.DevicePath() << "\n";
        for (const auto &[title, selector] :
             {std::pair{"Device", DescriptorText::Device},
              std::pair{"Configuration", DescriptorText::Configuration},
              std::pair{"Interface", DescriptorText::Interface}})
            printSection(title, DescriptorText::lines(selector, link.DeviceDescriptor(),
                                                      link.ConfigDescriptor()));
        cliOut() << "USB Firmware Version: " << link.FirmwareText()
                 << (link.ExtendedFirmware() ? " (extended)" : "") << "\n";
        cliOut() << "Setup data mode: " << (link.SetupDataMode() ? "on" : "off") << "\n";
    }
    if (cli.hasLink()) {
        cli.link().Stop();
        printSection("Link log", cli.link().logLines());
    }
    return connected ? 0 : 1;
}

} // namespace

static DeviceCli::Subcommand infoCommand("info", "info", info);
