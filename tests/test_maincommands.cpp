// The main window's File, Edit, View and Cursor commands through the real
// window: enabling rules, the list file commands with their dialogs and
// questions, the close query, dropped files and the file dialog modes.

#include "app/DroppedFiles.h"
#include "app/FileDialog.h"
#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "core/Settings.h"
#include "imaging/TFormTitleType.h"
#include "list/ListEditor.h"
#include "list/TitleList.h"
#include "listui/ListUiFixtures.h"
#include "memory/ListGrid.h"
#include "memory/ListGridCellDrawer.h"

#include "resources/MessageTable.h"
#include <QSettings>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

using namespace ListUiFixtures;

namespace {

QAction *act(TFormMain &w, const char *name)
{
    return w.actions().action(QString::fromLatin1(name));
}

void fill(TitleList &list, int n)
{
    for (int i = 0; i < n; ++i)
        list.insert(list.count() + 1, gridTitle(QStringLiteral("t%1").arg(i)));
    list.SetCursor(1);
}

// Answers the next title type dialog with a kind index and OK.
void answerTitleType(int kindIndex)
{
    QTimer::singleShot(0, [kindIndex] {
        auto *d = qobject_cast<TFormTitleType *>(QApplication::activeModalWidget());
        QVERIFY(d);
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
    void menusCarryTheCaptionsAndNames()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        QCOMPARE(act(w, "mnuFile_MakeNewList")->text(),
                 MessageTable::caption(QStringLiteral("リストの新規作成(&N)")));
        QCOMPARE(w.actions().menu(QStringLiteral("mnuFile"))->title(),
                 MessageTable::caption(QStringLiteral("ファイル(&F)")));
        QVERIFY(w.findChild<QToolButton *>(QStringLiteral("TButtonFileOpen")));
        QVERIFY(w.findChild<QToolButton *>(QStringLiteral("TButtonCursorBottom")));
        // Only commands whose operations exist are offered.
        QVERIFY(!act(w, "mnuFile_Property"));
        QVERIFY(!w.actions().menu(QStringLiteral("mnuOperate")));
        QCOMPARE(act(w, "mnuEdit_Undo")->text(), MessageTable::text(31) + QStringLiteral("  "));
        QVERIFY(!act(w, "mnuEdit_Undo")->isEnabled());
    }

    void enablingRules()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        TitleList &list = w.titleList();
        // Empty: the cursor commands wait for a title, the DSK jump for the keyer.
        QVERIFY(!act(w, "mnuCursor_CursorTop")->isEnabled());
        QVERIFY(!act(w, "mnuCursor_JumpToDsk")->isEnabled());
        QVERIFY(act(w, "mnuFile_FileOpen")->isEnabled());
        w.actions().menu(QStringLiteral("mnuEdit"))->aboutToShow();
        QVERIFY(!act(w, "mnuEdit_Cut")->isEnabled());
        QVERIFY(!act(w, "mnuEdit_Paste")->isEnabled());

        fill(list, 98);
        QVERIFY(act(w, "mnuCursor_CursorTop")->isEnabled());
        QVERIFY(act(w, "mnuFile_FileOpen")->isEnabled());
        list.insert(list.count() + 1, gridTitle(QStringLiteral("last")));
        // 99 titles: no more pictures can be opened.
        QVERIFY(!act(w, "mnuFile_FileOpen")->isEnabled());
        QVERIFY(!w.findChild<QToolButton *>(QStringLiteral("TButtonFileOpen"))->isEnabled());
        // A delete leaves room again.
        list.SetCursor(99);
        rig.boxes.answer(IdYes);
        w.commands().mnuEdit_DeleteClick();
        QCOMPARE(list.count(), 98);
        QVERIFY(act(w, "mnuFile_FileOpen")->isEnabled());
        QCOMPARE(act(w, "mnuEdit_Undo")->text(),
                 MessageTable::text(31) + QStringLiteral("  ") + MessageTable::text(35));
        QVERIFY(act(w, "mnuEdit_Undo")->isEnabled());
        // Undo fills the list again.
        w.commands().mnuEdit_UndoClick();
        QVERIFY(!act(w, "mnuFile_FileOpen")->isEnabled());
        QVERIFY(act(w, "mnuEdit_Redo")->isEnabled());

        // Edit menu on opening: copy makes paste available.
        w.commands().mnuEdit_CopyClick();
        w.actions().menu(QStringLiteral("mnuEdit"))->aboutToShow();
        QVERIFY(act(w, "mnuEdit_Cut")->isEnabled());
        QVERIFY(act(w, "mnuEdit_Paste")->isEnabled());
    }

    void markItemsFollowUsedMarks()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        fill(w.titleList(), 4);
        for (int m = 1; m <= 9; ++m)
            QVERIFY(!w.actions().markAction(m)->isEnabled());
        w.titleList().at(3).Mark = 6;
        w.titleList().notifyRowChanged(3);
        QVERIFY(w.actions().markAction(6)->isEnabled());
        QVERIFY(!w.actions().markAction(5)->isEnabled());
        w.actions().markAction(6)->trigger();
        QCOMPARE(w.titleList().cursor(), 3);
        // A damaged mark never reaches a Mark command.
        w.titleList().at(2).Mark = 200;
        w.titleList().notifyRowChanged(2);
        QVERIFY(!w.actions().markAction(9)->isEnabled());
    }

    void cursorMenuItems()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        fill(w.titleList(), 25);
        act(w, "mnuCursor_CursorBottom")->trigger();
        QCOMPARE(w.titleList().cursor(), 25);
        act(w, "mnuCursor_CursorPrevSkip")->trigger();
        QCOMPARE(w.titleList().cursor(), 15);
        act(w, "mnuCursor_CursorPrev")->trigger();
        QCOMPARE(w.titleList().cursor(), 14);
        act(w, "mnuCursor_CursorNextSkip")->trigger();
        act(w, "mnuCursor_CursorNextSkip")->trigger();
        QCOMPARE(w.titleList().cursor(), 25);
        act(w, "mnuCursor_CursorTop")->trigger();
        act(w, "mnuCursor_CursorPrev")->trigger();
        QCOMPARE(w.titleList().cursor(), 1);
        act(w, "mnuCursor_CursorNext")->trigger();
        QCOMPARE(w.titleList().cursor(), 2);
    }

    void viewSwitchKeepsTheSetting()
    {
        WindowRig rig("[Environment]\nFormModeIcon=false\nConfirmClose=false\n");
        TFormMain &w = *rig.window;
        QVERIFY(!w.grid().iconView());
        QVERIFY(act(w, "mnuView_List")->isChecked());
        act(w, "mnuView_Icon")->trigger();
        QVERIFY(w.grid().iconView());
        QVERIFY(w.settings().Environment.FormModeIcon);
        QCOMPARE(w.grid().rowHeight(), 88);
        act(w, "mnuView_List")->trigger();
        QCOMPARE(w.grid().rowHeight(), 28);
        rig.window.reset();
        QSettings ini(rig.iniFile(), QSettings::IniFormat);
        QVERIFY(ini.contains(QStringLiteral("Environment/FormModeIcon")));
        QVERIFY(!ini.value(QStringLiteral("Environment/FormModeIcon")).toBool());
    }

    void sortMenuItems()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        TitleList &list = w.titleList();
        for (const char *n : {"beta", "Alpha", "alpha2", "Gamma"}) {
            TitleEntry e = gridTitle(QString::fromLatin1(n));
            e.Comment = QString::fromLatin1(n).right(2);
            list.insert(list.count() + 1, std::move(e));
        }
        act(w, "mnuView_SortName_Upward")->trigger();
        QCOMPARE(list.at(1).Name, QStringLiteral("Alpha"));
        QCOMPARE(list.at(4).Name, QStringLiteral("Gamma"));
        QVERIFY(w.grid().nameSortAscending());
        act(w, "mnuView_SortName_Downward")->trigger();
        QCOMPARE(list.at(1).Name, QStringLiteral("Gamma"));
        QVERIFY(!w.grid().nameSortAscending());
        act(w, "mnuView_SortComment_Upward")->trigger();
        QCOMPARE(list.at(1).Comment, QStringLiteral("a2"));
        QVERIFY(w.grid().commentSortAscending());
    }

    void droppedFilesFilteredAndSorted()
    {
        WindowRig rig;
        const QString pics = rig.folder(QStringLiteral("drop"));
        QVERIFY(writePicture(rig.images, pics + QStringLiteral("/b.TGA"), 64, 48, Qt::red, {}));
        QVERIFY(writePicture(rig.images, pics + QStringLiteral("/a.bmp"), 64, 48, Qt::blue, {}));
        QVERIFY(writePicture(rig.images, pics + QStringLiteral("/c.tif"), 64, 48, Qt::blue, {}));
        QFile notes(pics + QStringLiteral("/notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("not a picture");
        notes.close();
        TFormMain &w = *rig.window;
        drop(w, {pics + QStringLiteral("/b.TGA"), pics + QStringLiteral("/notes.txt"),
                 pics + QStringLiteral("/a.bmp"), pics + QStringLiteral("/c.tif")});
        QCOMPARE(w.titleList().count(), 2);
        QCOMPARE(w.titleList().at(1).Name, QStringLiteral("a.bmp"));
        QCOMPARE(w.titleList().at(2).Name, QStringLiteral("b.TGA"));
        QVERIFY(w.Modified());
    }

    void droppedSequenceAddedOnce()
    {
        WindowRig rig;
        const QString pics = rig.folder(QStringLiteral("seq"));
        writeSequence(rig.images, pics, QStringLiteral("frame"), 3, 64, 48, Qt::green, {});
        TFormMain &w = *rig.window;
        answerTitleType(0); // MOVIE ONCE
        drop(w, {pics + QStringLiteral("/frame003.tga"), pics + QStringLiteral("/frame001.tga"),
                 pics + QStringLiteral("/frame002.tga")});
        QCOMPARE(w.titleList().count(), 1);
        const TitleEntry &e = w.titleList().at(1);
        QCOMPARE(e.Attributes.kind(), TitleKind::Movie);
        QCOMPARE(e.Attributes.frameCount(), 3);
        QCOMPARE(e.FileList.size(), 3);
        QCOMPARE(e.Name, QStringLiteral("frame001.tga"));
    }

    void droppedFilesStopAtTheFirstFailure()
    {
        WindowRig rig;
        const QString pics = rig.folder(QStringLiteral("bad"));
        QVERIFY(writePicture(rig.images, pics + QStringLiteral("/a.tga"), 64, 48, Qt::red, {}));
        QFile broken(pics + QStringLiteral("/b.jpg"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("garbage that is no JPEG");
        broken.close();
        QVERIFY(writePicture(rig.images, pics + QStringLiteral("/c.bmp"), 64, 48, Qt::red, {}));
        TFormMain &w = *rig.window;
        QCOMPARE(w.commands().dropFiles({pics + QStringLiteral("/c.bmp"),
                                         pics + QStringLiteral("/b.jpg"),
                                         pics + QStringLiteral("/a.tga")}),
                 1);
        QCOMPARE(w.titleList().count(), 1);
        QCOMPARE(w.titleList().at(1).Name, QStringLiteral("a.tga"));
    }

    void droppedFileRules()
    {
        QVERIFY(DroppedFiles::isAccepted(QStringLiteral("/x/A.JpG")));
        QVERIFY(DroppedFiles::isAccepted(QStringLiteral("/x/a.bmp")));
        QVERIFY(!DroppedFiles::isAccepted(QStringLiteral("/x/a.jpeg")));
        QVERIFY(!DroppedFiles::isAccepted(QStringLiteral("/x/a.tif")));
        QVERIFY(!DroppedFiles::isAccepted(QStringLiteral("/x/tga")));
        // Names that are not on disk are still sorted and kept.
        QCOMPARE(DroppedFiles::filesToAdd({QStringLiteral("/x/b.tga"), QStringLiteral("/x/A.bmp"),
                                           QStringLiteral("/x/b.tga")}),
                 (QStringList{QStringLiteral("/x/A.bmp"), QStringLiteral("/x/b.tga")}));
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
        QVERIFY(open.filters.first().endsWith(
            QStringLiteral("(*.tga *.bmp *.jpg *.tif *.pct *.pic *.psd *.pcd)")));
        const FileDialogSetup title = FileDialog::setup(1, env);
        QVERIFY(title.save);
        QCOMPARE(title.extensions, (QStringList{QStringLiteral(".tga"), QStringLiteral(".tif")}));
        QCOMPARE(FileDialog::setup(4, env).startFolder, QStringLiteral("/l"));
        QCOMPARE(FileDialog::setup(4, env).filters.size(), 1);
        const FileDialogSetup list = FileDialog::setup(5, env);
        QCOMPARE(list.extensions, QStringList{QStringLiteral(".vtl")});
        QVERIFY(!FileDialog::setup(2, env).valid);
        QCOMPARE(FileDialog::withExtension(QStringLiteral("/l/show"), QStringLiteral(".vtl")),
                 QStringLiteral("/l/show.vtl"));
        QCOMPARE(FileDialog::withExtension(QStringLiteral("/l/show.VTL"), QStringLiteral(".vtl")),
                 QStringLiteral("/l/show.VTL"));
        QCOMPARE(FileDialog::withExtension(QStringLiteral("/l/a.vtl.bak"), QStringLiteral(".vtl")),
                 QStringLiteral("/l/a.vtl.bak.vtl"));
    }

    void saveOpenAndNew()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
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
        act(w, "mnuFile_FileOpen")->trigger();
        answer = pics + QStringLiteral("/two.tga");
        act(w, "mnuFile_FileOpen")->trigger();
        QCOMPARE(w.titleList().count(), 2);
        QVERIFY(w.Modified());

        // Save without a name is Save As (mode 5).
        const QString listFile = rig.folder(QStringLiteral("lists")) + QStringLiteral("/s.vtl");
        answer = listFile;
        QVERIFY(w.commands().mnuFile_ListSaveClick());
        QCOMPARE(modes, (QList<int>{0, 0, 5}));
        QCOMPARE(QFile(listFile).size(), 2 * 564);
        QCOMPARE(w.ListFileName(), listFile);
        QVERIFY(!w.Modified());
        QVERIFY(w.windowTitle().endsWith(QStringLiteral("s")));

        // A cancelled dialog does nothing.
        answer.clear();
        act(w, "mnuFile_ListSaveAs")->trigger();
        act(w, "mnuFile_FileOpen")->trigger();
        QCOMPARE(w.titleList().count(), 2);

        // New on a modified list offers to save; No empties it.
        w.commands().mnuEdit_SelectAllClick();
        w.commands().mnuEdit_CopyClick();
        w.commands().mnuEdit_PasteClick();
        QVERIFY(w.Modified());
        rig.boxes.clear();
        rig.boxes.answer(IdNo);
        act(w, "mnuFile_MakeNewList")->trigger();
        QCOMPARE(rig.boxes.shownIds(), QList<int>{129});
        QCOMPARE(w.titleList().count(), 0);
        QCOMPARE(w.ListFileName(), QString());
        QVERIFY(!act(w, "mnuCursor_CursorTop")->isEnabled());
        QCOMPARE(w.statusText(1), QString());
        // A new and empty list: New does nothing, asks nothing.
        rig.boxes.clear();
        act(w, "mnuFile_MakeNewList")->trigger();
        QVERIFY(rig.boxes.shownIds().isEmpty());

        // Open asks for a list file (mode 4) and shows its titles.
        answer = listFile;
        act(w, "mnuFile_ListOpen")->trigger();
        QCOMPARE(modes.last(), 4);
        QCOMPARE(w.titleList().count(), 2);
        QCOMPARE(w.ListFileName(), listFile);
        QCOMPARE(w.statusText(1), pics + QStringLiteral("/one.tga"));
        // While a title is on the keyer, New and Open are refused with 136.
        w.SetDskState(TFormMain::Showing, 0xFFFE);
        rig.boxes.clear();
        act(w, "mnuFile_MakeNewList")->trigger();
        act(w, "mnuFile_ListOpen")->trigger();
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

        // Cancel at 129 keeps the window.
        rig.boxes.answer(IdCancel);
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        // Yes with a cancelled Save As dialog keeps it too: nothing was saved.
        rig.boxes.answer(IdYes);
        QVERIFY(!w.close());
        QVERIFY(!QFile::exists(listFile));
        // Yes and a name: saved, then closed.
        answer = listFile;
        rig.boxes.clear();
        rig.boxes.answer(IdYes);
        QVERIFY(w.close());
        QCOMPARE(rig.boxes.shownIds(), QList<int>{129});
        QCOMPARE(QFile(listFile).size(), 564);
        // The shutdown writes the list's name for the next start.
        rig.window.reset();
        QSettings ini(rig.iniFile(), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("MainForm/LastListFile")).toString(), listFile);
        // Every title left through the property history.
        const AppPaths paths = AppPaths::inFolder(rig.env.path(QStringLiteral("prog")));
        QCOMPARE(QFile(paths.HistoryFile).size(), 560);
    }

    void lastListReopensAtStart()
    {
        QString listFile;
        QByteArray ini;
        {
            WindowRig first;
            const QString pics = first.folder(QStringLiteral("p"));
            QVERIFY(
                writePicture(first.images, pics + QStringLiteral("/one.tga"), 64, 48, Qt::red, {}));
            first.window->commands().dropFiles({pics + QStringLiteral("/one.tga")});
            listFile = first.folder(QStringLiteral("l")) + QStringLiteral("/x.vtl");
            QVERIFY(first.window->commands().editor().SaveList(listFile, true));
            ini = "[Environment]\nConfirmClose=false\nBeginLastStatus=true\n[MainForm]\n"
                  "LastListFile=" +
                  listFile.toUtf8() + "\n";
            WindowRig second(ini);
            second.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(second.window.get()));
            QCOMPARE(second.window->titleList().count(), 1);
            QCOMPARE(second.window->ListFileName(), listFile);
            QVERIFY(second.boxes.shownIds().isEmpty());
            QVERIFY(act(*second.window, "mnuCursor_CursorTop")->isEnabled());
        }
        // A last list that is gone: silent, empty, and the name is kept.
        WindowRig third("[Environment]\nConfirmClose=false\nBeginLastStatus=true\n[MainForm]\n"
                        "LastListFile=/nowhere/gone.vtl\n");
        third.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(third.window.get()));
        QCOMPARE(third.window->titleList().count(), 0);
        QVERIFY(third.boxes.shownIds().isEmpty());
        QCOMPARE(third.window->ListFileName(), QStringLiteral("/nowhere/gone.vtl"));
    }
};

QTEST_MAIN(TestMainCommands)
#include "test_maincommands.moc"
