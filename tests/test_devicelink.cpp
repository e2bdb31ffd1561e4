// Device link: connection, transport log lines, error counting and resets,
// the setup-data gate, descriptors, firmware, device-change events and the
// command set, against a scripted backend.

#include "core/SettingsStore.h"
#include "core/Waits.h"
#include "device/DescriptorText.h"
#include "device/DeviceCommands.h"
#include "device/DeviceIdSettings.h"
#include "device/DeviceLink.h"
#include "device/DeviceLinkClient.h"
#include "link/FakeUsbBackend.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QSignalSpy>
#include <QTest>

#include <thread>

using DeviceRequest::In;

namespace {

// Protocol pauses are only counted.
class CountingWaits : public Waits
{
public:
    using Waits::Waits;
    QList<int> pauses;
    void pause(int milliseconds) override { pauses << milliseconds; }
};

struct Rig
{
    FakeUsbBackend backend;
    CountingWaits waits{0.01};
    ScriptedMessageBoxes boxes;
    DeviceLink link{&backend, waits, boxes};
    DeviceCommands commands{link};
    explicit Rig(bool open = false)
    {
        if (open)
            link.Open();
    }
    void reply(In request, QList<QByteArray> replies) { backend.replies[int(request)] = replies; }
};

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

class RecordingClient : public DeviceLinkClient
{
public:
    QStringList calls;
    void clearMemoryOnConnect(DeviceLink &) override { calls << QStringLiteral("clear"); }
    void checkEffectPatterns(DeviceLink &) override { calls << QStringLiteral("patterns"); }
    void resyncDeviceTitles(DeviceLink &) override { calls << QStringLiteral("resync"); }
    void connectionLost(DeviceLink &) override { calls << QStringLiteral("lost"); }
};

} // namespace

class TestDeviceLink : public QObject
{
    Q_OBJECT

private slots:
    void openWalksPipesAndLogsEachStep()
    {
        Rig rig;
        RecordingClient client;
        rig.link.setClient(&client);
        QSignalSpy connected(&rig.link, &DeviceLink::connectedStateChanged);
        QSignalSpy leftover(&rig.link.readSide(), &TransferSide::leftoverDiscarded);
        QCOMPARE(rig.link.statusTextId(), 101);
        QVERIFY(rig.link.Open());
        QVERIFY(rig.link.Connected());
        QCOMPARE(rig.link.statusTextId(), 100);
        // Each pipe opened, the bulk pipes reset, then the mode and firmware queries.
        QCOMPARE(rig.backend.calls.mid(1, 5),
                 QStringList({"openPipe 0 0x81", "openPipe 0 0x82", "resetPipe 0x82",
                              "openPipe 0 0x2", "resetPipe 0x2"}));
        QCOMPARE(rig.link.logLines().size(), 8);
        QCOMPARE(rig.link.logLines()[5], QString("Success : Reset  Interface 0  Pipe 2"));
        QVERIFY(rig.link.readSide().MapResync);
        QCOMPARE(leftover.size(), 1);
        // The first switch is to "not connected", then connected with the list hooks run.
        QVERIFY(connected.size() == 2 && connected.last().first().toBool());
        QCOMPARE(client.calls, QStringList({"lost", "clear", "patterns", "resync"}));
        // Already open: a second Open does nothing.
        QVERIFY(!rig.link.Open());
        QCOMPARE(rig.backend.opens, 1);

        rig.link.clearLog();
        rig.link.Close();
        QVERIFY(!rig.link.Connected());
        QVERIFY(rig.link.DeviceDescriptor().isEmpty());
        // The event pipe closed; each bulk pipe aborted, then closed; the device closed.
        QCOMPARE(rig.link.logLines().size(), 6);
        QCOMPARE(rig.link.logLines()[1], QString("Success : Abort  Interface 0  Pipe 1"));
        rig.link.Close(); // closing twice does nothing
        QCOMPARE(rig.link.logLines().size(), 6);
    }

    void failedOpens_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("openFails");
        QTest::addColumn<int>("failingPipe");
        QTest::addColumn<int>("shortConfigBy"); // the full configuration read comes back short
        QTest::addColumn<QByteArray>("device");
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QList<int>>("messages");
        QTest::addColumn<int>("exitCode");
        const QByteArray device = MixerDescriptors::device();
        const QByteArray config = MixerDescriptors::configuration();
        const auto row = [](const char *name, bool present, bool openFails, int pipe, int shortBy,
                            const QByteArray &d, const QByteArray &c, bool opened,
                            const QString &line, QList<int> messages = {}, int exitCode = 0) {
            QTest::newRow(name) << present << openFails << pipe << shortBy << d << c << opened
                                << line << messages << exitCode;
        };
        row("no device: nothing logged", false, false, 0, 0, device, config, false, {});
        row("open refused", true, true, 0, 0, device, config, false, "Error : Open Device");
        row("bulk pipe ends the program", true, false, 0x02, 0, device, config, false,
            "Error : Open  Interface 0  Pipe 2", {123}, -1);
        row("event pipe only logged", true, false, 0x81, 0, device, config, true,
            "Error : Open  Interface 0  Pipe 0");
        // Descriptors must come back whole.
        const QString badConfig = QStringLiteral("Error : Get ConfigurationDescriptor");
        row("config shorter than wTotalLength", true, false, 0, 1, device, config, false,
            badConfig);
        row("device descriptor of 17 bytes", true, false, 0, 0, device.left(17), config, false,
            "Error : Get DeviceDescriptor");
        QByteArray tiny = config;
        tiny[2] = 5;
        row("wTotalLength below the header", true, false, 0, 0, device, tiny, false, badConfig);
        row("header of 8 bytes", true, false, 0, 0, device, config.left(8), false, badConfig);
    }

    void failedOpens()
    {
        QFETCH(bool, present);
        QFETCH(bool, openFails);
        QFETCH(int, failingPipe);
        QFETCH(bool, opened);
        QFETCH(QString, line);
        QFETCH(QList<int>, messages);
        QFETCH(int, exitCode);
        Rig rig;
        rig.backend.present = present;
        rig.backend.openFails = openFails;
        if (failingPipe)
            rig.backend.failingPipeOpens = {std::uint8_t(failingPipe)};
        QFETCH(int, shortConfigBy);
        rig.backend.shortConfigBy = shortConfigBy;
        QFETCH(QByteArray, device);
        rig.backend.deviceDescriptor = device;
        QFETCH(QByteArray, config);
        rig.backend.configDescriptor = config;
        QSignalSpy end(&rig.link, &DeviceLink::programEndRequested);
        QVERIFY(rig.link.Start());
        QCOMPARE(rig.link.isOpen(), opened);
        QCOMPARE(rig.link.Connected(), opened);
        QCOMPARE(rig.backend.isOpen(), opened); // nothing left half open
        QVERIFY(opened || rig.link.ConfigDescriptor().isEmpty());
        if (line.isEmpty())
            QVERIFY(rig.link.logLines().isEmpty());
        else
            QVERIFY(rig.link.logLines().contains(line));
        QCOMPARE(rig.boxes.shownIds(), messages);
        QCOMPARE(end.isEmpty() ? 0 : end.first().first().toInt(), exitCode);
        QVERIFY(!rig.link.EventPipe().isOpen() || !failingPipe);
    }

    void withoutDeviceNothingIsSent()
    {
        Rig rig; // never opened
        std::uint8_t buffer[4] = {};
        QVERIFY(!rig.link.VendorRequest(In::GetFirmwareVersion, buffer, 4, 0, 0));
        QVERIFY(!rig.link.ResetDevice());
        QVERIFY(!rig.link.GetDescriptor(1));
        QVERIFY(!rig.link.ReadPipe().Close());
        QVERIFY(!rig.link.ReadPipe().Abort());
        QVERIFY(rig.backend.vendorCalls.isEmpty());
        QVERIFY(rig.link.logLines().isEmpty());
        // Without a backend to listen to: message 85, and the program ends.
        DeviceLink orphan(nullptr, rig.waits, rig.boxes);
        QSignalSpy end(&orphan, &DeviceLink::programEndRequested);
        QVERIFY(!orphan.Start());
        QCOMPARE(rig.boxes.shownIds(), QList<int>({85}));
        QCOMPARE(end.first().first().toInt(), 1);
    }

    void setupDataModeRefusesLocallyWithoutALogLine()
    {
        Rig rig;
        rig.reply(In::GetSetupDataMode, {bytes({1, 0})});
        QSignalSpy mode(&rig.link, &DeviceLink::setupDataModeChanged);
        QVERIFY(rig.link.Open());
        QVERIFY(rig.link.SetupDataMode());
        QCOMPARE(mode.last().first().toBool(), true);
        // The firmware query after the mode query is already refused.
        QVERIFY(rig.link.FirmwareText().isEmpty());
        const auto callsBefore = rig.backend.vendorCalls.size();
        const auto logBefore = rig.link.logLines().size();
        QVERIFY(!rig.commands.GetFirmwareVersion());
        QVERIFY(!rig.commands.MemoryOperation(3, DeviceRequest::MemoryOp::Clear));
        QVERIFY(!rig.commands.CancelTransfer(false));
        QCOMPARE(rig.backend.vendorCalls.size(), callsBefore);
        QCOMPARE(rig.link.logLines().size(), logBefore);
        QCOMPARE(rig.link.ConsecutiveErrors(), 0);
        // The two setup-data requests still go out.
        QVERIFY(rig.commands.BeginSetupDataRead());
        QVERIFY(rig.commands.BeginSetupDataWrite());
        QCOMPARE(rig.backend.vendorCalls.size(), callsBefore + 2);
        QCOMPARE(rig.link.logLines().last(), QString("Success : VenderIn(16)"));
        // The removal probe is refused as well: the link closes.
        rig.link.OnDeviceChange(DeviceChange::Removal);
        QVERIFY(!rig.link.isOpen());
    }

    void threeFailuresInARowResetTheDevice()
    {
        Rig rig(true);
        QSignalSpy resets(&rig.link, &DeviceLink::resetCountChanged);
        bool failing = true;
        rig.backend.failRequest = [&failing](int) { return failing; };
        // A success in between starts the count again.
        for (bool fail : {true, true, false, true, true}) {
            failing = fail;
            QCOMPARE(rig.commands.GetFirmwareVersion().has_value(), !fail);
        }
        QCOMPARE(rig.backend.resets, 0);
        QCOMPARE(rig.link.ConsecutiveErrors(), 2);
        QVERIFY(!rig.commands.DskStop());
        QCOMPARE(QList<int>({rig.backend.resets, rig.link.ResetCount(),
                             resets.last().first().toInt(), rig.link.ConsecutiveErrors()}),
                 QList<int>({1, 1, 1, 0}));
        QCOMPARE(rig.link.logLines().last(), QString("Success : Reset  Device"));
        // A reset the driver refuses is logged and the count still starts again.
        rig.backend.resetFails = true;
        rig.link.clearLog();
        for (int i = 0; i < 3; ++i)
            rig.commands.DskPause();
        QCOMPARE(rig.link.logLines().last(), QString("Error : Reset  Device"));
        QCOMPARE(rig.link.ResetCount(), 1);
        QCOMPARE(rig.link.ConsecutiveErrors(), 0);
    }

    void concurrentFailuresResetExactlyOncePerThree()
    {
        Rig rig(true);
        rig.link.setLogEnabled(false);
        rig.backend.failRequest = [](int) { return true; };
        std::atomic<int> calls{0};
        {
            std::vector<std::jthread> threads; // joined when they go out of scope
            for (int t = 0; t < 3; ++t) {
                threads.emplace_back([&rig, &calls] {
                    std::uint8_t buffer[2];
                    for (int i = 0; i < 100; ++i, ++calls)
                        rig.link.VendorRequest(In::DskPause, buffer, 2, 0, 0);
                });
            }
        }
        QCOMPARE(calls.load(), 300);
        QCOMPARE(rig.link.ResetCount(), 100);
        QCOMPARE(rig.link.ConsecutiveErrors(), 0);
    }

    void firmwareVersion_data()
    {
        QTest::addColumn<QByteArray>("reply"); // empty: the query fails
        QTest::addColumn<bool>("extended");
        QTest::addColumn<QString>("label");
        QTest::newRow("0.1f") << bytes({0x00, 0x1F, 0x05, 0}) << false << "0.1f(05)";
        QTest::newRow("0.20") << bytes({0x00, 0x20, 0x00, 0}) << true << "0.20(00)";
        QTest::newRow("1.00") << bytes({0x01, 0x00, 0x10, 0}) << true << "1.00(10)";
        QTest::newRow("a.ff(ab)") << bytes({0x0A, 0xFF, 0xAB, 0}) << true << "a.ff(ab)";
        QTest::newRow("failed") << QByteArray() << false << QString();
    }

    void firmwareVersion()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, extended);
        QFETCH(QString, label);
        Rig rig;
        rig.reply(In::GetFirmwareVersion, {reply});
        rig.backend.failRequest = [&reply](int r) {
            return reply.isEmpty() && r == int(In::GetFirmwareVersion);
        };
        QSignalSpy text(&rig.link, &DeviceLink::firmwareTextChanged);
        QVERIFY(rig.link.Open());
        QCOMPARE(rig.link.ExtendedFirmware(), extended);
        QCOMPARE(rig.link.FirmwareText(), label);
        QCOMPARE(text.last().first().toString(), label);
        QVERIFY(!rig.link.SetupDataMode());
    }

    void arrivalAndRemoval()
    {
        Rig rig;
        rig.backend.present = false;
        QVERIFY(rig.link.Start());
        rig.backend.present = true;
        rig.backend.arrive();
        QVERIFY(rig.link.Connected());
        QCOMPARE(rig.link.logLines().first(), QString("Message : DeviceArrival"));
        // A second device arriving changes nothing.
        QSignalSpy connected(&rig.link, &DeviceLink::connectedStateChanged);
        rig.link.clearLog();
        rig.backend.arrive();
        QCOMPARE(rig.link.logLines(), QStringList({"Message : DeviceArrival"}));
        QCOMPARE(rig.backend.opens, 1);
        // Another device left: ours still answers the probe.
        rig.link.clearLog();
        rig.backend.remove();
        QCOMPARE(rig.link.logLines(),
                 QStringList({"Message : DeviceRemoveComplete", "Success : VenderIn(6)"}));
        // The other events are only logged, under their own names.
        rig.link.clearLog();
        for (int code : {0x8001, 0x1234})
            rig.link.OnDeviceChange(DeviceChange(code));
        QCOMPARE(rig.link.logLines(),
                 QStringList({"Message : DeviceQueryRemove", "Message : Unknown"}));
        QCOMPARE(connected.size(), 0);
        QCOMPARE(rig.backend.opens, 1);
    }

    void logClearsPastAThousandLinesAndCanBeSwitchedOff()
    {
        Rig rig;
        QSignalSpy cleared(&rig.link, &DeviceLink::logCleared);
        for (int i = 0; i < 1000; ++i)
            rig.link.Log(QStringLiteral("line %1").arg(i));
        QCOMPARE(rig.link.logLines().size(), 1000);
        QCOMPARE(cleared.size(), 0);
        rig.link.Log(QStringLiteral("line 1000"));
        QCOMPARE(cleared.size(), 1);
        QCOMPARE(rig.link.logLines(), QStringList({"line 1000"}));
        rig.link.setLogEnabled(false);
        rig.link.Log(QStringLiteral("hidden"));
        QCOMPARE(rig.link.logLines().size(), 1);
        // Lines from other threads arrive on the link's thread.
        rig.link.setLogEnabled(true);
        rig.link.clearLog();
        QThread *t = QThread::create([&rig] { rig.link.Log(QStringLiteral("from worker")); });
        t->start();
        t->wait();
        delete t;
        QVERIFY(rig.link.logLines().isEmpty());
        QTRY_COMPARE(rig.link.logLines(), QStringList({"from worker"}));
    }

    void requestStatuses_data()
    {
        // Each byte of `statuses` is the status of one reply; the last one stays.
        QTest::addColumn<bool>("retried");
        QTest::addColumn<QByteArray>("statuses");
        QTest::addColumn<bool>("fail");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("calls");
        QTest::addColumn<int>("message");
        QTest::newRow("checked refused") << false << QByteArray(1, 0) << false << false << 1 << 134;
        QTest::newRow("checked busy") << false << QByteArray(1, 1) << false << false << 1 << 133;
        QTest::newRow("checked accepted") << false << QByteArray(1, 2) << false << true << 1 << 0;
        QTest::newRow("checked, failed") << false << QByteArray(1, 2) << true << false << 1 << 134;
        QTest::newRow("retried refused") << true << QByteArray(1, 0) << false << false << 30 << 134;
        QTest::newRow("retried busy") << true << QByteArray(1, 1) << false << false << 1 << 133;
        QTest::newRow("retried, third")
            << true << QByteArray("\0\0\2", 3) << false << true << 3 << 0;
        QTest::newRow("retried, other") << true << QByteArray("\5\2", 2) << false << true << 2 << 0;
        QTest::newRow("retried, failed") << true << QByteArray(1, 0) << true << false << 1 << 134;
    }

    void requestStatuses()
    {
        QFETCH(bool, retried);
        QFETCH(QByteArray, statuses);
        QFETCH(bool, fail);
        QFETCH(bool, result);
        QFETCH(int, calls);
        QFETCH(int, message);
        Rig rig(true);
        rig.backend.vendorCalls.clear();
        QList<QByteArray> replies;
        for (char status : statuses)
            replies << QByteArray(1, status);
        rig.reply(retried ? In::BeginFrameWrite : In::BeginFrameRead, replies);
        rig.backend.failRequest = [fail](int) { return fail; };
        QCOMPARE(retried ? rig.commands.BeginFrameWrite(9, 0x8001)
                         : rig.commands.BeginFrameRead(9, 1),
                 result);
        QCOMPARE(rig.backend.vendorCalls.size(), calls);
        QCOMPARE(rig.boxes.shownIds(), message ? QList<int>{message} : QList<int>{});
        for (const auto &shown : rig.boxes.shown())
            QCOMPARE(QList<int>({shown.captionId, shown.flags}), QList<int>({1, int(MsgError)}));
        // Bit 15 of the frame number is never sent; retries pause 100 ms through Waits.
        const auto call = rig.backend.vendorCalls.last();
        QCOMPARE(QList<int>({call.request, call.value, call.index, call.length}),
                 QList<int>({retried ? 0x0D : 0x0C, 9, 1, 2}));
        QCOMPARE(rig.waits.pauses, QList<int>(fail || !retried ? 0 : calls - 1, 100));
    }

    void frameInfoKeepsBlockFlagsAndLineClass()
    {
        Rig rig(true);
        rig.reply(In::GetFrameInfo, {bytes({2, 1, 1, 0, 1, 0, 0, 0, 1, 1})});
        std::array<std::uint8_t, 8> flags{};
        std::uint8_t lineClass = 0;
        QVERIFY(rig.commands.GetFrameInfo(0x4001, 0x8002, flags, lineClass));
        QCOMPARE(flags, (std::array<std::uint8_t, 8>{1, 1, 0, 1, 0, 0, 0, 1}));
        QCOMPARE(lineClass, std::uint8_t(1));
        QCOMPARE(rig.backend.vendorCalls.last().index, 2);
        QCOMPARE(rig.backend.vendorCalls.last().length, 10);
    }

    void requestsCarryTheirValueIndexAndLength()
    {
        Rig rig(true);
        rig.backend.vendorCalls.clear();
        rig.commands.AllocTitleMemory(5, true, 12);
        rig.commands.AllocIntVideoMemory(300);
        rig.commands.SetMemorySetting(1, 1, 15);
        rig.commands.ReadTitleHeader(0x22);
        rig.commands.BeginMemoryMapRead(true);
        rig.commands.CheckEffectPatterns(0xC001, 0x4002);
        rig.commands.PreviewStart(0x10, true);
        rig.commands.GetKeyCodes();
        rig.commands.DskPlay(0x33);
        rig.commands.MemoryOperation(MemoryNo::AllIntVideo, DeviceRequest::MemoryOp::Clear);
        rig.commands.MemoryOperation(0x12, DeviceRequest::MemoryOp::Protect);
        rig.commands.WriteTitleHeader(0x22, QByteArray(40, 'x'));
        QByteArray block(34, '\0');
        rig.commands.SendSerialCommand(block);
        QVERIFY(rig.commands.CancelTransfer(true));
        QVERIFY(rig.commands.CancelTransfer(false));
        QVERIFY(!rig.commands.WriteTitleHeader(0x22, QByteArray(39, 'x')));
        QVERIFY(!rig.commands.SendSerialCommand(block.left(33)));
        QList<QList<int>> seen;
        for (const auto &c : rig.backend.vendorCalls)
            seen << QList<int>{c.in, c.request, c.value, c.index, c.length};
        QCOMPARE(seen, (QList<QList<int>>{{1, 0x03, 0x8005, 12, 6},
                                          {1, 0x04, 300, 0, 6},
                                          {1, 0x05, 0x0101, 15, 2},
                                          {1, 0x07, 0x22, 0, 40},
                                          {1, 0x0A, 1, 0, 2},
                                          {1, 0x11, 0xC001, 0x4002, 4},
                                          {1, 0x17, 0x10, 1, 2},
                                          {1, 0x1A, 0, 0, 10},
                                          {1, 0x00, 0x33, 0, 2},
                                          {0, 0x81, 0xFFFB, 0, 0},
                                          {0, 0x81, 0x12, 4, 0},
                                          {0, 0x00, 0x22, 0, 40},
                                          {0, 0x01, 0, 0, 34},
                                          {0, 0x80, 3, 0, 0},
                                          {0, 0x80, 2, 0, 0}}));
        QCOMPARE(rig.backend.vendorCalls[11].payload, QByteArray(40, 'x'));
        QVERIFY(rig.backend.vendorCalls.last().payload.isEmpty());
    }

    void allocationReplyIsLittleEndian()
    {
        const auto a = DeviceCommands::parseAllocation(bytes({0x34, 0x12, 0x78, 0x56, 0x34, 0x12}));
        QCOMPARE(a.memoryNo, std::uint16_t(0x1234));
        QCOMPARE(a.deviceWord, std::uint32_t(0x12345678));
        QCOMPARE(DeviceCommands::parseAllocation(bytes({1, 2})).memoryNo, MemoryNo::None);
    }

    void descriptorViewText()
    {
        const QByteArray device = MixerDescriptors::device();
        const QByteArray config = MixerDescriptors::configuration();
        // Words low byte first.
        const QStringList d = DescriptorText::lines(DescriptorText::Device, device, config);
        QCOMPARE(d[7], "idVendor  : 0x" + QString::number(DeviceIdSettings::DefaultVendorId, 16));
        const QStringList c = DescriptorText::lines(DescriptorText::Configuration, device, config);
        QCOMPARE(c[2], QString("wTotalLength  : 0x27"));
        const QStringList i = DescriptorText::lines(DescriptorText::Interface, device, config);
        QCOMPARE(QList<qsizetype>({d.size(), c.size(), i.size()}), QList<qsizetype>({14, 8, 29}));
        QCOMPARE(
            QStringList({i[13], i[19], i[25]}),
            QStringList({"bmAttributes  : 0x3  (Interrupt In)", "bmAttributes  : 0x2  (Bulk In)",
                         "bmAttributes  : 0x2  (Bulk Out)"}));
        QVERIFY(DescriptorText::lines(DescriptorText::Device, {}, {}).isEmpty());

        // A damaged configuration is walked within its bounds.
        QByteArray bad = config;
        bad[25] = char(40); // an endpoint claiming more bytes than are left
        const QStringList lines = DescriptorText::lines(DescriptorText::Interface, {}, bad);
        QCOMPARE(lines.count(QStringLiteral("Endpoint 1")), 1);
        QVERIFY(!lines.contains(QStringLiteral("Endpoint 2")));
        bad = config;
        bad[18] = 0; // a zero length stops the walk instead of looping
        QCOMPARE(DescriptorText::lines(DescriptorText::Interface, {}, bad).size(), 11);
        bad = config;
        bad[4] = 9; // more interfaces announced than present
        QCOMPARE(DescriptorText::lines(DescriptorText::Interface, {}, bad.left(20)).size(), 11);
    }

    void deviceIdSettings()
    {
        TestEnvironment env;
        SettingsStore settings(env.path("ids.ini"));
        QCOMPARE(DeviceIdSettings::read(settings).vendorId, DeviceIdSettings::DefaultVendorId);
        // Hexadecimal or decimal; anything else, or beyond 16 bits, is the default.
        for (const auto &[vendor, product, ids] :
             {std::tuple{"0x1a2B", "513", std::pair{0x1A2B, 513}},
              std::tuple{"nonsense", "70000", std::pair{0xF055, 0x5690}}}) {
            settings.beginGroup("Device");
            settings.WriteString("VendorId", vendor);
            settings.WriteString("ProductId", product);
            settings.endGroup();
            const DeviceIdSettings read = DeviceIdSettings::read(settings);
            QCOMPARE(std::pair(int(read.vendorId), int(read.productId)), ids);
        }
    }
};

QTEST_GUILESS_MAIN(TestDeviceLink)
#include "test_devicelink.moc"
