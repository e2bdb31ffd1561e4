// The device memory mirror: taking maps (the format and allocation notices),
// the room check, the persisted memory setting, the clears against the
// virtual mixer, the refresh timer and the duration of rolls and crawls.

#include "core/MemorySetting.h"
#include "core/Settings.h"
#include "core/SettingsStore.h"
#include "core/Waits.h"
#include "device/BulkInTransfer.h"
#include "device/DeviceCommands.h"
#include "device/DeviceLink.h"
#include "imaging/MagickImageLibrary.h"
#include "list/TitleList.h"
#include "listcore/ListFixtures.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/KeyerState.h"
#include "memory/MemoryRefresh.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

using ListFixtures::titleOf;

namespace {

// A memory map block made by hand: the header and the records to set.
struct Map
{
    using Used = QList<std::tuple<int, int, BlockUsage, std::uint16_t>>;
    Map(int signal = 0, int aspect = 0, int rows = 15, Used used = {})
        : signal(signal), aspect(aspect), rows(rows), used(std::move(used))
    {}
    int signal, aspect, rows;
    Used used;

    QByteArray bytes() const
    {
        QByteArray b(DeviceMemoryMirror::MapSize, '\0');
        auto *p = reinterpret_cast<std::uint8_t *>(b.data());
        p[0] = 0xFE, p[1] = 0xFF, p[2] = 0xFC, p[3] = 0xFD;
        p[4] = std::uint8_t(signal), p[5] = std::uint8_t(aspect), p[6] = std::uint8_t(rows);
        for (int k = 0; k < 240; ++k)
            qToLittleEndian<quint16>(0xFFFF, p + 8 + 4 * k + 2);
        for (const auto &[row, block, usage, memoryNo] : used) {
            p[8 + 4 * (row * 8 + block)] = std::uint8_t(usage);
            qToLittleEndian<quint16>(memoryNo, p + 8 + 4 * (row * 8 + block) + 2);
        }
        return b;
    }
};

TitleEntry stored(std::uint16_t memoryNo, std::uint32_t deviceWord, bool protect = false)
{
    TitleEntry e = titleOf(QStringLiteral("/p/t.tga"), 1, 1);
    e.Attributes.setMemoryNo(memoryNo);
    e.Attributes.setDeviceWord(deviceWord);
    e.Attributes.setProtect(protect);
    return e;
}

std::tuple<int, int, BlockUsage, std::uint16_t> usedAt(int row, int block)
{
    return {row, block, BlockUsage::UsedTitle, 1};
}

// A list, a keyer and a mirror, with scripted answers; optionally on a virtual mixer.
struct Rig
{
    Waits waits{0.01};
    ScriptedMessageBoxes boxes;
    MagickImageLibrary images;
    TitleList list;
    KeyerState keyer{list};
    DefaultTitleSettings defaults;
    DeviceMemoryMirror mirror;
    VirtualMixer *mixer = nullptr;
    std::unique_ptr<VirtualMixerBackend> backend;
    std::unique_ptr<DeviceLink> link;
    int closed = 0;

    explicit Rig(const MemorySetting &setting = {}, bool withMixer = false)
        : mirror({list, keyer, boxes, images, waits, defaults}, setting)
    {
        mirror.setListCloser([this] { ++closed; });
        if (!withMixer)
            return;
        auto owned = std::make_unique<VirtualMixer>(waits);
        mixer = owned.get();
        backend = std::make_unique<VirtualMixerBackend>(std::move(owned));
        link = std::make_unique<DeviceLink>(backend.get(), waits, boxes);
        link->Start();
        mirror.setLink(link.get());
    }
    ~Rig()
    {
        if (link)
            link->Stop();
    }
    // A title stored in the mixer, and in the list unless elsewhere.
    std::uint16_t store(bool protect = false, bool elsewhere = false)
    {
        DeviceCommands commands(*link);
        const auto a = DeviceCommands::parseAllocation(*commands.AllocTitleMemory(1, protect, 1));
        if (!elsewhere)
            list.insert(list.count() + 1, stored(a.memoryNo, a.deviceWord, protect));
        return a.memoryNo;
    }
    std::uint16_t storeClip()
    {
        return DeviceCommands::parseAllocation(*DeviceCommands(*link).AllocIntVideoMemory(1))
            .memoryNo;
    }
};

} // namespace

Q_DECLARE_METATYPE(Map)
Q_DECLARE_METATYPE(MemorySetting)

class TestMemoryMirror : public QObject
{
    Q_OBJECT

private slots:
    void takingMaps_data()
    {
        QTest::addColumn<Map>("first");
        QTest::addColumn<Map>("second");
        QTest::addColumn<QList<int>>("notices");
        QTest::addColumn<int>("closed");
        QTest::addColumn<bool>("keptStored");
        QTest::addColumn<bool>("pal");
        // The setting of the last run is NTSC, 4:3, 15 title rows.
        QTest::newRow("first map, other title rows: silent")
            << Map{0, 0, 20} << Map{0, 0, 20} << QList<int>{} << 0 << true << false;
        QTest::newRow("first map, other signal")
            << Map{1, 0, 15} << Map{1, 0, 15} << QList<int>{130} << 1 << true << true;
        QTest::newRow("signal and rows together")
            << Map{1, 0, 20} << Map{1, 0, 20} << QList<int>{130} << 1 << true << true;
        QTest::newRow("rows change later")
            << Map{0, 0, 15} << Map{0, 0, 16} << QList<int>{131} << 0 << false << false;
        QTest::newRow("signal changes later")
            << Map{0, 0, 15} << Map{1, 0, 15} << QList<int>{130} << 1 << false << true;
    }

    void takingMaps()
    {
        QFETCH(Map, first);
        QFETCH(Map, second);
        QFETCH(QList<int>, notices);
        Rig rig;
        rig.list.insert(1, stored(0x0002, 7));
        QVERIFY(!rig.mirror.FirstUpdateDone());
        QVERIFY(rig.mirror.ApplyMemoryMap(first.bytes()));
        QVERIFY(rig.mirror.ApplyMemoryMap(second.bytes()));
        QCOMPARE(rig.boxes.shownIds(), notices);
        for (const auto &shown : rig.boxes.shown())
            QCOMPARE(std::pair(shown.captionId, shown.flags), std::pair(18, int(MsgInformation)));
        QTEST(rig.closed, "closed");
        QTEST(rig.list.at(1).Attributes.memoryNo() == 0x0002, "keptStored");
        QTEST(rig.mirror.videoFormat().isPal, "pal");
        QCOMPARE(rig.mirror.TitleRows(), second.rows);
        QVERIFY(rig.mirror.FirstUpdateDone());
    }

    void aspectChangeRedrawsThumbnails()
    {
        TestEnvironment env;
        Rig rig;
        const QString picture = ListFixtures::writeTarga(env.path("a.tga"), 64, 48, 0xFFFFFF);
        rig.list.insert(1, titleOf(picture, 1, 1));
        rig.list.insert(2, titleOf(env.path("gone.tga"), 1, 1));
        const Bitmap before = rig.list.at(1).Thumbnail;
        // 16:9: grey bars over the top lines of the screen.
        QVERIFY(rig.mirror.ApplyMemoryMap(Map{0, 1, 15}.bytes()));
        const Bitmap &after = rig.list.at(1).Thumbnail;
        QVERIFY(after.row(0)[0] != 0 && after.row(0)[0] == after.row(0)[1]);
        QVERIFY(before.row(0)[0] == 0);
        QCOMPARE(rig.list.at(2).Thumbnail, before);
        QCOMPARE(rig.boxes.shownIds(), QList<int>{122});
    }

    void rejectedMapsChangeNothing()
    {
        Rig rig;
        QVERIFY(rig.mirror.ApplyMemoryMap(
            Map{0, 1, 4, {{2, 3, BlockUsage::UsedTitle, 0x0009}}}.bytes()));
        QByteArray bad = Map{1, 0, 9}.bytes();
        bad[3] = 0;
        QVERIFY(!rig.mirror.ApplyMemoryMap(bad));
        QVERIFY(!rig.mirror.ApplyMemoryMap(Map{1, 0, 9}.bytes().left(967)));
        QCOMPARE(rig.mirror.Signal(), 0);
        QCOMPARE(rig.mirror.TitleRows(), 4);
        QCOMPARE(rig.mirror.record(2, 3), (MemoryMapRecord{BlockUsage::UsedTitle, 0x0009}));
        QVERIFY(rig.boxes.shownIds().isEmpty());
        // A reset empties the records and keeps the header.
        rig.mirror.ResetMemoryMirror();
        QCOMPARE(rig.mirror.record(2, 3), MemoryMapRecord{});
        QCOMPARE(rig.mirror.memorySetting(), (MemorySetting{0, 1, 4, {}, {}}));
        QVERIFY(!rig.mirror.FirstUpdateDone());
    }

    void roomCheck_data()
    {
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("frames");
        QTest::addColumn<Map>("map");
        QTest::addColumn<bool>("noRoom");
        QTest::newRow("8 x 2 in two empty rows") << 8 << 2 << Map{0, 0, 2} << false;
        QTest::newRow("8 x 2, one used block in a row")
            << 8 << 2 << Map{0, 0, 2, {usedAt(1, 3)}} << true;
        QTest::newRow("8 x 2, skips the used row")
            << 8 << 2 << Map{0, 0, 3, {usedAt(0, 4)}} << false;
        QTest::newRow("4 x 2 around block 4: one run")
            << 4 << 2 << Map{0, 0, 1, {usedAt(0, 4)}} << true;
        QTest::newRow("4 x 1 around block 4") << 4 << 1 << Map{0, 0, 1, {usedAt(0, 4)}} << false;
        QTest::newRow("1 x 7 around block 4") << 1 << 7 << Map{0, 0, 1, {usedAt(0, 4)}} << false;
        QTest::newRow("1 x 8 around block 4") << 1 << 8 << Map{0, 0, 1, {usedAt(0, 4)}} << true;
        QTest::newRow("2 x 4 in one row") << 2 << 4 << Map{0, 0, 1} << false;
        QTest::newRow("2 x 5 in one row") << 2 << 5 << Map{0, 0, 1} << true;
        QTest::newRow("no title rows") << 1 << 1 << Map{0, 0, 0} << true;
        Map full{0, 0, 1};
        for (int b = 0; b < 8; ++b)
            full.used << usedAt(0, b);
        QTest::newRow("clip rows are not scanned") << 1 << 1 << full << true;
        QTest::newRow("damaged block count") << 0 << 1 << Map{0, 0, 2} << true;
    }

    void roomCheck()
    {
        QFETCH(int, blocks);
        QFETCH(int, frames);
        QFETCH(Map, map);
        Rig rig(MemorySetting{0, 0, map.rows, {}, {}});
        rig.list.insert(1, titleOf(QStringLiteral("/p/a.tga"), blocks, frames));
        TitleEntry kept = stored(0x0001, 1);
        kept.NoRoom = false;
        rig.list.insert(2, kept);
        QSignalSpy rows(&rig.list, &TitleList::rowChanged);
        QVERIFY(rig.mirror.ApplyMemoryMap(map.bytes()));
        QTEST(rig.list.at(1).NoRoom, "noRoom");
        QVERIFY(!rig.list.at(2).NoRoom);
        QCOMPARE(rows.size(), rig.list.at(1).NoRoom ? 1 : 0);
    }

    void persistedSetting_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<MemorySetting>("read");
        QTest::newRow("missing") << QByteArray() << MemorySetting{0, 0, 15, {}, {}};
        QTest::newRow("signal 5, count 31")
            << QByteArray("Signal=5\nAspect=1\nTitleCount=31\nLeft=-20\nTop=40\n")
            << MemorySetting{0, 1, 15, -20, 40};
        QTest::newRow("aspect 2, count 30, PAL")
            << QByteArray("Signal=1\nAspect=2\nTitleCount=30\n") << MemorySetting{1, 0, 30, {}, {}};
        QTest::newRow("negative") << QByteArray("Signal=-1\nTitleCount=-3\n")
                                  << MemorySetting{0, 0, 15, {}, {}};
    }

    void persistedSetting()
    {
        QFETCH(QByteArray, ini);
        TestEnvironment env;
        const QString file = env.path(QStringLiteral("s.ini"));
        ListFixtures::writeFile(file, "[MemorySetting]\n" + ini);
        SettingsStore store(file);
        QTEST(ReadMemorySetting(store), "read");
    }

    void videoFormatAndDurations()
    {
        Rig rig;
        rig.defaults.StillDurFrame = 27;
        rig.defaults.MovieDurFrame = 24;
        rig.defaults.InEffTimeFrame = 29;
        rig.defaults.OutEffTimeFrame = 25;
        rig.mirror.ApplyVideoFormat(1);
        QCOMPARE(rig.mirror.videoFormat().framesPerSecond, 25);
        QCOMPARE(std::tuple(rig.defaults.StillDurFrame, rig.defaults.MovieDurFrame,
                            rig.defaults.InEffTimeFrame, rig.defaults.OutEffTimeFrame),
                 std::tuple(0, 24, 0, 0));
        rig.mirror.ApplyVideoFormat(7);
        QVERIFY(!rig.mirror.videoFormat().isPal);
    }

    void clearingTitles()
    {
        Rig rig({}, true);
        QVERIFY(rig.link->Connected());
        const std::uint16_t plain = rig.store();
        const std::uint16_t kept = rig.store(true);
        const std::uint16_t onAir = rig.store();
        QSignalSpy rows(&rig.list, &TitleList::rowChanged);

        // Clip numbers and numbers no title has send nothing.
        const int logged = rig.link->logLines().size();
        rig.list.at(1).Attributes.setMemoryNo(0x4000);
        QVERIFY(!rig.mirror.ClearTitle(0x4000, true));
        rig.list.at(1).Attributes.setMemoryNo(plain);
        QVERIFY(!rig.mirror.ClearTitle(0x0123, true));
        QCOMPARE(rig.link->logLines().size(), logged);

        // Protected titles need the flag; the title on air is refused with 136.
        QVERIFY(!rig.mirror.ClearTitle(kept, false));
        rig.keyer.SetDskState(DskState::OnRunning, onAir);
        QVERIFY(!rig.mirror.ClearTitle(onAir, true));
        QCOMPARE(rig.boxes.shownIds(), QList<int>{136});
        QVERIFY(rig.mixer->item(onAir));
        // An undelivered request leaves the title stored.
        rig.mixer->injectFailedRequests(1);
        QVERIFY(!rig.mirror.ClearTitle(plain, false));
        QCOMPARE(rig.list.at(1).Attributes.memoryNo(), plain);
        QVERIFY(rows.isEmpty());

        QVERIFY(rig.mirror.ClearTitle(kept, true));
        QVERIFY(!rig.mixer->item(kept));
        QCOMPARE(rig.list.at(2).Attributes.memoryNo(), MemoryNo::NotStored);
        QCOMPARE(rig.list.at(2).Attributes.deviceWord(), 0u);
        QCOMPARE(rows.size(), 1);

        // While the keyer is busy nothing is cleared, with or without asking.
        rig.boxes.clear();
        QVERIFY(!rig.mirror.ClearAll(MemoryNo::AllListTitles, true));
        QCOMPARE(rig.boxes.shownIds(), QList<int>{136});
        rig.keyer.SetDskState(DskState::Ended, MemoryNo::None);

        // The main window's Clear: asked once, the selected titles in list order.
        rig.boxes.clear();
        rig.list.SelectAll();
        rig.boxes.answer(IdNo);
        QVERIFY(!rig.mirror.ClearSelectedTitles());
        rig.boxes.answer(IdYes);
        QVERIFY(rig.mirror.ClearSelectedTitles());
        QCOMPARE(rig.boxes.shownIds(), (QList<int>{111, 111}));
        QCOMPARE(rig.boxes.shown().first().flags, int(MsgExclamationYesNo));
        QVERIFY(!rig.mixer->item(plain) && !rig.mixer->item(onAir));
    }

    void clearingEverything()
    {
        Rig rig({}, true);
        const std::uint16_t plain = rig.store();
        const std::uint16_t kept = rig.store(true);
        const std::uint16_t clip = rig.storeClip();
        rig.mirror.addIntVideoIcon(clip, 1, Bitmap(4, 4, 24));

        // Every list title, protected ones kept, after 115.
        rig.boxes.answer(IdNo);
        QVERIFY(!rig.mirror.ClearAll(MemoryNo::AllListTitles, true));
        QVERIFY(rig.mixer->item(plain));
        rig.boxes.answer(IdYes);
        QVERIFY(rig.mirror.ClearAll(MemoryNo::AllListTitles, true));
        QVERIFY(!rig.mixer->item(plain) && rig.mixer->item(kept) && rig.mixer->item(clip));
        QCOMPARE(rig.list.at(2).Attributes.memoryNo(), kept);
        QCOMPARE(rig.mirror.intVideoIcons().size(), 1);

        // The clips alone leave the list as it is.
        QVERIFY(rig.mirror.ClearAll(MemoryNo::AllIntVideo, false));
        QVERIFY(!rig.mixer->item(clip) && rig.mixer->item(kept));
        QVERIFY(rig.mirror.intVideoIcons().isEmpty());
        QCOMPARE(rig.list.at(2).Attributes.memoryNo(), kept);

        // The whole memory, after 117.
        rig.boxes.answer(IdYes);
        QVERIFY(rig.mirror.ClearAll(MemoryNo::AllMemory, true));
        QVERIFY(!rig.mixer->item(kept));
        QCOMPARE(rig.list.at(2).Attributes.memoryNo(), MemoryNo::NotStored);
        QCOMPARE(rig.boxes.shownIds(), (QList<int>{115, 115, 117}));

        // Without a device nothing is asked or sent.
        rig.link->Close();
        rig.boxes.clear();
        QVERIFY(!rig.mirror.ClearAll(MemoryNo::AllMemory, true));
        QVERIFY(rig.boxes.shownIds().isEmpty());
    }

    void clearOnConnect_data()
    {
        QTest::addColumn<bool>("clearMemory");
        QTest::addColumn<bool>("keepData");
        // What is left of a plain title, a protected one and a clip.
        QTest::addColumn<QList<bool>>("left");
        QTest::newRow("off") << false << true << QList<bool>{true, true, true};
        QTest::newRow("titles and clips") << true << false << QList<bool>{false, true, false};
        QTest::newRow("everything") << true << true << QList<bool>{false, false, false};
    }

    void clearOnConnect()
    {
        Rig rig({}, true);
        const std::uint16_t items[] = {rig.store(), rig.store(true), rig.storeClip()};
        rig.mirror.ApplyMemoryMap(rig.mixer->memoryMapBlock());
        QVERIFY(rig.mirror.usageOf(items[0]));
        QFETCH(bool, clearMemory);
        QFETCH(bool, keepData);
        EnvironmentSettings environment;
        environment.ClearMemory = clearMemory;
        environment.ClearKeepData = keepData;
        rig.mirror.deviceConnected(environment);
        QVERIFY(!rig.mirror.usageOf(items[0]) && !rig.mirror.FirstUpdateDone());
        QList<bool> left;
        for (const std::uint16_t memoryNo : items)
            left << bool(rig.mixer->item(memoryNo));
        QTEST(left, "left");
        QVERIFY(rig.boxes.shownIds().isEmpty());
    }

    void clearingAreas()
    {
        Rig rig({}, true);
        const std::uint16_t kept = rig.store(true);
        const std::uint16_t clip = rig.storeClip();
        const std::uint16_t unknown = rig.store(false, true);
        rig.mirror.ApplyMemoryMap(rig.mixer->memoryMapBlock());
        rig.mirror.addIntVideoIcon(clip, 3, Bitmap(4, 4, 24));
        rig.boxes.setDefaultAnswer(IdYes);
        QVERIFY(!rig.mirror.ClearArea(0x0200));
        QVERIFY(rig.mirror.ClearArea(kept));
        QVERIFY(rig.mirror.ClearArea(clip));
        QVERIFY(rig.mirror.ClearArea(unknown));
        QCOMPARE(rig.boxes.shownIds(), (QList<int>{112, 114, 113}));
        QVERIFY(!rig.mixer->item(kept) && !rig.mixer->item(clip) && !rig.mixer->item(unknown));
        QCOMPARE(rig.list.at(1).Attributes.memoryNo(), MemoryNo::NotStored);
        QVERIFY(rig.mirror.intVideoIcons().isEmpty());
    }

    void refreshFollowsTheConnection()
    {
        Rig rig({}, true);
        MemoryRefresh refresh(rig.mirror);
        BulkInTransfer bulkIn(*rig.link, rig.images);
        int reads = 0;
        rig.mirror.setMapReader([&] {
            ++reads;
            QVERIFY(!refresh.running());
            bulkIn.ReadMemoryMap(
                [&](const QByteArray &map) { return rig.mirror.ApplyMemoryMap(map); });
        });
        QVERIFY(!refresh.running());
        refresh.setConnected(true);
        QVERIFY(refresh.running());
        {
            MemoryRefresh::Pause transfer(&refresh);
            MemoryRefresh::Pause dialog(&refresh);
            QVERIFY(!refresh.running());
        }
        QVERIFY(refresh.running());
        {
            MemoryRefresh::Pause transfer(&refresh);
            refresh.setConnected(false);
        }
        QVERIFY(!refresh.running());
        refresh.setConnected(true);

        // A tick reads the map; a stored title shows in the mirror.
        const std::uint16_t title = rig.store();
        refresh.TimerGetMemoryTimer();
        QCOMPARE(reads, 1);
        QCOMPARE(rig.mirror.usageOf(title), BlockUsage::UsedTitle);
        QVERIFY(refresh.running());

        // A rejected map asks for a resync next time, which then succeeds.
        rig.mixer->injectBadMapMagic(1);
        refresh.TimerGetMemoryTimer();
        QVERIFY(rig.link->readSide().MapResync);
        rig.mirror.RefreshMemoryNow();
        QVERIFY(!rig.link->readSide().MapResync);
        QCOMPARE(reads, 3);

        // Without a device neither the timer nor a refresh reads.
        rig.link->Close();
        refresh.setConnected(false);
        rig.mirror.RefreshMemoryNow();
        QCOMPARE(reads, 3);
    }
};

QTEST_GUILESS_MAIN(TestMemoryMirror)
#include "test_memorymirror.moc"
