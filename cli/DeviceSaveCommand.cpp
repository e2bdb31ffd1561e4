// titledeck-cli device save MEMNO PATH: a title (memory number below 0x4000)
// or an IntVideo clip saved from the mixer as the memory window saves it, one
// file per frame for more than one frame, the format by PATH's extension.

#include "CliCommand.h"
#include "CliProgress.h"
#include "DeviceCli.h"
#include "core/MemoryNo.h"
#include "core/Settings.h"
#include "device/BulkInTransfer.h"
#include "device/DeviceLink.h"
#include "imaging/MagickImageLibrary.h"

#include <QFileInfo>
#include <optional>

namespace {

std::optional<std::uint16_t> parseMemoryNo(const QString &text)
{
    bool ok = false;
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const uint value = hex ? text.mid(2).toUInt(&ok, 16) : text.toUInt(&ok, 10);
    if (!ok || value > 0xFFFF || !MemoryNo::isData(std::uint16_t(value)))
        return std::nullopt;
    return std::uint16_t(value);
}

// The extensions the memory window's save dialog offers for titles and for clips.
bool offeredExtension(const QString &path, bool isTitle)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QStringList offered =
        isTitle ? QStringList{"tga", "tif"} : QStringList{"tga", "bmp", "jpg", "tif", "pct"};
    return offered.contains(suffix);
}

QString hex(std::uint16_t memoryNo)
{
    return QStringLiteral("0x%1").arg(memoryNo, 4, 16, QLatin1Char('0'));
}

int save(DeviceCli &cli)
{
    const QStringList &args = cli.arguments();
    if (args.size() != 2)
        return cli.usage(args.size() < 2 ? QStringLiteral("MEMNO and PATH are needed")
                                         : QStringLiteral("unknown argument: ") + args.at(2));
    const std::optional<std::uint16_t> memoryNo = parseMemoryNo(args.at(0));
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

    const EnvironmentSettings environment = LoadSettings(cli.settings(), {}).Environment;
    MagickImageLibrary images;
    BulkInTransfer job(cli.link(), images);
    job.setLevelSource([environment] {
        return DevicePicture::LevelSettings{environment.YUVMax, environment.YUVMin};
    });
    if (!job.Prepare(isTitle ? BulkInTransfer::SaveTitle : BulkInTransfer::SaveClip, *memoryNo,
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
    if (cli.boxes().shownCount() == messagesBefore)
        return DeviceCli::fail(QStringLiteral("nothing saved: the mixer holds no title or clip at "
                                              "memory number %1, or did not answer")
                                   .arg(hex(*memoryNo)));
    return 1;
}

} // namespace

static DeviceCli::Subcommand saveCommand("save", "save MEMNO PATH [--yes]", save);
