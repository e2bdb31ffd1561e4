// The main window's life: caption, close query, placement, start and shutdown.

#include "app/MainCommands.h"
#include "app/MainWindowLogic.h"
#include "list/ListEditor.h"
#include "list/TitleList.h"
#include "listui/ListUiFixtures.h"
#include "memory/KeyerState.h"
#include "memory/ListGrid.h"
#include "resources/MessageTable.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace ListUiFixtures;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void captionAndPlacement()
    {
        const QString prefix = QStringLiteral("TitleDeck  -  ");
        QCOMPARE(MainWindowLogic::caption(QString(), false), prefix + MessageTable::text(59));
        QCOMPARE(MainWindowLogic::caption(QStringLiteral("/lists/a.b.vtl"), true),
                 prefix + QStringLiteral("a.b") + QString::fromUtf8("（変更あり）"));
        // Beyond the screen: centred (toward zero). Merely partly off-screen: kept.
        QCOMPARE(MainWindowLogic::recentred(2000, 1280, 740), 270);
        QCOMPARE(MainWindowLogic::recentred(900, 600, 701), -50);
        QCOMPARE(MainWindowLogic::recentred(1280, 1280, 740), 1280);
        QCOMPARE(MainWindowLogic::recentred(-300, 1280, 740), -300);
        QCOMPARE(MainWindowLogic::lastColumnWidth(600, 426, 1.0), 240);
        QCOMPARE(MainWindowLogic::lastColumnWidth(1000, 426, 1.55), 1000 - 426 - 46);
    }

    void closeQueryOrder()
    {
        int saves = 0;
        auto save = [&] { return ++saves > 0; };
        ScriptedMessageBoxes boxes;
        // Cancel at 129 keeps the window open without asking 126.
        boxes.answer(IdCancel);
        QVERIFY(!MainWindowLogic::closeQuery(boxes, true, true, true, save));
        QCOMPARE(boxes.shownIds(), QList<int>{129});
        QCOMPARE(boxes.shown().first().captionId, 11);
        QCOMPARE(boxes.shown().first().flags, int(MsgExclamationYesNoCancel));
        // Yes saves, then 126 is asked; No there refuses.
        boxes.clear();
        boxes.answer(IdYes);
        boxes.answer(IdNo);
        QVERIFY(!MainWindowLogic::closeQuery(boxes, true, true, true, save));
        QCOMPARE(boxes.shownIds(), (QList<int>{129, 126}));
        QCOMPARE(boxes.shown().at(1).captionId, 8);
        QCOMPARE(boxes.shown().at(1).flags, int(MsgQuestionYesNo));
        QCOMPARE(saves, 1);
        // No at 129 goes on without saving; Yes at 126 closes.
        boxes.answer(IdNo);
        boxes.answer(IdYes);
        QVERIFY(MainWindowLogic::closeQuery(boxes, true, true, true, save));
        QCOMPARE(saves, 1);
        // An empty list never asks 129, even when modified; without ConfirmClose nothing is asked.
        boxes.clear();
        QVERIFY(MainWindowLogic::closeQuery(boxes, false, true, false, save));
        QVERIFY(boxes.shownIds().isEmpty());
        // A save that fails keeps the window (and the list) open.
        boxes.answer(IdYes);
        QVERIFY(!MainWindowLogic::closeQuery(boxes, true, true, false, [] { return false; }));
    }

    void windowStartsAsANewList()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        QVERIFY(w.created());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.windowTitle(), MainWindowLogic::caption(QString(), false));
        QCOMPARE(w.statusText(0), QString::fromUtf8("未接続"));
        QCOMPARE(w.keyer().DskState(), DskState::Ended);
        QVERIFY(w.grid().iconView());
        for (const QString &dir :
             {w.paths().ListDataDir, w.paths().TitleDataDir, w.paths().IntVideoDataDir})
            QVERIFY2(QDir(dir).exists(), qPrintable(dir));
        // The name column takes the rest of the grid, at least 240 pixels.
        ListGrid &g = w.grid();
        QCOMPARE(g.columnWidth(GridColumn::Name),
                 MainWindowLogic::lastColumnWidth(g.width(), g.fixedColumnsWidth(), g.fontScale()));
        w.resize(300, 400);
        QCOMPARE(g.columnWidth(GridColumn::Name), 240);
    }

    void lastListAtStart()
    {
        // Switched off: the last list is not even named.
        WindowRig off("[Environment]\nBeginLastStatus=0\n[MainForm]\nLastListFile=/x/show1.vtl\n");
        off.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(off.window.get()));
        QVERIFY(off.window->commands().editor().ListFileName().isEmpty());
        // Gone: silent, empty, and the name is kept for the caption and the next Save.
        WindowRig gone("[MainForm]\nLastListFile=/nowhere/show1.vtl\n");
        gone.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(gone.window.get()));
        QCOMPARE(gone.window->commands().editor().ListFileName(),
                 QStringLiteral("/nowhere/show1.vtl"));
        QCOMPARE(gone.window->windowTitle(), QStringLiteral("TitleDeck  -  show1"));
        QVERIFY(gone.boxes.shownIds().isEmpty());
        QCOMPARE(gone.window->titleList().count(), 0);
    }

    void closingAsksThenWritesSettingsAndHistory()
    {
        WindowRig rig("[Environment]\nFormModeIcon=0\nHistoryMode=7\n");
        TFormMain &w = *rig.window;
        ListEditor &editor = w.commands().editor();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(!w.grid().iconView());
        w.titleList().append(gridTitle(QStringLiteral("a")), rig.boxes);
        editor.UpdateCaption(true);
        QVERIFY(w.windowTitle().endsWith(MessageTable::text(20)));

        // Cancel keeps the window open.
        rig.boxes.answer(IdCancel);
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        // No, then Yes to quitting: closing writes the settings and empties the
        // list through the history.
        rig.boxes.clear();
        rig.boxes.answer(IdNo);
        rig.boxes.answer(IdYes);
        QVERIFY(w.close());
        QCOMPARE(rig.boxes.shownIds(), (QList<int>{129, 126}));
        QCOMPARE(w.titleList().count(), 0);
        QCOMPARE(QFile(w.paths().HistoryFile).size(), 560);
        SettingsStore store(rig.iniFile());
        const Settings s = LoadSettings(store, {QString(), 1920, 1080});
        QVERIFY(!s.Environment.FormModeIcon);
        QCOMPARE(s.Environment.HistoryMode, 0);
        store.beginGroup(QStringLiteral("MainForm"));
        QCOMPARE(store.ReadIntegerDefault(QStringLiteral("Width"), -1), w.width());
    }

    void quittingWithoutClosingStillWrites()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        w.titleList().append(gridTitle(QStringLiteral("a")), rig.boxes);
        QVERIFY(w.commands().editor().SaveList(rig.folder(QStringLiteral("l")) + "/q.vtl", true));
        QVERIFY(QMetaObject::invokeMethod(qApp, "aboutToQuit"));
        QCOMPARE(w.titleList().count(), 0);
        QCOMPARE(QFile(w.paths().HistoryFile).size(), 560);
        SettingsStore store(rig.iniFile());
        QCOMPARE(ReadLastListFile(store), rig.folder(QStringLiteral("l")) + "/q.vtl");
        QVERIFY(w.Closing());
        // A later close asks nothing and writes nothing more.
        QVERIFY(w.close());
        QVERIFY(rig.boxes.shownIds().isEmpty());
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
