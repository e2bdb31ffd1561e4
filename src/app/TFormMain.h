#pragma once

#include "core/AppPaths.h"
#include "core/Settings.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>

class DesktopFiles;
class DeviceMemoryMirror;
class GridMouseController;
class HelpMenu;
class ImageLibrary;
class ListGrid;
class MainActions;
class KeyerState;
class MainCommands;
class MemoryRefresh;
class MessageBoxes;
class OperateCommands;
class QLabel;
class RecoveryKeeper;
class SettingsStore;
class TFormMemoryManagement;
class TitleList;
class Waits;

namespace Ui {
class TFormMain;
}

// What the main window is given by the program start: the seams it talks to
// the world through.
struct MainServices
{
    MessageBoxes &boxes;
    ImageLibrary &images;
    SettingsStore &store;
    Waits &waits;
    AppPaths paths;
};

// The main window: owns the send list, the settings and the connection state
// for the whole run; shows the list grid and the status bar. Closing it (or
// quitting the program) writes the settings and empties the list through the
// property history; destroying it does nothing more.
class TFormMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TFormMain(const MainServices &services, QWidget *parent = nullptr);
    ~TFormMain() override;

    // False when the window could not build its list (message 123 was shown).
    bool created() const { return m_created; }

    TitleList &titleList() { return *m_list; }
    ListGrid &grid();
    const Settings &settings() const { return m_settings; }
    Settings &settings() { return m_settings; }
    const AppPaths &paths() const { return m_services.paths; }
    MessageBoxes &boxes() { return m_services.boxes; }
    const MainServices &services() const { return m_services; }
    MainCommands &commands() { return *m_commands; }
    MainActions &actions() { return *m_actions; }
    HelpMenu &helpMenu() { return *m_help; }

    bool Connected() const { return m_connected; }
    bool Closing() const { return m_closing; }
    // The keyer play state and the title on air (SetDskState is its one entry).
    KeyerState &keyer() { return *m_keyer; }
    // The copy of the device memory and its refresh, for the whole run.
    DeviceMemoryMirror &memoryMirror() { return *m_mirror; }
    MemoryRefresh &memoryRefresh() { return *m_refresh; }
    OperateCommands &operate() { return *m_operate; }
    // The memory window: created hidden with the main window, shown on demand.
    TFormMemoryManagement &memoryWindow() { return *m_memoryWindow; }

    // The copy of the unsaved list kept against a crash.
    RecoveryKeeper &recovery() { return *m_recovery; }
    // Files given on the program's command line: opened when the window
    // first shows, instead of the last list.
    void setStartFiles(const QStringList &paths) { m_startFiles = paths; }
    // Files handed over by a later start: the window comes to the front and
    // opens them (DesktopFiles).
    void openFiles(const QStringList &paths);
    DesktopFiles &desktopFiles() { return *m_desktop; }
    // The process is being ended from outside (SIGTERM and the like): what
    // closing writes is written without a question, and an unsaved list is
    // kept for the next start to offer.
    void endBySignal() { FormDestroy(); }

    // Switches the connection state shown in the status bar (100 / 101).
    void setConnected(bool connected);
    // Text of the status bar's second panel.
    void setStatusPath(const QString &text);
    QString statusText(int panel) const;
    // Icon view or list view of the grid (the settings' FormModeIcon follows).
    void setIconView(bool icon);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void FormDestroy();
    void FormResize();
    void applyViewMode();
    // The caption: the list file's name and whether the list has unsaved changes.
    void UpdateCaption(const QString &listFileName, bool modified);

    MainServices m_services;
    std::unique_ptr<Ui::TFormMain> ui;
    std::unique_ptr<TitleList> m_list;
    Settings m_settings;
    MainActions *m_actions = nullptr;
    HelpMenu *m_help = nullptr;
    MainCommands *m_commands = nullptr;
    GridMouseController *m_mouse = nullptr;
    QLabel *m_statusPanel0 = nullptr;
    QLabel *m_statusPanel1 = nullptr;
    bool m_created = false;
    bool m_shownOnce = false;
    // The operator closed the window (the close query passed).
    bool m_closeAccepted = false;
    // The first showing has opened the start's list.
    bool m_startDone = false;
    bool m_closing = false;
    bool m_connected = false;
    bool m_autoLoadRunning = false;
    KeyerState *m_keyer = nullptr;
    DeviceMemoryMirror *m_mirror = nullptr;
    MemoryRefresh *m_refresh = nullptr;
    OperateCommands *m_operate = nullptr;
    TFormMemoryManagement *m_memoryWindow = nullptr;
    RecoveryKeeper *m_recovery = nullptr;
    DesktopFiles *m_desktop = nullptr;
    QStringList m_startFiles;
};
