#include "app/AutoLoadCommand.h"

#include "app/MainActions.h"
#include "app/OperateCommands.h"
#include "app/TFormMain.h"
#include "core/Settings.h"
#include "core/Waits.h"
#include "device/BulkOutTransfer.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "device/DeviceSession.h"
#include "list/TitleList.h"
#include "memory/AutoLoad.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/DskPlayer.h"
#include "memory/KeyerState.h"
#include "memory/MemoryRefresh.h"
#include "memory/TFormAutoLoad.h"
#include "memory/TFormMemoryManagement.h"

#include <QAction>
#include <QCheckBox>

namespace {

constexpr int kStopWaitMs = 3000;

} // namespace

AutoLoadCommand::AutoLoadCommand(TFormMain &main, DeviceSession &device)
    : QObject(&main), m_main(main), m_device(device)
{
    DeviceMemoryMirror &mirror = main.memoryMirror();
    BulkOutTransfer &bulkOut = device.bulkOut();
    DeviceLink &link = device.link();
    AutoLoad::Services s = AutoLoad::deviceServices(bulkOut, mirror, link);
    s.list = &main.titleList();
    s.keyer = &main.keyer();
    s.player = &main.operate().player();
    s.waits = &main.services().waits;
    s.boxes = &main.boxes();
    m_autoLoad = new AutoLoad(s, this);
    m_window = new TFormAutoLoad(*m_autoLoad, &main);

    m_autoLoad->follow(device.eventReader(), link);
    connect(&link, &DeviceLink::connectedStateChanged, this, &AutoLoadCommand::updateState);
    connect(&main.titleList(), &TitleList::countChanged, this, &AutoLoadCommand::updateState);
    connect(main.actions().mnuOperate_AutoLoad, &QAction::triggered, this,
            &AutoLoadCommand::mnuOperate_AutoLoadClick);
    updateState();
}

AutoLoadCommand::~AutoLoadCommand() = default;

void AutoLoadCommand::updateState()
{
    m_main.actions().mnuOperate_AutoLoad->setEnabled(m_device.link().Connected() &&
                                                     m_main.titleList().count() > 0);
}

void AutoLoadCommand::mnuOperate_AutoLoadClick()
{
    if (!m_device.link().Connected() || m_main.titleList().count() < 1 || m_autoLoad->running())
        return;
    KeyerState &keyer = m_main.keyer();
    if (keyer.IsDskBusy()) {
        m_main.operate().player().Stop();
        m_main.services().waits.waitUntil([&keyer] { return !keyer.IsDskBusy(); }, kStopWaitMs);
    }
    {
        MemoryRefresh::Pause pause(&m_main.memoryRefresh());
        m_main.memoryWindow().close();
        EnvironmentSettings &env = m_main.settings().Environment;
        m_window->endlessBox()->setChecked(env.AutoLoadEndless);
        m_window->exec();
        env.AutoLoadEndless = m_window->endlessBox()->isChecked();
    }
    if (m_device.link().Connected())
        m_main.memoryMirror().RefreshMemoryNow();
}
