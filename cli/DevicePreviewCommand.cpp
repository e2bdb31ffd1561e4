// titledeck-cli device preview: shows a stored title or clip on the mixer's
// output as the memory window's Preview does, or stops it.
//   preview MEMNO   start the preview of MEMNO
//   preview stop    stop the preview (of the number shown, or of every one)

#include "CliCommand.h"
#include "DeviceCli.h"
#include "DeviceListFile.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/MemoryPreview.h"

namespace {

int preview(DeviceCli &cli)
{
    const QStringList &args = cli.arguments();
    if (args.size() != 1)
        return cli.usage(QStringLiteral("preview takes one memory number or \"stop\""));
    const bool stop = args.first() == QLatin1String("stop");
    std::optional<std::uint16_t> memoryNo;
    if (!stop) {
        memoryNo = DeviceCli::parseMemoryNo(args.first());
        if (!memoryNo)
            return cli.usage(QStringLiteral("not a title or clip memory number: ") + args.first());
    }
    if (!cli.connect())
        return 1;
    if (stop) {
        if (!MemoryPreview::stop(cli.link(), MemoryNo::None))
            return DeviceCli::fail(QStringLiteral("the mixer did not stop the preview"));
        cliOut() << "preview stopped\n";
        return 0;
    }
    DeviceListFile mixer;
    mixer.readMixer(cli);
    if (!mixer.mapRead())
        return DeviceCli::fail(QStringLiteral("the memory map could not be read"));
    if (!mixer.mirror().usageOf(*memoryNo))
        return DeviceCli::fail(DeviceCli::memoryNoText(*memoryNo) +
                               QStringLiteral(" is not stored in the mixer"));
    switch (MemoryPreview::start(cli.link(), *memoryNo)) {
    case MemoryPreview::Result::Started:
        cliOut() << "previewing " << DeviceCli::memoryNoText(*memoryNo) << "\n";
        return 0;
    case MemoryPreview::Result::Busy:
        return 1;
    case MemoryPreview::Result::Refused:
        break;
    }
    return DeviceCli::fail(QStringLiteral("the mixer refused the preview of ") +
                           DeviceCli::memoryNoText(*memoryNo));
}

} // namespace

static DeviceCli::Subcommand previewCommand("preview", "preview MEMNO|stop", preview);
