#include "app/MainDeviceWiring.h"

#include "app/AutoLoadCommand.h"
#include "app/DeviceSetupCommands.h"
#include "app/FileDialog.h"
#include "app/HelpMenu.h"
#include "app/MainCommands.h"
#include "app/OperateCommands.h"
#include "app/TFormMain.h"
#include "device/DeviceCommands.h"
#include "device/DeviceSession.h"
#include "device/LoadSelectedTitles.h"
#include "device/TFormBulkInTransfer.h"
#include "device/TFormBulkOutTransfer.h"
#include "device/TFormUsbInfo.h"
#include "device/TFormVT90Info.h"
#include "list/ImageImport.h"
#include "list/ListEditor.h"
#include "list/ListServices.h"
#include "list/TitleList.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/DskPlayer.h"
#include "memory/MemoryRefresh.h"
#include "memory/TFormMemoryManagement.h"
#include "properties/PropertyCommand.h"
#include "properties/StoredTitleUpdate.h"
#include "resources/MessageTable.h"

#include <QAction>
#include <QPointer>
#include <memory>

namespace {

// The memory window's commands that reach the list, the dialogs and the bulk pipes.
void connectMemoryWindow(TFormMain &main, DeviceSession &device)
{
    TFormMemoryManagement &window = main.memoryWindow();
    DeviceLink &link = device.link();
    BulkInTransfer &bulkIn = device.bulkIn();
    BulkOutTransfer &bulkOut = device.bulkOut();
    TFormMemoryManagement::Hooks hooks;
    hooks.link = [&link] { return &link; };
    hooks.chooseFile = [&main, &window](int mode) {
        return FileDialog::FileDialog(&window, mode, main.settings().Environment);
    };
    hooks.save = [&bulkIn, &window](int mode, std::uint16_t memoryNo, const QString &path) {
        if (!TFormBulkInTransfer(bulkIn, &window).StartBulkIn(mode, memoryNo, path))
            return QStringList();
        return bulkIn.writtenFiles();
    };
    hooks.loadVideo = [&main, &bulkOut, &window](const QString &file, TitleAttributes &stored,
                                                 Bitmap &icon) {
        TitleEntry entry = TitleEntry::create();
        ImageImport import(main.commands().editor().services());
        if (!import.MakeTitleFromImage(file, entry, true))
            return false;
        import.makeThumbnail(entry);
        // A clip takes whole rows.
        entry.Attributes.setBlocksPerFrame(8);
        std::vector<TransferItem> items(1);
        items[0].Order = 1;
        items[0].Attributes = entry.Attributes;
        items[0].FileList = entry.FileList;
        TFormBulkOutTransfer dialog(bulkOut, &window);
        if (!dialog.StartBulkOut(BulkOutTransfer::IntVideo, 0, std::move(items)) ||
            bulkOut.items().empty())
            return false;
        stored = bulkOut.items().front().Attributes;
        icon = entry.Thumbnail;
        return true;
    };
    // The main window's Open Image, then Load of the title it added (alone).
    hooks.loadTitle = [&main] {
        TitleList &list = main.titleList();
        const int before = list.count();
        main.commands().mnuFile_FileOpenClick();
        if (list.count() <= before)
            return;
        list.SetCursor(list.count());
        main.operate().mnuOperate_LoadClick();
    };
    hooks.openTitleProperty = [&main](std::uint16_t memoryNo) {
        const std::optional<int> index = main.titleList().FindByMemoryNo(memoryNo);
        if (!index)
            return;
        main.titleList().SetCursor(*index);
        main.commands().mnuFile_PropertyClick();
    };
    window.setHooks(std::move(hooks));
}

} // namespace

void connectMainWindowToDevice(TFormMain &main, DeviceSession &device)
{
    connectMemoryWindow(main, device);

    DeviceLink &link = device.link();
    DeviceMemoryMirror &mirror = main.memoryMirror();
    TitleList &list = main.titleList();

    // Pictures go to and come from the mixer with the levels of the settings
    // and the video format the mixer runs.
    const auto levels = [&main] {
        const EnvironmentSettings &e = main.settings().Environment;
        return DevicePicture::LevelSettings{e.YUVMax, e.YUVMin};
    };
    device.bulkIn().setLevels(levels);
    device.bulkOut().setLevels(levels);
    device.bulkOut().setPal([&mirror] { return mirror.videoFormat().isPal; });

    // The memory mirror reads the map through the read side and clears through the link.
    mirror.setLink(&link);
    BulkInTransfer &bulkIn = device.bulkIn();
    mirror.setMapReader([&mirror, &bulkIn] {
        bulkIn.ReadMemoryMap(
            [&mirror](const QByteArray &map) { return mirror.ApplyMemoryMap(map); });
    });
    device.listClient().setMemoryHooks(
        [&mirror, &main] { mirror.deviceConnected(main.settings().Environment); },
        [&mirror] { mirror.deviceDisconnected(); });

    // Play, Stop and Autotake reach the mixer's keyer through the link.
    main.operate().player().setLink(&link);

    // The device information window, hidden until the help menu's service
    // item shows it; it goes with the link it reads from.
    QPointer<TFormVT90Info> info =
        new TFormVT90Info(link, device.eventReader(), main.boxes(), &main);
    QObject::connect(&link, &QObject::destroyed, [info] { delete info.data(); });
    auto *infoItem = new QAction(MessageTable::caption(QStringLiteral("本体情報(&M)...")), &main);
    infoItem->setObjectName(QStringLiteral("mnuHelp_VT90Info"));
    QObject::connect(infoItem, &QAction::triggered, info, [info] {
        info->show();
        info->raise();
        info->activateWindow();
    });
    main.helpMenu().addServiceItem(infoItem);

    // The Load command: the selected titles that are not stored, through the transfer dialog.
    BulkOutTransfer &bulkOut = device.bulkOut();
    main.operate().setLoader([&main, &link, &list, &bulkOut] {
        TFormBulkOutTransfer dialog(bulkOut, &main);
        return LoadSelectedTitles(
            link, list, [&dialog](int mode, int argument, std::vector<TransferItem> items) {
                return dialog.StartBulkOut(mode, argument, std::move(items));
            });
    });

    // Editing reaches the device: a stored title that leaves the list is freed,
    // undo or redo brings the stored titles back into line, a stored title's
    // new properties are written into the mixer, and new effect patterns are
    // checked against what the mixer offers.
    ListEditor &editor = main.commands().editor();
    ListServices &services = editor.services();
    services.checkEffectPatterns = [&link](std::uint16_t in, std::uint16_t out) {
        return StoredTitleUpdate::CheckEffectPatterns(link, in, out);
    };
    QObject::connect(
        &editor, &ListEditor::deviceTitleReleased, &link, [&link](std::uint16_t memoryNo) {
            DeviceCommands(link).MemoryOperation(memoryNo, DeviceRequest::MemoryOp::Clear);
        });
    QObject::connect(&editor, &ListEditor::resyncRequested, &link, [&link, &list] {
        if (link.Connected())
            ListDeviceClient::ResyncDeviceTitles(list, link);
    });
    main.commands().propertyCommand().setStoredTitleWriter(
        [&link](const TitleAttributes &attributes) {
            if (link.Connected())
                StoredTitleUpdate::WriteStoredTitle(link, attributes);
        });

    // The mixer's settings and its flash setup data.
    new DeviceSetupCommands(main, device);

    // Auto-load of the send list (Shift+Space).
    new AutoLoadCommand(main, device);

    // The USB diagnostics window, from the help menu's service items; its
    // transfer test pauses the memory refresh.
    auto *usbInfo =
        new TFormUsbInfo(link, device.bulkIn(), device.bulkOut(), device.eventReader(), &main);
    usbInfo->setRefreshPause([&main]() -> std::shared_ptr<void> {
        return std::make_shared<MemoryRefresh::Pause>(&main.memoryRefresh());
    });
    auto *mnuHelp_UsbInfo =
        new QAction(MessageTable::caption(QStringLiteral("USB情報(&U)...")), &main);
    mnuHelp_UsbInfo->setObjectName(QStringLiteral("mnuHelp_UsbInfo"));
    QObject::connect(mnuHelp_UsbInfo, &QAction::triggered, usbInfo, [usbInfo] {
        usbInfo->show();
        usbInfo->raise();
        usbInfo->activateWindow();
    });
    main.helpMenu().addServiceItem(mnuHelp_UsbInfo);
}
