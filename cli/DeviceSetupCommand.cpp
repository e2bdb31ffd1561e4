// titledeck-cli device setup read|write FILE.vts: the mixer's flash setup
// data copied into a setup-data file, or a setup-data file written back,
// while the mixer runs in its setup-data mode.

#include "CliCommand.h"
#include "CliProgress.h"
#include "DeviceCli.h"
#include "device/BulkInTransfer.h"
#include "device/BulkOutTransfer.h"
#include "device/DeviceLink.h"
#include "imaging/MagickImageLibrary.h"

#include <QFileInfo>

namespace {

int setup(DeviceCli &cli)
{
    const QStringList &args = cli.arguments();
    if (args.size() != 2 || (args.at(0) != "read" && args.at(0) != "write"))
        return cli.usage(args.size() > 2 ? QStringLiteral("unknown argument: ") + args.at(2)
                                         : QStringLiteral("read or write and FILE.vts are needed"));
    const bool read = args.at(0) == "read";
    const QString path = QFileInfo(args.at(1)).absoluteFilePath();
    if (!read && !QFileInfo(path).isFile())
        return DeviceCli::fail(QStringLiteral("cannot open %1").arg(path));
    if (!cli.connect())
        return 1;
    if (!cli.link().SetupDataMode())
        return DeviceCli::fail(QStringLiteral("the mixer is not in its setup-data mode "
                                              "(start it in that mode first)"));

    MagickImageLibrary images;
    const int messagesBefore = cli.boxes().shownCount();
    bool ok = false;
    if (read) {
        BulkInTransfer job(cli.link(), images);
        if (!job.setJob(BulkInTransfer::SetupData, 0, path))
            return DeviceCli::fail(QStringLiteral("the mixer is busy with another read"));
        CliProgress progress(job);
        ok = job.Run();
        if (!ok && job.endedEarly())
            return DeviceCli::fail(
                QStringLiteral("the transfer ended early: the mixer stopped sending"));
    } else {
        BulkOutTransfer job(cli.link(), images);
        job.setSetupDataFileChooser([path] { return path; });
        if (!job.setJob(BulkOutTransfer::SetupData, 0, {}))
            return DeviceCli::fail(QStringLiteral("the mixer is busy with another write"));
        CliProgress progress(job);
        ok = job.Run();
    }
    if (ok) {
        cliOut() << path << "\n";
        return 0;
    }
    if (cli.boxes().shownCount() == messagesBefore)
        return DeviceCli::fail(read ? QStringLiteral("nothing saved")
                                    : QStringLiteral("nothing written to the mixer"));
    return 1;
}

} // namespace

static DeviceCli::Subcommand setupCommand("setup", "setup read|write FILE.vts [--yes]", setup);
