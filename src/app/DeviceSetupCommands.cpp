#include "app/DeviceSetupCommands.h"

#include "app/FileDialog.h"
#include "app/MainActions.h"
#include "app/TFormMain.h"
#include "core/MessageBoxes.h"
#include "device/BulkInTransfer.h"
#include "device/BulkOutTransfer.h"
#include "device/DeviceLink.h"
#include "device/DeviceSession.h"
#include "device/TFormBulkInTransfer.h"
#include "device/TFormBulkOutTransfer.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/KeyerState.h"
#include "memory/MemoryRefresh.h"
#include "memory/TFormVT90Setup.h"

#include <QAction>

namespace {
constexpr int kModeOpenSetupData = 6;
constexpr int kModeSaveSetupData = 7;
} // namespace

DeviceSetupCommands::DeviceSetupCommands(TFormMain &main, DeviceSession &device)
    : QObject(&main), m_main(main), m_device(device)
{
    MainActions &a = main.actions();
    connect(a.mnuTool_VT90Setup, &QAction::triggered, this,
            &DeviceSetupCommands::mnuTool_VT90SetupClick);
    connect(a.mnuFile_ReadSetupData, &QAction::triggered, this,
            &DeviceSetupCommands::mnuFile_ReadSetupDataClick);
    connect(a.mnuFile_WriteSetupData, &QAction::triggered, this,
            &DeviceSetupCommands::mnuFile_WriteSetupDataClick);
    DeviceLink &link = device.link();
    connect(&link, &DeviceLink::connectedStateChanged, this, &DeviceSetupCommands::updateStates);
    connect(&link, &DeviceLink::setupDataModeChanged, this, &DeviceSetupCommands::updateStates);
    updateStates();
}

void DeviceSetupCommands::updateStates()
{
    DeviceLink &link = m_device.link();
    MainActions &a = m_main.actions();
    // In its setup-data mode the mixer takes nothing but the setup data.
    const bool setupMode = link.Connected() && link.SetupDataMode();
    a.mnuTool_VT90Setup->setEnabled(link.Connected() && !setupMode);
    a.mnuFile_ReadSetupData->setEnabled(setupMode);
    a.mnuFile_WriteSetupData->setEnabled(setupMode);
}

void DeviceSetupCommands::mnuTool_VT90SetupClick()
{
    if (!m_device.link().Connected() || m_device.link().SetupDataMode())
        return;
    if (m_main.keyer().IsDskBusy()) {
        ShowMessageById(m_main.boxes(), 1, 136, MsgError);
        return;
    }
    MemoryRefresh::Pause pause(&m_main.memoryRefresh());
    const DeviceMemoryMirror &mirror = m_main.memoryMirror();
    TFormVT90Setup dialog(m_device.link(), m_main.keyer(), m_main.boxes(), mirror.Signal(),
                          mirror.Aspect(), mirror.TitleRows(), &m_main);
    if (m_dialogHook)
        m_dialogHook(dialog);
    dialog.exec();
}

bool DeviceSetupCommands::mnuFile_ReadSetupDataClick()
{
    if (!m_device.link().SetupDataMode())
        return false;
    MemoryRefresh::Pause pause(&m_main.memoryRefresh());
    const QString path = FileDialog::FileDialog(
        &m_main, kModeSaveSetupData, m_main.settings().Environment, m_main.paths().ProgramFolder);
    if (path.isEmpty())
        return false;
    return TFormBulkInTransfer(m_device.bulkIn(), &m_main)
        .StartBulkIn(BulkInTransfer::SetupData, 0, path);
}

bool DeviceSetupCommands::mnuFile_WriteSetupDataClick()
{
    if (!m_device.link().SetupDataMode())
        return false;
    MemoryRefresh::Pause pause(&m_main.memoryRefresh());
    BulkOutTransfer &bulkOut = m_device.bulkOut();
    bulkOut.setSetupDataFileChooser([this] {
        return FileDialog::FileDialog(&m_main, kModeOpenSetupData, m_main.settings().Environment,
                                      m_main.paths().ProgramFolder);
    });
    TFormBulkOutTransfer dialog(bulkOut, &m_main);
    return dialog.StartBulkOut(BulkOutTransfer::SetupData, 0, {});
}
