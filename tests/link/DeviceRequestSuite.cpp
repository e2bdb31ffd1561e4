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

std::uint32_t move(Setup &s, QByteArray &block, bool write)
{
    return TThreadReadWrite::Run(s.link, write ? s.link.WritePipe() : s.link.ReadPipe(),
                                 write ? s.link.writeSide() : s.link.readSide(),
                                 reinterpret_cast<std::uint8_t *>(block.data()),
                                 std::uint32_t(block.size()),
                                 write ? TThreadReadWrite::ModeWrite : TThreadReadWrite::ModeRead);
}

// After a failed write: cancel on the device, reset the pipe, and a block goes through again.
void writesAgain(Setup &s)
{
    QVERIFY(s.commands.CancelTransfer(true));
    QVERIFY(s.link.WritePipe().Reset());
    QCOMPARE(s.link.logLines().last(), QString("Success : Reset  Interface 0  Pipe 2"));
    QVERIFY(s.commands.BeginTestWrite(1));
    QByteArray small = pattern(512);
    QCOMPARE(move(s, small, true), 512u);
    QCOMPARE(s.rig->mixer().lastTestWrite(), small);
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
    QVERIFY(!s.link.SetupDataMode());
    QVERIFY(s.link.EventPipe().isOpen());
    QVERIFY(s.link.ReadPipe().isOpen());
    QVERIFY(s.link.WritePipe().isOpen());
    QCOMPARE(s.link.logLines().first(), QString("Success : Open Device"));
    // Out requests with and without data.
    QVERIFY(s.commands.CancelTransfer(true));
    QCOMPARE(s.link.logLines().last(), QString("Success : VenderOut(128)"));
    const QByteArray block = SerialCommand::buildBlock("WFV", {"1", "2", "3", "4", "5"}, 5);
    QVERIFY(s.commands.SendSerialCommand(block));
    QCOMPARE(s.rig->mixer().serialCommands(), QList<QByteArray>{block});
    s.link.Stop();
    QCOMPARE(s.link.logLines().last(), QString("Success : Close Device"));
    QVERIFY(!s.rig->backend().isOpen());
}

void DeviceRequestSuite::failedRequestsAndTheReset()
{
    Setup s(m_factory);
    QVERIFY(s.link.Start());
    const int resetsBefore = s.rig->mixer().portResetCount();
    s.link.clearLog();
    s.rig->mixer().injectFailedRequests(3);
    for (int i = 0; i < 3; ++i)
        QVERIFY(!s.commands.GetKeyCodes());
    QCOMPARE(s.link.logLines(), QStringList({"Error : VenderIn(26)", "Error : VenderIn(26)",
                                             "Error : VenderIn(26)", "Success : Reset  Device"}));
    QCOMPARE(s.rig->mixer().portResetCount(), resetsBefore + 1);
    // The device still answers after its reset.
    QVERIFY(s.commands.GetFirmwareVersion());
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

void DeviceRequestSuite::setupDataReadInSetupDataMode()
{
    Setup s(m_factory);
    QByteArray setup = pattern(32768);
    s.rig->mixer().setSetupData(setup);
    s.rig->mixer().setSetupDataMode(true);
    QVERIFY(s.link.Start());
    QVERIFY(s.link.SetupDataMode());
    QVERIFY(s.commands.BeginSetupDataRead());
    QByteArray buffer(32768, '\0');
    QCOMPARE(move(s, buffer, false), 32768u);
    QCOMPARE(buffer, setup);
}

void DeviceRequestSuite::bulkWriteAndReadThroughTheWorker()
{
    Setup s(m_factory);
    QVERIFY(s.link.Start());
    QByteArray data = pattern(20 * 512);
    QVERIFY(s.commands.BeginTestWrite(20));
    QCOMPARE(move(s, data, true), std::uint32_t(data.size()));
    QCOMPARE(s.rig->mixer().lastTestWrite(), data);
    QVERIFY(s.link.logLines().contains("Transfer Size : 10240 Bytes"));
    QVERIFY(s.commands.BeginTestRead(20));
    QByteArray buffer(20 * 512, '\0');
    QCOMPARE(move(s, buffer, false), std::uint32_t(buffer.size()));
    QCOMPARE(std::uint8_t(buffer[4097]), std::uint8_t(4097 & 0xFF));
}

void DeviceRequestSuite::failedBulkWritesRecover()
{
    Setup s(m_factory);
    QVERIFY(s.link.Start());
    QByteArray data = pattern(10240);
    // A stalled piece ends at its time-out.
    s.rig->mixer().injectBulkStall(4096);
    QVERIFY(s.commands.BeginTestWrite(20));
    QCOMPARE(move(s, data, true), 4096u);
    writesAgain(s);
    // A short piece halts the write pipe until it is reset.
    s.rig->mixer().injectShortBulk(6000);
    QVERIFY(s.commands.BeginTestWrite(20));
    const auto moved = move(s, data, true);
    QVERIFY(moved < 10240u);
    QVERIFY(moved >= 4096u);
    writesAgain(s);
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
    QCOMPARE(move(s, data, true), 0u);
    QVERIFY2(clock.elapsed() < 2500, "the abort did not end the blocked piece");
    QVERIFY(!s.link.isOpen());
    QVERIFY(s.link.logLines().contains("Success : Abort  Interface 0  Pipe 2"));
    QCOMPARE(s.link.logLines().last(), QString("Success : Close Device"));
}

void DeviceRequestSuite::unplugDuringBulkClosesTheLink()
{
    Setup s(m_factory);
    QVERIFY(s.link.Start());
    s.rig->mixer().injectUnplugDuringBulk(8192);
    QByteArray data = pattern(20480);
    QVERIFY(s.commands.BeginTestWrite(40));
    QVERIFY(move(s, data, true) <= 8192u);
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
