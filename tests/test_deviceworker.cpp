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
        side.ProgressIntervalMs = 0;
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

    void fastBlocksQueueFewProgressSteps()
    {
        Rig rig;
        QVERIFY(rig.link.Open());
        TransferSide &side = rig.link.writeSide();
        side.GaugeMax = 400 * 4096;
        side.ProgressIntervalMs = 1000000;
        QSignalSpy progress(&side, &TransferSide::progressChanged);
        QByteArray data = pattern(400 * 4096);
        TThreadReadWrite::Run(rig.link, rig.link.WritePipe(), side,
                              reinterpret_cast<std::uint8_t *>(data.data()), data.size(),
                              TThreadReadWrite::ModeWrite);
        // Only the first mark is due within the interval; the finish step brings the gauge up.
        QCOMPARE(progress.size(), 1);
        const qint64 shown = progress.first().first().toLongLong();
        QCOMPARE(shown % (20 * 4096), 0);
        QVERIFY(shown < 400 * 4096);
        QCOMPARE(side.GaugeProgress, 400 * 4096);
    }

    void zeroBytesMakeOneEmptyCall()
    {
        Rig rig;
        QVERIFY(rig.link.Open());
        rig.link.clearLog();
        std::uint8_t dummy = 0;
        const auto moved = TThreadReadWrite::Run(rig.link, rig.link.ReadPipe(), rig.link.readSide(),
                                                 &dummy, 0, TThreadReadWrite::ModeRead);
        QCOMPARE(moved, 0u);
        QCOMPARE(rig.backend.transferLengths, QList<int>({0}));
        QCOMPARE(rig.link.logLines().first(), QString("Transfer Size : 0 Bytes"));
        // Nothing moved in no time: the speed is 0.
        QCOMPARE(rig.link.logLines().last(), QString("Transfer Speed : 0.00 KBytes/sec"));
    }

    void readFillsTheCallersBuffer()
    {
        Rig rig;
        rig.backend.readData = pattern(9000);
        QVERIFY(rig.link.Open());
        QByteArray buffer(9000, '\0');
        const auto moved = TThreadReadWrite::Run(rig.link, rig.link.ReadPipe(), rig.link.readSide(),
                                                 reinterpret_cast<std::uint8_t *>(buffer.data()),
                                                 9000, TThreadReadWrite::ModeRead);
        QCOMPARE(moved, 9000u);
        QCOMPARE(buffer, rig.backend.readData);
    }

    void shortPieceEndsTheBlock()
    {
        Rig rig;
        rig.backend.readData = pattern(5000);
        QVERIFY(rig.link.Open());
        QByteArray buffer(12288, '\0');
        const auto moved = TThreadReadWrite::Run(rig.link, rig.link.ReadPipe(), rig.link.readSide(),
                                                 reinterpret_cast<std::uint8_t *>(buffer.data()),
                                                 12288, TThreadReadWrite::ModeRead);
        QCOMPARE(moved, 5000u);
        QCOMPARE(rig.backend.transferLengths, QList<int>({4096, 4096}));
    }

    void stalledPipeEndsThePieceAtItsTimeOut()
    {
        Rig rig; // 3 s scaled to 30 ms
        rig.backend.stallAfter = 4096;
        QVERIFY(rig.link.Open());
        rig.link.clearLog();
        QByteArray data = pattern(10000);
        const auto moved = TThreadReadWrite::Run(
            rig.link, rig.link.WritePipe(), rig.link.writeSide(),
            reinterpret_cast<std::uint8_t *>(data.data()), 10000, TThreadReadWrite::ModeWrite);
        QCOMPARE(moved, 4096u);
        QCOMPARE(rig.backend.transferLengths, QList<int>({4096, 4096}));
        QCOMPARE(rig.link.logLines().first(), QString("Transfer Size : 4096 Bytes"));
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

    // Blocks one after another on both sides, each handed over and handed
    // back either while the other thread still watches for it or after it
    // went to sleep: every byte arrives in order, every block reports back.
    void blocksInARow_data()
    {
        QTest::addColumn<bool>("watch");
        QTest::newRow("watching") << true;
        QTest::newRow("sleeping") << false;
    }

    void blocksInARow()
    {
        QFETCH(bool, watch);
        Rig rig;
        QVERIFY(rig.link.Open());
        rig.link.clearLog();
        TransferSide &writeSide = rig.link.writeSide();
        TransferSide &readSide = rig.link.readSide();
        if (!watch) {
            for (TransferSide *side : {&writeSide, &readSide}) {
                side->MaxWatchNs = 0;
                side->workerThread()->setMaxSpinNs(0);
            }
        }
        const QList<int> sizes = {5000, 0, 1, 4096, 12288, 100};
        constexpr int kBlocks = 60;
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
            QCOMPARE(TThreadReadWrite::Run(rig.link, rig.link.ReadPipe(), readSide, in, size,
                                           TThreadReadWrite::ModeRead),
                     std::uint32_t(size));
            QVERIFY(!writeSide.Busy());
            QVERIFY(!readSide.Busy());
            offset += size;
        }
        QCOMPARE(rig.backend.written, data);
        QCOMPARE(readBack, data);
        const QStringList log = rig.link.logLines();
        QCOMPARE(log.size(), 3 * 2 * kBlocks);
        QCOMPARE(log.filter(QStringLiteral("Transfer Size : 12288 Bytes")).size(),
                 2 * (kBlocks / int(sizes.size())));
    }

    // How long the waiting side watches for a block's end before it goes back
    // to the event loop: bounded, and not at all for blocks that take long.
    void watchFollowsTheLastBlock()
    {
        TransferSide side;
        QCOMPARE(side.watchNs(1228800), TransferSide::kMaxWatchNs);
        // 1.2 MB in 60 µs (an in-process mixer): the next such block is watched for.
        side.noteBlockTime(1228800, 60'000);
        QVERIFY(side.watchNs(1228800) >= 60'000);
        QVERIFY(side.watchNs(1228800) <= TransferSide::kMaxWatchNs);
        // Ten times larger: expected to take longer than the watch is allowed.
        QCOMPARE(side.watchNs(12288000), 0);
        // 35 ms for the block (USB 2.0): only a small block is still watched for.
        side.noteBlockTime(1228800, 35'000'000);
        QCOMPARE(side.watchNs(1228800), 0);
        QVERIFY(side.watchNs(512) > 0);
        QVERIFY(side.watchNs(512) <= TransferSide::kMaxWatchNs);
        side.MaxWatchNs = 0;
        QCOMPARE(side.watchNs(512), 0);
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
        QCOMPARE(state.first(), QList<QVariant>({QVariant::fromValue(DskState::OnRunning), 12}));
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
        QCOMPARE(state[0], QList<QVariant>({QVariant::fromValue(DskState::OnRunning), 7}));
        QCOMPARE(state[1], QList<QVariant>({QVariant::fromValue(DskState::Showing), 7}));
        QCOMPARE(state[2], QList<QVariant>({QVariant::fromValue(DskState::OffRunning), 9}));
        QCOMPARE(state[3], QList<QVariant>({QVariant::fromValue(DskState::Ended), 0xFFFF}));
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
        QCOMPARE(state.first(), QList<QVariant>({QVariant::fromValue(DskState::OnRunning), 3}));
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
        QCOMPARE(state.last(), QList<QVariant>({QVariant::fromValue(DskState::Ended), 0xFFFF}));
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
        QCOMPARE(state[0], QList<QVariant>({QVariant::fromValue(DskState::OnRunning), 4}));
        QCOMPARE(state[1], QList<QVariant>({QVariant::fromValue(DskState::Ended), 0xFFFF}));
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
