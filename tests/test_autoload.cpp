// Auto-load on the virtual mixer: the loader ahead of the keyer, clears and
// reloads, protected titles, a missing "out end", a list larger than the
// memory, and the window: endless play switched off, Escape during a load, a
// lost mixer, a failed upload.

#include "core/MemoryNo.h"
#include "core/Settings.h"
#include "core/Waits.h"
#include "device/BulkOutTransfer.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "imaging/MagickImageLibrary.h"
#include "list/TitleList.h"
#include "listcore/ListFixtures.h"
#include "memory/AutoLoad.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/DskPlayer.h"
#include "memory/KeyerState.h"
#include "memory/TFormAutoLoad.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "resources/MessageTable.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace ListFixtures;

namespace {

struct Rig
{
    Waits waits{TestEnvironment::waitScale(0.1)};
    ScriptedMessageBoxes boxes;
    MagickImageLibrary images;
    TitleList list;
    KeyerState keyer{list};
    DefaultTitleSettings defaults;
    DeviceMemoryMirror mirror{{list, keyer, boxes, images, waits, defaults}, MemorySetting{}};
    VirtualMixer *mixer = nullptr;
    std::unique_ptr<VirtualMixerBackend> backend;
    std::unique_ptr<DeviceLink> link;
    std::unique_ptr<DeviceEventReader> reader;
    std::unique_ptr<BulkOutTransfer> transfer;
    DskPlayer player{keyer, list, waits, boxes};
    std::unique_ptr<AutoLoad> autoLoad;
    QStringList log;

    Rig()
    {
        auto owned = std::make_unique<VirtualMixer>(waits);
        mixer = owned.get();
        backend = std::make_unique<VirtualMixerBackend>(std::move(owned));
        link = std::make_unique<DeviceLink>(backend.get(), waits, boxes);
        reader = std::make_unique<DeviceEventReader>(*link);
        transfer = std::make_unique<BulkOutTransfer>(*link, images);
        transfer->setTitleList(&list);
        mirror.setLink(link.get());
        player.setLink(link.get());
        player.setFrameTime([] { return 33.3; });
        AutoLoad::Services s = AutoLoad::deviceServices(*transfer, mirror, *link);
        s.list = &list;
        s.keyer = &keyer;
        s.player = &player;
        s.waits = &waits;
        s.boxes = &boxes;
        autoLoad = std::make_unique<AutoLoad>(s);
        AutoLoad *a = autoLoad.get();
        a->follow(*reader, *link);
        QObject::connect(reader.get(), &DeviceEventReader::SetDskState, &keyer,
                         [this](DskState state, int memoryNo) {
                             keyer.SetDskState(state, std::uint16_t(memoryNo));
                         });
        QObject::connect(link.get(), &DeviceLink::connectedStateChanged, a, [this](bool on) {
            if (!on)
                keyer.SetDskState(DskState::Idle, MemoryNo::None);
        });
        QObject::connect(a, &AutoLoad::playOrderChanged, a,
                         [this](int i) { log << QStringLiteral("play %1").arg(i); });
        QObject::connect(a, &AutoLoad::titleLoaded, a,
                         [this](int i) { log << QStringLiteral("load %1").arg(i); });
        QObject::connect(a, &AutoLoad::titleCleared, a,
                         [this](int i) { log << QStringLiteral("clear %1").arg(i); });
        link->Start();
    }
    ~Rig()
    {
        autoLoad.reset();
        link->Stop();
    }

    // A title of `frames` full frames (4 rows of the 15 each); an automatic
    // in and an out after one second unless `manualOut`.
    int add(const QString &file, int frames, bool stored, bool protect = false,
            bool manualOut = false)
    {
        TitleEntry e = titleOf(file, 8, frames);
        TitleAttributes &a = e.Attributes;
        a.setWidth(640);
        a.setHeight(480);
        a.setDurSecond(1);
        a.setAutoTrigger(Effect::In, true);
        a.setAutoTrigger(Effect::Out, !manualOut);
        a.setProtect(protect);
        const int index = list.count() + 1;
        list.insert(index, std::move(e));
        if (stored) {
            std::vector<TransferItem> items = SelectedTitlesToLoadFor(index);
            TransferItem &item = items.front();
            if (transfer->UploadTitleForAutoLoad(item) != 0)
                qFatal("title not stored");
        }
        return index;
    }
    std::vector<TransferItem> SelectedTitlesToLoadFor(int index)
    {
        std::vector<TransferItem> items(1);
        items[0].Order = index;
        items[0].Attributes = list.at(index).Attributes;
        items[0].FileList = list.at(index).FileList;
        return items;
    }
    // Runs until the end; false when it did not end in time.
    bool run(int from, bool endless, const std::function<void()> &during = {})
    {
        QSignalSpy finished(autoLoad.get(), &AutoLoad::finished);
        list.SetCursor(from);
        autoLoad->setEndless(endless);
        if (!autoLoad->StartAutoLoad())
            return false;
        if (during)
            during();
        if (finished.isEmpty() && !finished.wait(60000))
            return false;
        fault = finished.first().first().toBool();
        return !autoLoad->running();
    }
    int count(const QString &line) const { return int(log.count(line)); }
    bool until(const std::function<bool()> &done) { return waits.waitUntil(done, 3000000); }
    int stored() const { return int(mixer->snapshot().memory.items.size()); }

    bool fault = false;
};

} // namespace

class TestAutoLoad : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    QString m_full;

private slots:
    void initTestCase() { m_full = writeTarga(m_env.path("full.tga"), 640, 480, 0x336699); }

    // Stored titles pass the loader without uploads; the run starts at the
    // cursor (the head row meaning title 1), clears each title once shown and
    // ends after the last.
    void storedTitlesRunWithoutUploads()
    {
        Rig rig;
        for (int i = 0; i < 3; ++i)
            rig.add(m_full, 1, true);
        QVERIFY(rig.run(0, false));
        QVERIFY(!rig.fault);
        QCOMPARE(rig.log,
                 QStringList({"play 1", "clear 1", "play 2", "clear 2", "play 3", "clear 3"}));
        QCOMPARE(rig.stored(), 0);
        QVERIFY(!rig.keyer.IsDskBusy());
    }

    // Endless A and B: each is cleared after it played and loaded again while
    // the other plays; a protected A stays in memory and is never sent again.
    void endlessReloadsAllButProtected_data()
    {
        QTest::addColumn<bool>("protect");
        QTest::newRow("plain") << false;
        QTest::newRow("protected A") << true;
    }
    void endlessReloadsAllButProtected()
    {
        QFETCH(bool, protect);
        Rig rig;
        rig.add(m_full, 1, protect, protect);
        rig.add(m_full, 1, false);
        QVERIFY(rig.run(1, true, [&] {
            QVERIFY(rig.until([&] { return rig.count("play 2") == 3; }));
            rig.autoLoad->BitBtnStopClick();
        }));
        QVERIFY2(!rig.fault, qPrintable(rig.log.join(',')));
        QCOMPARE(rig.count("clear 1"), protect ? 0 : 3);
        QCOMPARE(rig.count("load 1"), protect ? 0 : 3);
        QVERIFY(rig.count("load 2") >= 3);
        if (!protect) {
            // B is sent again only after it left the keyer, while A plays.
            const int clearB = int(rig.log.indexOf("clear 2"));
            const int reloadB = int(rig.log.indexOf("load 2", clearB));
            QVERIFY(clearB > 0 && reloadB > clearB);
            QCOMPARE(rig.log.lastIndexOf("play", reloadB), -1);
            QVERIFY(rig.log.mid(clearB, reloadB - clearB).contains("play 1"));
        }
        QCOMPARE(rig.list.at(1).Attributes.memoryNo() != MemoryNo::NotStored, protect);
    }

    // A title whose "out end" never arrives counts as ended after its time.
    void missingOutEndEndsTitle()
    {
        Rig rig;
        rig.add(m_full, 1, true);
        rig.add(m_full, 1, true);
        rig.mixer->injectDroppedOutEnds(2);
        QVERIFY2(rig.run(1, false), qPrintable(rig.log.join(',')));
        QVERIFY(!rig.fault);
        QCOMPARE(rig.count("play 2"), 1);
    }

    // Five titles of four rows each into fifteen rows: the loader waits for
    // room, every title plays once in order, nothing is left in memory.
    void largerThanMemoryRunsThrough()
    {
        Rig rig;
        for (int i = 0; i < 5; ++i)
            rig.add(m_full, 4, false);
        QVERIFY(rig.run(1, false));
        QVERIFY(!rig.fault);
        for (int i = 1; i <= 5; ++i) {
            const QString n = QString::number(i);
            QCOMPARE(rig.count("load " + n), 1);
            QVERIFY(rig.log.indexOf("play " + n) >
                    rig.log.indexOf("play " + QString::number(i - 1)));
        }
        QVERIFY(rig.boxes.shown().isEmpty());
        QCOMPARE(rig.stored(), 0);
    }

    // A title larger than the whole memory cannot be waited for: the run
    // ends with its message instead of waiting for room that never comes.
    void titleLargerThanMemoryEndsRun()
    {
        Rig rig;
        rig.add(m_full, 1, false);
        rig.add(m_full, 16, false);
        QVERIFY(rig.run(1, false));
        QVERIFY(rig.fault);
        QCOMPARE(rig.count("play 1"), 1);
        QCOMPARE(rig.boxes.shownIds(), QList<int>{135});
        QVERIFY(!rig.keyer.IsDskBusy());
    }

    // The window over a run: its labels follow the titles and the loader;
    // Endless switched off ends the run after the pass; Escape stops it as
    // Stop does (the title being sent cancelled, nothing of it left); a mixer
    // that leaves, or an upload that fails, ends it. Each time the window
    // closes with nothing left running.
    void windowDrivesRun_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("endless off") << 0;
        QTest::newRow("Escape during a load") << 1;
        QTest::newRow("mixer leaves during a load") << 2;
        QTest::newRow("upload fails") << 3;
    }
    void windowDrivesRun()
    {
        QFETCH(int, how);
        Rig rig;
        rig.add(m_full, 1, true, false, how > 0);
        rig.add(m_full, how ? 4 : 1, false);
        rig.mixer->setLinkRate(how ? 2'000'000 : 0);
        if (how == 3)
            rig.mixer->injectShortBulk(100000);
        TFormAutoLoad window(*rig.autoLoad);
        window.endlessBox()->setChecked(how == 0);
        const auto label = [&](const char *name) {
            return window.findChild<QLabel *>(name)->text();
        };
        QStringList seen;
        AutoLoad *a = rig.autoLoad.get();
        QObject::connect(a, &AutoLoad::playStatusChanged, &window,
                         [&] { seen << label("LabelPlayOrder") + ' ' + label("LabelPlayStatus"); });
        QObject::connect(a, &AutoLoad::transferStatusChanged, &window, [&] {
            seen << "loader " + label("LabelTransferOrder") + ' ' + label("LabelTransferStatus");
        });
        QSignalSpy failed(a, &AutoLoad::titleLoadFailed);
        QSignalSpy finished(a, &AutoLoad::finished);
        rig.list.SetCursor(1);
        window.show();
        if (how == 0) {
            QVERIFY(rig.until([&] { return rig.count("play 1") == 2; }));
            window.endlessBox()->setChecked(false);
        } else if (how < 3) {
            QVERIFY(rig.until([&] { return rig.transfer->busy(); }));
            if (how == 1)
                QTest::keyClick(window.stopButton(), Qt::Key_Escape);
            else
                rig.mixer->unplug();
        }
        QVERIFY(!finished.isEmpty() || finished.wait(60000));
        QVERIFY(!window.isVisible() && !a->running() && !rig.keyer.IsDskBusy());
        QCOMPARE(finished.first().first().toBool(), how >= 2);
        QCOMPARE(failed.size(), how >= 2 ? 1 : 0);
        if (how == 0) {
            QCOMPARE(rig.count("play 2"), 2);
            QCOMPARE(rig.log.last(), QStringLiteral("clear 2"));
            for (const QString &step : {"loader 2 " + MessageTable::text(AutoLoad::kSecuringMemory),
                                        "1 " + MessageTable::text(AutoLoad::kOnRunning),
                                        "2 " + MessageTable::text(AutoLoad::kShowing),
                                        "2 " + MessageTable::text(AutoLoad::kEnded)})
                QVERIFY2(seen.contains(step), qPrintable(seen.join(',')));
            return;
        }
        QVERIFY(!rig.log.contains("load 2"));
        QCOMPARE(rig.list.at(2).Attributes.memoryNo(), MemoryNo::NotStored);
        if (how != 2)
            QCOMPARE(rig.stored(), 1);
    }
};

QTEST_MAIN(TestAutoLoad)
#include "test_autoload.moc"
