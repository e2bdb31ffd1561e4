#pragma once

#include <QObject>
#include <QString>
#include <array>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

// The main window's commands: each one QAction named after its menu item
// (`mnuFile_MakeNewList` ...), captioned in the chosen language (the Japanese
// captions mapped to English by the message table), carrying the command's
// keys as shortcuts. The menu bar, the toolbar (whose buttons carry the
// button names, `TButtonFileOpen` ...) and the grid's context menu
// (`PopupMenuGrid`) all show these same actions.
class MainActions : public QObject
{
    Q_OBJECT

public:
    explicit MainActions(QMainWindow &window);

    QAction *mnuFile_MakeNewList;
    QAction *mnuFile_FileOpen;
    QAction *mnuFile_ListOpen;
    QAction *mnuFile_ListSave;
    QAction *mnuFile_ListSaveAs;
    QAction *mnuFile_ImageDisplay;
    QAction *mnuFile_Property;
    QAction *mnuFile_ReadSetupData;
    QAction *mnuFile_WriteSetupData;
    QAction *mnuFile_Exit;
    QAction *mnuEdit_Undo;
    QAction *mnuEdit_Redo;
    QAction *mnuEdit_Cut;
    QAction *mnuEdit_Copy;
    QAction *mnuEdit_Paste;
    QAction *mnuEdit_Delete;
    QAction *mnuEdit_SelectAll;
    QAction *mnuView_Icon;
    QAction *mnuView_List;
    QAction *mnuView_SortName_Upward;
    QAction *mnuView_SortName_Downward;
    QAction *mnuView_SortComment_Upward;
    QAction *mnuView_SortComment_Downward;
    QAction *mnuCursor_CursorTop;
    QAction *mnuCursor_CursorPrevSkip;
    QAction *mnuCursor_CursorPrev;
    QAction *mnuCursor_CursorNext;
    QAction *mnuCursor_CursorNextSkip;
    QAction *mnuCursor_CursorBottom;
    QAction *mnuCursor_JumpToDsk;
    // The Mark jump items 1..9 (index 0 unused).
    std::array<QAction *, 10> mnuCursor_JumpToM{};
    QAction *mnuOperate_Load;
    QAction *mnuOperate_Clear;
    QAction *mnuOperate_ClearAll;
    QAction *mnuOperate_Play;
    QAction *mnuOperate_Stop;
    QAction *mnuOperate_Autotake;
    QAction *mnuOperate_AutoLoad;
    // Present, with its button, but never shown.
    QAction *mnuOperate_Pause;
    // The context menu's "open picture" item: the File menu's command under
    // the context menu's own caption.
    QAction *pmnuAdd;
    QAction *mnuTool_EnvSetup;
    // The context menu's property item: the File menu's command for the title clicked.
    QAction *pmnuProperty;
    QAction *mnuTool_DefaultDataSetup;
    QAction *mnuTool_MemoryManagement;
    QAction *mnuTool_VT90Setup;

    QMenu *mnuEdit;
    QMenu *mnuOperate;
    QMenu *mnuTool;
    QMenu *PopupMenuGrid;
    QToolBar *toolBar;

private:
    QAction *add(QMenu *menu, const char *name, const char *caption);
    QMenu *addMenu(QMenu *parent, const char *name, const char *caption);
    void addButton(QAction *action, const char *buttonName, const char *hint, int icon);

    QMainWindow &m_window;
};
