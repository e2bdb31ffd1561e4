// Device link: connection, transport log lines, error counting and resets,
// descriptors, firmware, device-change events and the command set, against
// a scripted backend.

#include "core/SettingsStore.h"
#include "core/Waits.h"
#include "device/DescriptorText.h"
#include "device/DeviceCommands.h"
#include "device/DeviceIdSettings.h"
#include "device/DeviceLink.h"
#include "device/DeviceLinkClient.h"
#include "device/DeviceRequests.h"
#include "link/FakeUsbBackend.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QSignalSpy>
#include <QTest>

namespace {

struct Rig
{
    FakeUsbBackend backend;
    Waits waits{0.01};
    ScriptedMessageBoxes boxes;
    DeviceLink link{&backend, waits, boxes};
    DeviceCommands commands{link};
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
        QCOMPARE(rig.link.logLines(),
                 QStringList(
                     {"Success : Open Device", "Success : Open  Interface 0  Pipe 0",
                      "Success : Open  Interface 0  Pipe 1", "Success : Reset  Interface 0  Pipe 1",
                      "Success : Open  Interface 0  Pipe 2", "Success : Reset  Interface 0  Pipe 2",
                      "Success : VenderIn(19)", "Success : VenderIn(6)"}));
        QVERIFY(rig.backend.calls.contains("openPipe 0 0x81"));
        QVERIFY(rig.backend.calls.contains("openPipe 0 0x82"));
        QVERIFY(rig.backend.calls.contains("openPipe 0 0x2"));
        QCOMPARE(rig.link.ReadPipe().Pipe(), 1);
        QCOMPARE(rig.link.WritePipe().Pipe(), 2);
        QVERIFY(rig.link.readSide().MapResync);
        QCOMPARE(leftover.size(), 1);
        // The first switch is to "not connected", then connected with the list hooks run.
        QCOMPARE(connected.size(), 2);
        QCOMPARE(connected.last().first().toBool(), true);
        QCOMPARE(client.calls, QStringList({"lost", "clear", "patterns", "resync"}));
        // Already open: a second Open does nothing.
        QVERIFY(!rig.link.Open());
        QCOMPARE(rig.backend.opens, 1);

        rig.link.clearLog();
        rig.link.Close();
        QVERIFY(!rig.link.Connected());
        QVERIFY(rig.link.DeviceDescriptor().isEmpty());
        QCOMPARE(rig.link.logLines(),
                 QStringList({"Success : Close  Interface 0  Pipe 0",
                              "Success : Abort  Interface 0  Pipe 1",
                              "Success : Close  Interface 0  Pipe 1",
                              "Success : Abort  Interface 0  Pipe 2",
                              "Success : Close  Interface 0  Pipe 2", "Success : Close Device"}));
        // Closing twice does nothing.
        rig.link.Close();
        QCOMPARE(rig.link.logLines().size(), 6);
    }

    void noDeviceOrFailedOpenStaysNotConnected()
    {
        Rig rig;
        rig.backend.present = false;
        QVERIFY(rig.link.Start());
        QVERIFY(!rig.link.Connected());
        QVERIFY(rig.link.logLines().isEmpty());
        QVERIFY(rig.boxes.shown().isEmpty());

        rig.backend.present = true;
        rig.backend.openFails = true;
        QVERIFY(!rig.link.Open());
        QCOMPARE(rig.link.logLines(), QStringList({"Error : Open Device"}));

        DeviceLink orphan(nullptr, rig.waits, rig.boxes);
        QSignalSpy end(&orphan, &DeviceLink::programEndRequested);
        QVERIFY(!orphan.Start());
        QCOMPARE(rig.boxes.shownIds(), QList<int>({85}));
        QCOMPARE(end.size(), 1);
    }

    void bulkPipeThatCannotOpenEndsTheProgram()
    {
        Rig rig;
        rig.backend.failingPipeOpens = {0x02};
        QSignalSpy end(&rig.link, &DeviceLink::programEndRequested);
        QVERIFY(!rig.link.Open());
        QCOMPARE(rig.boxes.shownIds(), QList<int>({123}));
        QCOMPARE(end.size(), 1);
        QCOMPARE(end.first().first().toInt(), -1);
        QVERIFY(rig.link.logLines().contains("Error : Open  Interface 0  Pipe 2"));
        QVERIFY(!rig.link.isOpen());
    }

    void eventPipeThatCannotOpenIsOnlyLogged()
    {
        Rig rig;
        rig.backend.failingPipeOpens = {0x81};
        QVERIFY(rig.link.Open());
        QVERIFY(rig.link.logLines().contains("Error : Open  Interface 0  Pipe 0"));
        QVERIFY(rig.boxes.shown().isEmpty());
        QVERIFY(!rig.link.EventPipe().isOpen());
    }

    void outRequestOfLengthZeroSendsTheBareRequest()
    {
        Rig rig;
        QVERIFY(rig.link.Open());
        rig.backend.vendorCalls.clear();
        QVERIFY(rig.commands.CancelTransfer(true));
        QCOMPARE(rig.backend.vendorCalls.size(), 1);
        const auto call = rig.backend.vendorCalls.first();
        QCOMPARE(call.in, false);
        QCOMPARE(call.request, 0x80);
        QCOMPARE(call.value, 3);
        QCOMPARE(call.length, 0);
        QVERIFY(call.payload.isEmpty());
        QCOMPARE(rig.link.logLines().last(), QString("Success : VenderOut(128)"));
    }

    void noDeviceRefusesEveryOperationSilently()
    {
        Rig rig;
        std::uint8_t buffer[4] = {};
        QVERIFY(!rig.link.VendorRequest(DeviceLink::Direction::In, 6, buffer, 4, 0, 0));
        QVERIFY(!rig.link.ResetDevice());
        QVERIFY(!rig.link.GetDescriptor(1));
        QVERIFY(!rig.link.ReadPipe().Close());
        QVERIFY(!rig.link.ReadPipe().Abort());
        QVERIFY(rig.backend.vendorCalls.isEmpty());
        QVERIFY(rig.link.logLines().isEmpty());
    }

    void setupDataModeRefusesLocallyWithoutALogLine()
    {
        Rig rig;
        rig.backend.replies[DeviceRequest::GetSetupDataMode] = bytes({1, 0});
        QSignalSpy mode(&rig.link, &DeviceLink::setupDataModeChanged);
        QVERIFY(rig.link.Open());
        QVERIFY(rig.link.SetupDataMode());
        QCOMPARE(mode.last().first().toBool(), true);
        // The firmware query after the mode query is already refused.
        QVERIFY(rig.link.FirmwareText().isEmpty());
        const auto callsBefore = rig.backend.vendorCalls.size();
        const auto logBefore = rig.link.logLines().size();
        QVERIFY(!rig.commands.GetFirmwareVersion());
        QVERIFY(!rig.commands.MemoryOperation(3, 0));
        QCOMPARE(rig.backend.vendorCalls.size(), callsBefore);
        QCOMPARE(rig.link.logLines().size(), logBefore);
        QCOMPARE(rig.link.ConsecutiveErrors(), 0);
        // The two setup-data requests still go out.
        QVERIFY(rig.commands.BeginSetupDataRead());
        QVERIFY(rig.commands.BeginSetupDataWrite());
        QCOMPARE(rig.backend.vendorCalls.size(), callsBefore + 2);
        QCOMPARE(rig.link.logLines().last(), QString("Success : VenderIn(16)"));
    }

    void threeFailuresInARowResetTheDevice()
    {
        Rig rig;
        QVERIFY(rig.link.Open());
        QSignalSpy resets(&rig.link, &DeviceLink::resetCountChanged);
        rig.link.clearLog();
        bool failing = true;
        rig.backend.failRequest = [&failing](int) { return failing; };
        for (int i = 0; i < 2; ++i)
            QVERIFY(!rig.commands.GetFirmwareVersion());
        QCOMPARE(rig.link.ConsecutiveErrors(), 2);
        // A success in between starts the count again.
        failing = false;
        QVERIFY(rig.commands.GetFirmwareVersion());
        QCOMPARE(rig.link.ConsecutiveErrors(), 0);
        failing = true;
        for (int i = 0; i < 2; ++i)
            QVERIFY(!rig.commands.GetFirmwareVersion());
        QCOMPARE(rig.backend.resets, 0);
        QVERIFY(!rig.commands.DskStop());
        QCOMPARE(rig.backend.resets, 1);
        QCOMPARE(rig.link.ConsecutiveErrors(), 0);
        QCOMPARE(rig.link.ResetCount(), 1);
        QCOMPARE(resets.last().first().toInt(), 1);
        QCOMPARE(rig.link.logLines(),
                 QStringList({"Error : VenderIn(6)", "Error : VenderIn(6)", "Success : VenderIn(6)",
                              "Error : VenderIn(6)", "Error : VenderIn(6)", "Error : VenderIn(2)",
                              "Success : Reset  Device"}));
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
        Rig rig;
        QVERIFY(rig.link.Open());
        rig.link.setLogEnabled(false);
        rig.backend.failRequest = [](int) { return true; };
        std::atomic<int> calls{0};
        QList<QThread *> threads;
        for (int t = 0; t < 3; ++t) {
            threads << QThread::create([&rig, &calls] {
                std::uint8_t buffer[2];
                for (int i = 0; i < 100; ++i) {
                    rig.link.VendorRequest(DeviceLink::Direction::In, 1, buffer, 2, 0, 0);
                    ++calls;
                }
            });
        }
        for (QThread *t : threads)
            t->start();
        for (QThread *t : threads) {
            t->wait();
            delete t;
        }
        QCOMPARE(calls.load(), 300);
        QCOMPARE(rig.link.ResetCount(), 100);
        QCOMPARE(rig.link.ConsecutiveErrors(), 0);
    }

    void descriptorsMustComeBackWhole_data()
    {
        QTest::addColumn<int>("shortConfigBy");
        QTest::addColumn<QByteArray>("device");
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("line");
        QTest::newRow("config shorter than wTotalLength")
            << 1 << FakeUsbBackend::standardDevice() << FakeUsbBackend::standardConfig()
            << "Error : Get ConfigurationDescriptor";
        QTest::newRow("device descriptor of 17 bytes")
            << 0 << FakeUsbBackend::standardDevice().left(17) << FakeUsbBackend::standardConfig()
            << "Error : Get DeviceDescriptor";
        QByteArray tiny = FakeUsbBackend::standardConfig();
        tiny[2] = 5;
        QTest::newRow("wTotalLength below the header")
            << 0 << FakeUsbBackend::standardDevice() << tiny
            << "Error : Get ConfigurationDescriptor";
        QTest::newRow("header of 8 bytes")
            << 0 << FakeUsbBackend::standardDevice() << FakeUsbBackend::standardConfig().left(8)
            << "Error : Get ConfigurationDescriptor";
    }

    void descriptorsMustComeBackWhole()
    {
        QFETCH(int, shortConfigBy);
        QFETCH(QByteArray, device);
        QFETCH(QByteArray, config);
        QFETCH(QString, line);
        Rig rig;
        rig.backend.shortConfigBy = shortConfigBy;
        rig.backend.deviceDescriptor = device;
        rig.backend.configDescriptor = config;
        QVERIFY(!rig.link.Open());
        QVERIFY(!rig.link.isOpen());
        QVERIFY(!rig.link.Connected());
        QVERIFY(rig.link.DeviceDescriptor().isEmpty());
        QVERIFY(rig.link.ConfigDescriptor().isEmpty());
        QCOMPARE(rig.link.logLines(),
                 QStringList({"Success : Open Device", line, "Error : Get Descriptor",
                              "Success : Close Device"}));
    }

    void firmwareVersion_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("extended");
        QTest::addColumn<QString>("label");
        QTest::newRow("0.1f") << bytes({0x00, 0x1F, 0x05, 0}) << false << "0.1f(05)";
        QTest::newRow("0.20") << bytes({0x00, 0x20, 0x00, 0}) << true << "0.20(00)";
        QTest::newRow("1.00") << bytes({0x01, 0x00, 0x10, 0}) << true << "1.00(10)";
        QTest::newRow("1.02(03)") << bytes({0x01, 0x02, 0x03, 0}) << true << "1.02(03)";
        QTest::newRow("a.ff(ab)") << bytes({0x0A, 0xFF, 0xAB, 0}) << true << "a.ff(ab)";
    }

    void firmwareVersion()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, extended);
        QFETCH(QString, label);
        Rig rig;
        rig.backend.replies[DeviceRequest::GetFirmwareVersion] = reply;
        QSignalSpy text(&rig.link, &DeviceLink::firmwareTextChanged);
        QVERIFY(rig.link.Open());
        QCOMPARE(rig.link.ExtendedFirmware(), extended);
        QCOMPARE(rig.link.FirmwareText(), label);
        QCOMPARE(text.last().first().toString(), label);
    }

    void failedFirmwareQueryEmptiesTheLabel()
    {
        Rig rig;
        rig.backend.failRequest = [](int r) { return r == DeviceRequest::GetFirmwareVersion; };
        QVERIFY(rig.link.Open());
        QVERIFY(rig.link.FirmwareText().isEmpty());
        QVERIFY(!rig.link.ExtendedFirmware());
        QVERIFY(!rig.link.SetupDataMode());
    }

    void removalProbeDecides()
    {
        Rig rig;
        QVERIFY(rig.link.Start());
        QVERIFY(rig.link.Connected());
        rig.link.clearLog();
        // Another device left: ours still answers.
        rig.backend.remove();
        QVERIFY(rig.link.Connected());
        QCOMPARE(rig.link.logLines(),
                 QStringList({"Message : DeviceRemoveComplete", "Success : VenderIn(6)"}));
        // Ours left: the probe fails and the link closes.
        rig.backend.failRequest = [](int) { return true; };
        rig.backend.remove();
        QVERIFY(!rig.link.Connected());
        QVERIFY(!rig.link.isOpen());
        QVERIFY(rig.link.logLines().contains("Error : VenderIn(6)"));
        QCOMPARE(rig.link.logLines().last(), QString("Success : Close Device"));
        QVERIFY(rig.backend.calls.contains("close"));
    }

    void removalProbeInSetupDataModeCloses()
    {
        Rig rig;
        rig.backend.replies[DeviceRequest::GetSetupDataMode] = bytes({1, 0});
        QVERIFY(rig.link.Start());
        rig.backend.remove();
        QVERIFY(!rig.link.Connected());
    }

    void secondDeviceArrivingWhileConnectedChangesNothing()
    {
        Rig rig;
        QVERIFY(rig.link.Start());
        QSignalSpy connected(&rig.link, &DeviceLink::connectedStateChanged);
        rig.link.clearLog();
        rig.backend.arrive();
        QCOMPARE(rig.link.logLines(), QStringList({"Message : DeviceArrival"}));
        QCOMPARE(rig.backend.opens, 1);
        QCOMPARE(connected.size(), 0);
        QVERIFY(rig.link.Connected());
    }

    void arrivalWhileNotConnectedOpens()
    {
        Rig rig;
        rig.backend.present = false;
        QVERIFY(rig.link.Start());
        QVERIFY(!rig.link.Connected());
        rig.backend.present = true;
        rig.backend.arrive();
        QVERIFY(rig.link.Connected());
        QCOMPARE(rig.link.logLines().first(), QString("Message : DeviceArrival"));
    }

    void deviceChangeLogLines_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("line");
        const QList<QPair<int, const char *>> table = {
            {0x8000, "DeviceArrival"},
            {0x8001, "DeviceQueryRemove"},
            {0x8002, "DeviceQueryRemoveFailed"},
            {0x8003, "DeviceRemovePending"},
            {0x8004, "DeviceRemoveComplete"},
            {0x8005, "DeviceTypeSpecific"},
            {0x8006, "CustomEvent"},
            {0xFFFF, "UserDefined"},
            {0x0007, "DevNodesChanged"},
            {0x0017, "QueryChangeConfig"},
            {0x0018, "ConfigChanged"},
            {0x0019, "ConfigChangeCanceled"},
            {0x1234, "Unknown"},
        };
        for (const auto &[code, name] : table)
            QTest::newRow(name) << code << QStringLiteral("Message : %1").arg(name);
    }

    void deviceChangeLogLines()
    {
        QFETCH(int, code);
        QFETCH(QString, line);
        Rig rig;
        rig.backend.present = false;
        rig.link.OnDeviceChange(code);
        QCOMPARE(rig.link.logLines(), QStringList({line}));
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
    }

    void logLinesFromOtherThreadsArriveOnTheLinkThread()
    {
        Rig rig;
        QThread *t = QThread::create([&rig] { rig.link.Log(QStringLiteral("from worker")); });
        t->start();
        t->wait();
        delete t;
        QVERIFY(rig.link.logLines().isEmpty());
        QTRY_COMPARE(rig.link.logLines(), QStringList({"from worker"}));
    }

    void checkedRequestStatuses_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("fail");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QList<int>>("messages");
        QTest::newRow("refused") << bytes({0}) << false << false << QList<int>{134};
        QTest::newRow("busy") << bytes({1}) << false << false << QList<int>{133};
        QTest::newRow("accepted") << bytes({2}) << false << true << QList<int>{};
        QTest::newRow("call failed") << bytes({2}) << true << false << QList<int>{134};
    }

    void checkedRequestStatuses()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, fail);
        QFETCH(bool, result);
        QFETCH(QList<int>, messages);
        Rig rig;
        QVERIFY(rig.link.Open());
        rig.backend.replies[DeviceRequest::BeginFrameRead] = reply;
        rig.backend.failRequest = [fail](int) { return fail; };
        QCOMPARE(rig.commands.BeginFrameRead(7, 3), result);
        QCOMPARE(rig.boxes.shownIds(), messages);
        for (const auto &shown : rig.boxes.shown()) {
            QCOMPARE(shown.captionId, 1);
            QCOMPARE(shown.flags, int(MsgError));
        }
        const auto call = rig.backend.vendorCalls.last();
        QCOMPARE(call.request, 0x0C);
        QCOMPARE(call.value, 7);
        QCOMPARE(call.index, 3);
        QCOMPARE(call.length, 2);
    }

    void frameInfoKeepsBlockFlagsAndLineClass()
    {
        Rig rig;
        QVERIFY(rig.link.Open());
        rig.backend.replies[DeviceRequest::GetFrameInfo] = bytes({2, 1, 1, 0, 1, 0, 0, 0, 1, 1});
        std::array<std::uint8_t, 8> flags{};
        std::uint8_t lineClass = 0;
        QVERIFY(rig.commands.GetFrameInfo(0x4001, 0x8002, flags, lineClass));
        QCOMPARE(flags, (std::array<std::uint8_t, 8>{1, 1, 0, 1, 0, 0, 0, 1}));
        QCOMPARE(lineClass, std::uint8_t(1));
        // Bit 15 of the frame number is never sent.
        QCOMPARE(rig.backend.vendorCalls.last().index, 2);
        QCOMPARE(rig.backend.vendorCalls.last().length, 10);
    }

    void retriedRequestStatuses_data()
    {
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("calls");
        QTest::addColumn<QList<int>>("messages");
        QList<QByteArray> zeros;
        for (int i = 0; i < 40; ++i)
            zeros << bytes({0});
        QTest::newRow("refused thirty times") << zeros << false << 30 << QList<int>{134};
        QTest::newRow("busy at once")
            << QList<QByteArray>{bytes({1})} << false << 1 << QList<int>{133};
        QTest::newRow("ready on the third try")
            << QList<QByteArray>{bytes({0}), bytes({0}), bytes({2})} << true << 3 << QList<int>{};
        QTest::newRow("other status retried")
            << QList<QByteArray>{bytes({5}), bytes({2})} << true << 2 << QList<int>{};
    }

    void retriedRequestStatuses()
    {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(bool, result);
        QFETCH(int, calls);
        QFETCH(QList<int>, messages);
        Rig rig;
        QVERIFY(rig.link.Open());
        rig.backend.vendorCalls.clear();
        rig.backend.replyQueue[DeviceRequest::BeginFrameWrite] = replies;
        QCOMPARE(rig.commands.BeginFrameWrite(9, 0x8001), result);
        QCOMPARE(rig.backend.vendorCalls.size(), calls);
        QCOMPARE(rig.backend.vendorCalls.first().index, 1);
        QCOMPARE(rig.boxes.shownIds(), messages);
    }

    void retriedRequestWaitsThroughTheWaitsService()
    {
        // Thirty refusals take 29 pauses of 100 ms: nearly three seconds unscaled.
        class CountingWaits : public Waits
        {
        public:
            using Waits::Waits;
            QList<int> pauses;
            void pause(int milliseconds) override { pauses << milliseconds; }
        };
        FakeUsbBackend backend;
        CountingWaits waits(0.01);
        ScriptedMessageBoxes boxes;
        DeviceLink link(&backend, waits, boxes);
        DeviceCommands commands(link);
        QVERIFY(link.Open());
        backend.replies[DeviceRequest::BeginTestWrite] = bytes({0});
        QVERIFY(!commands.BeginTestWrite(2400));
        QCOMPARE(waits.pauses, QList<int>(29, 100));
    }

    void retriedRequestStopsAtAFailedCall()
    {
        Rig rig;
        QVERIFY(rig.link.Open());
        rig.backend.vendorCalls.clear();
        rig.backend.failRequest = [](int) { return true; };
        QVERIFY(!rig.commands.BeginSetupDataWrite());
        QCOMPARE(rig.backend.vendorCalls.size(), 1);
        QCOMPARE(rig.boxes.shownIds(), QList<int>{134});
    }

    void requestsCarryTheirValueIndexAndLength()
    {
        Rig rig;
        QVERIFY(rig.link.Open());
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
        rig.commands.MemoryOperation(0xFFFB, 0);
        rig.commands.WriteTitleHeader(0x22, QByteArray(40, 'x'));
        QByteArray block(34, '\0');
        rig.commands.SendSerialCommand(block);
        QVERIFY(!rig.commands.WriteTitleHeader(0x22, QByteArray(39, 'x')));
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
                                          {0, 0x00, 0x22, 0, 40},
                                          {0, 0x01, 0, 0, 34}}));
        QCOMPARE(rig.backend.vendorCalls[10].payload, QByteArray(40, 'x'));
    }

    void allocationReplyIsLittleEndian()
    {
        const auto a = DeviceCommands::parseAllocation(bytes({0x34, 0x12, 0x78, 0x56, 0x34, 0x12}));
        QCOMPARE(a.memoryNo, std::uint16_t(0x1234));
        QCOMPARE(a.deviceWord, std::uint32_t(0x12345678));
        QCOMPARE(DeviceCommands::parseAllocation(bytes({1, 2})).memoryNo, std::uint16_t(0xFFFF));
    }

    void descriptorViewText()
    {
        const QByteArray device = FakeUsbBackend::standardDevice();
        const QByteArray config = FakeUsbBackend::standardConfig();
        const QStringList d = DescriptorText::lines(DescriptorText::Device, device, config);
        QCOMPARE(d.size(), 14);
        QCOMPARE(d[0], QString("bLength  : 18"));
        QCOMPARE(d[2], QString("bcdUSB  : 0x200"));
        QCOMPARE(d[7], QString("idVendor  : 0xf055"));
        QCOMPARE(d[13], QString("bNumConfigurations  : 0x1"));
        const QStringList c = DescriptorText::lines(DescriptorText::Configuration, device, config);
        QCOMPARE(
            c, QStringList({"bLength  : 9", "bDescriptorType  : 0x2", "wTotalLength  : 0x27",
                            "bNumInterfaces  : 0x1", "bConfigurationValue  : 0x1",
                            "iConfiguration  : 0x0", "bmAttributes  : 0x80", "MaxPower  : 0x32"}));
        const QStringList i = DescriptorText::lines(DescriptorText::Interface, device, config);
        QCOMPARE(i.size(), 11 + 3 * 6);
        QCOMPARE(i[0], QString("Interface 0"));
        QCOMPARE(i[10], QString());
        QCOMPARE(i.mid(11, 6), QStringList({"Endpoint 1", "bEndpointAddress  : 0x81",
                                            "bmAttributes  : 0x3  (Interrupt In)",
                                            "wMaxPacketSize  : 0x40", "bInterval  : 0x1", ""}));
        QCOMPARE(i[17 + 2], QString("bmAttributes  : 0x2  (Bulk In)"));
        QCOMPARE(i[23 + 2], QString("bmAttributes  : 0x2  (Bulk Out)"));
        QCOMPARE(i[23], QString("Endpoint 2"));
        QVERIFY(DescriptorText::lines(DescriptorText::Device, {}, {}).isEmpty());
    }

    void damagedConfigurationIsWalkedWithinBounds()
    {
        QByteArray config = FakeUsbBackend::standardConfig();
        // An endpoint descriptor claiming more bytes than are left.
        config[25] = char(40);
        const QStringList lines = DescriptorText::lines(DescriptorText::Interface, {}, config);
        QCOMPARE(lines.count(QStringLiteral("Endpoint 1")), 1);
        QVERIFY(!lines.contains(QStringLiteral("Endpoint 2")));
        // A zero length stops the walk instead of looping.
        config = FakeUsbBackend::standardConfig();
        config[18] = 0;
        QCOMPARE(DescriptorText::lines(DescriptorText::Interface, {}, config).size(), 11);
        // More interfaces announced than present.
        config = FakeUsbBackend::standardConfig();
        config[4] = 9;
        QCOMPARE(DescriptorText::lines(DescriptorText::Interface, {}, config.left(20)).size(), 11);
    }

    void deviceIdSettings()
    {
        TestEnvironment env;
        SettingsStore settings(env.path("ids.ini"));
        QCOMPARE(DeviceIdSettings::read(settings).vendorId, DeviceIdSettings::DefaultVendorId);
        DeviceIdSettings{0x1A2B, 513}.write(settings);
        DeviceIdSettings ids = DeviceIdSettings::read(settings);
        QCOMPARE(ids.vendorId, std::uint16_t(0x1A2B));
        QCOMPARE(ids.productId, std::uint16_t(513));
        settings.beginGroup("Device");
        settings.WriteString("VendorId", "nonsense");
        settings.WriteString("ProductId", "70000");
        settings.endGroup();
        ids = DeviceIdSettings::read(settings);
        QCOMPARE(ids.vendorId, DeviceIdSettings::DefaultVendorId);
        QCOMPARE(ids.productId, DeviceIdSettings::DefaultProductId);
    }
};

QTEST_GUILESS_MAIN(TestDeviceLink)
#include "test_devicelink.moc"
