// Settings: defaults, fix-ups, damaged files, writing every value.

#include "core/Settings.h"
#include "core/SettingsStore.h"
#include "support/TestEnvironment.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QTest>

using namespace TestFiles;

class TestSettings : public QObject
{
    Q_OBJECT

    SettingsContext context() const { return {QStringLiteral("/data/TitleDeck"), 1920, 1080}; }

private slots:
    void missingFileGivesDefaultsAndOneRunWritesEveryValue()
    {
        TestEnvironment env;
        const QString file = env.path(QStringLiteral("td.ini"));
        {
            SettingsStore store(file);
            const Settings s = LoadSettings(store, context());
            QCOMPARE(s, DefaultSettings(context()));
            QCOMPARE(s.Environment.HistoryMode, 1);
            QCOMPARE(s.Environment.ListFolder, QStringLiteral("/data/TitleDeck/ListData"));
            QCOMPARE(s.MainForm.Left, (1920 - 740) / 2);
            QCOMPARE(s.MainForm.Top, (1080 - 558) / 2);
            QVERIFY(!QFile::exists(file)); // nothing written while running
            QVERIFY(SaveSettings(store, s));
        }
        // Every value of the three groups is in the file, as the file reads.
        const QString text = QString::fromUtf8(readFile(file));
        for (const auto &[group, values] :
             {std::pair{"Default", 21}, std::pair{"Environment", 14}, std::pair{"MainForm", 5}})
            QCOMPARE(text.section(QStringLiteral("[%1]\n").arg(group), 1)
                         .section(u'[', 0, 0)
                         .count(u'='),
                     values);
        // An odd screen: the default placement rounds toward zero.
        SettingsStore empty(env.path(QStringLiteral("other.ini")));
        const Settings odd = LoadSettings(empty, {QString(), 641, 501});
        QCOMPARE(odd.MainForm.Left, -49);
        QCOMPARE(odd.MainForm.Top, -28);
    }

    void fixUps()
    {
        TestEnvironment env;
        const QString file = env.path(QStringLiteral("td.ini"));
        QVERIFY(writeFile(
            file, "[Environment]\nHistoryMode=7\nYUVMax=2\nYUVMin=-1\n"
                  "[Default]\nRollSpeed=200\nCrawlSpeed=65\nInSpeed=1\nOutSpeed=64\n"
                  "StillDurSecond=60\nStillDurFrame=99\nStillDurMinute=60\nMovieDurSecond=300\n"
                  "MovieDurMinute=99\nPositionX=-12\nPositionYNtsc=481\nPositionYPal=576\n"
                  "InEffPattern=49152\nOutEffPattern=59999\nInEffTimeSecond=60\n"
                  "OutEffTimeSecond=59\nInEffTimeFrame=300\n"));
        SettingsStore store(file);
        const Settings s = LoadSettings(store, context());
        const DefaultTitleSettings &d = s.Default;
        QCOMPARE(s.Environment.HistoryMode, 0); // 7 is "always", not the default
        QCOMPARE(s.Environment.YUVMax + s.Environment.YUVMin, 0);
        QCOMPARE(d.RollSpeed, 136); // bit 7 kept, speed 8
        QCOMPARE(d.CrawlSpeed, 8);
        QCOMPARE(d.InSpeed, std::uint8_t(8));
        QCOMPARE(d.OutSpeed, std::uint8_t(64));
        QCOMPARE(d.StillDurSecond, std::uint8_t(10));
        QCOMPARE(d.StillDurFrame, std::uint8_t(99)); // frames are not checked
        QCOMPARE(d.StillDurMinute + d.MovieDurMinute, 0);
        QCOMPARE(d.MovieDurSecond, std::uint8_t(44)); // truncated to a byte before the fix-ups
        QCOMPARE(d.PositionX, -12);
        QCOMPARE(d.PositionYNtsc, 0);
        QCOMPARE(d.PositionYPal, 576);
        QCOMPARE(d.InEffPattern, std::uint16_t(0xC000));  // bits 0-13 are 0: valid
        QCOMPARE(d.OutEffPattern, std::uint16_t(0xC001)); // 59999 = 0xEA5F: 0x2A5F > 9999
        QCOMPARE(d.InEffTimeSecond, std::uint8_t(2));
        QCOMPARE(d.OutEffTimeSecond, std::uint8_t(59));
        QCOMPARE(d.InEffTimeFrame, std::uint8_t(44)); // 300 in a byte; frames are not checked
    }

    void valuesRoundTrip()
    {
        TestEnvironment env;
        const QString file = env.path(QStringLiteral("td.ini"));
        Settings s = DefaultSettings(context());
        s.Environment.FormModeIcon = false;
        s.Environment.HistoryMode = 2;
        s.Environment.ListFolder = QStringLiteral("/lists/日本語 folder");
        // Texts the INI layout must quote or escape.
        s.Environment.TitleFolder = QStringLiteral(" @a,b;c=d\\e\"f\" #g ");
        s.Environment.IntVideoFolder = QStringLiteral("@@x\n\t\x01"
                                                      "2\x7f");
        s.Environment.ClearKeepData = true;
        s.Default.RollSpeed = 0x80 | 16;
        s.Default.PositionX = -3;
        s.MainForm.Left = -20;
        s.MainForm.LastListFile = QStringLiteral("/lists/show1.vtl");
        QVERIFY(writeFile(file, "[Device]\nVendorId=0x1a2b\n"));
        SettingsStore writer(file);
        QVERIFY(SaveSettings(writer, s));
        SettingsStore store(file);
        const Settings back = LoadSettings(store, context());
        Settings expected = s;
        expected.MainForm.LastListFile.clear(); // read only when the window shows
        QCOMPARE(back, expected);
        QCOMPARE(ReadLastListFile(store), QStringLiteral("/lists/show1.vtl"));
        // A value the program does not write itself stays.
        store.beginGroup("Device");
        QCOMPARE(store.ReadStringDefault("VendorId", {}), QStringLiteral("0x1a2b"));
    }

    void damagedFilesGiveDefaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe[[[\x01\x02=\n=\x00", 14);
        QTest::newRow("garbage values")
            << QByteArray("[Environment]\nHistoryMode=abc\nConfirmClose=maybe\n"
                          "[MainForm]\nWidth=\n");
    }

    void damagedFilesGiveDefaults()
    {
        QFETCH(QByteArray, content);
        TestEnvironment env;
        const QString file = env.path(QStringLiteral("td.ini"));
        QVERIFY(writeFile(file, content));
        SettingsStore store(file);
        const Settings s = LoadSettings(store, context());
        QCOMPARE(s.Environment.HistoryMode, 1);
        QVERIFY(s.Environment.ConfirmClose);
        QCOMPARE(s.MainForm.Width, 740);
        QCOMPARE(s.Default, DefaultTitleSettings{});
        // The next exit writes a sound file again.
        QVERIFY(SaveSettings(store, s));
        SettingsStore again(file);
        QCOMPARE(LoadSettings(again, context()), s);
    }

    void standardLocationFollowsXdgConfigHome()
    {
        TestEnvironment env;
        SettingsStore store;
        QVERIFY2(store.fileName().startsWith(env.configHome()), qPrintable(store.fileName()));
        QVERIFY(store.fileName().endsWith(QStringLiteral("TitleDeck.ini")));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
