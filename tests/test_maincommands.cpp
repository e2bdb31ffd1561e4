// The main window through the real window: its life (caption, placement, the close query,
// start and shutdown) and its File, Edit, View and Cursor commands: the enabling rules, the
// list file commands with their dialogs and questions, dropped files and the file dialog modes.

#include "app/DroppedFiles.h"
#include "app/FileDialog.h"
#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "app/MainWindowLogic.h"
#include "app/OperateCommands.h"
#include "core/MemorySetting.h"
#include "imaging/TFormTitleType.h"
#include "list/ListEditor.h"
#include "list/TitleList.h"
#include "listcore/ListFixtures.h"
#include "listui/ListUiFixtures.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/KeyerState.h"
#include "memory/ListGrid.h"
#include "memory/MemoryRefresh.h"
#include "resources/MessageTable.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace ListFixtures;
using namespace ListUiFixtures;

namespace {

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
    void enablingRules()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        MainActions &a = w.actions();
        TitleList &list = w.titleList();
        // Empty: the cursor and edit commands wait for a title, the DSK jump for the keyer.
        QVERIFY(!a.mnuCursor_CursorTop->isEnabled() && !a.mnuEdit_Cut->isEnabled());
        QVERIFY(!a.mnuCursor_JumpToDsk->isEnabled() && !a.mnuEdit_Paste->isEnabled());
        fill(list, numbered("t", 98));
        QVERIFY(a.mnuCursor_CursorTop->isEnabled() && a.mnuEdit_Cut->isEnabled());
        list.insert(list.count() + 1, titleOf("/pictures/last.tga"));
        // 99 titles: no more pictures can be opened, from the menu or the context menu.
        QVERIFY(!a.mnuFile_FileOpen->isEnabled() && !a.pmnuAdd->isEnabled());
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
        QVERIFY(!a.mnuFile_FileOpen->isEnabled() && a.mnuEdit_Redo->isEnabled());
        a.mnuEdit_Copy->trigger();
        QVERIFY(a.mnuEdit_Paste->isEnabled());

        // The Mark items follow the marks in use; a damaged mark reaches none.
        const auto &marks = a.mnuCursor_JumpToM;
        QVERIFY(!marks[6]->isEnabled());
        list.at(3).Mark = 6;
        list.at(2).Mark = 200;
        list.notifyRowChanged(3);
        QVERIFY(marks[6]->isEnabled() && !marks[5]->isEnabled() && !marks[9]->isEnabled());
        // The DSK jump follows the keyer (the jumps themselves: the keys in test_listgrid).
        w.keyer().SetDskState(DskState::OnRunning, 0x0010);
        QVERIFY(a.mnuCursor_JumpToDsk->isEnabled());
        w.keyer().SetDskState(DskState::Ended, 0xFFFF);
        QVERIFY(!a.mnuCursor_JumpToDsk->isEnabled());
    }

    void listCommandsGreyWhileTheEditorIsBusy()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        MainActions &a = w.actions();
        fill(w.titleList(), numbered("t", 2));
        a.mnuEdit_Copy->trigger();
        const QString first = rig.sequence(QStringLiteral("s")).first();
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
        QVERIFY(a.mnuEdit_Paste->isEnabled() && a.mnuFile_ListSave->isEnabled());
    }

    void viewAndSort()
    {
        WindowRig rig("[Environment]\nFormModeIcon=false\nConfirmClose=false\n");
        TFormMain &w = *rig.window;
        MainActions &a = w.actions();
        QVERIFY(!w.grid().iconView() && a.mnuView_List->isChecked());
        a.mnuView_Icon->trigger();
        QCOMPARE(w.grid().rowHeight(), 88);
        a.mnuView_List->trigger();

        // Each sort item in its direction (names b and A, comments y and z).
        TitleList &list = w.titleList();
        fill(list, {QStringLiteral("b"), QStringLiteral("A")});
        list.at(1).Comment = QStringLiteral("y");
        list.at(2).Comment = QStringLiteral("z");
        for (const auto &[item, first, nameUp] :
             {std::tuple{a.mnuView_SortName_Upward, "A", true},
              std::tuple{a.mnuView_SortName_Downward, "b", false},
              std::tuple{a.mnuView_SortComment_Upward, "b", false},
              std::tuple{a.mnuView_SortComment_Downward, "A", false}}) {
            item->trigger();
            QCOMPARE(list.at(1).Name, QString::fromLatin1(first));
            QCOMPARE(w.grid().nameSortAscending(), nameUp);
        }
        QVERIFY(!w.grid().commentSortAscending());

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
        WindowRig rig;
        TFormMain &w = *rig.window;
        const QString broken = rig.folder(QStringLiteral("p")) + QStringLiteral("/c.jpg");
        QVERIFY(writeFile(broken, "garbage that is no JPEG"));
        // Sorted, filtered, and stopped at the first picture that fails.
        drop(w, {rig.picture("d.tga"), rig.picture("b.TGA"), rig.picture("c.tif"),
                 rig.picture("a.bmp"), broken});
        QCOMPARE(w.titleList().count(), 2);
        QCOMPARE(w.titleList().at(1).Name, QStringLiteral("a.bmp"));
        QCOMPARE(w.titleList().at(2).Name, QStringLiteral("b.TGA"));
        // A sequence dropped as many files is added once.
        const QStringList seq = rig.sequence(QStringLiteral("f"));
        answerTitleType(0); // MOVIE ONCE
        drop(w, {seq.at(2), seq.at(0), seq.at(1)});
        QCOMPARE(w.titleList().count(), 3);
        QCOMPARE(w.titleList().at(3).Attributes.frameCount(), 3);
    }

    void fileDialogModes()
    {
        EnvironmentSettings env;
        env.TitleFolder = QStringLiteral("/t");
        env.ListFolder = QStringLiteral("/l");
        const FileDialogSetup open = FileDialog::setup(0, env);
        QVERIFY(open.valid && !open.save);
        QCOMPARE(open.startFolder, QStringLiteral("/t"));
        QCOMPARE(FileDialog::setup(5, env).extensions, QStringList{QStringLiteral(".vtl")});
        QVERIFY(!FileDialog::setup(9, env).valid);
        // A clip is saved in the IntVideo folder, the filter of the last clip save first.
        env.IntVideoFolder = QStringLiteral("/v");
        env.IntVideoFilter = 3;
        const FileDialogSetup clip = FileDialog::setup(3, env);
        QVERIFY(clip.valid && clip.save);
        QCOMPARE(clip.startFolder, QStringLiteral("/v"));
        QCOMPARE(clip.extensions.value(clip.preselected), QStringLiteral(".jpg"));
        // The chosen filter's extension is added unless the name has it (in any case).
        QCOMPARE(FileDialog::withExtension(QStringLiteral("/l/a.VTL"), QStringLiteral(".vtl")),
                 QStringLiteral("/l/a.VTL"));
        QCOMPARE(FileDialog::withExtension(QStringLiteral("/l/a.vtl.bak"), QStringLiteral(".vtl")),
                 QStringLiteral("/l/a.vtl.bak.vtl"));
    }

    void saveOpenAndNew()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        MainActions &a = w.actions();
        ListEditor &editor = w.commands().editor();
        QList<int> modes;
        QString answer;
        w.commands().setFileChooser([&](int mode) {
            modes.append(mode);
            return answer;
        });
        answer = rig.picture(QStringLiteral("one.tga"));
        a.mnuFile_FileOpen->trigger();
        answer = rig.picture(QStringLiteral("two.tga"));
        a.pmnuAdd->trigger();
        QCOMPARE(w.titleList().count(), 2);

        // Save without a name is Save As (mode 5).
        const QString listFile = rig.folder(QStringLiteral("lists")) + QStringLiteral("/s.vtl");
        answer = listFile;
        a.mnuFile_ListSave->trigger();
        QCOMPARE(modes, (QList<int>{0, 0, 5}));
        QCOMPARE(QFile(listFile).size(), 2 * 564);
        QCOMPARE(w.windowTitle(), MainWindowLogic::caption(listFile, false));

        // A cancelled dialog does nothing.
        answer.clear();
        a.mnuFile_ListSaveAs->trigger();
        a.mnuFile_FileOpen->trigger();
        QCOMPARE(w.titleList().count(), 2);

        // New on a modified list offers to save; No empties it.
        editor.UpdateCaption(true);
        rig.boxes.answer(IdNo);
        a.mnuFile_MakeNewList->trigger();
        QCOMPARE(rig.boxes.shownIds(), QList<int>{129});
        QCOMPARE(w.titleList().count(), 0);
        QCOMPARE(w.windowTitle(), MainWindowLogic::caption(QString(), false));
        QCOMPARE(w.statusText(1), QString());
        // A new and empty list: New does nothing, asks nothing.
        rig.boxes.clear();
        a.mnuFile_MakeNewList->trigger();
        QVERIFY(rig.boxes.shownIds().isEmpty());

        // Open asks for a list file (mode 4) and shows its titles.
        answer = listFile;
        a.mnuFile_ListOpen->trigger();
        QCOMPARE(modes.last(), 4);
        QCOMPARE(editor.ListFileName(), listFile);
        QCOMPARE(w.statusText(1), rig.picture(QStringLiteral("one.tga")));
        // While a title is on the keyer, New and Open are refused with 136.
        w.keyer().SetDskState(DskState::Showing, 0xFFFE);
        a.mnuFile_MakeNewList->trigger();
        a.mnuFile_ListOpen->trigger();
        QCOMPARE(rig.boxes.shownIds(), (QList<int>{136, 136}));
        QCOMPARE(w.titleList().count(), 2);
    }

    void operateCommandsFollowTheConnection()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        QVERIFY(rig.show());
        MainActions &a = w.actions();
        MemoryRefresh &refresh = w.memoryRefresh();
        const auto enabled = [&a] {
            return std::tuple(a.mnuOperate_Load->isEnabled(), a.mnuOperate_Clear->isEnabled(),
                              a.mnuOperate_ClearAll->isEnabled());
        };
        QCOMPARE(enabled(), std::tuple(false, false, false));
        w.setConnected(true);
        // Load waits for its transfer to be there.
        QCOMPARE(enabled(), std::tuple(false, true, true));
        QVERIFY(refresh.running());
        int loads = 0;
        w.operate().setLoader([&] {
            ++loads;
            return !refresh.running() && refresh.pauseDepth() == 1;
        });
        QCOMPARE(enabled(), std::tuple(true, true, true));
        // Nothing to load in an empty list; then L loads with the refresh paused.
        QVERIFY(!w.operate().mnuOperate_LoadClick());
        fill(w.titleList(), numbered("t", 2));
        QVERIFY(w.operate().mnuOperate_LoadClick());
        QTest::keyClick(&w.grid(), Qt::Key_L);
        QCOMPARE(loads, 2);
        QVERIFY(refresh.running());
        // Play needs a single title selected; Stop stays for the title on air.
        QVERIFY(a.mnuOperate_Play->isEnabled() && a.mnuOperate_Stop->isEnabled());
        w.titleList().setSelected(2, true);
        QVERIFY(!a.mnuOperate_Play->isEnabled() && a.mnuOperate_Stop->isEnabled());
        w.titleList().SetCursor(1);
        QVERIFY(a.mnuOperate_Play->isEnabled() && a.mnuOperate_Autotake->isEnabled());
        QVERIFY(!a.mnuOperate_Pause->isVisible());
        QSignalSpy clear(a.mnuOperate_Clear, &QAction::triggered);
        QSignalSpy clearAll(a.mnuOperate_ClearAll, &QAction::triggered);
        QTest::keyClick(&w.grid(), Qt::Key_R, Qt::ControlModifier);
        QTest::keyClick(&w.grid(), Qt::Key_T, Qt::ControlModifier);
        QCOMPARE(std::pair(int(clear.size()), int(clearAll.size())), std::pair(1, 1));
        w.setConnected(false);
        QCOMPARE(enabled(), std::tuple(false, false, false));
        QVERIFY(!refresh.running());
    }

    void closeQueryThroughTheWindow()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        QVERIFY(rig.show());
        const QString listFile = rig.folder(QStringLiteral("lists")) + QStringLiteral("/c.vtl");
        QString answer;
        w.commands().setFileChooser([&](int) { return answer; });
        QCOMPARE(w.commands().dropFiles({rig.picture(QStringLiteral("one.tga"))}), 1);

        // Yes with a cancelled Save As dialog keeps the window: nothing was saved.
        rig.boxes.answer(IdYes);
        QVERIFY(!w.close() && !QFile::exists(listFile));
        // Yes and a name: saved, then closed; closing empties the list through
        // the history and names the list for the next start.
        answer = listFile;
        rig.boxes.clear();
        rig.boxes.answer(IdYes);
        QVERIFY(w.close());
        QCOMPARE(rig.boxes.shownIds(), QList<int>{129});
        QCOMPARE(QFile(listFile).size(), 564);
        QCOMPARE(QFile(w.paths().HistoryFile).size(), 560);
        SettingsStore store(rig.iniFile());
        QCOMPARE(ReadLastListFile(store), listFile);

        // The next start reopens it, silently.
        WindowRig next("[Environment]\nConfirmClose=false\nBeginLastStatus=true\n[MainForm]\n"
                       "LastListFile=" +
                       listFile.toUtf8() + "\n");
        QVERIFY(next.show());
        QCOMPARE(next.window->titleList().count(), 1);
        QVERIFY(next.boxes.shownIds().isEmpty());
        QVERIFY(next.window->actions().mnuCursor_CursorTop->isEnabled());
    }

    void captionPlacementAndCloseQuery()
    {
        const QString prefix = QStringLiteral("TitleDeck  -  ");
        QCOMPARE(MainWindowLogic::caption(QString(), false), prefix + MessageTable::text(59));
        QCOMPARE(MainWindowLogic::caption(QStringLiteral("/lists/a.b.vtl"), true),
                 prefix + QStringLiteral("a.b") + QString::fromUtf8("（変更あり）"));
        // Beyond the screen: centred (toward zero). Merely partly off-screen: kept.
        QCOMPARE(MainWindowLogic::recentred(2000, 1280, 740), 270);
        QCOMPARE(MainWindowLogic::recentred(900, 600, 701), -50);
        QCOMPARE(MainWindowLogic::recentred(1280, 1280, 740), 1280);
        QCOMPARE(MainWindowLogic::lastColumnWidth(1000, 426, 1.55), 1000 - 426 - 46);

        // The close query: titles, modified, ConfirmClose, the answers and whether the save
        // works; whether the window closes, the questions asked and the saves. Cancel at 129
        // asks nothing more; Yes saves, then 126 decides; No at 129 goes on without saving;
        // an empty or unmodified list is not saved; a save that fails keeps the window open.
        const struct
        {
            bool titles, modified, confirm;
            QList<int> answers;
            bool saveWorks, closes;
            QList<int> asked;
            int saves;
        } cases[] = {{true, true, true, {IdCancel}, true, false, {129}, 0},
                     {true, true, true, {IdYes, IdNo}, true, false, {129, 126}, 1},
                     {true, true, true, {IdNo, IdYes}, true, true, {129, 126}, 0},
                     {false, true, true, {IdYes}, true, true, {126}, 0},
                     {true, false, false, {}, true, true, {}, 0},
                     {true, true, false, {IdYes}, false, false, {129}, 1}};
        ScriptedMessageBoxes boxes;
        int saves = 0;
        bool saveWorks = true;
        const auto save = [&] { return ++saves, saveWorks; };
        for (const auto &c : cases) {
            boxes.clear();
            for (int answer : c.answers)
                boxes.answer(answer);
            saves = 0;
            saveWorks = c.saveWorks;
            QCOMPARE(MainWindowLogic::closeQuery(boxes, c.titles, c.modified, c.confirm, save),
                     c.closes);
            QCOMPARE(boxes.shownIds(), c.asked);
            QCOMPARE(saves, c.saves);
        }
        QCOMPARE(boxes.shown().first().flags, int(MsgExclamationYesNoCancel)); // 129 can cancel
    }

    void startWithoutTheLastList()
    {
        // Reopening the last list is switched off: it is not even named.
        WindowRig rig("[Environment]\nBeginLastStatus=0\n[MainForm]\nLastListFile=/x/show1.vtl\n");
        TFormMain &w = *rig.window;
        QVERIFY(rig.show());
        QCOMPARE(w.windowTitle(), MainWindowLogic::caption(QString(), false));
        QVERIFY(w.commands().editor().ListFileName().isEmpty());
        QCOMPARE(w.keyer().DskState(), DskState::Ended);
        for (const QString &dir :
             {w.paths().ListDataDir, w.paths().TitleDataDir, w.paths().IntVideoDataDir})
            QVERIFY2(QDir(dir).exists(), qPrintable(dir));
        // The name column takes the rest of the grid, at least 240 pixels.
        ListGrid &g = w.grid();
        QCOMPARE(g.columnWidth(GridColumn::Name),
                 MainWindowLogic::lastColumnWidth(g.width(), g.fixedColumnsWidth(), g.fontScale()));
        w.resize(300, 400);
        QCOMPARE(g.columnWidth(GridColumn::Name), 240);

        // The last list is gone: silent, empty, and the name is kept for the caption and the
        // next Save.
        WindowRig gone("[MainForm]\nLastListFile=/nowhere/show1.vtl\n");
        QVERIFY(gone.show());
        QCOMPARE(gone.window->commands().editor().ListFileName(),
                 QStringLiteral("/nowhere/show1.vtl"));
        QCOMPARE(gone.window->windowTitle(), QStringLiteral("TitleDeck  -  show1"));
        QVERIFY(gone.boxes.shownIds().isEmpty());
        QCOMPARE(gone.window->titleList().count(), 0);
    }

    void quittingWithoutClosingStillWrites()
    {
        // The memory setting is read with its fix-ups at start and written at the end.
        WindowRig rig("[MemorySetting]\nSignal=1\nTitleCount=31\n");
        TFormMain &w = *rig.window;
        QVERIFY(w.memoryMirror().videoFormat().isPal);
        w.titleList().append(titleOf("/pictures/a.tga"), rig.boxes);
        QVERIFY(w.commands().editor().SaveList(rig.folder(QStringLiteral("l")) + "/q.vtl", true));
        QVERIFY(QMetaObject::invokeMethod(qApp, "aboutToQuit"));
        QCOMPARE(QFile(w.paths().HistoryFile).size(), 560);
        SettingsStore store(rig.iniFile());
        QCOMPARE(ReadLastListFile(store), rig.folder(QStringLiteral("l")) + "/q.vtl");
        store.beginGroup(QStringLiteral("MemorySetting"));
        QCOMPARE(store.ReadIntegerDefault(QStringLiteral("TitleCount"), -1), 15);
        QCOMPARE(store.ReadIntegerDefault(QStringLiteral("Signal"), -1), 1);
        store.endGroup();
        // A later close asks nothing and writes nothing more.
        QVERIFY(w.close() && rig.boxes.shownIds().isEmpty());
    }
};

QTEST_MAIN(TestMainCommands)
#include "test_maincommands.moc"
