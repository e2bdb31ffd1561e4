// Bulk worker, device event reader and serial command blocks, against a
// scripted backend.

#include "core/Waits.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "device/SerialCommand.h"
#include "device/TThreadReadWrite.h"
#include "link/FakeUsbBackend.h"
#include "resources/MessageTable.h"
#include "support/ScriptedMessageBoxes.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

namespace {

struct Rig
{
    explicit Rig(double scale = 0.01) : waits(scale) {}
    FakeUsbBackend backend;
    Waits waits;
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

    void tenThousandBytesGoAsThreePieces()
    {
        Rig rig;
        QVERIFY(rig.link.Open());
        rig.link.clearLog();
        TransferSide &side = rig.link.writeSide();
        side.GaugeBase = 0;
        side.GaugeMax = 10000;
        QSignalSpy progress(&side, &TransferSide::progressChanged);
        QByteArray data = pattern(10000);
        const auto moved = TThreadReadWrite::Run(rig.link, rig.link.WritePipe(), side,
                                                 reinterpret_cast<std::uint8_t *>(data.data()),
                                                 10000, TThreadReadWrite::ModeWrite);
        QCOMPARE(moved, 10000u);
        QCOMPARE(side.Transferred(), 10000u);
        QVERIFY(!side.Busy());
        QCOMPARE(rig.backend.transferLengths, QList<int>({4096, 4096, 1808}));
        QCOMPARE(rig.backend.written, data);
        // The progress step runs once, at the first piece.
        QCOMPARE(progress.size(), 1);
        QCOMPARE(progress.first().at(0).toLongLong(), 0);
        QCOMPARE(progress.first().at(2).toString(), QStringLiteral("転送中  0%"));
        QCOMPARE(side.GaugeProgress, 10000);
        const QStringList log = rig.link.logLines();
        QCOMPARE(log.size(), 3);
        QCOMPARE(log[0], QString("Transfer Size : 10000 Bytes"));
        QVERIFY2(QRegularExpression("^Transfer Time : \\d+ sec  \\d{1,3} msec$")
                     .match(log[1])
                     .hasMatch(),
                 qPrintable(log[1]));
        QVERIFY2(QRegularExpression("^Transfer Speed : \\d+\\.\\d\\d KBytes/sec$")
                     .match(log[2])
                     .hasMatch(),
                 qPrintable(log[2]));
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

    // How a block ends: every byte, nothing at all, a short piece, a piece
    // that stalls until its (scaled) 3 s time-out.
    void blockEnds_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("available"); // bytes the device reads out or takes in
        QTest::addColumn<int>("moved");
        QTest::addColumn<QList<int>>("pieces");
        QTest::newRow("read fills the buffer")
            << false << 9000 << 9000 << 9000 << QList<int>({4096, 4096, 808});
        QTest::newRow("zero bytes: one empty call") << false << 0 << 0 << 0 << QList<int>({0});
        QTest::newRow("short piece ends the block")
            << false << 12288 << 5000 << 5000 << QList<int>({4096, 4096});
        QTest::newRow("stalled piece ends at its time-out")
            << true << 10000 << 4096 << 4096 << QList<int>({4096, 4096});
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
        QCOMPARE(
            TThreadReadWrite::Run(rig.link, pipe, side, bytes, size,
                                  write ? TThreadReadWrite::ModeWrite : TThreadReadWrite::ModeRead),
            std::uint32_t(moved));
        QCOMPARE(rig.backend.transferLengths, pieces);
        QCOMPARE((write ? rig.backend.written : buffer).left(moved), data.left(moved));
        const QStringList log = rig.link.logLines();
        QCOMPARE(log.first(), QString("Transfer Size : %1 Bytes").arg(moved));
        if (moved == 0) // nothing moved in no time: the speed is 0
            QCOMPARE(log.last(), QString("Transfer Speed : 0.00 KBytes/sec"));
    }

    void closeReleasesAWorkerBlockedOnItsPipe()
    {
        Rig rig(1.0); // a real 3 s piece time-out: only the abort can end it early
        rig.backend.stallAfter = 0;
        QVERIFY(rig.link.Open());
        QByteArray data = pattern(8192);
        QTimer::singleShot(20, &rig.link, [&rig] { rig.link.Close(); });
        QElapsedTimer clock;
        clock.start();
        const auto moved = TThreadReadWrite::Run(
            rig.link, rig.link.WritePipe(), rig.link.writeSide(),
            reinterpret_cast<std::uint8_t *>(data.data()), 8192, TThreadReadWrite::ModeWrite);
        QCOMPARE(moved, 0u);
        QVERIFY(!rig.link.isOpen());
        QVERIFY(rig.backend.aborts.load() >= 1);
        QVERIFY2(clock.elapsed() < 2500, "the abort did not end the piece");
        QVERIFY(rig.link.logLines().contains("Success : Abort  Interface 0  Pipe 2"));
    }

    // Blocks one after another on both sides through the same worker threads:
    // every byte arrives in order, every block reports back.
    void blocksInARow()
    {
        Rig rig;
        QVERIFY(rig.link.Open());
        rig.link.clearLog();
        TransferSide &writeSide = rig.link.writeSide();
        const QList<int> sizes = {5000, 0, 1, 4096, 12288, 100};
        constexpr int kBlocks = 30;
        int total = 0;
        for (int b = 0; b < kBlocks; ++b)
            total += sizes[b % sizes.size()];
        QByteArray data = pattern(total);
        rig.backend.readData = data;
        QByteArray readBack(total, '\0');
        int offset = 0;
        for (int b = 0; b < kBlocks; ++b) {
            const int size = sizes[b % sizes.size()];
            writeSide.GaugeBase = offset;
            auto *out = reinterpret_cast<std::uint8_t *>(data.data()) + offset;
            QCOMPARE(TThreadReadWrite::Run(rig.link, rig.link.WritePipe(), writeSide, out, size,
                                           TThreadReadWrite::ModeWrite),
                     std::uint32_t(size));
            QCOMPARE(writeSide.GaugeProgress, offset + size);
            auto *in = reinterpret_cast<std::uint8_t *>(readBack.data()) + offset;
            QCOMPARE(TThreadReadWrite::Run(rig.link, rig.link.ReadPipe(), rig.link.readSide(), in,
                                           size, TThreadReadWrite::ModeRead),
                     std::uint32_t(size));
            offset += size;
        }
        QCOMPARE(rig.backend.written, data);
        QCOMPARE(readBack, data);
        QCOMPARE(rig.link.logLines().size(), 3 * 2 * kBlocks);
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
        waker.join();
        other.join();
        QVERIFY(otherSaw);
    }

    // ---- event reader -----------------------------------------------------

    void lineSplitAcrossReadsIsJoined()
    {
        Rig rig;
        DeviceEventReader reader(rig.link);
        QSignalSpy state(&reader, &DeviceEventReader::SetDskState);
        QSignalSpy inStart(&reader, &DeviceEventReader::inStartRaised);
        // "in start" padded with blanks to 15 characters, then 12; the first read
        // ends with a zero byte in the middle of the keyword.
        reader.processRead(withZeros("in st"));
        QCOMPARE(reader.PendingText(), QString("in st"));
        QCOMPARE(state.size(), 0);
        reader.processRead(withZeros("art       12\r"));
        QCOMPARE(state.size(), 1);
        QCOMPARE(state.first(), QList<QVariant>({1, 12}));
        QCOMPARE(inStart.first().first().toInt(), 12);
        QCOMPARE(reader.InStartNumber(), 12);
        QVERIFY(reader.PendingText().isEmpty());
        QVERIFY(reader.EventPipeAlive());
    }

    void theFourKeyerEvents()
    {
        Rig rig;
        DeviceEventReader reader(rig.link);
        QSignalSpy state(&reader, &DeviceEventReader::SetDskState);
        QSignalSpy lines(&reader, &DeviceEventReader::lineReceived);
        QSignalSpy inEnd(&reader, &DeviceEventReader::inEndRaised);
        QSignalSpy outStart(&reader, &DeviceEventReader::outStartRaised);
        QSignalSpy outEnd(&reader, &DeviceEventReader::outEndRaised);
        reader.processRead(withZeros("in start       7\rin end\rpanel key 3\r"));
        reader.processRead(withZeros("out start       9\rout end\r"));
        QCOMPARE(state.size(), 4);
        QCOMPARE(state[0], QList<QVariant>({1, 7}));
        QCOMPARE(state[1], QList<QVariant>({2, 7}));
        QCOMPARE(state[2], QList<QVariant>({4, 9}));
        QCOMPARE(state[3], QList<QVariant>({5, 0xFFFF}));
        QCOMPARE(inEnd.size(), 1);
        QCOMPARE(outStart.first().first().toInt(), 9);
        QCOMPARE(outEnd.size(), 1);
        QCOMPARE(reader.OutStartNumber(), 9);
        // Every line is shown, the other one only shown.
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[2].first().toString(), QString("panel key 3"));
    }

    void lineWithoutANumberIsIgnored()
    {
        Rig rig;
        DeviceEventReader reader(rig.link);
        QSignalSpy state(&reader, &DeviceEventReader::SetDskState);
        QSignalSpy lines(&reader, &DeviceEventReader::lineReceived);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("without a memory number.*1x"));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("without a memory number.*out start"));
        reader.processRead(withZeros("in start       1x\rout start\rin start       3\r"));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(state.size(), 1);
        QCOMPARE(state.first(), QList<QVariant>({1, 3}));
    }

    void fullReadKeepsItsUnfinishedLine()
    {
        Rig rig;
        DeviceEventReader reader(rig.link);
        QSignalSpy state(&reader, &DeviceEventReader::SetDskState);
        // 64 bytes without a zero byte: the text after the last carriage return
        // belongs to the next line.
        const QByteArray first = QByteArray("in end\r") + QByteArray(51, 'z') + "\rout e";
        QCOMPARE(first.size(), 64);
        reader.processRead(first);
        QCOMPARE(reader.PendingText(), QString("out e"));
        reader.processRead(withZeros("nd\r"));
        QCOMPARE(state.size(), 2);
        QCOMPARE(state.last(), QList<QVariant>({5, 0xFFFF}));
    }

    void pendingTextStaysBounded()
    {
        Rig rig;
        DeviceEventReader reader(rig.link);
        for (int i = 0; i < 100; ++i)
            reader.processRead(QByteArray(64, 'q'));
        QCOMPARE(reader.PendingText().size(), DeviceEventReader::kMaxPendingText);
    }

    void pollingRunsFromConnectToDisconnect()
    {
        Rig rig;
        DeviceEventReader reader(rig.link);
        QSignalSpy state(&reader, &DeviceEventReader::SetDskState);
        rig.backend.eventReads = {withZeros("in start  "), withZeros("     4\r"),
                                  withZeros("garbage\r"), withZeros("out end\r")};
        QVERIFY(rig.link.Open());
        QVERIFY(reader.polling());
        QVERIFY(rig.waits.waitUntil([&state] { return state.size() == 2; }, 200000));
        QCOMPARE(state[0], QList<QVariant>({1, 4}));
        QCOMPARE(state[1], QList<QVariant>({5, 0xFFFF}));
        QVERIFY(reader.EventPipeAlive());
        rig.link.Close();
        QVERIFY(!reader.polling());
        QVERIFY(!reader.TimerGetVT90Info().isActive());
        // Reconnecting starts afresh with an empty pending line.
        rig.backend.eventReads = {withZeros("in st")};
        QVERIFY(rig.link.Open());
        QVERIFY(rig.waits.waitUntil([&rig] { return rig.backend.eventReads.isEmpty(); }, 200000));
        rig.link.Close();
        rig.backend.eventReads = {withZeros("art      5\r")};
        QVERIFY(rig.link.Open());
        QVERIFY(reader.PendingText().isEmpty());
        QVERIFY(!reader.EventPipeAlive());
        QVERIFY(rig.waits.waitUntil([&rig] { return rig.backend.eventReads.isEmpty(); }, 200000));
        rig.waits.pause(2000);
        QCOMPARE(state.size(), 2);
    }

    // ---- serial command blocks ----------------------------------------------

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

    void serialBlockStopsWhenFull()
    {
        const QByteArray block = SerialCommand::buildBlock(
            "WFV", {QString(20, '1'), QString(20, '2'), "3", "4", "5"}, 5);
        QCOMPARE(block.size(), 34);
        QCOMPARE(block, QByteArray("WFV:") + QByteArray(20, '1') + QByteArray(10, '2'));
    }

    void serialCommandTable()
    {
        const auto &table = SerialCommand::table();
        QCOMPARE(table.size(), 64);
        QCOMPARE(QByteArray(table.first().name), QByteArray("AEA"));
        QCOMPARE(QByteArray(table.last().name), QByteArray("$MD"));
        QCOMPARE(SerialCommand::parameterCount("QAM"), 0);
        QCOMPARE(SerialCommand::parameterCount("VDE"), 5);
        QCOMPARE(SerialCommand::parameterCount("WFV"), 5);
        QCOMPARE(SerialCommand::parameterCount("$AO"), 3);
        QCOMPARE(SerialCommand::parameterCount("ZZZ"), -1);
    }
};

QTEST_GUILESS_MAIN(TestDeviceWorker)
#include "test_deviceworker.moc"
