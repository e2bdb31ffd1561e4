// The main window's life: caption, close query, placement, shutdown.

#include "app/MainWindowLogic.h"
#include "app/TFormMain.h"
#include "core/SettingsStore.h"
#include "core/Waits.h"
#include "imaging/ImageLibrary.h"
#include "list/TitleList.h"
#include "memory/ListGrid.h"
#include "resources/MessageTable.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

namespace {

class NoImages : public ImageLibrary
{
public:
    std::optional<ImageInfo> fileInfo(const QString &) override { return std::nullopt; }
    std::optional<Bitmap> load(const QString &) override { return std::nullopt; }
    bool save(const Bitmap &, const QString &, ImageFileFormat, int) override { return false; }
};

TitleEntry aTitle()
{
    TitleEntry e = TitleEntry::create();
    e.FileList = {QStringLiteral("/pictures/a.tga")};
    e.Attributes.setFrameCount(1);
    e.IconFrame = 1;
    return e;
}

// One window with its own settings file and program folder.
struct Fixture
{
    TestEnvironment env;
    ScriptedMessageBoxes boxes;
    NoImages images;
    Waits waits{0.01};
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<TFormMain> window;

    explicit Fixture(const QByteArray &ini = {})
    {
        if (!ini.isEmpty()) {
            QFile f(iniFile());
            f.open(QIODevice::WriteOnly);
            f.write(ini);
        }
        store = std::make_unique<SettingsStore>(iniFile());
        window = std::make_unique<TFormMain>(MainServices{
            boxes, images, *store, waits, AppPaths::inFolder(env.path(QStringLiteral("prog")))});
    }
    QString iniFile() const { return env.path(QStringLiteral("TitleDeck.ini")); }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void captionExamples()
    {
        const QString prefix = QStringLiteral("TitleDeck  -  ");
        QCOMPARE(MainWindowLogic::captionPrefix(), prefix);
        QCOMPARE(MainWindowLogic::caption(QString(), false), prefix + MessageTable::text(59));
        QCOMPARE(MainWindowLogic::caption(QStringLiteral("/lists/show1.vtl"), true),
                 prefix + QStringLiteral("show1") + MessageTable::text(20));
        QCOMPARE(MainWindowLogic::caption(QStringLiteral("/lists/a.b.vtl"), false),
                 prefix + QStringLiteral("a.b"));
        QCOMPARE(MessageTable::text(20), QStringLiteral("（変更あり）"));
    }

    void closeQueryOrder()
    {
        int saves = 0;
        auto save = [&] {
            ++saves;
            return true;
        };
        ScriptedMessageBoxes boxes;
        // Cancel at 129 keeps the window open without asking 126.
        boxes.answer(IdCancel);
        QVERIFY(!MainWindowLogic::closeQuery(boxes, true, true, true, save));
        QCOMPARE(boxes.shownIds(), QList<int>{129});
        QCOMPARE(boxes.shown().first().captionId, 11);
        QCOMPARE(boxes.shown().first().flags, int(MsgExclamationYesNoCancel));
        QCOMPARE(saves, 0);

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
        boxes.clear();
        boxes.answer(IdNo);
        boxes.answer(IdYes);
        QVERIFY(MainWindowLogic::closeQuery(boxes, true, true, true, save));
        QCOMPARE(saves, 1);

        // An empty list never asks 129, even when modified; without ConfirmClose nothing is asked.
        boxes.clear();
        QVERIFY(MainWindowLogic::closeQuery(boxes, false, true, false, save));
        QVERIFY(boxes.shownIds().isEmpty());

        // A save that fails keeps the window (and the list) open.
        boxes.clear();
        boxes.answer(IdYes);
        QVERIFY(!MainWindowLogic::closeQuery(boxes, true, true, false, [] { return false; }));
        QCOMPARE(boxes.shownIds(), QList<int>{129});
    }

    void placement()
    {
        // Beyond the screen: centred. Merely partly off-screen: kept.
        QCOMPARE(MainWindowLogic::recentred(2000, 1280, 740), 270);
        QCOMPARE(MainWindowLogic::recentred(1000, 1280, 740), 1000);
        QCOMPARE(MainWindowLogic::recentred(1280, 1280, 740), 1280);
        QCOMPARE(MainWindowLogic::recentred(-300, 1280, 740), -300);
        QCOMPARE(MainWindowLogic::recentred(900, 600, 701), -50);
        QCOMPARE(MainWindowLogic::lastColumnWidth(1000, 426, 1.0), 544);
        QCOMPARE(MainWindowLogic::lastColumnWidth(600, 426, 1.0), 240);
        QCOMPARE(MainWindowLogic::lastColumnWidth(1000, 426, 1.55), 1000 - 426 - 46);
    }

    void windowStartsAsANewList()
    {
        Fixture f;
        QVERIFY(f.window->created());
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QCOMPARE(f.window->windowTitle(),
                 QStringLiteral("TitleDeck  -  ") + MessageTable::text(59));
        QCOMPARE(f.window->statusText(0), QStringLiteral("未接続"));
        QCOMPARE(f.window->titleList().count(), 0);
        QCOMPARE(f.window->DskState(), int(TFormMain::Ended));
        QVERIFY(f.window->grid().iconView());
        const QList<int> headers = {0, 61, 62, 65, 66, 67, 68, 69};
        for (int c = 0; c < ListGrid::ColumnCount; ++c)
            QCOMPARE(f.window->grid().headerTextId(c), headers.at(c));
        // The program and data folders exist.
        for (const QString &dir : {f.window->paths().ListDataDir, f.window->paths().TitleDataDir,
                                   f.window->paths().IntVideoDataDir})
            QVERIFY2(QDir(dir).exists(), qPrintable(dir));
        // Column 7 takes the rest of the grid, at least 240 pixels.
        ListGrid &g = f.window->grid();
        QCOMPARE(g.columnWidth(7),
                 MainWindowLogic::lastColumnWidth(g.width(), g.fixedColumnsWidth(), g.fontScale()));
        f.window->resize(300, 400);
        QCOMPARE(g.columnWidth(7), 240);
    }

    void missingLastListKeepsItsName()
    {
        Fixture f("[MainForm]\nLastListFile=/nowhere/show1.vtl\n");
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QCOMPARE(f.window->ListFileName(), QStringLiteral("/nowhere/show1.vtl"));
        QCOMPARE(f.window->windowTitle(), QStringLiteral("TitleDeck  -  show1"));
        QVERIFY(f.boxes.shownIds().isEmpty());
        QCOMPARE(f.window->titleList().count(), 0);
    }

    void noReopenWhenSwitchedOff()
    {
        Fixture f("[Environment]\nBeginLastStatus=0\n[MainForm]\nLastListFile=/x/show1.vtl\n");
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QVERIFY(f.window->ListFileName().isEmpty());
    }

    void closingAsksThenShutdownWritesSettings()
    {
        Fixture f("[Environment]\nFormModeIcon=0\nHistoryMode=7\n");
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QVERIFY(!f.window->grid().iconView());
        f.window->titleList().append(aTitle(), f.boxes);
        f.window->UpdateCaption(true);
        QVERIFY(f.window->windowTitle().endsWith(MessageTable::text(20)));

        // Cancel keeps the window open.
        f.boxes.answer(IdCancel);
        QVERIFY(!f.window->close());
        QVERIFY(f.window->isVisible());
        QCOMPARE(f.boxes.shownIds(), QList<int>{129});

        // No, then Yes to quitting.
        f.boxes.clear();
        f.boxes.answer(IdNo);
        f.boxes.answer(IdYes);
        QVERIFY(f.window->close());
        QCOMPARE(f.boxes.shownIds(), (QList<int>{129, 126}));
        QVERIFY(!QFile::exists(f.iniFile()) || QFile(f.iniFile()).size() > 0);

        f.window->setListFileName(QStringLiteral("/lists/show2.vtl"));
        f.window.reset(); // FormDestroy
        f.store.reset();
        QSettings ini(f.iniFile(), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("MainForm/LastListFile")).toString(),
                 QStringLiteral("/lists/show2.vtl"));
        QCOMPARE(ini.value(QStringLiteral("Environment/FormModeIcon")).toInt(), 0);
        QCOMPARE(ini.value(QStringLiteral("Environment/HistoryMode")).toInt(), 0);
        QCOMPARE(ini.value(QStringLiteral("Default/StillDurSecond")).toInt(), 10);
        QVERIFY(ini.contains(QStringLiteral("MainForm/Width")));
    }

    void selectionCountInStatusBar()
    {
        Fixture f;
        for (int i = 0; i < 3; ++i)
            f.window->titleList().append(aTitle(), f.boxes);
        f.window->titleList().SetCursor(2);
        QCOMPARE(f.window->statusText(1), QStringLiteral("/pictures/a.tga"));
        f.window->titleList().SelectAll();
        QCOMPARE(f.window->statusText(1), MessageTable::format(19, {3}));
        QVERIFY(f.window->statusText(1).startsWith(QStringLiteral("3")));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
