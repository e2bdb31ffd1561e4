#include "app/MainDeviceWiring.h"

#include "app/HelpMenu.h"
#include "app/MainCommands.h"
#include "app/OperateCommands.h"
#include "app/TFormMain.h"
#include "device/DeviceCommands.h"
#include "device/DeviceSession.h"
#include "device/LoadSelectedTitles.h"
#include "device/TFormBulkOutTransfer.h"
#include "device/TFormVT90Info.h"
#include "list/ListEditor.h"
#include "list/ListServices.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/DskPlayer.h"
#include "properties/PropertyCommand.h"
#include "properties/StoredTitleUpdate.h"
#include "resources/MessageTable.h"

#include <QAction>
#include <QPointer>

void connectMainWindowToDevice(TFormMain &main, DeviceSession &device)
{
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
}
