// titledeck-cli device save MEMNO PATH: a title (memory number below 0x4000)
// or an IntVideo clip saved from the mixer as the memory window saves it, one
// file per frame for more than one frame, the format by PATH's extension.

#include "CliCommand.h"
#include "CliProgress.h"
#include "DeviceCli.h"
#include "core/MemoryNo.h"
#include "device/BulkInTransfer.h"
#include "device/DeviceLink.h"
#include "imaging/MagickImageLibrary.h"

#include <QFileInfo>
#include <optional>

namespace {

// The extensions the memory window's save dialog offers for titles and for clips.
bool offeredExtension(const QString &path, bool isTitle)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QStringList offered =
        isTitle ? QStringList{"tga", "tif"} : QStringList{"tga", "bmp", "jpg", "tif", "pct"};
    return offered.contains(suffix);
}

int save(DeviceCli &cli)
{
    const QStringList &args = cli.arguments();
    if (args.size() != 2)
        return cli.usage(args.size() < 2 ? QStringLiteral("MEMNO and PATH are needed")
                                         : QStringLiteral("unknown argument: ") + args.at(2));
    const std::optional<std::uint16_t> memoryNo = DeviceCli::parseMemoryNo(args.at(0));
    if (!memoryNo)
        return cli.usage(QStringLiteral("MEMNO must be a memory number (decimal or 0x hex) "
                                        "below 0xFFFA, not \"%1\"")
                             .arg(args.at(0)));
    const bool isTitle = *memoryNo < MemoryNo::FirstClip;
    const QString path = QFileInfo(args.at(1)).absoluteFilePath();
    if (!offeredExtension(path, isTitle))
        return cli.usage(isTitle
                             ? QStringLiteral("a title is saved as .tga or .tif")
                             : QStringLiteral("a clip is saved as .tga, .bmp, .jpg, .tif or .pct"));
    if (!cli.connect())
        return 1;

    MagickImageLibrary images;
    BulkInTransfer job(cli.link(), images);
    job.setLevels([levels = cli.levels()] { return levels; });
    if (!job.setJob(isTitle ? BulkInTransfer::SaveTitle : BulkInTransfer::SaveClip, *memoryNo,
                    path))
        return DeviceCli::fail(QStringLiteral("the mixer is busy with another read"));
    const int messagesBefore = cli.boxes().shownCount();
    bool ok = false;
    {
        CliProgress progress(job);
        ok = job.Run();
    }
    for (const QString &file : job.writtenFiles())
        cliOut() << file << "\n";
    if (ok)
        return 0;
    if (!job.failedFile().isEmpty())
        return DeviceCli::fail(QStringLiteral("cannot write %1").arg(job.failedFile()));
    if (job.endedEarly())
        return DeviceCli::fail(
            QStringLiteral("the transfer ended early: the mixer stopped sending"));
    if (cli.boxes().shownCount() == messagesBefore)
        return DeviceCli::fail(QStringLiteral("nothing saved: the mixer holds no title or clip at "
                                              "memory number %1, or did not answer")
                                   .arg(DeviceCli::memoryNoText(*memoryNo)));
    return 1;
}

} // namespace

static DeviceCli::Subcommand saveCommand("save", "save MEMNO PATH [--yes]", save);
