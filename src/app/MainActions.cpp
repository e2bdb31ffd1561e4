#include "app/MainActions.h"

#include "resources/MessageTable.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

namespace {
QString caption(const char *japanese)
{
    return MessageTable::caption(QString::fromUtf8(japanese));
}

// A key that acts alike with and without Shift.
QList<QKeySequence> withShift(Qt::Key key)
{
    return {QKeySequence(key), QKeySequence(Qt::SHIFT | key)};
}

} // namespace

MainActions::MainActions(QMainWindow &window) : QObject(&window), m_window(window)
{
    window.menuBar()->setObjectName(QStringLiteral("MainMenu"));

    QMenu *file = addMenu(nullptr, "mnuFile", "ファイル(&F)");
    mnuFile_MakeNewList = add(file, "mnuFile_MakeNewList", "リストの新規作成(&N)");
    mnuFile_FileOpen = add(file, "mnuFile_FileOpen", "画像を開く(&O)...");
    mnuFile_ListOpen = add(file, "mnuFile_ListOpen", "リストを開く(&L)...");
    mnuFile_ListSave = add(file, "mnuFile_ListSave", "リストの上書き保存(&S)");
    mnuFile_ListSaveAs = add(file, "mnuFile_ListSaveAs", "リストに名前を付けて保存(&A)...");
    file->addSeparator();
    mnuFile_ImageDisplay = add(file, "mnuFile_ImageDisplay", "画像の表示(&I)");
    mnuFile_Property = add(file, "mnuFile_Property", "プロパティ(&R)...");
    // Enter opens the cursor title's properties, from the main keyboard or the keypad.
    mnuFile_Property->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    file->addSeparator();
    // The flash setup data: enabled only while the mixer runs in its setup-data mode.
    mnuFile_ReadSetupData = add(file, "mnuFile_ReadSetupData", "フラッシュメモリの読み出し(&E)...");
    mnuFile_WriteSetupData =
        add(file, "mnuFile_WriteSetupData", "フラッシュメモリの書き込み(&W)...");
    mnuFile_ReadSetupData->setEnabled(false);
    mnuFile_WriteSetupData->setEnabled(false);
    file->addSeparator();
    mnuFile_Exit = add(file, "mnuFile_Exit", "終了(&X)");

    mnuEdit = addMenu(nullptr, "mnuEdit", "編集(&E)");
    mnuEdit_Undo = add(mnuEdit, "mnuEdit_Undo", "元に戻す(&U)");
    mnuEdit_Redo = add(mnuEdit, "mnuEdit_Redo", "やり直し(&R)");
    mnuEdit->addSeparator();
    mnuEdit_Cut = add(mnuEdit, "mnuEdit_Cut", "切り取り(&T)");
    mnuEdit_Copy = add(mnuEdit, "mnuEdit_Copy", "コピー(&C)");
    mnuEdit_Paste = add(mnuEdit, "mnuEdit_Paste", "貼り付け(&P)");
    mnuEdit_Delete = add(mnuEdit, "mnuEdit_Delete", "削除(&D)");
    mnuEdit->addSeparator();
    mnuEdit_SelectAll = add(mnuEdit, "mnuEdit_SelectAll", "すべて選択(&A)");
    mnuEdit_Undo->setShortcut(Qt::CTRL | Qt::Key_Z);
    mnuEdit_Redo->setShortcut(Qt::CTRL | Qt::Key_Y);
    mnuEdit_Cut->setShortcut(Qt::CTRL | Qt::Key_X);
    mnuEdit_Copy->setShortcut(Qt::CTRL | Qt::Key_C);
    mnuEdit_Paste->setShortcut(Qt::CTRL | Qt::Key_V);
    mnuEdit_Delete->setShortcuts(withShift(Qt::Key_Delete));
    mnuEdit_SelectAll->setShortcut(Qt::CTRL | Qt::Key_A);

    QMenu *view = addMenu(nullptr, "mnuView", "表示(&V)");
    mnuView_Icon = add(view, "mnuView_Icon", "ICON表示(&I)");
    mnuView_List = add(view, "mnuView_List", "LIST表示(&L)");
    mnuView_Icon->setCheckable(true);
    mnuView_List->setCheckable(true);
    auto *views = new QActionGroup(this);
    views->addAction(mnuView_Icon);
    views->addAction(mnuView_List);
    view->addSeparator();
    QMenu *byName = addMenu(view, "mnuView_SortName", "Nameで並び替え(&N)");
    mnuView_SortName_Upward = add(byName, "mnuView_SortName_Upward", "昇順(&U)");
    mnuView_SortName_Downward = add(byName, "mnuView_SortName_Downward", "降順(&D)");
    QMenu *byComment = addMenu(view, "mnuView_SortComment", "Commentで並び替え(&C)");
    mnuView_SortComment_Upward = add(byComment, "mnuView_SortComment_Upward", "昇順(&U)");
    mnuView_SortComment_Downward = add(byComment, "mnuView_SortComment_Downward", "降順(&D)");

    QMenu *cursor = addMenu(nullptr, "mnuCursor", "カーソル(&C)");
    mnuCursor_CursorTop = add(cursor, "mnuCursor_CursorTop", "先頭へ(&T)");
    mnuCursor_CursorPrevSkip = add(cursor, "mnuCursor_CursorPrevSkip", "10だけ前へ(&R)");
    mnuCursor_CursorPrev = add(cursor, "mnuCursor_CursorPrev", "前へ(&P)");
    mnuCursor_CursorNext = add(cursor, "mnuCursor_CursorNext", "次へ(&N)");
    mnuCursor_CursorNextSkip = add(cursor, "mnuCursor_CursorNextSkip", "10だけ次へ(&E)");
    mnuCursor_CursorBottom = add(cursor, "mnuCursor_CursorBottom", "最後へ(&B)");
    mnuCursor_CursorTop->setShortcuts(withShift(Qt::Key_Home));
    mnuCursor_CursorPrevSkip->setShortcuts(withShift(Qt::Key_Left));
    mnuCursor_CursorPrev->setShortcuts(withShift(Qt::Key_Up));
    mnuCursor_CursorNext->setShortcuts(withShift(Qt::Key_Down));
    mnuCursor_CursorNextSkip->setShortcuts(withShift(Qt::Key_Right));
    mnuCursor_CursorBottom->setShortcuts(withShift(Qt::Key_End));
    cursor->addSeparator();
    mnuCursor_JumpToDsk = add(cursor, "mnuCursor_JumpToDsk", "DSK中のタイトルへ(&D)");
    // The digits of the numeric keypad act as those of the main keyboard.
    mnuCursor_JumpToDsk->setShortcut(Qt::Key_0);
    mnuCursor_JumpToDsk->setEnabled(false);
    QMenu *marks = addMenu(cursor, "mnuCursor_JumpToMark", "Markタイトルへ(&M)");
    for (int m = 1; m <= 9; ++m) {
        const QByteArray name = "mnuCursor_JumpToM" + QByteArray::number(m);
        const QByteArray text = "Mark" + QByteArray::number(m) + "(&" + QByteArray::number(m) + ")";
        mnuCursor_JumpToM[std::size_t(m)] = add(marks, name.constData(), text.constData());
        mnuCursor_JumpToM[std::size_t(m)]->setShortcut(Qt::Key_0 + m);
        mnuCursor_JumpToM[std::size_t(m)]->setEnabled(false);
    }

    // The device commands follow the connection (all disabled until then).
    mnuOperate = addMenu(nullptr, "mnuOperate", "操作(&O)");
    mnuOperate_AutoLoad = add(mnuOperate, "mnuOperate_AutoLoad", "タイトルの自動ロード(&T)");
    mnuOperate_AutoLoad->setShortcut(Qt::SHIFT | Qt::Key_Space);
    mnuOperate_AutoLoad->setEnabled(false);
    mnuOperate_Load = add(mnuOperate, "mnuOperate_Load", "タイトルのロード(&L)");
    mnuOperate_Play = add(mnuOperate, "mnuOperate_Play", "再生(&P)");
    mnuOperate_Stop = add(mnuOperate, "mnuOperate_Stop", "停止(&S)");
    mnuOperate->addSeparator();
    mnuOperate_Clear = add(mnuOperate, "mnuOperate_Clear", "選択タイトルのクリア(&C)");
    mnuOperate_ClearAll = add(mnuOperate, "mnuOperate_ClearAll", "全タイトルのクリア(&R)");
    mnuOperate->addSeparator();
    mnuOperate_Autotake = add(mnuOperate, "mnuOperate_Autotake", "Autotake(&U)");
    mnuOperate_Pause = add(mnuOperate, "mnuOperate_Pause", "一時停止(&A)");
    mnuOperate_Pause->setVisible(false);
    mnuOperate_Load->setShortcuts(withShift(Qt::Key_L));
    mnuOperate_Play->setShortcut(Qt::Key_Space);
    mnuOperate_Stop->setShortcuts(withShift(Qt::Key_S));
    mnuOperate_Clear->setShortcut(Qt::CTRL | Qt::Key_R);
    mnuOperate_ClearAll->setShortcut(Qt::CTRL | Qt::Key_T);
    for (QAction *device : {mnuOperate_Load, mnuOperate_Play, mnuOperate_Stop, mnuOperate_Clear,
                            mnuOperate_ClearAll, mnuOperate_Autotake, mnuOperate_Pause})
        device->setEnabled(false);

    mnuTool = addMenu(nullptr, "mnuTool", "ツール(&T)");
    mnuTool_MemoryManagement = add(mnuTool, "mnuTool_MemoryManagement", "メモリ状態(&M)...");
    mnuTool_VT90Setup = add(mnuTool, "mnuTool_VT90Setup", "本体設定(&S)...");
    mnuTool_VT90Setup->setEnabled(false);
    mnuTool_DefaultDataSetup =
        add(mnuTool, "mnuTool_DefaultDataSetup", "プロパティ初期値設定(&P)...");
    mnuTool_EnvSetup = add(mnuTool, "mnuTool_EnvSetup", "動作環境(&E)...");

    toolBar = window.addToolBar(QStringLiteral("ToolBar"));
    toolBar->setObjectName(QStringLiteral("ToolBar"));
    toolBar->setMovable(false);
    toolBar->setIconSize(QSize(16, 16));
    addButton(mnuFile_MakeNewList, "TButtonMakeNewList", "リストの新規作成", QStyle::SP_FileIcon);
    addButton(mnuFile_FileOpen, "TButtonFileOpen", "画像を開く", QStyle::SP_DialogOpenButton);
    addButton(mnuFile_ListOpen, "TButtonListOpen", "リストを開く", QStyle::SP_DirOpenIcon);
    addButton(mnuFile_ListSave, "TButtonListSave", "リストの上書き保存",
              QStyle::SP_DialogSaveButton);
    toolBar->addSeparator();
    addButton(mnuCursor_CursorTop, "TButtonCursorTop", "先頭へ", QStyle::SP_MediaSkipBackward);
    addButton(mnuCursor_CursorPrevSkip, "TButtonCursorPrevSkip", "10だけ前へ",
              QStyle::SP_MediaSeekBackward);
    addButton(mnuCursor_CursorPrev, "TButtonCursorPrev", "前へ", QStyle::SP_ArrowUp);
    addButton(mnuCursor_CursorNext, "TButtonCursorNext", "次へ", QStyle::SP_ArrowDown);
    addButton(mnuCursor_CursorNextSkip, "TButtonCursorNextSkip", "10だけ次へ",
              QStyle::SP_MediaSeekForward);
    addButton(mnuCursor_CursorBottom, "TButtonCursorBottom", "最後へ", QStyle::SP_MediaSkipForward);
    toolBar->addSeparator();
    addButton(mnuOperate_AutoLoad, "TButtonAutoLoad", "タイトルの自動ロード",
              QStyle::SP_BrowserReload);
    toolBar->addSeparator();
    addButton(mnuOperate_Load, "TButtonLoad", "タイトルのロード", QStyle::SP_ArrowForward);
    addButton(mnuOperate_Play, "TButtonPlay", "再生", QStyle::SP_MediaPlay);
    addButton(mnuOperate_Stop, "TButtonStop", "停止", QStyle::SP_MediaStop);
    toolBar->addSeparator();
    addButton(mnuOperate_Clear, "TButtonClear", "選択タイトルのクリア",
              QStyle::SP_DialogDiscardButton);
    addButton(mnuOperate_ClearAll, "TButtonClearAll", "全タイトルのクリア", QStyle::SP_TrashIcon);
    // The pause button is there but hidden, as its menu item.
    addButton(mnuOperate_Pause, "TButtonPause", "一時停止", QStyle::SP_MediaPause);

    // The grid's context menu, opened by the right button.
    PopupMenuGrid = new QMenu(&window);
    PopupMenuGrid->setObjectName(QStringLiteral("PopupMenuGrid"));
    QMenu *popupView = PopupMenuGrid->addMenu(caption("表示(&V)"));
    popupView->addAction(mnuView_Icon);
    popupView->addAction(mnuView_List);
    PopupMenuGrid->addSeparator();
    PopupMenuGrid->addActions({mnuEdit_Cut, mnuEdit_Copy, mnuEdit_Paste, mnuEdit_Delete});
    PopupMenuGrid->addSeparator();
    pmnuAdd = add(PopupMenuGrid, "pmnuAdd", "画像を開く(&O)");
    PopupMenuGrid->addSeparator();
    PopupMenuGrid->addAction(mnuFile_ImageDisplay);
    pmnuProperty = add(PopupMenuGrid, "pmnuProperty", "プロパティ(&R)");
}

QAction *MainActions::add(QMenu *menu, const char *name, const char *text)
{
    auto *a = new QAction(caption(text), &m_window);
    a->setObjectName(QString::fromLatin1(name));
    menu->addAction(a);
    return a;
}

QMenu *MainActions::addMenu(QMenu *parent, const char *name, const char *text)
{
    QMenu *menu =
        parent ? parent->addMenu(caption(text)) : m_window.menuBar()->addMenu(caption(text));
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

void MainActions::addButton(QAction *a, const char *buttonName, const char *hint, int icon)
{
    a->setIcon(m_window.style()->standardIcon(QStyle::StandardPixmap(icon)));
    a->setToolTip(caption(hint));
    toolBar->addAction(a);
    if (QWidget *button = toolBar->widgetForAction(a))
        button->setObjectName(QString::fromLatin1(buttonName));
}
