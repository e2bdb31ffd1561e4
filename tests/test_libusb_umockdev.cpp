// The request-level cases over the real libusb backend, with the virtual
// mixer answering the kernel's usbdevfs calls on a umockdev bus. Needs
// umockdev's preload library (the CTest registration runs the test under
// umockdev-wrapper); without umockdev the test is skipped (exit code 77).

#include <QCoreApplication>
#include <QTest>
#include <cstdio>

#ifdef TD_HAVE_UMOCKDEV

#include "core/Waits.h"
#include "device/DeviceIdSettings.h"
#include "device/DeviceLink.h"
#include "device/LibUsbBackend.h"
#include "link/DeviceRequestSuite.h"
#include "link/UsbdevfsMixerHarness.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerIds.h"
#include "resources/MessageTable.h"
#include "support/ScriptedMessageBoxes.h"

#include <QSignalSpy>

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

    void backendRefusesWithoutDevice()
    {
        Waits waits(0.01);
        VirtualMixer mixer(waits);
        mixer.unplug();
        UsbdevfsMixerHarness harness(mixer);
        LibUsbBackend backend(VirtualMixerIds::VendorId, VirtualMixerIds::ProductId);
        QVERIFY(!backend.devicePresent());
        QVERIFY(!backend.open());
        std::uint8_t buffer[4] = {};
        QVERIFY(!backend.vendorIn(6, 0, 0, buffer, 4));
        QCOMPARE(backend.getDescriptor(1, buffer, 4), -1);
        QCOMPARE(backend.transfer(0x82, buffer, 4, 10).status, TransferStatus::NoDevice);
        QVERIFY(!backend.openPipe(0, 0x82));
        // Ids nobody has: nothing is found even with the mixer on the bus.
        harness.plug();
        LibUsbBackend other(0x1234, 0x5678);
        QVERIFY(waits.waitUntil([&backend] { return backend.devicePresent(); }, 500000));
        QVERIFY(!other.devicePresent());
        QVERIFY(backend.open());
        QVERIFY(!backend.openPipe(0, 0x05)); // no such endpoint
        QVERIFY(backend.openPipe(0, 0x82));
        QCOMPARE(backend.transfer(0x81, buffer, 4, 10).status, TransferStatus::Error); // not open
        backend.close();
        QVERIFY(!backend.isOpen());
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
