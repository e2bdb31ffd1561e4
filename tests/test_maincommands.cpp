// The main window's File, Edit, View and Cursor commands through the real
// window: one action per command shared by the menus, the toolbar and the
// context menu, the enabling rules, the list file commands with their dialogs
// and questions, the close query, dropped files and the file dialog modes.

#include "app/DroppedFiles.h"
#include "app/FileDialog.h"
#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "app/MainWindowLogic.h"
#include "imaging/TFormTitleType.h"
#include "list/ListEditor.h"
#include "list/TitleList.h"
#include "listui/ListUiFixtures.h"
#include "memory/KeyerState.h"
#include "memory/ListGrid.h"
#include "resources/MessageTable.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

using namespace ListUiFixtures;

namespace {

void fill(TitleList &list, int n)
{
    for (int i = 0; i < n; ++i)
        list.insert(list.count() + 1, gridTitle(QStringLiteral("t%1").arg(i)));
    list.SetCursor(1);
}

// Answers the next title type dialog with a kind index and OK, after `whileOpen`.
void answerTitleType(int kindIndex, std::function<void()> whileOpen = {})
{
    QTimer::singleShot(0, [kindIndex, whileOpen] {
        auto *d = qobject_cast<TFormTitleType *>(QApplication::activeModalWidget());
        QVERIFY(d);
        if (whileOpen)
            whileOpen();
        d->findChild<QComboBox *>(QStringLiteral("CBoxType"))->setCurrentIndex(kindIndex);
        d->findChild<QPushButton *>(QStringLiteral("ButtonOK"))->click();
    });
}

void drop(TFormMain &w, const QStringList &paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls.append(QUrl::fromLocalFile(p));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(50, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent dropEvent(QPointF(50, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &dropEvent);
}

} // namespace

class TestMainCommands : public QObject
{
    Q_OBJECT

private slots:
    void oneActionPerCommand()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        MainActions &a = w.actions();
        QCOMPARE(a.mnuFile_MakeNewList->text(),
                 MessageTable::caption(QString::fromUtf8("リストの新規作成(&N)")));
        QCOMPARE(a.mnuEdit_Undo->text(), MessageTable::text(31) + QStringLiteral("  "));
        // The toolbar and the context menu show the menus' own actions.
        QCOMPARE(w.findChild<QToolButton *>(QStringLiteral("TButtonFileOpen"))->defaultAction(),
                 a.mnuFile_FileOpen);
        QVERIFY(a.toolBar->actions().contains(a.mnuCursor_CursorBottom));
        QVERIFY(a.PopupMenuGrid->actions().contains(a.mnuEdit_Cut));
        QCOMPARE(a.pmnuAdd->text(), MessageTable::caption(QString::fromUtf8("画像を開く(&O)")));
        QCOMPARE(a.mnuCursor_JumpToM[3]->shortcuts().size(), 2); // main and keypad 3
        // Only commands whose operations exist are offered.
        QVERIFY(!w.findChild<QAction *>(QStringLiteral("mnuFile_Property")));
        QVERIFY(!w.findChild<QMenu *>(QStringLiteral("mnuOperate")));
    }

    void enablingRules()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        MainActions &a = w.actions();
        TitleList &list = w.titleList();
        // Empty: the cursor and edit commands wait for a title, the DSK jump for the keyer.
        QVERIFY(!a.mnuCursor_CursorTop->isEnabled());
        QVERIFY(!a.mnuCursor_JumpToDsk->isEnabled());
        QVERIFY(a.mnuFile_FileOpen->isEnabled());
        QVERIFY(!a.mnuEdit_Cut->isEnabled());
        QVERIFY(!a.mnuEdit_Paste->isEnabled());

        fill(list, 98);
        QVERIFY(a.mnuCursor_CursorTop->isEnabled());
        QVERIFY(a.mnuEdit_Cut->isEnabled());
        list.insert(list.count() + 1, gridTitle(QStringLiteral("last")));
        // 99 titles: no more pictures can be opened, from the menu or the context menu.
        QVERIFY(!a.mnuFile_FileOpen->isEnabled());
        QVERIFY(!a.pmnuAdd->isEnabled());
        // A delete leaves room again.
        list.SetCursor(99);
        rig.boxes.answer(IdYes);
        a.mnuEdit_Delete->trigger();
        QCOMPARE(list.count(), 98);
        QVERIFY(a.mnuFile_FileOpen->isEnabled());
        QCOMPARE(a.mnuEdit_Undo->text(),
                 MessageTable::text(31) + QStringLiteral("  ") + MessageTable::text(35));
        // Undo fills the list again; copy makes paste available.
        a.mnuEdit_Undo->trigger();
        QVERIFY(!a.mnuFile_FileOpen->isEnabled());
        QVERIFY(a.mnuEdit_Redo->isEnabled());
        a.mnuEdit_Copy->trigger();
        QVERIFY(a.mnuEdit_Paste->isEnabled());

        // The DSK jump follows the keyer.
        list.at(4).Attributes.setMemoryNo(0x0010);
        w.keyer().SetDskState(DskState::OnRunning, 0x0010);
        QVERIFY(a.mnuCursor_JumpToDsk->isEnabled());
        a.mnuCursor_JumpToDsk->trigger();
        QCOMPARE(list.cursor(), 4);
        w.keyer().SetDskState(DskState::Ended, 0xFFFF);
        QVERIFY(!a.mnuCursor_JumpToDsk->isEnabled());
    }

    void listCommandsGreyWhileTheEditorIsBusy()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        MainActions &a = w.actions();
        fill(w.titleList(), 2);
        a.mnuEdit_Copy->trigger();
        const QString pics = rig.folder(QStringLiteral("seq"));
        const QString first =
            writeSequence(rig.images, pics, QStringLiteral("s"), 3, 64, 48, Qt::green, {});
        QList<bool> enabled;
        answerTitleType(0, [&] {
            for (QAction *c :
                 {a.mnuFile_MakeNewList, a.mnuFile_ListOpen, a.mnuFile_ListSave, a.mnuFile_FileOpen,
                  a.mnuEdit_Paste, a.mnuEdit_Undo, a.mnuEdit_Delete, a.mnuView_SortName_Upward})
                enabled.append(c->isEnabled());
            enabled.append(a.mnuCursor_CursorTop->isEnabled());
        });
        QCOMPARE(w.commands().dropFiles({first}), 1);
        QCOMPARE(enabled,
                 (QList<bool>{false, false, false, false, false, false, false, false, true}));
        // Done: the rules hold again.
        QVERIFY(a.mnuEdit_Paste->isEnabled());
        QVERIFY(a.mnuFile_ListSave->isEnabled());
    }

    void markItemsFollowUsedMarks()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        fill(w.titleList(), 4);
        const auto &marks = w.actions().mnuCursor_JumpToM;
        for (int m = 1; m <= 9; ++m)
            QVERIFY(!marks[std::size_t(m)]->isEnabled());
        w.titleList().at(3).Mark = 6;
        w.titleList().notifyRowChanged(3);
        QVERIFY(marks[6]->isEnabled());
        QVERIFY(!marks[5]->isEnabled());
        marks[6]->trigger();
        QCOMPARE(w.titleList().cursor(), 3);
        // A damaged mark never reaches a Mark command.
        w.titleList().at(2).Mark = 200;
        w.titleList().notifyRowChanged(2);
        QVERIFY(!marks[9]->isEnabled());
    }

    void viewAndSort()
    {
        WindowRig rig("[Environment]\nFormModeIcon=false\nConfirmClose=false\n");
        TFormMain &w = *rig.window;
        MainActions &a = w.actions();
        QVERIFY(!w.grid().iconView());
        QVERIFY(a.mnuView_List->isChecked());
        a.mnuView_Icon->trigger();
        QCOMPARE(w.grid().rowHeight(), 88);
        a.mnuView_List->trigger();
        QCOMPARE(w.grid().rowHeight(), 28);

        TitleList &list = w.titleList();
        for (const char *n : {"beta", "Alpha", "alpha2", "Gamma"}) {
            TitleEntry e = gridTitle(QString::fromLatin1(n));
            e.Comment = QString::fromLatin1(n).right(2);
            list.insert(list.count() + 1, std::move(e));
        }
        a.mnuView_SortName_Upward->trigger();
        QCOMPARE(list.at(1).Name, QStringLiteral("Alpha"));
        QCOMPARE(list.at(4).Name, QStringLiteral("Gamma"));
        QVERIFY(w.grid().nameSortAscending());
        a.mnuView_SortName_Downward->trigger();
        QCOMPARE(list.at(1).Name, QStringLiteral("Gamma"));
        QVERIFY(!w.grid().nameSortAscending());
        a.mnuView_SortComment_Upward->trigger();
        QCOMPARE(list.at(1).Comment, QStringLiteral("a2"));
        QVERIFY(w.grid().commentSortAscending());

        // The view is kept for the next start.
        rig.boxes.answer(IdNo);
        QVERIFY(w.close());
        SettingsStore store(rig.iniFile());
        QVERIFY(!LoadSettings(store, {QString(), 1920, 1080}).Environment.FormModeIcon);
    }

    void droppedFiles()
    {
        QVERIFY(DroppedFiles::isAccepted(QStringLiteral("/x/A.JpG")));
        QVERIFY(!DroppedFiles::isAccepted(QStringLiteral("/x/a.jpeg")));
        QVERIFY(!DroppedFiles::isAccepted(QStringLiteral("/x/tga")));
        WindowRig rig;
        const QString pics = rig.folder(QStringLiteral("drop"));
        for (const char *name : {"/b.TGA", "/a.bmp", "/c.tif", "/d.tga"})
            QVERIFY(
                writePicture(rig.images, pics + QString::fromLatin1(name), 64, 48, Qt::red, {}));
        QFile broken(pics + QStringLiteral("/c.jpg"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("garbage that is no JPEG");
        broken.close();
        TFormMain &w = *rig.window;
        // Sorted, filtered, and stopped at the first picture that fails.
        drop(w, {pics + "/d.tga", pics + "/b.TGA", pics + "/notes.txt", pics + "/a.bmp",
                 pics + "/c.tif", pics + "/c.jpg"});
        QCOMPARE(w.titleList().count(), 2);
        QCOMPARE(w.titleList().at(1).Name, QStringLiteral("a.bmp"));
        QCOMPARE(w.titleList().at(2).Name, QStringLiteral("b.TGA"));
        QVERIFY(w.commands().editor().Modified());
        // A sequence dropped as many files is added once.
        writeSequence(rig.images, pics, QStringLiteral("frame"), 3, 64, 48, Qt::green, {});
        answerTitleType(0); // MOVIE ONCE
        drop(w, {pics + "/frame003.tga", pics + "/frame001.tga", pics + "/frame002.tga"});
        QCOMPARE(w.titleList().count(), 3);
        QCOMPARE(w.titleList().at(3).Attributes.frameCount(), 3);
        QCOMPARE(w.titleList().at(3).Name, QStringLiteral("frame001.tga"));
    }

    void fileDialogModes()
    {
        EnvironmentSettings env;
        env.TitleFolder = QStringLiteral("/t");
        env.ListFolder = QStringLiteral("/l");
        const FileDialogSetup open = FileDialog::setup(0, env);
        QVERIFY(open.valid && !open.save);
        QCOMPARE(open.startFolder, QStringLiteral("/t"));
        QCOMPARE(open.filters.size(), 8);
        QCOMPARE(FileDialog::setup(1, env).extensions,
                 (QStringList{QStringLiteral(".tga"), QStringLiteral(".tif")}));
        QCOMPARE(FileDialog::setup(4, env).startFolder, QStringLiteral("/l"));
        QCOMPARE(FileDialog::setup(5, env).extensions, QStringList{QStringLiteral(".vtl")});
        QVERIFY(!FileDialog::setup(2, env).valid);
        QCOMPARE(FileDialog::withExtension(QStringLiteral("/l/show.VTL"), QStringLiteral(".vtl")),
                 QStringLiteral("/l/show.VTL"));
        QCOMPARE(FileDialog::withExtension(QStringLiteral("/l/a.vtl.bak"), QStringLiteral(".vtl")),
                 QStringLiteral("/l/a.vtl.bak.vtl"));
    }

    void saveOpenAndNew()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        MainActions &a = w.actions();
        ListEditor &editor = w.commands().editor();
        const QString pics = rig.folder(QStringLiteral("p"));
        QVERIFY(writePicture(rig.images, pics + QStringLiteral("/one.tga"), 64, 48, Qt::red, {}));
        QVERIFY(writePicture(rig.images, pics + QStringLiteral("/two.tga"), 64, 48, Qt::red, {}));
        QList<int> modes;
        QString answer;
        w.commands().setFileChooser([&](int mode) {
            modes.append(mode);
            return answer;
        });
        answer = pics + QStringLiteral("/one.tga");
        a.mnuFile_FileOpen->trigger();
        answer = pics + QStringLiteral("/two.tga");
        a.pmnuAdd->trigger();
        QCOMPARE(w.titleList().count(), 2);

        // Save without a name is Save As (mode 5).
        const QString listFile = rig.folder(QStringLiteral("lists")) + QStringLiteral("/s.vtl");
        answer = listFile;
        a.mnuFile_ListSave->trigger();
        QCOMPARE(modes, (QList<int>{0, 0, 5}));
        QCOMPARE(QFile(listFile).size(), 2 * 564);
        QCOMPARE(editor.ListFileName(), listFile);
        QVERIFY(!editor.Modified());
        QCOMPARE(w.windowTitle(), MainWindowLogic::caption(listFile, false));

        // A cancelled dialog does nothing.
        answer.clear();
        a.mnuFile_ListSaveAs->trigger();
        a.mnuFile_FileOpen->trigger();
        QCOMPARE(w.titleList().count(), 2);

        // New on a modified list offers to save; No empties it.
        a.mnuEdit_SelectAll->trigger();
        a.mnuEdit_Copy->trigger();
        a.mnuEdit_Paste->trigger();
        QVERIFY(editor.Modified());
        rig.boxes.answer(IdNo);
        a.mnuFile_MakeNewList->trigger();
        QCOMPARE(rig.boxes.shownIds(), QList<int>{129});
        QCOMPARE(w.titleList().count(), 0);
        QCOMPARE(editor.ListFileName(), QString());
        QVERIFY(!a.mnuCursor_CursorTop->isEnabled());
        QCOMPARE(w.statusText(1), QString());
        // A new and empty list: New does nothing, asks nothing.
        rig.boxes.clear();
        a.mnuFile_MakeNewList->trigger();
        QVERIFY(rig.boxes.shownIds().isEmpty());

        // Open asks for a list file (mode 4) and shows its titles.
        answer = listFile;
        a.mnuFile_ListOpen->trigger();
        QCOMPARE(modes.last(), 4);
        QCOMPARE(w.titleList().count(), 2);
        QCOMPARE(editor.ListFileName(), listFile);
        QCOMPARE(w.statusText(1), pics + QStringLiteral("/one.tga"));
        // While a title is on the keyer, New and Open are refused with 136.
        w.keyer().SetDskState(DskState::Showing, 0xFFFE);
        a.mnuFile_MakeNewList->trigger();
        a.mnuFile_ListOpen->trigger();
        QCOMPARE(rig.boxes.shownIds(), (QList<int>{136, 136}));
        QCOMPARE(w.titleList().count(), 2);
    }

    void closeQueryThroughTheWindow()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        const QString pics = rig.folder(QStringLiteral("p"));
        QVERIFY(writePicture(rig.images, pics + QStringLiteral("/one.tga"), 64, 48, Qt::red, {}));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString listFile = rig.folder(QStringLiteral("lists")) + QStringLiteral("/c.vtl");
        QString answer;
        w.commands().setFileChooser([&](int) { return answer; });
        QCOMPARE(w.commands().dropFiles({pics + QStringLiteral("/one.tga")}), 1);

        // Yes with a cancelled Save As dialog keeps the window: nothing was saved.
        rig.boxes.answer(IdYes);
        QVERIFY(!w.close());
        QVERIFY(!QFile::exists(listFile));
        // Yes and a name: saved, then closed; the shutdown names the list for the next start.
        answer = listFile;
        rig.boxes.clear();
        rig.boxes.answer(IdYes);
        QVERIFY(w.close());
        QCOMPARE(rig.boxes.shownIds(), QList<int>{129});
        QCOMPARE(QFile(listFile).size(), 564);
        SettingsStore store(rig.iniFile());
        QCOMPARE(ReadLastListFile(store), listFile);

        // The next start reopens it, silently.
        WindowRig next("[Environment]\nConfirmClose=false\nBeginLastStatus=true\n[MainForm]\n"
                       "LastListFile=" +
                       listFile.toUtf8() + "\n");
        next.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(next.window.get()));
        QCOMPARE(next.window->titleList().count(), 1);
        QCOMPARE(next.window->commands().editor().ListFileName(), listFile);
        QVERIFY(next.boxes.shownIds().isEmpty());
        QVERIFY(next.window->actions().mnuCursor_CursorTop->isEnabled());
    }
};

QTEST_MAIN(TestMainCommands)
#include "test_maincommands.moc"
