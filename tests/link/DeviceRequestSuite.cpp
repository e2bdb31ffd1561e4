#include "link/DeviceRequestSuite.h"

#include "core/Waits.h"
#include "device/DeviceCommands.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "device/SerialCommand.h"
#include "device/TThreadReadWrite.h"
#include "mixer/VirtualMixer.h"
#include "support/ScriptedMessageBoxes.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

constexpr int kLongWait = 500000; // nominal ms; scaled to 5 s

struct Setup
{
    explicit Setup(MixerRigFactory factory, double scale = 0.01) : waits(scale), rig(factory(waits))
    {}
    Waits waits;
    std::unique_ptr<MixerRig> rig;
    ScriptedMessageBoxes boxes;
    DeviceLink link{&rig->backend(), waits, boxes};
    DeviceCommands commands{link};
};

QByteArray pattern(int size)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 13 + (i >> 9)) & 0xFF);
    return b;
}

} // namespace

void DeviceRequestSuite::openReadsDescriptorsAndFirmware()
{
    Setup s(m_factory);
    s.rig->mixer().setFirmwareVersion(1, 2, 3);
    QVERIFY(s.link.Start());
    QVERIFY(s.link.Connected());
    QCOMPARE(s.link.DeviceDescriptor(), s.rig->mixer().deviceDescriptor());
    QCOMPARE(s.link.ConfigDescriptor(), s.rig->mixer().configurationDescriptor());
    QCOMPARE(s.link.FirmwareText(), QString("1.02(03)"));
    QVERIFY(s.link.ExtendedFirmware());
    QVERIFY(!s.link.SetupDataMode());
    QVERIFY(s.link.EventPipe().isOpen());
    QVERIFY(s.link.ReadPipe().isOpen());
    QVERIFY(s.link.WritePipe().isOpen());
    const QStringList log = s.link.logLines();
    QCOMPARE(log.first(), QString("Success : Open Device"));
    QVERIFY(log.contains("Success : Open  Interface 0  Pipe 2"));
    QCOMPARE(log.last(), QString("Success : VenderIn(6)"));
    s.link.Stop();
    QCOMPARE(s.link.logLines().last(), QString("Success : Close Device"));
    QVERIFY(!s.rig->backend().isOpen());
}

void DeviceRequestSuite::outRequestOfLengthZero()
{
    Setup s(m_factory);
    QVERIFY(s.link.Start());
    QVERIFY(s.commands.CancelTransfer(false));
    QVERIFY(s.commands.CancelTransfer(true));
    QCOMPARE(s.link.logLines().last(), QString("Success : VenderOut(128)"));
}

void DeviceRequestSuite::setupDataModeRefusesLocally()
{
    Setup s(m_factory);
    QByteArray setup = pattern(32768);
    s.rig->mixer().setSetupData(setup);
    s.rig->mixer().setSetupDataMode(true);
    QVERIFY(s.link.Start());
    QVERIFY(s.link.SetupDataMode());
    const int lines = int(s.link.logLines().size());
    QVERIFY(!s.commands.GetFirmwareVersion());
    QVERIFY(!s.commands.DskStop());
    QCOMPARE(s.link.logLines().size(), lines);
    QVERIFY(s.commands.BeginSetupDataRead());
    QByteArray buffer(32768, '\0');
    const auto moved = TThreadReadWrite::Run(s.link, s.link.ReadPipe(), s.link.readSide(),
                                             reinterpret_cast<std::uint8_t *>(buffer.data()), 32768,
                                             TThreadReadWrite::ModeRead);
    QCOMPARE(moved, 32768u);
    QCOMPARE(buffer, setup);
}

void DeviceRequestSuite::threeFailuresResetTheDevice()
{
    Setup s(m_factory);
    QVERIFY(s.link.Start());
    const int resetsBefore = s.rig->mixer().portResetCount();
    s.link.clearLog();
    s.rig->mixer().injectFailedRequests(2);
    QVERIFY(!s.commands.GetFirmwareVersion());
    QVERIFY(!s.commands.GetFirmwareVersion());
    QVERIFY(s.commands.GetFirmwareVersion());
    s.rig->mixer().injectFailedRequests(3);
    for (int i = 0; i < 3; ++i)
        QVERIFY(!s.commands.GetKeyCodes());
    QCOMPARE(s.link.logLines(),
             QStringList({"Error : VenderIn(6)", "Error : VenderIn(6)", "Success : VenderIn(6)",
                          "Error : VenderIn(26)", "Error : VenderIn(26)", "Error : VenderIn(26)",
                          "Success : Reset  Device"}));
    QCOMPARE(s.rig->mixer().portResetCount(), resetsBefore + 1);
    QCOMPARE(s.link.ResetCount(), 1);
    // The device still answers after its reset.
    QVERIFY(s.commands.GetFirmwareVersion());
}

void DeviceRequestSuite::oldFirmwareIsNotExtended()
{
    Setup s(m_factory);
    s.rig->mixer().setFirmwareVersion(0, 0x1F, 0x30);
    QVERIFY(s.link.Start());
    QCOMPARE(s.link.FirmwareText(), QString("0.1f(30)"));
    QVERIFY(!s.link.ExtendedFirmware());
}

void DeviceRequestSuite::removalProbeClosesAndArrivalReopens()
{
    Setup s(m_factory);
    QVERIFY(s.link.Start());
    s.rig->unplug();
    QVERIFY(s.waits.waitUntil([&s] { return !s.link.Connected(); }, kLongWait));
    QVERIFY(s.link.logLines().contains("Message : DeviceRemoveComplete"));
    QVERIFY(s.link.logLines().contains("Error : VenderIn(6)"));
    QCOMPARE(s.link.logLines().last(), QString("Success : Close Device"));
    s.rig->plug();
    QVERIFY(s.waits.waitUntil([&s] { return s.link.Connected(); }, kLongWait));
    QVERIFY(s.link.logLines().contains("Message : DeviceArrival"));
    QVERIFY(s.commands.GetFirmwareVersion());
}

void DeviceRequestSuite::secondArrivalWhileConnected()
{
    Setup s(m_factory);
    QVERIFY(s.link.Start());
    QSignalSpy connected(&s.link, &DeviceLink::connectedStateChanged);
    s.link.clearLog();
    emit s.rig->backend().deviceArrived();
    QCOMPARE(s.link.logLines(), QStringList({"Message : DeviceArrival"}));
    QCOMPARE(connected.size(), 0);
    QVERIFY(s.commands.GetFirmwareVersion());
}

void DeviceRequestSuite::bulkWriteAndReadThroughTheWorker()
{
    Setup s(m_factory);
    QVERIFY(s.link.Start());
    QByteArray data = pattern(20 * 512);
    QVERIFY(s.commands.BeginTestWrite(20));
    auto moved = TThreadReadWrite::Run(s.link, s.link.WritePipe(), s.link.writeSide(),
                                       reinterpret_cast<std::uint8_t *>(data.data()), data.size(),
                                       TThreadReadWrite::ModeWrite);
    QCOMPARE(moved, std::uint32_t(data.size()));
    QCOMPARE(s.rig->mixer().lastTestWrite(), data);
    QVERIFY(s.link.logLines().contains("Transfer Size : 10240 Bytes"));

    QVERIFY(s.commands.BeginTestRead(20));
    QByteArray buffer(20 * 512, '\0');
    moved = TThreadReadWrite::Run(s.link, s.link.ReadPipe(), s.link.readSide(),
                                  reinterpret_cast<std::uint8_t *>(buffer.data()), buffer.size(),
                                  TThreadReadWrite::ModeRead);
    QCOMPARE(moved, std::uint32_t(buffer.size()));
}

void DeviceRequestSuite::stalledBulkPieceEndsAtItsTimeOut()
{
    Setup s(m_factory);
    QVERIFY(s.link.Start());
    s.rig->mixer().injectBulkStall(4096);
    QByteArray data = pattern(10240);
    QVERIFY(s.commands.BeginTestWrite(20));
    const auto moved = TThreadReadWrite::Run(s.link, s.link.WritePipe(), s.link.writeSide(),
                                             reinterpret_cast<std::uint8_t *>(data.data()),
                                             data.size(), TThreadReadWrite::ModeWrite);
    QCOMPARE(moved, 4096u);
    // The recovery of the write side: cancel, and the pipe answers again.
    QVERIFY(s.commands.CancelTransfer(true));
    QVERIFY(s.link.WritePipe().Reset());
    QVERIFY(s.commands.BeginTestWrite(1));
    QByteArray small = pattern(512);
    QCOMPARE(TThreadReadWrite::Run(s.link, s.link.WritePipe(), s.link.writeSide(),
                                   reinterpret_cast<std::uint8_t *>(small.data()), 512,
                                   TThreadReadWrite::ModeWrite),
             512u);
}

void DeviceRequestSuite::closeCancelsABlockedPiece()
{
    // Real time: only the abort that Close sends can end the piece before its 3 s.
    Setup s(m_factory, 1.0);
    QVERIFY(s.link.Start());
    s.rig->mixer().injectBulkStall(0);
    QVERIFY(s.commands.BeginTestWrite(20));
    QByteArray data = pattern(10240);
    QTimer::singleShot(50, &s.link, [&s] { s.link.Close(); });
    QElapsedTimer clock;
    clock.start();
    const auto moved = TThreadReadWrite::Run(s.link, s.link.WritePipe(), s.link.writeSide(),
                                             reinterpret_cast<std::uint8_t *>(data.data()),
                                             data.size(), TThreadReadWrite::ModeWrite);
    QCOMPARE(moved, 0u);
    QVERIFY2(clock.elapsed() < 2500, "the abort did not end the blocked piece");
    QVERIFY(!s.link.isOpen());
    QVERIFY(s.link.logLines().contains("Success : Abort  Interface 0  Pipe 2"));
    QCOMPARE(s.link.logLines().last(), QString("Success : Close Device"));
}

void DeviceRequestSuite::haltedWritePipeUntilReset()
{
    Setup s(m_factory);
    QVERIFY(s.link.Start());
    s.rig->mixer().injectShortBulk(6000);
    QByteArray data = pattern(10240);
    QVERIFY(s.commands.BeginTestWrite(20));
    const auto moved = TThreadReadWrite::Run(s.link, s.link.WritePipe(), s.link.writeSide(),
                                             reinterpret_cast<std::uint8_t *>(data.data()),
                                             data.size(), TThreadReadWrite::ModeWrite);
    QVERIFY(moved < 10240u);
    QVERIFY(moved >= 4096u);
    QVERIFY(s.commands.CancelTransfer(true));
    QVERIFY(s.link.WritePipe().Reset());
    QCOMPARE(s.link.logLines().last(), QString("Success : Reset  Interface 0  Pipe 2"));
    QVERIFY(s.commands.BeginTestWrite(1));
    QByteArray small = pattern(512);
    QCOMPARE(TThreadReadWrite::Run(s.link, s.link.WritePipe(), s.link.writeSide(),
                                   reinterpret_cast<std::uint8_t *>(small.data()), 512,
                                   TThreadReadWrite::ModeWrite),
             512u);
    QCOMPARE(s.rig->mixer().lastTestWrite(), small);
}

void DeviceRequestSuite::unplugDuringBulkClosesTheLink()
{
    Setup s(m_factory);
    QVERIFY(s.link.Start());
    s.rig->mixer().injectUnplugDuringBulk(8192);
    QByteArray data = pattern(20480);
    QVERIFY(s.commands.BeginTestWrite(40));
    const auto moved = TThreadReadWrite::Run(s.link, s.link.WritePipe(), s.link.writeSide(),
                                             reinterpret_cast<std::uint8_t *>(data.data()),
                                             data.size(), TThreadReadWrite::ModeWrite);
    QVERIFY(moved <= 8192u);
    QVERIFY(s.waits.waitUntil([&s] { return !s.link.Connected(); }, kLongWait));
    QVERIFY(!s.link.isOpen());
    QVERIFY(!s.commands.GetFirmwareVersion());
}

void DeviceRequestSuite::eventLinesSplitAcrossReads()
{
    Setup s(m_factory);
    DeviceEventReader reader(s.link);
    QSignalSpy state(&reader, &DeviceEventReader::SetDskState);
    QVERIFY(s.link.Start());
    QVERIFY(reader.polling());
    s.rig->mixer().queueRawEventText(QByteArray("in st"));
    QVERIFY(s.waits.waitUntil([&reader] { return !reader.PendingText().isEmpty(); }, kLongWait));
    s.rig->mixer().queueRawEventText(QByteArray("art       12\r"));
    QVERIFY(s.waits.waitUntil([&state] { return state.size() == 1; }, kLongWait));
    QCOMPARE(state.first(), QList<QVariant>({QVariant::fromValue(DskState::OnRunning), 12}));
    s.rig->mixer().queueRawEventText(QByteArray("in start       zz\rout end\r"));
    QVERIFY(s.waits.waitUntil([&state] { return state.size() == 2; }, kLongWait));
    QCOMPARE(state.last(), QList<QVariant>({QVariant::fromValue(DskState::Ended), 0xFFFF}));
    QVERIFY(reader.EventPipeAlive());
    s.link.Stop();
    QVERIFY(!reader.polling());
}

void DeviceRequestSuite::serialCommandBlock()
{
    Setup s(m_factory);
    QVERIFY(s.link.Start());
    const QByteArray block = SerialCommand::buildBlock("WFV", {"1", "2", "3", "4", "5"}, 5);
    QVERIFY(s.commands.SendSerialCommand(block));
    QVERIFY(!s.rig->mixer().serialCommands().isEmpty());
    QCOMPARE(s.rig->mixer().serialCommands().last(), block);
}

void DeviceRequestSuite::busyAndRefusedStatuses()
{
    Setup s(m_factory);
    QVERIFY(s.link.Start());
    s.rig->mixer().injectStatus(0, 30);
    QVERIFY(!s.commands.BeginTestWrite(1));
    QCOMPARE(s.boxes.shownIds(), QList<int>({134}));
    s.boxes.clear();
    s.rig->mixer().injectStatus(1, 1);
    QVERIFY(!s.commands.BeginTestRead(1));
    QCOMPARE(s.boxes.shownIds(), QList<int>({133}));
    s.rig->mixer().clearFaults();
}
