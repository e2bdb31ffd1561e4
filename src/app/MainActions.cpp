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
} // namespace

MainActions::MainActions(QMainWindow &window) : QObject(&window), m_window(window)
{
    QMenuBar *bar = window.menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));

    QMenu *file = addMenu(nullptr, "mnuFile", "ファイル(&F)");
    add(file, "mnuFile_MakeNewList", "リストの新規作成(&N)");
    add(file, "mnuFile_FileOpen", "画像を開く(&O)...");
    add(file, "mnuFile_ListOpen", "リストを開く(&L)...");
    add(file, "mnuFile_ListSave", "リストの上書き保存(&S)");
    add(file, "mnuFile_ListSaveAs", "リストに名前を付けて保存(&A)...");
    file->addSeparator();
    add(file, "mnuFile_Exit", "終了(&X)");

    QMenu *edit = addMenu(nullptr, "mnuEdit", "編集(&E)");
    add(edit, "mnuEdit_Undo", "元に戻す(&U)");
    add(edit, "mnuEdit_Redo", "やり直し(&R)");
    edit->addSeparator();
    add(edit, "mnuEdit_Cut", "切り取り(&T)");
    add(edit, "mnuEdit_Copy", "コピー(&C)");
    add(edit, "mnuEdit_Paste", "貼り付け(&P)");
    add(edit, "mnuEdit_Delete", "削除(&D)");
    edit->addSeparator();
    add(edit, "mnuEdit_SelectAll", "すべて選択(&A)");

    QMenu *view = addMenu(nullptr, "mnuView", "表示(&V)");
    QAction *icon = add(view, "mnuView_Icon", "ICON表示(&I)");
    QAction *list = add(view, "mnuView_List", "LIST表示(&L)");
    icon->setCheckable(true);
    list->setCheckable(true);
    auto *views = new QActionGroup(this);
    views->addAction(icon);
    views->addAction(list);
    view->addSeparator();
    QMenu *byName = addMenu(view, "mnuView_SortName", "Nameで並び替え(&N)");
    add(byName, "mnuView_SortName_Upward", "昇順(&U)");
    add(byName, "mnuView_SortName_Downward", "降順(&D)");
    QMenu *byComment = addMenu(view, "mnuView_SortComment", "Commentで並び替え(&C)");
    add(byComment, "mnuView_SortComment_Upward", "昇順(&U)");
    add(byComment, "mnuView_SortComment_Downward", "降順(&D)");

    QMenu *cursor = addMenu(nullptr, "mnuCursor", "カーソル(&C)");
    add(cursor, "mnuCursor_CursorTop", "先頭へ(&T)");
    add(cursor, "mnuCursor_CursorPrevSkip", "10だけ前へ(&R)");
    add(cursor, "mnuCursor_CursorPrev", "前へ(&P)");
    add(cursor, "mnuCursor_CursorNext", "次へ(&N)");
    add(cursor, "mnuCursor_CursorNextSkip", "10だけ次へ(&E)");
    add(cursor, "mnuCursor_CursorBottom", "最後へ(&B)");
    cursor->addSeparator();
    add(cursor, "mnuCursor_JumpToDsk", "DSK中のタイトルへ(&D)")->setEnabled(false);
    QMenu *marks = addMenu(cursor, "mnuCursor_JumpToMark", "Markタイトルへ(&M)");
    for (int m = 1; m <= 9; ++m) {
        const QByteArray name = "mnuCursor_JumpToM" + QByteArray::number(m);
        const QByteArray text = "Mark" + QByteArray::number(m) + "(&" + QByteArray::number(m) + ")";
        add(marks, name.constData(), text.constData())->setEnabled(false);
    }

    m_toolBar = window.addToolBar(QStringLiteral("ToolBar"));
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setIconSize(QSize(16, 16));
    addButton("mnuFile_MakeNewList", "TButtonMakeNewList", "リストの新規作成", QStyle::SP_FileIcon);
    addButton("mnuFile_FileOpen", "TButtonFileOpen", "画像を開く", QStyle::SP_DialogOpenButton);
    addButton("mnuFile_ListOpen", "TButtonListOpen", "リストを開く", QStyle::SP_DirOpenIcon);
    addButton("mnuFile_ListSave", "TButtonListSave", "リストの上書き保存",
              QStyle::SP_DialogSaveButton);
    m_toolBar->addSeparator();
    addButton("mnuCursor_CursorTop", "TButtonCursorTop", "先頭へ", QStyle::SP_MediaSkipBackward);
    addButton("mnuCursor_CursorPrevSkip", "TButtonCursorPrevSkip", "10だけ前へ",
              QStyle::SP_MediaSeekBackward);
    addButton("mnuCursor_CursorPrev", "TButtonCursorPrev", "前へ", QStyle::SP_ArrowUp);
    addButton("mnuCursor_CursorNext", "TButtonCursorNext", "次へ", QStyle::SP_ArrowDown);
    addButton("mnuCursor_CursorNextSkip", "TButtonCursorNextSkip", "10だけ次へ",
              QStyle::SP_MediaSeekForward);
    addButton("mnuCursor_CursorBottom", "TButtonCursorBottom", "最後へ",
              QStyle::SP_MediaSkipForward);
}

QAction *MainActions::markAction(int mark) const
{
    return action(QStringLiteral("mnuCursor_JumpToM%1").arg(mark));
}

QAction *MainActions::add(QMenu *menu, const char *name, const char *text)
{
    auto *a = new QAction(caption(text), &m_window);
    a->setObjectName(QString::fromLatin1(name));
    menu->addAction(a);
    m_actions.insert(a->objectName(), a);
    return a;
}

QMenu *MainActions::addMenu(QMenu *parent, const char *name, const char *text)
{
    QMenu *menu =
        parent ? parent->addMenu(caption(text)) : m_window.menuBar()->addMenu(caption(text));
    menu->setObjectName(QString::fromLatin1(name));
    m_menus.insert(menu->objectName(), menu);
    return menu;
}

void MainActions::addButton(const char *actionName, const char *buttonName, const char *hint,
                            int icon)
{
    QAction *a = action(QString::fromLatin1(actionName));
    if (!a)
        return;
    a->setIcon(m_window.style()->standardIcon(QStyle::StandardPixmap(icon)));
    a->setToolTip(caption(hint));
    m_toolBar->addAction(a);
    if (QWidget *button = m_toolBar->widgetForAction(a))
        button->setObjectName(QString::fromLatin1(buttonName));
}
