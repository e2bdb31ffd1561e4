// Titles, clips, the pipe test and the setup data into the virtual mixer:
// what goes over the wire, how refusals, cancels, empty writes and a lost
// device end, and the auto-load worker's upload from its own thread.

#include "device/BulkOutTransfer.h"
#include "device/DeviceLink.h"
#include "device/LoadSelectedTitles.h"
#include "device/TFormBulkOutTransfer.h"
#include "device/TFormTransfer.h"
#include "link/FakeUsbBackend.h"
#include "listcore/ListFixtures.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "resources/MessageTable.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QtEndian>
#include <thread>

using namespace ListFixtures;

namespace {

constexpr int kBeginFrameWrite = 0x0D;

struct Rig
{
    explicit Rig(bool setupDataMode = false)
    {
        mixer.setSetupDataMode(setupDataMode);
        link.Start();
        transfer.setTitleList(&list);
    }
    ~Rig() { link.Stop(); }

    bool load()
    {
        return LoadSelectedTitles(
            link, list, [this](int mode, int arg, std::vector<TransferItem> i) {
                return transfer.setJob(mode, arg, std::move(i)) && transfer.Run();
            });
    }
    void add(const QString &file, int blocks, int frames, int w, int h)
    {
        TitleEntry e = titleOf(file, blocks, frames);
        e.Attributes.setWidth(w);
        e.Attributes.setHeight(h);
        e.Selected = true;
        list.insert(list.count() + 1, e);
    }
    int logged(const QString &line) const { return int(link.logLines().count(line)); }
    QList<std::uint16_t> stored() const
    {
        QList<std::uint16_t> numbers;
        for (const MixerStoredItem &item : mixer.snapshot().memory.items)
            numbers << item.info.memoryNo;
        return numbers;
    }

    Waits waits{0.01};
    ScriptedMessageBoxes boxes;
    VirtualMixer mixer{waits};
    VirtualMixerBackend backend{mixer};
    DeviceLink link{&backend, waits, boxes};
    MagickImageLibrary images;
    TitleList list;
    BulkOutTransfer transfer{link, images};
};

// A write pipe whose abort never gets through.
class NoAbortBackend : public FakeUsbBackend
{
public:
    bool abortPipe(std::uint8_t) override { return false; }
};

} // namespace

class TestBulkOut : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    QString m_full;  // 640 x 480
    QString m_small; // 64 x 32

private slots:
    void initTestCase()
    {
        MessageTable::setLanguage(Language::Japanese);
        m_full = writeTarga(m_env.path("full.tga"), 640, 480, 0x336699);
        m_small = writeTarga(m_env.path("small.tga"), 64, 32);
    }

    // Only selected titles that are not stored go; a 60-frame NTSC sequence is
    // one allocation, one header and 60 frames of 720 x 240 x 4 bytes (the
    // whole memory holds 30 frames of 480 lines).
    void loadSendsSelectedTitlesNotStored()
    {
        Rig rig;
        MixerDevice::Snapshot all = rig.mixer.snapshot();
        all.memory.titleRows = 30;
        QVERIFY(rig.mixer.restore(all));
        rig.add(m_small, 1, 1, 64, 32);
        rig.list.at(1).Attributes.setMemoryNo(0x0123);
        rig.add(m_full, 4, 60, 640, 240);
        rig.add(m_small, 1, 1, 64, 32);
        rig.list.setSelected(3, false);
        QSignalSpy stored(&rig.transfer, &BulkOutTransfer::titleStored);
        QVERIFY(rig.load());
        QCOMPARE(rig.logged("Success : VenderIn(3)"), 1);
        QCOMPARE(rig.logged("Success : VenderOut(0)"), 1);
        QCOMPARE(rig.logged("Transfer Size : 691200 Bytes"), 60);
        const std::uint16_t number = rig.list.at(2).Attributes.memoryNo();
        QCOMPARE(rig.stored(), QList<std::uint16_t>{number});
        QCOMPARE(rig.list.at(2).Attributes.deviceWord(), rig.mixer.item(number)->deviceWord);
        QCOMPARE(rig.list.at(1).Attributes.memoryNo(), std::uint16_t(0x0123));
        QCOMPARE(rig.list.at(3).Attributes.memoryNo(), MemoryNo::NotStored);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.first().first().toInt(), 2);
        QVERIFY(rig.boxes.shown().isEmpty() && rig.transfer.idleEvent().isSet());
    }

    // BeginFrameWrite is asked up to 30 times; busy, refusal, an unreadable
    // picture and no room end the title with its message and nothing of it in
    // the device; titles sent before stay.
    void failuresClearTheTitle_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("answers");
        QTest::addColumn<bool>("unreadable");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QList<int>>("messages");
        QTest::addColumn<int>("asks");
        QTest::newRow("refused 29 times, then ready")
            << 0 << 29 << false << true << QList<int>{} << 30;
        QTest::newRow("refused 30 times") << 0 << 30 << false << false << QList<int>{134} << 30;
        QTest::newRow("busy changing settings") << 1 << 1 << false << false << QList<int>{133} << 1;
        QTest::newRow("picture unreadable") << 0 << 0 << true << false << QList<int>{122} << 0;
    }
    void failuresClearTheTitle()
    {
        QFETCH(int, status);
        QFETCH(int, answers);
        QFETCH(bool, unreadable);
        QFETCH(bool, ok);
        QFETCH(QList<int>, messages);
        QFETCH(int, asks);
        Rig rig;
        rig.add(unreadable ? m_env.path("gone.tga") : m_small, 1, 1, 64, 32);
        rig.mixer.injectStatus(std::uint8_t(status), answers, kBeginFrameWrite);
        QCOMPARE(rig.load(), ok);
        QCOMPARE(rig.boxes.shownIds(), messages);
        QCOMPARE(rig.logged("Success : VenderIn(13)"), asks);
        QCOMPARE(rig.stored().size(), ok ? 1 : 0);
        QCOMPARE(rig.list.at(1).Attributes.memoryNo(),
                 ok ? rig.stored().first() : MemoryNo::NotStored);
        QCOMPARE(rig.transfer.items().front().Attributes.deviceWord() == 0, !ok);
    }

    void noRoomKeepsTheTitlesSentBefore()
    {
        Rig rig;
        rig.add(m_small, 1, 1, 64, 32);
        rig.add(m_full, 8, 16, 640, 480); // 16 whole rows: the title area has 15
        rig.add(m_small, 1, 1, 64, 32);
        QVERIFY(!rig.load());
        QCOMPARE(rig.boxes.shownIds(), QList<int>{106});
        QCOMPARE(rig.stored(), QList<std::uint16_t>{rig.list.at(1).Attributes.memoryNo()});
        QCOMPARE(rig.list.at(2).Attributes.memoryNo(), MemoryNo::NotStored);
        QCOMPARE(rig.logged("Success : VenderIn(3)"), 2);
    }

    // A write that moves nothing is retried after a device reset, twice per
    // job; the third, even on another frame, aborts the title and says so.
    void zeroByteWrites()
    {
        // The frame writes (1-based) that move nothing.
        for (const auto &[emptyWrites, ok] :
             {std::pair{QList<int>{1, 2}, true}, std::pair{QList<int>{1, 2, 4}, false}}) {
            Rig rig;
            rig.add(m_small, 1, 2, 64, 32);
            int announced = 0;
            rig.mixer.injectShortBulk(0);
            rig.mixer.addListener([&](VirtualMixer::Change change) {
                if (change == VirtualMixer::Change::DataReady &&
                    emptyWrites.contains(++announced + 1))
                    rig.mixer.injectShortBulk(0);
            });
            QCOMPARE(rig.load(), ok);
            QCOMPARE(rig.link.ResetCount(), 2);
            QCOMPARE(rig.stored().size(), ok ? 1 : 0);
            QCOMPARE(rig.logged("Success : VenderOut(128)"), ok ? 0 : 1);
            QCOMPARE(rig.boxes.shownIds(), ok ? QList<int>{} : QList<int>{162});
        }
    }

    // Cancel while a frame moves, and a mixer unplugged in the middle of one:
    // the job ends, the title's memory is freed (once the device is back).
    void cancelAndUnplugDuringAFrame()
    {
        for (bool unplug : {false, true}) {
            Rig rig;
            rig.add(m_full, 8, 2, 640, 480);
            if (unplug) {
                rig.mixer.injectUnplugDuringBulk(5000);
            } else {
                rig.mixer.setLinkRate(100000); // 1.4 s a frame, scaled
                connect(&rig.transfer.side(), &TransferSide::progressChanged, this, [&rig] {
                    if (rig.transfer.side().Busy())
                        rig.transfer.Cancel();
                });
            }
            QVERIFY(!rig.load());
            QCOMPARE(rig.list.at(1).Attributes.memoryNo(), MemoryNo::NotStored);
            QCOMPARE(rig.transfer.items().front().Attributes.memoryNo(), MemoryNo::NotStored);
            if (!unplug) {
                QVERIFY(rig.boxes.shown().isEmpty());
                QVERIFY(rig.stored().isEmpty());
                QCOMPARE(rig.logged("Success : VenderOut(128)"), 1);
            } else {
                // The half-sent title goes once the mixer is back.
                QCOMPARE(rig.boxes.shownIds(), QList<int>{162});
                QCOMPARE(rig.stored().size(), 1);
                QCOMPARE(rig.transfer.leftoverCount(), 1u);
                rig.mixer.plug();
                QTRY_VERIFY_WITH_TIMEOUT(rig.link.Connected(), 5000);
                QVERIFY(rig.stored().isEmpty());
                QCOMPARE(rig.transfer.leftoverCount(), 0u);
            }
        }
    }

    // Cancel while the pipe cannot be aborted: the job stops waiting and
    // frees the title, the worker keeps its frame until its write ends.
    void cancelWhenThePipeCannotBeAborted()
    {
        Waits waits(0.01);
        ScriptedMessageBoxes boxes;
        NoAbortBackend backend;
        backend.gated = true;
        DeviceLink link(&backend, waits, boxes);
        QVERIFY(link.Start());
        MagickImageLibrary images;
        BulkOutTransfer transfer(link, images);
        TransferItem item;
        item.Attributes = titleOf(m_small, 1, 1).Attributes;
        item.Attributes.setWidth(64);
        item.Attributes.setHeight(32);
        item.FileList = {m_small};
        connect(&link.writeSide(), &TransferSide::progressChanged, this, [&] {
            if (link.writeSide().Busy())
                transfer.Cancel();
        });
        QVERIFY(transfer.setJob(BulkOutTransfer::Titles, 0, {item}));
        QVERIFY(!transfer.Run());
        QVERIFY(link.writeSide().Busy());
        QCOMPARE(backend.vendorCalls.last().request, 0x81); // the title's memory cleared
        backend.releasePieces(10);
        QVERIFY(waits.waitUntil([&] { return !link.writeSide().Busy(); }, 10000));
        QCOMPARE(backend.written.size(), 9216);
        link.Stop();
    }

    // The auto-load worker's upload runs on its own thread; list changes and
    // the failure report reach the user-interface thread.
    void autoLoadFromAnotherThread_data()
    {
        QTest::addColumn<int>("fault"); // 0 none, 1 allocation refused, 2 stop request
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("loadState");
        QTest::newRow("sent") << 0 << 0 << 2;
        QTest::newRow("device cannot take it now") << 1 << 1 << 0;
        QTest::newRow("stopped after BeginFrameWrite") << 2 << 2 << 0;
    }
    void autoLoadFromAnotherThread()
    {
        QFETCH(int, fault);
        QFETCH(int, result);
        QFETCH(int, loadState);
        Rig rig;
        rig.add(m_small, 1, 2, 64, 32);
        TransferItem item = SelectedTitlesToLoad(rig.list).front();
        if (fault == 1)
            rig.mixer.injectStatus(0, 1, 0x03);
        std::atomic<bool> stop{false};
        if (fault == 2)
            rig.mixer.addListener([&](VirtualMixer::Change c) {
                if (c == VirtualMixer::Change::DataReady)
                    stop = true;
            });
        QList<QThread *> failedOn;
        BulkOutTransfer::AutoLoadHooks hooks{[&] { return stop.load(); },
                                             [&] { failedOn << QThread::currentThread(); }};
        QSignalSpy stored(&rig.transfer, &BulkOutTransfer::titleStored);
        int got = -1;
        std::atomic<bool> returned{false};
        std::thread loader([&] {
            got = rig.transfer.UploadTitleForAutoLoad(item, hooks);
            rig.waits.wake([&] { returned = true; });
        });
        const bool ended = rig.waits.waitUntil([&] { return returned.load(); }, 2000000);
        loader.join();
        QVERIFY(ended);
        QCOMPARE(got, result);
        QCOMPARE(item.LoadState.load(), loadState);
        QCOMPARE(item.Completion.isSet(), result == 0);
        QCOMPARE(stored.size(), result == 0 ? 1 : 0);
        QCOMPARE(failedOn, result == 2 ? QList<QThread *>{thread()} : QList<QThread *>{});
        QCOMPARE(rig.list.at(1).Attributes.memoryNo(),
                 result == 0 ? rig.stored().first() : MemoryNo::NotStored);
        QCOMPARE(rig.stored().size(), result == 0 ? 1 : 0);
        QVERIFY(rig.boxes.shown().isEmpty());
    }

    // The dialog: a bad mode or a second job while one runs is refused at
    // once; its Cancel button ends the job, a finished job closes it with OK.
    void dialogRunsOneJobAtATime()
    {
        Rig rig;
        rig.add(m_full, 8, 2, 640, 480);
        TFormBulkOutTransfer form(rig.transfer, nullptr);
        QVERIFY(!form.StartBulkOut(13, 0, SelectedTitlesToLoad(rig.list)));
        rig.mixer.setLinkRate(100000);
        bool second = true;
        bool clicked = false;
        connect(&rig.transfer.side(), &TransferSide::progressChanged, this, [&] {
            if (clicked || !rig.transfer.side().Busy())
                return;
            clicked = true;
            second = form.StartBulkOut(11, 0, SelectedTitlesToLoad(rig.list));
            auto *dialog = qobject_cast<TFormTransfer *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QTest::mouseClick(dialog->findChild<QPushButton *>("ButtonCancel"), Qt::LeftButton);
        });
        QVERIFY(!form.StartBulkOut(11, 0, SelectedTitlesToLoad(rig.list)));
        QVERIFY(clicked && !second && rig.stored().isEmpty());
        rig.mixer.setLinkRate(0);
        QVERIFY(form.StartBulkOut(11, 0, SelectedTitlesToLoad(rig.list)));
        QCOMPARE(rig.stored().size(), 1);
    }

    void pipeTestAndSetupData()
    {
        {
            Rig rig;
            QVERIFY(rig.transfer.setJob(BulkOutTransfer::PipeTest, 0, {}) && rig.transfer.Run());
            QCOMPARE(rig.mixer.lastTestWrite().size(), 1228800);
        }
        QByteArray data(32768, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 13 + 5);
        std::uint32_t sum = 0;
        for (char c : data)
            sum += std::uint8_t(c);
        QByteArray good = data + QByteArray(4, '\0');
        qToLittleEndian<quint32>(sum, good.data() + 32768);
        QByteArray badSum = good;
        badSum[100] = char(badSum[100] + 1);
        for (const auto &[file, written] : {std::pair{good, true},
                                            {good + "ignored", true},
                                            {badSum, false},
                                            {good.left(32770), false}}) {
            Rig rig(true);
            const QString path = m_env.path("setup.vts");
            writeFile(path, file);
            rig.transfer.setSetupDataFileChooser([&] { return path; });
            const QByteArray before = rig.mixer.setupData();
            QVERIFY(rig.transfer.setJob(BulkOutTransfer::SetupData, 0, {}));
            QCOMPARE(rig.transfer.Run(), written);
            QCOMPARE(rig.boxes.shownIds(), QList<int>{written ? 138 : 139});
            QCOMPARE(rig.mixer.setupData(), written ? data : before);
        }
    }
};

QTEST_MAIN(TestBulkOut)
#include "test_bulkout.moc"
