// titledeck-cli device upload and device load-clip: titles of a list file
// and IntVideo clips into the mixer, as the windows' Load and Load Video
// commands send them, with the progress on standard error.

#include "CliCommand.h"
#include "CliTitleTypeChooser.h"
#include "DeviceCli.h"
#include "DeviceListFile.h"
#include "DirectBulkOut.h"
#include "core/AppPaths.h"
#include "device/BulkOutTransfer.h"
#include "device/DeviceLink.h"
#include "device/LoadSelectedTitles.h"
#include "list/ImageImport.h"
#include "list/ListServices.h"
#include "list/PropertyHistory.h"

#include <QFileInfo>

namespace {

// Connects to a mixer that can take data: not one in its setup-data mode.
bool connectForData(DeviceCli &cli)
{
    if (!cli.connect())
        return false;
    if (cli.link().SetupDataMode()) {
        DeviceCli::fail(QStringLiteral("the mixer is in setup-data mode"));
        return false;
    }
    return true;
}

int upload(DeviceCli &cli)
{
    const QStringList &arguments = cli.arguments();
    if (arguments.isEmpty())
        return cli.usage(QStringLiteral("upload takes a list file"));
    std::vector<int> orders;
    for (const QString &a : arguments.mid(1)) {
        bool ok = false;
        const int order = a.toInt(&ok);
        if (!ok || order < 1 || order > TitleList::MaxTitles)
            return cli.usage(QStringLiteral("not an order number (1-99): ") + a);
        orders.push_back(order);
    }
    if (!connectForData(cli))
        return 1;
    const QString path = QFileInfo(arguments.first()).absoluteFilePath();
    DeviceListFile file;
    if (!file.open(cli, path))
        return 1;
    TitleList &list = file.list();
    bool allThere = file.failedCount() == 0;
    if (orders.empty()) {
        list.SelectAll();
    } else {
        for (int i = 1; i <= list.count(); ++i)
            list.setSelected(i, false);
        for (int order : orders) {
            if (const std::optional<int> index = file.indexOfRecord(order)) {
                list.setSelected(*index, true);
                continue;
            }
            allThere = false;
            cliErr() << "titledeck-cli: " << path
                     << (order > file.recordCount() ? " has no title " : " cannot send title ")
                     << order << "\n";
        }
    }
    // What the job will send: the others are in the mixer already.
    const std::vector<TransferItem> toSend = SelectedTitlesToLoad(list);

    BulkOutTransfer transfer(cli.link(), file.images());
    transfer.setTitleList(&list);
    prepareBulkOut(transfer, cli, file.format().isPal);
    bool ok = list.isEmpty() || LoadSelectedTitles(cli.link(), list, directRunner(transfer, cli));
    // The titles sent before a failure stay in the mixer: the file says so too.
    ok = file.writeDeviceFields(cli.boxes()) && ok;
    for (const TransferItem &item : toSend) {
        const TitleAttributes &a = list.at(item.Order).Attributes;
        if (a.memoryNo() != MemoryNo::NotStored)
            cliOut() << "title " << file.recordOfIndex(item.Order) << " stored as memory number "
                     << DeviceCli::memoryNoText(a.memoryNo()) << "\n";
    }
    return ok && allThere ? 0 : 1;
}

int loadClip(DeviceCli &cli)
{
    if (cli.arguments().size() != 1)
        return cli.usage(QStringLiteral("load-clip takes one picture file"));
    if (!connectForData(cli))
        return 1;
    const QString picture = QFileInfo(cli.arguments().first()).absoluteFilePath();
    if (!QFileInfo(picture).isFile()) {
        ShowMessageById(cli.boxes(), 1, 87, MsgError);
        return 1;
    }
    DeviceListFile mixer;
    mixer.readMixer(cli);
    const VideoFormatParams &format = mixer.format();
    ImageLibrary &images = mixer.images();
    const Settings settings = cli.programSettings();
    PropertyHistory history(AppPaths::standard().HistoryFile, cli.waits());
    CliTitleTypeChooser chooser;
    ListServices services{cli.boxes(), images, cli.waits(), settings, history, chooser};
    services.videoFormat = [&format]() -> const VideoFormatParams & { return format; };
    services.connected = [&cli] { return cli.link().Connected(); };

    TitleEntry entry = TitleEntry::create();
    ImageImport import(services);
    if (!import.MakeTitleFromImage(picture, entry, true)) {
        if (cli.boxes().shownCount() + chooser.refusalCount() == 0)
            cliErr() << "titledeck-cli: " << picture << " cannot be read\n";
        return 1;
    }
    // A clip takes whole rows.
    entry.Attributes.setBlocksPerFrame(8);
    std::vector<TransferItem> items(1);
    items[0].Order = 1;
    items[0].Attributes = entry.Attributes;
    items[0].FileList = entry.FileList;

    BulkOutTransfer transfer(cli.link(), images);
    prepareBulkOut(transfer, cli, format.isPal);
    if (!directRunner(transfer, cli)(BulkOutTransfer::IntVideo, 0, std::move(items)))
        return 1;
    cliOut() << picture << ": " << entry.FileList.size() << " frames stored as memory number "
             << DeviceCli::memoryNoText(transfer.items().front().Attributes.memoryNo()) << "\n";
    return 0;
}

} // namespace

static DeviceCli::Subcommand uploadCommand("upload", "upload LIST [ORDER...]", upload);
static DeviceCli::Subcommand loadClipCommand("load-clip", "load-clip PICTURE", loadClip);
