#pragma once

#include <QObject>
#include <functional>

class DeviceSession;
class TFormMain;
class TFormVT90Setup;

// The main window's commands that change the mixer itself: the tool menu's
// mixer settings dialog (enabled while connected outside the setup-data
// mode, refused while the keyer is busy) and the file menu's flash setup-data read and write
// (enabled exactly while the mixer runs in its setup-data mode). The memory refresh waits while any
// of them runs.
class DeviceSetupCommands : public QObject
{
    Q_OBJECT

public:
    DeviceSetupCommands(TFormMain &main, DeviceSession &device);

    void mnuTool_VT90SetupClick();
    bool mnuFile_ReadSetupDataClick();
    bool mnuFile_WriteSetupDataClick();

    // Called with the settings dialog just before it is shown (tests answer it).
    void setDialogHook(std::function<void(TFormVT90Setup &)> hook)
    {
        m_dialogHook = std::move(hook);
    }

private:
    void updateStates();

    TFormMain &m_main;
    DeviceSession &m_device;
    std::function<void(TFormVT90Setup &)> m_dialogHook;
};
