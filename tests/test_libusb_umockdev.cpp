// The request-level cases over the real libusb backend, with the virtual
// mixer answering the kernel's usbdevfs calls on a umockdev bus. Needs
// umockdev's preload library (the CTest registration runs the test under
// umockdev-wrapper); without umockdev the test is skipped (exit code 77).

#include <QCoreApplication>
#include <QTest>
#include <cstdio>

#ifdef TD_HAVE_UMOCKDEV

#include "core/Waits.h"
#include "device/DeviceLink.h"
#include "device/LibUsbBackend.h"
#include "link/DeviceRequestSuite.h"
#include "link/UsbdevfsMixerHarness.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerIds.h"
#include "resources/MessageTable.h"
#include "support/ScriptedMessageBoxes.h"

#include <QSignalSpy>
#include <atomic>
#include <thread>
#include <vector>

namespace {

class UmockdevRig : public MixerRig
{
public:
    explicit UmockdevRig(const Waits &waits)
        : m_mixer(waits), m_harness(m_mixer),
          m_backend(VirtualMixerIds::VendorId, VirtualMixerIds::ProductId)
    {}
    VirtualMixer &mixer() override { return m_mixer; }
    UsbBackend &backend() override { return m_backend; }
    void plug() override { m_harness.plug(); }
    void unplug() override { m_harness.unplug(); }

private:
    VirtualMixer m_mixer;
    UsbdevfsMixerHarness m_harness;
    LibUsbBackend m_backend;
};

std::unique_ptr<MixerRig> makeRig(const Waits &waits)
{
    return std::make_unique<UmockdevRig>(waits);
}

} // namespace

// What only a bus with more than one device shows: the notifications do not
// say which device came or went.
class TestLibUsbBus : public QObject
{
    Q_OBJECT

private slots:
    void secondDeviceComesAndGoesWhileConnected()
    {
        Waits waits(0.01);
        VirtualMixer mixer(waits);
        UsbdevfsMixerHarness harness(mixer);
        LibUsbBackend backend(VirtualMixerIds::VendorId, VirtualMixerIds::ProductId);
        QVERIFY(backend.hasHotplug());
        ScriptedMessageBoxes boxes;
        DeviceLink link(&backend, waits, boxes);
        QVERIFY(link.Start());
        QVERIFY(link.Connected());
        const QString path = link.DevicePath();
        QSignalSpy connected(&link, &DeviceLink::connectedStateChanged);
        link.clearLog();

        harness.plugBystander();
        QVERIFY(waits.waitUntil([&link] { return !link.logLines().isEmpty(); }, 500000));
        QCOMPARE(link.logLines(), QStringList({"Message : DeviceArrival"}));

        link.clearLog();
        harness.unplugBystander();
        QVERIFY(waits.waitUntil([&link] { return link.logLines().size() >= 2; }, 500000));
        // Ours answers the probe: the link stays.
        QCOMPARE(link.logLines(),
                 QStringList({"Message : DeviceRemoveComplete", "Success : VenderIn(6)"}));
        QCOMPARE(connected.size(), 0);
        QVERIFY(link.Connected());
        QCOMPARE(link.DevicePath(), path);
    }

    // Without the device every request is refused. Then requests from other
    // threads (control, bulk and interrupt) race an unplug and a close: the
    // handle is closed only once none uses it, and every request started after
    // the close is refused.
    void requestsRaceUnplugAndClose()
    {
        Waits waits(0.01);
        VirtualMixer mixer(waits);
        mixer.unplug();
        UsbdevfsMixerHarness harness(mixer);
        LibUsbBackend backend(VirtualMixerIds::VendorId, VirtualMixerIds::ProductId);
        const std::uint8_t kEndpoints[] = {VirtualMixerIds::EventEndpoint,
                                           VirtualMixerIds::ReadEndpoint,
                                           VirtualMixerIds::WriteEndpoint};
        const auto refused = [&backend] {
            std::uint8_t buffer[4] = {};
            return !backend.isOpen() && !backend.vendorIn(6, 0, 0, buffer, 4) &&
                   backend.getDescriptor(1, buffer, 4) == -1 &&
                   backend.transfer(0x82, buffer, 4, 10).status == TransferStatus::NoDevice &&
                   !backend.openPipe(0, 0x82);
        };
        QVERIFY(!backend.devicePresent());
        QVERIFY(!backend.open());
        QVERIFY(refused());
        harness.plug();
        // Ids nobody has: nothing is found even with the mixer on the bus.
        QVERIFY(!LibUsbBackend(0x1234, 0x5678).devicePresent());
        for (int round = 0; round < 40; ++round) {
            QVERIFY(waits.waitUntil([&backend] { return backend.devicePresent(); }, 500000));
            QVERIFY(backend.open());
            std::uint8_t buffer[4] = {};
            QCOMPARE(backend.transfer(0x81, buffer, 4, 10).status, TransferStatus::Error);
            QVERIFY(!backend.openPipe(0, 0x05)); // no such endpoint
            for (std::uint8_t endpoint : kEndpoints)
                QVERIFY(backend.openPipe(0, endpoint));
            std::atomic<bool> stop{false};
            std::atomic<int> answered{0};
            std::vector<std::thread> threads;
            for (int t = 0; t < 5; ++t) // two control, one interrupt and two bulk
                threads.emplace_back([&, t] {
                    std::uint8_t buffer[64] = {};
                    while (!stop && t < 2)
                        answered += backend.vendorIn(6, 0, 0, buffer, 4) &&
                                    backend.getDescriptor(1, buffer, 18) == 18;
                    while (!stop)
                        backend.transfer(kEndpoints[t - 2], buffer, 64, 5);
                });
            QVERIFY(waits.waitUntil([&answered] { return answered >= 3; }, 500000));
            // Every other round the device goes first, the close comes while requests fail.
            if (round % 2)
                harness.unplug();
            backend.close();
            QVERIFY(refused());
            stop = true;
            for (std::thread &thread : threads)
                thread.join();
            harness.plug();
        }
    }
};

int main(int argc, char **argv)
{
    if (!UsbdevfsMixerHarness::mockEnvironment()) {
        std::fprintf(stderr, "not running under umockdev's preload library: skipped\n");
        return 77;
    }
    QCoreApplication app(argc, argv);
    MessageTable::setLanguage(Language::Japanese);
    DeviceRequestSuite suite(makeRig);
    TestLibUsbBus bus;
    int status = QTest::qExec(&suite, argc, argv);
    status |= QTest::qExec(&bus, argc, argv);
    return status;
}

#include "test_libusb_umockdev.moc"

#else

int main()
{
    std::fprintf(stderr, "built without umockdev: skipped\n");
    return 77;
}

#endif
