#pragma once

#include <QObject>
#include <functional>

class DeviceMemoryMirror;
class MainActions;
class MemoryRefresh;
class TitleList;

// The main window's device memory commands of the Operate menu, the toolbar
// and the keys L, Ctrl+R and Ctrl+T: load the selected titles, clear the
// selected titles, clear every list title. They are enabled exactly while a
// device is connected (Load also needs its transfer).
class OperateCommands : public QObject
{
    Q_OBJECT

public:
    // Uploads the selected titles that are not stored; true when it succeeded.
    using Loader = std::function<bool()>;

    OperateCommands(MainActions &actions, TitleList &list, DeviceMemoryMirror &mirror,
                    MemoryRefresh &refresh, QObject *parent = nullptr);

    void setLoader(Loader loader);
    void setConnected(bool connected);

    // Load: the refresh waits while the titles go out, then the map is read again.
    bool mnuOperate_LoadClick();
    // Clear: asks (111), then clears each selected title, protected ones kept.
    void mnuOperate_ClearClick();
    // Clear all: every list title, protected ones kept, after asking (115).
    void mnuOperate_ClearAllClick();

private:
    void updateStates();

    MainActions &m_actions;
    TitleList &m_list;
    DeviceMemoryMirror &m_mirror;
    MemoryRefresh &m_refresh;
    Loader m_load;
    bool m_connected = false;
};
