// Playing titles on the virtual mixer's keyer: Play, Stop, the chain, the
// in-wait, refusals, faults, the preview; the device information window.

#include "core/MemoryNo.h"
#include "core/Waits.h"
#include "device/DeviceCommands.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "device/TFormVT90Info.h"
#include "list/TitleList.h"
#include "listcore/ListFixtures.h"
#include "memory/DskPlayer.h"
#include "memory/KeyerState.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "support/ScriptedMessageBoxes.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

using ListFixtures::titleOf;

namespace {

constexpr int kRefused = 0;
constexpr int kBusy = 1;

struct Rig
{
    Waits waits{0.1};
    ScriptedMessageBoxes boxes;
    TitleList list;
    KeyerState keyer{list};
    VirtualMixer *mixer = nullptr;
    std::unique_ptr<VirtualMixerBackend> backend;
    std::unique_ptr<DeviceLink> link;
    std::unique_ptr<DeviceEventReader> reader;
    DskPlayer player{keyer, list, waits, boxes};
    QStringList states;
    int loads = 0;
    bool loadWorks = true;

    Rig()
    {
        auto owned = std::make_unique<VirtualMixer>(waits);
        mixer = owned.get();
        backend = std::make_unique<VirtualMixerBackend>(std::move(owned));
        link = std::make_unique<DeviceLink>(backend.get(), waits, boxes);
        reader = std::make_unique<DeviceEventReader>(*link);
        QObject::connect(reader.get(), &DeviceEventReader::SetDskState, &keyer,
                         [this](DskState state, int memoryNo) {
                             keyer.SetDskState(state, std::uint16_t(memoryNo));
                         });
        QObject::connect(link.get(), &DeviceLink::connectedStateChanged, &keyer,
                         [this](bool connected) {
                             if (!connected)
                                 keyer.SetDskState(DskState::Idle, MemoryNo::None);
                         });
        QObject::connect(&keyer, &KeyerState::dskStateChanged, &keyer,
                         [this](DskState state) { states << QString::number(int(state)); });
        link->Start();
        states.clear();
        player.setLink(link.get());
        player.setFrameTime([] { return 33.3; });
        player.setCursorAutoMove([] { return true; });
        player.setLoader([this] {
            ++loads;
            if (!loadWorks)
                return false;
            for (int index : list.selectedIndexes())
                if (list.at(index).Attributes.memoryNo() == MemoryNo::NotStored)
                    store(index);
            return true;
        });
    }
    ~Rig() { link->Stop(); }

    void store(int index)
    {
        TitleAttributes &a = list.at(index).Attributes;
        DeviceCommands commands(*link);
        const auto alloc = DeviceCommands::parseAllocation(*commands.AllocTitleMemory(1, false, 1));
        a.setMemoryNo(alloc.memoryNo);
        a.setDeviceWord(alloc.deviceWord);
        QVERIFY(commands.WriteTitleHeader(
            alloc.memoryNo,
            QByteArray(reinterpret_cast<const char *>(a.bytes().data()), TitleAttributes::Size)));
    }
    // A title of `duration` seconds; `inWait` seconds make its in automatic.
    int add(int duration, bool autoOut, bool stored = true, int inWait = -1)
    {
        TitleEntry e = titleOf(QStringLiteral("/p/t.tga"), 1, 1);
        TitleAttributes &a = e.Attributes;
        a.setDurSecond(duration);
        a.setAutoTrigger(Effect::Out, autoOut);
        a.setAutoTrigger(Effect::In, inWait >= 0);
        a.setWaitSecond(Effect::In, std::max(inWait, 0));
        const int index = list.count() + 1;
        list.insert(index, std::move(e));
        if (stored)
            store(index);
        return index;
    }
    std::uint16_t memoryNo(int index) const { return list.at(index).Attributes.memoryNo(); }
    QString seen() const { return states.join(' '); }
    bool settle(const std::function<bool()> &done) { return waits.waitUntil(done, 100000); }
};

} // namespace

class TestKeyer : public QObject
{
    Q_OBJECT

private slots:
    // A title with a manual out waits at OffWait right after "in end"; Play on a
    // title not stored stops the one on air, waits for its end, loads, then plays.
    void playLoadsFirstAndStopsTheTitleOnAir()
    {
        Rig rig;
        const int manual = rig.add(1, false);
        const int later = rig.add(1, true, false);
        const int failing = rig.add(1, true, false);
        rig.list.SetCursor(manual);
        QVERIFY(rig.player.Play(false));
        QVERIFY(rig.settle([&] { return rig.keyer.DskState() == DskState::OffWait; }));
        QCOMPARE(rig.seen(), QString("1 3"));
        QVERIFY(rig.keyer.blinking());

        rig.list.SetCursor(later);
        // A second press while the first waits for the stop sends nothing more.
        bool second = true;
        const auto pressAgain =
            QObject::connect(&rig.keyer, &KeyerState::dskStateChanged, &rig.keyer, [&](DskState s) {
                if (s == DskState::OffRunning)
                    second = rig.player.Play(false);
            });
        QVERIFY(rig.player.Play(false));
        QObject::disconnect(pressAgain);
        QVERIFY(!second);
        QCOMPARE(rig.loads, 1);
        // The first title had ended before the second was asked for.
        QCOMPARE(rig.seen(), QString("1 3 4 5"));
        QCOMPARE(rig.mixer->onAirMemoryNo(), rig.memoryNo(later));
        rig.settle([&] { return rig.seen() == "1 3 4 5 1 2 4 5"; });
        QCOMPARE(rig.seen(), QString("1 3 4 5 1 2 4 5"));

        // A load that fails plays nothing.
        rig.loadWorks = false;
        rig.list.SetCursor(failing);
        QVERIFY(!rig.player.Play(false));
        QCOMPARE(rig.mixer->keyerState(), MixerKeyerState::Idle);
        // Nor does Play with two titles selected.
        rig.list.setSelected(manual, true);
        QVERIFY(!rig.player.Play(false));
        QCOMPARE(rig.loads, 2);
        QVERIFY(rig.boxes.shown().isEmpty());
    }

    // With "CursorAutoMove" the cursor walks on when a title ends; an auto-in
    // title follows after its in-wait, a manual-in one waits; the last stays.
    void chainedWalk()
    {
        Rig rig;
        const int first = rig.add(1, true);
        rig.add(1, true, true, 1);
        const int manualIn = rig.add(1, true);
        rig.list.SetCursor(first);
        rig.player.mnuOperate_PlayClick();
        QVERIFY(rig.player.ChainPlay());
        QVERIFY(rig.settle([&] {
            return rig.list.cursor() == manualIn && rig.keyer.DskState() == DskState::Ended;
        }));
        QCOMPARE(rig.seen(), QString("1 2 4 5 0 1 2 4 5"));
        QVERIFY(!rig.player.ChainPlay());
        QCOMPARE(rig.mixer->keyerState(), MixerKeyerState::Idle);

        rig.states.clear();
        rig.player.mnuOperate_PlayClick();
        rig.settle([&] { return rig.seen() == "1 2 4 5"; });
        QCOMPARE(rig.seen(), QString("1 2 4 5"));
        QCOMPARE(rig.list.cursor(), manualIn);
        QVERIFY(!rig.player.ChainPlay());
    }

    // A chained title waiting for its (long) in-wait: Play fires it at once,
    // Stop gives it up without a word to the mixer, a mixer that leaves ends it.
    void chainedInWaitCutShort_data()
    {
        QTest::addColumn<int>("press");
        QTest::addColumn<QString>("seen");
        QTest::newRow("Play") << 0 << "1 2 4 5 0 1 2 4 5";
        QTest::newRow("Stop") << 1 << "1 2 4 5 0 6";
        QTest::newRow("unplugged") << 2 << "1 2 4 5 0 6";
    }
    void chainedInWaitCutShort()
    {
        QFETCH(int, press);
        QFETCH(QString, seen);
        Rig rig;
        const int first = rig.add(1, true);
        rig.add(1, true, true, 200);
        rig.list.SetCursor(first);
        bool pressed = false;
        QObject::connect(&rig.keyer, &KeyerState::dskStateChanged, &rig.keyer, [&](DskState s) {
            if (s != DskState::OnWait || std::exchange(pressed, true))
                return;
            QTimer::singleShot(0, &rig.keyer, [&] {
                if (press == 0)
                    rig.player.mnuOperate_PlayClick();
                else if (press == 1)
                    QVERIFY(rig.player.mnuOperate_StopClick());
                else
                    rig.mixer->unplug();
            });
        });
        rig.player.mnuOperate_PlayClick();
        // Far less than the in-wait of 200 s (20 s here).
        rig.waits.waitUntil([&] { return rig.seen() == seen; }, 50000);
        QCOMPARE(rig.seen(), seen);
        QVERIFY(!rig.player.ChainPlay());
        if (press == 1)
            QCOMPARE(rig.mixer->keyerState(), MixerKeyerState::Idle);
    }

    // DskPlay is tried three times before Play gives up, silently; Autotake
    // while the mixer changes its settings says so (133); a title on air when
    // the mixer leaves ends idle.
    void refusals()
    {
        Rig rig;
        rig.list.SetCursor(rig.add(1, false));
        rig.mixer->injectStatus(kRefused, 3, int(DeviceRequest::In::DskPlay));
        QVERIFY(!rig.player.Play(false));
        QCOMPARE(rig.mixer->keyerState(), MixerKeyerState::Idle);
        rig.mixer->injectStatus(kRefused, 2, int(DeviceRequest::In::DskPlay));
        QVERIFY(rig.player.Play(false));
        QVERIFY(rig.boxes.shown().isEmpty());
        QVERIFY(rig.settle([&] { return rig.keyer.DskState() == DskState::OffWait; }));

        rig.mixer->injectStatus(kBusy, 1, int(DeviceRequest::In::Autotake));
        QVERIFY(!rig.player.mnuOperate_AutotakeClick());
        QCOMPARE(rig.boxes.shownIds(), QList<int>{133});
        QVERIFY(rig.player.mnuOperate_AutotakeClick());
        QVERIFY(rig.settle([&] { return rig.keyer.DskState() == DskState::Ended; }));
        QCOMPARE(rig.boxes.shownIds(), QList<int>{133});

        QVERIFY(rig.player.Play(false));
        QVERIFY(rig.settle([&] { return rig.keyer.DskState() == DskState::OffWait; }));
        rig.mixer->unplug();
        QVERIFY(rig.settle([&] { return rig.keyer.DskState() == DskState::Idle; }));
        QVERIFY(rig.list.OnAirMemoryNo() == MemoryNo::None && !rig.keyer.blinking());
    }

    // An auto-out title whose "out end" never comes is taken as ended after
    // its time; a title on a manual out is not; nor are unknown numbers' titles.
    void endsAndOddEvents()
    {
        Rig rig;
        const int autoOut = rig.add(2, true);
        const int manualOut = rig.add(2, false);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no \"out end\""));
        rig.keyer.SetDskState(DskState::OnRunning, rig.memoryNo(autoOut));
        QVERIFY(rig.player.TimerTitleEnd().isActive());
        QVERIFY(rig.settle([&] { return rig.keyer.DskState() == DskState::Ended; }));
        QCOMPARE(rig.list.OnAirMemoryNo(), MemoryNo::None);

        rig.keyer.SetDskState(DskState::OnRunning, rig.memoryNo(manualOut));
        QVERIFY(!rig.player.TimerTitleEnd().isActive());
        rig.reader->processRead(QByteArray("in start     999\rin end\r", 24));
        QVERIFY(!rig.keyer.OutAuto() && !rig.player.TimerTitleEnd().isActive());

        // Lines without a usable number keep the title the keyer knows; a
        // manual out whose "out end" is lost ends after its out effect.
        rig.keyer.SetDskState(DskState::OnWait, rig.memoryNo(autoOut));
        rig.reader->processRead("in start #1\rin start       70000\rin end\rout start\r");
        QCOMPARE(rig.list.OnAirMemoryNo(), rig.memoryNo(autoOut));
        QCOMPARE(rig.keyer.DskState(), DskState::Showing);
        rig.keyer.SetDskState(DskState::OffRunning, rig.memoryNo(manualOut));
        QVERIFY(rig.player.TimerTitleEnd().isActive());
        QVERIFY(rig.settle([&] { return rig.keyer.DskState() == DskState::Ended; }));

        // Every line of an auto-out title lost: it still ends after its time;
        // of a manual-out one, the keyer waits for the operator.
        rig.mixer->injectMalformedEventLines(4);
        rig.list.SetCursor(autoOut);
        QVERIFY(rig.player.Play(true));
        QCOMPARE(rig.keyer.DskState(), DskState::OnWait);
        QVERIFY(rig.settle([&] { return rig.keyer.DskState() == DskState::Ended; }));
        rig.mixer->injectMalformedEventLines(4);
        rig.list.SetCursor(manualOut);
        QVERIFY(rig.player.Play(true));
        QVERIFY(!rig.player.TimerTitleEnd().isActive());
    }

    // The keyer cursor previews the title under the cursor; while the keyer
    // is busy the mixer refuses and the preview is asked for once more later.
    void cursorPreview()
    {
        Rig rig;
        const int a = rig.add(1, false);
        const int b = rig.add(1, false);
        rig.list.SetCursor(a);
        QCOMPARE(rig.mixer->previewMemoryNo(), rig.memoryNo(a));
        QVERIFY(rig.player.Play(false));
        QVERIFY(rig.settle([&] { return rig.keyer.DskState() == DskState::OffWait; }));
        rig.list.SetCursor(b);
        QVERIFY(rig.player.TimerDskPreviewStart().isActive());
        QCOMPARE(rig.player.previewMemoryNo(), rig.memoryNo(b));
        QVERIFY(rig.player.Stop());
        QVERIFY(!rig.player.TimerDskPreviewStart().isActive());
    }

    // The window shows the panel's key codes while shown, the event lines
    // while "Show data" is checked, and saves them as plain text.
    void deviceInformationWindow()
    {
        Rig rig;
        TFormVT90Info info(*rig.link, *rig.reader, rig.boxes);
        rig.mixer->pressPanelKey(0, 1);
        rig.mixer->pressPanelKey(1, 2);
        rig.mixer->pressPanelKey(8, 200);
        const auto labels = [&info] {
            QString t;
            for (QLabel *l : info.LabelKeyCodes)
                t += l->text() + ',';
            return t;
        };
        rig.reader->processRead(QByteArray("hidden\r", 7));
        info.show();
        QVERIFY(rig.settle([&] { return labels() == "1,2,,,,,,,200,"; }));
        rig.reader->processRead(QByteArray("in start       3\rin e", 21));
        rig.reader->processRead(QByteArray("nd\r", 3));
        QCOMPARE(info.RichEdit->toPlainText(), QString("in start       3\nin end"));
        info.CBoxShowVT90Info->setChecked(false);
        rig.reader->processRead(QByteArray("out end\r", 8));
        QCOMPARE(rig.keyer.DskState(), DskState::Ended);
        QCOMPARE(info.RichEdit->blockCount(), 2);

        QTemporaryDir dir;
        QString target = dir.filePath("events.txt");
        info.setSaveChooser([&target](QWidget *) { return target; });
        QVERIFY(info.ButtonSaveClick());
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("in start       3\nin end\n"));
        target = dir.filePath("missing/events.txt");
        QVERIFY(!info.ButtonSaveClick());
        QCOMPARE(rig.boxes.shownIds(), QList<int>{91});
        info.ButtonClearClick();
        QVERIFY(info.RichEdit->toPlainText().isEmpty());
        info.hide();
        QVERIFY(!info.TimerGetKeyCode.isActive());
    }
};

QTEST_MAIN(TestKeyer)
#include "test_keyer.moc"
