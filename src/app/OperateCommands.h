#pragma once

#include <QObject>
#include <functional>
#include <memory>

class DeviceMemoryMirror;
class DskPlayer;
class KeyerState;
class MainActions;
class MemoryRefresh;
class MessageBoxes;
class TitleList;
class Waits;

// The main window's device commands of the Operate menu, the toolbar and the
// keys L, Space, S, Ctrl+R and Ctrl+T: load the selected titles, play and stop
// the title under the cursor, Autotake, clear the selected titles, clear every
// list title. They are enabled exactly while a device is connected (Load also
// needs its transfer; Play a single selected title).
class OperateCommands : public QObject
{
    Q_OBJECT

public:
    // Uploads the selected titles that are not stored; true when it succeeded.
    using Loader = std::function<bool()>;

    OperateCommands(MainActions &actions, TitleList &list, DeviceMemoryMirror &mirror,
                    MemoryRefresh &refresh, KeyerState &keyer, Waits &waits, MessageBoxes &boxes,
                    QObject *parent = nullptr);
    ~OperateCommands() override;

    // Play, Stop, Pause and Autotake, and the keyer cursor's preview.
    DskPlayer &player() { return *m_player; }

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
    std::unique_ptr<DskPlayer> m_player;
    bool m_connected = false;
};
