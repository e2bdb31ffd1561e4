// Bulk worker, device event reader and serial command blocks, against a
// scripted backend.

#include "core/HandOverOrder.h"
#include "core/RunOnThread.h"
#include "core/Waits.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "device/SerialCommand.h"
#include "device/TThreadReadWrite.h"
#include "link/FakeUsbBackend.h"
#include "resources/MessageTable.h"
#include "support/ScriptedMessageBoxes.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

namespace {

struct Rig
{
    FakeUsbBackend backend;
    Waits waits{0.01};
    ScriptedMessageBoxes boxes;
    DeviceLink link{&backend, waits, boxes};
};

QByteArray pattern(int size)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + i / 251) & 0xFF);
    return b;
}

QByteArray withZeros(const QByteArray &text, int size = 64)
{
    QByteArray b = text;
    b.append(QByteArray(qMax<qsizetype>(0, size - b.size()), '\0'));
    return b;
}

} // namespace

class TestDeviceWorker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MessageTable::setLanguage(Language::Japanese); }

    // How a block ends: every byte in 4096-byte pieces, nothing at all, a
    // short piece (a stalled piece is in the request suite). The
    // first progress step comes at once, the finish step brings the gauge up
    // and writes the three log lines.
    void blockEnds_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("available"); // bytes the device reads out or takes in
        QTest::addColumn<int>("moved");
        QTest::addColumn<QList<int>>("pieces");
        QTest::newRow("write in three pieces")
            << true << 10000 << 10000 << 10000 << QList<int>({4096, 4096, 1808});
        QTest::newRow("read fills the buffer")
            << false << 9000 << 9000 << 9000 << QList<int>({4096, 4096, 808});
        QTest::newRow("zero bytes: one empty call") << false << 0 << 0 << 0 << QList<int>({0});
        QTest::newRow("short piece ends the block")
            << false << 12288 << 5000 << 5000 << QList<int>({4096, 4096});
    }

    void blockEnds()
    {
        QFETCH(bool, write);
        QFETCH(int, size);
        QFETCH(int, available);
        QFETCH(int, moved);
        QFETCH(QList<int>, pieces);
        Rig rig;
        const QByteArray data = pattern(size);
        if (write)
            rig.backend.stallAfter = available;
        else
            rig.backend.readData = data.left(available);
        QVERIFY(rig.link.Open());
        rig.link.clearLog();
        QByteArray buffer = write ? data : QByteArray(size, '\0');
        std::uint8_t dummy = 0;
        auto *bytes = size ? reinterpret_cast<std::uint8_t *>(buffer.data()) : &dummy;
        PipeChannel &pipe = write ? rig.link.WritePipe() : rig.link.ReadPipe();
        TransferSide &side = write ? rig.link.writeSide() : rig.link.readSide();
        side.GaugeBase = 7;
        side.GaugeMax = 1000 + size;
        QSignalSpy progress(&side, &TransferSide::progressChanged);
        QCOMPARE(
            TThreadReadWrite::Run(rig.link, pipe, side, bytes, size,
                                  write ? TThreadReadWrite::ModeWrite : TThreadReadWrite::ModeRead),
            std::uint32_t(moved));
        QCOMPARE(side.Transferred(), std::uint32_t(moved));
        QVERIFY(!side.Busy());
        QCOMPARE(rig.backend.transferLengths, pieces);
        QCOMPARE((write ? rig.backend.written : buffer).left(moved), data.left(moved));
        QCOMPARE(progress.size(), 1);
        QCOMPARE(progress.first().at(0).toLongLong(), 7);
        QCOMPARE(progress.first().at(2).toString(), QStringLiteral("転送中  0%"));
        QCOMPARE(side.GaugeProgress, 7 + moved);
        const QString log = rig.link.logLines().join('\n');
        QVERIFY2(QRegularExpression(QString("^Transfer Size : %1 Bytes\n"
                                            "Transfer Time : \\d+ sec  \\d{1,3} msec\n"
                                            "Transfer Speed : \\d+\\.\\d\\d KBytes/sec$")
                                        .arg(moved))
                     .match(log)
                     .hasMatch(),
                 qPrintable(log));
        if (moved == 0) // nothing moved in no time: the speed is 0
            QVERIFY(log.endsWith("Transfer Speed : 0.00 KBytes/sec"));
    }

    void progressEveryTwentyPieces()
    {
        Rig rig;
        QVERIFY(rig.link.Open());
        TransferSide &side = rig.link.writeSide();
        side.GaugeBase = 1000;
        side.GaugeMax = 1000 + 41 * 4096;
        // Each progress step lets the next twenty pieces through, so every mark
        // is reached only after the step before it was shown.
        rig.backend.gated = true;
        QList<qint64> shown;
        connect(&side, &TransferSide::progressChanged, this,
                [&](qint64 progress, int, const QString &) {
                    shown << progress;
                    rig.backend.releasePieces(20);
                });
        QByteArray data = pattern(41 * 4096);
        const auto moved = TThreadReadWrite::Run(rig.link, rig.link.WritePipe(), side,
                                                 reinterpret_cast<std::uint8_t *>(data.data()),
                                                 data.size(), TThreadReadWrite::ModeWrite);
        QCOMPARE(moved, std::uint32_t(data.size()));
        QCOMPARE(shown, QList<qint64>({1000, 1000 + 20 * 4096, 1000 + 40 * 4096}));
        QCOMPARE(side.GaugeProgress, 1000 + 41 * 4096);
    }

    // Blocks one after another on both sides through the same worker threads.
    void blocksInARow()
    {
        Rig rig;
        QVERIFY(rig.link.Open());
        QByteArray data = pattern(5000 + 1 + 12288);
        rig.backend.readData = data;
        QByteArray readBack(data.size(), '\0');
        int offset = 0;
        for (int size : {5000, 0, 1, 12288}) {
            rig.link.writeSide().GaugeBase = offset;
            QCOMPARE(TThreadReadWrite::Run(rig.link, rig.link.WritePipe(), rig.link.writeSide(),
                                           reinterpret_cast<std::uint8_t *>(data.data()) + offset,
                                           size, TThreadReadWrite::ModeWrite),
                     std::uint32_t(size));
            QCOMPARE(rig.link.writeSide().GaugeProgress, offset + size);
            QCOMPARE(
                TThreadReadWrite::Run(rig.link, rig.link.ReadPipe(), rig.link.readSide(),
                                      reinterpret_cast<std::uint8_t *>(readBack.data()) + offset,
                                      size, TThreadReadWrite::ModeRead),
                std::uint32_t(size));
            offset += size;
        }
        QCOMPARE(rig.backend.written, data);
        QCOMPARE(readBack, data);
    }

    // Waits keep the events flowing, end at their deadline, and a change
    // announced from another thread ends a wait on any thread.
    void waitsRunEventsAndWake()
    {
        Waits waits(1.0);
        bool ran = false;
        QTimer::singleShot(0, [&ran] { ran = true; });
        waits.pause(5);
        QVERIFY(ran);
        QVERIFY(!waits.waitUntil([] { return false; }, 5));
        std::atomic<bool> flag{false};
        bool otherSaw = false;
        std::thread other([&] { otherSaw = waits.waitUntil([&flag] { return flag.load(); }, -1); });
        std::thread waker([&] { waits.wake([&flag] { flag = true; }); });
        QVERIFY(waits.waitUntil([&flag] { return flag.load(); }, -1));
        for (std::thread *thread : {&waker, &other})
            thread->join();
        QVERIFY(otherSaw);
    }

    // A worker's question to the user-interface thread runs there, and the
    // worker reads the answer once the call returns.
    void runOnThreadAnswersOrReleases()
    {
        Waits waits(1.0);
        QObject context;
        std::atomic<bool> returned{false};
        QThread *ranOn = nullptr;
        int answer = 0;
        int seen = 0;
        std::thread asker([&] {
            runOnThread(context, [&] {
                ranOn = QThread::currentThread();
                answer = 42;
            });
            seen = answer; // on the worker, once the call is over
            waits.wake([&] { returned = true; });
        });
        QVERIFY(waits.waitUntil([&] { return returned.load(); }, 20000));
        asker.join();
        QCOMPARE(seen, 42);
        QCOMPARE(ranOn, thread());
    }

    // A call queued to an object runs on the object's thread when its events
    // run; one whose object goes first never runs, and what it holds is let
    // go (which is how a worker waiting on such a call is released).
    void queuedCallsRunOrAreDropped()
    {
        auto held = std::make_shared<int>(0);
        int ran = 0;
        QObject stays;
        auto goes = std::make_unique<QObject>();
        postCall(stays, [held, &ran] { ran += 1; });
        postCall(*goes, [held, &ran] { ran += 10; });
        QCOMPARE(held.use_count(), 3);
        QCOMPARE(ran, 0);
        goes.reset();
        QCOMPARE(held.use_count(), 2);
        QCoreApplication::processEvents();
        QCOMPARE(ran, 1);
        QCOMPARE(held.use_count(), 1);
    }

    // What the keyer's lines raise, however the 64-byte reads cut them.
    void keyerLines_data()
    {
        QTest::addColumn<QList<QByteArray>>("reads");
        QTest::addColumn<QString>("seen"); // what was raised, in order
        QTest::addColumn<QString>("pending");
        QTest::addColumn<int>("warnings");
        QTest::newRow("the four keyer events")
            << QList<QByteArray>{"in start       7\rin end\rpanel key 3\r",
                                 "out start       9\rout end\r"}
            << "line in start       7|in start 7|state 1 7|line in end|in end|state 2 7|"
               "line panel key 3|line out start       9|out start 9|state 4 9|line out end|"
               "out end|state 5 65535"
            << QString() << 0;
        // "in start" padded with blanks to 15 characters, then the number; the
        // first read ends with a zero byte in the middle of the keyword.
        QTest::newRow("a line split across reads")
            << QList<QByteArray>{"in st", "art       12\r"}
            << "line in start       12|in start 12|state 1 12" << QString() << 0;
        // 64 bytes without a zero byte: the text after the last carriage
        // return belongs to the next line.
        QTest::newRow("a full read keeps its unfinished line")
            << QList<QByteArray>{"in end\r" + QByteArray(51, 'z') + "\rout e", "nd\r"}
            << "line in end|in end|state 2 65534|line " + QString(51, 'z') +
                   "|line out end|out end|state 5 65535"
            << QString() << 0;
        // A number beyond 16 bits is none either.
        QTest::newRow("lines without a number are ignored")
            << QList<QByteArray>{"in start       1x\rout start\rin start       70000\rin start     "
                                 "  3\r"}
            << "line in start       1x|line out start|line in start       70000|line in start      "
               " "
               "3|in start 3|state 1 3"
            << QString() << 3;
        QTest::newRow("the pending text stays bounded")
            << QList<QByteArray>(100, QByteArray(64, 'q')) << QString()
            << QString(DeviceEventReader::kMaxPendingText, 'q') << 0;
        QTest::newRow("an unfinished line waits")
            << QList<QByteArray>{"in st"} << QString() << QString("in st") << 0;
    }

    void keyerLines()
    {
        QFETCH(QList<QByteArray>, reads);
        QFETCH(QString, seen);
        QFETCH(QString, pending);
        QFETCH(int, warnings);
        Rig rig;
        DeviceEventReader reader(rig.link);
        QStringList got;
        connect(&reader, &DeviceEventReader::lineReceived, this,
                [&got](const QString &line) { got << "line " + line; });
        connect(&reader, &DeviceEventReader::inStartRaised, this,
                [&got](int number) { got << QString("in start %1").arg(number); });
        connect(&reader, &DeviceEventReader::inEndRaised, this, [&got] { got << "in end"; });
        connect(&reader, &DeviceEventReader::outStartRaised, this,
                [&got](int number) { got << QString("out start %1").arg(number); });
        connect(&reader, &DeviceEventReader::outEndRaised, this, [&got] { got << "out end"; });
        connect(&reader, &DeviceEventReader::SetDskState, this, [&got](auto state, int number) {
            got << QString("state %1 %2").arg(int(state)).arg(number);
        });
        for (int i = 0; i < warnings; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("without a memory number"));
        for (const QByteArray &read : reads)
            reader.processRead(withZeros(read));
        QCOMPARE(got.join('|'), seen);
        QCOMPARE(reader.PendingText(), pending);
        QVERIFY(reader.EventPipeAlive());
    }

    // Polling follows the connection; a new connection starts without a pending line.
    void pollingFollowsTheConnection()
    {
        Rig rig;
        DeviceEventReader reader(rig.link);
        QSignalSpy state(&reader, &DeviceEventReader::SetDskState);
        rig.backend.eventReads = {withZeros("in st")};
        QVERIFY(rig.link.Open());
        QVERIFY(reader.polling());
        QVERIFY(rig.waits.waitUntil([&reader] { return reader.EventPipeAlive(); }, 200000));
        rig.link.Close();
        QVERIFY(!reader.polling());
        QVERIFY(!reader.TimerGetVT90Info().isActive());
        rig.backend.eventReads = {withZeros("art      5\r")};
        QVERIFY(rig.link.Open());
        QVERIFY(reader.PendingText().isEmpty());
        QVERIFY(!reader.EventPipeAlive());
        QVERIFY(rig.waits.waitUntil([&reader] { return reader.EventPipeAlive(); }, 200000));
        QCOMPARE(state.size(), 0);
    }

    void serialBlocks_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<int>("enabled");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("WFV") << "WFV" << QStringList{"1", "2", "3", "4", "5"} << 5
                             << QByteArray("WFV:12/3/4-5");
        QTest::newRow("AFD") << "AFD" << QStringList{"12", "34"} << 2 << QByteArray("AFD:1234");
        QTest::newRow("QAM") << "QAM" << QStringList{"9", "9"} << 0 << QByteArray("QAM:");
        QTest::newRow("stops at first disabled")
            << "VBG" << QStringList{"1", "2", "3", "4"} << 3 << QByteArray("VBG:123");
        QTest::newRow("typed name longer than three")
            << "VDEX" << QStringList{"a"} << 1 << QByteArray("VDE:a");
        QTest::newRow("WFV with three parameters")
            << "WFV" << QStringList{"10", "20", "30"} << 3 << QByteArray("WFV:1020/30");
        QTest::newRow("stops when full")
            << "WFV" << QStringList{QString(20, '1'), QString(20, '2'), "3", "4", "5"} << 5
            << QByteArray("WFV:") + QByteArray(20, '1') + QByteArray(10, '2');
    }

    void serialBlocks()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, parameters);
        QFETCH(int, enabled);
        QFETCH(QByteArray, text);
        const QByteArray block = SerialCommand::buildBlock(command, parameters, enabled);
        QCOMPARE(block.size(), 34);
        QCOMPARE(block.left(text.size()), text);
        QCOMPARE(block.mid(text.size()), QByteArray(34 - text.size(), '\0'));
    }

    void serialCommandTable()
    {
        QCOMPARE(SerialCommand::table().size(), 64);
        QCOMPARE(SerialCommand::parameterCount("QAM"), 0);
        QCOMPARE(SerialCommand::parameterCount("$AO"), 3);
        QCOMPARE(SerialCommand::parameterCount("ZZZ"), -1);
    }
};

QTEST_GUILESS_MAIN(TestDeviceWorker)
#include "test_deviceworker.moc"
