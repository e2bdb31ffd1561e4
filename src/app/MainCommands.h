#pragma once

#include "core/DskState.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class GridPictures;
class KeyerState;
class ListEditor;
class ListGridCellDrawer;
class MainActions;
class PropertyCommand;
class PropertyHistory;
class QTimer;
class TFormImageDisplay;
class TFormMain;
class TitleTypeDialogChooser;
struct ListServices;

// The commands of the main window's File (list and picture files), Edit, View
// and Cursor menus, wired once to the actions that the menus, the toolbar, the
// keys and the grid's context menu share; the enabling rules of those
// commands (all list commands greyed while the list editor is busy), dropped
// files, the status bar's second panel and the keyer state as the grid shows
// it. The list operations themselves, the list file name and the modified
// flag are ListEditor's.
class MainCommands : public QObject
{
    Q_OBJECT

public:
    // Chooses a file for a FileDialog mode; empty when cancelled.
    using FileChooser = std::function<QString(int mode)>;

    MainCommands(TFormMain &window, MainActions &actions, KeyerState &keyer);
    ~MainCommands() override;

    ListEditor &editor() { return *m_editor; }
    PropertyHistory &history() { return *m_history; }
    // The property command; the device side sets its stored-title writer.
    PropertyCommand &propertyCommand() { return *m_property; }
    ListGridCellDrawer &cellDrawer() { return *m_drawer; }
    TFormImageDisplay &imageDisplay() { return *m_imageDisplay; }
    // Tests answer the file dialogs.
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

    // File menu.
    void mnuFile_MakeNewListClick();
    void mnuFile_FileOpenClick();
    void mnuFile_ListOpenClick();
    // The Open command on a list file given from outside (none: the file
    // dialog chooses): refused while the keyer runs (136), the save offer for
    // a modified list (129), then the list is opened. Returns whether it was.
    bool openList(const QString &path);
    // Save: returns whether the list was written (the close query goes on only then).
    bool mnuFile_ListSaveClick();
    bool mnuFile_ListSaveAsClick();
    // The image viewer on the cursor title at its icon frame.
    void mnuFile_ImageDisplayClick();
    void mnuFile_ExitClick();
    // The property command for the cursor title (also Enter, a double click
    // on the property columns and the grid's context menu).
    void mnuFile_PropertyClick();
    // Tools menu: the defaults of new titles.
    void mnuTool_DefaultDataSetupClick();
    // Edit menu: the enabling of its items when it opens (its commands are
    // the list editor's own).
    void mnuEditClick();
    // View menu.
    void mnuView_IconClick();
    void mnuView_ListClick();
    void mnuView_SortName_UpwardClick();
    void mnuView_SortName_DownwardClick();
    void mnuView_SortComment_UpwardClick();
    void mnuView_SortComment_DownwardClick();
    void SortList(int mode);
    // Cursor menu.
    void mnuCursor_CursorTopClick();
    void mnuCursor_CursorPrevSkipClick();
    void mnuCursor_CursorPrevClick();
    void mnuCursor_CursorNextClick();
    void mnuCursor_CursorNextSkipClick();
    void mnuCursor_CursorBottomClick();
    void mnuCursor_JumpToDskClick();
    void JumpToMark(int mark);
    // Tool menu: the environment dialog; OK stores its values in the settings.
    void mnuTool_EnvSetupClick();

    // Files dropped from the desktop: the accepted ones added in order,
    // stopping at the first that fails. Returns how many were added.
    int dropFiles(const QStringList &paths);
    // Opening the last list at start (no message for a missing file).
    void openAtStart(const QString &path);
    // The device changed its video format: the list is closed as by New (the
    // save question included; a cancel keeps it), without New's keyer check.
    void closeListForFormatChange();
    // The keyer state as the grid shows it: repaints the columns of the
    // on-air icon and the DSK cursor (state, ON, TYPE, OFF).
    void showDskState(DskState state);
    // The blink phase of the DSK cursor (the blink timer flips it every
    // 500 ms): repaints the ON and OFF columns.
    void showBlinkPhase(int phase);

    // Re-applies the enabling rules, the Mark jump items and the status text.
    void updateCommandStates();
    void updateStatusText();
    void updateSortMarks();

private:
    bool offerSave();
    void connectActions();
    void connectKeyer();
    QString chooseFile(int mode);

    TFormMain &m_window;
    MainActions &m_actions;
    KeyerState &m_keyer;
    QTimer *TimerBlinkDskCursor = nullptr;
    int m_blinkPhase = 0;
    std::unique_ptr<PropertyHistory> m_history;
    std::unique_ptr<TitleTypeDialogChooser> m_chooser;
    std::unique_ptr<ListServices> m_services;
    std::unique_ptr<ListEditor> m_editor;
    std::unique_ptr<PropertyCommand> m_property;
    std::unique_ptr<GridPictures> m_pictures;
    std::unique_ptr<ListGridCellDrawer> m_drawer;
    FileChooser m_chooseFile;
    TFormImageDisplay *m_imageDisplay = nullptr;
};
