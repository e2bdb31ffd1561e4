// The request-level cases over the real libusb backend, with the virtual
// mixer answering the kernel's usbdevfs calls on a umockdev bus. Needs
// umockdev's preload library (the CTest registration runs the test under
// umockdev-wrapper); without umockdev the test is skipped (exit code 77).

#include <QCoreApplication>
#include <QTest>
#include <cstdio>

#ifdef TD_HAVE_UMOCKDEV

#include "app/Waits.h"
#include "device/DeviceIdSettings.h"
#include "device/LibUsbBackend.h"
#include "link/DeviceRequestSuite.h"
#include "link/UsbdevfsMixerHarness.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerIds.h"
#include "resources/MessageTable.h"

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

int main(int argc, char **argv)
{
    if (!UsbdevfsMixerHarness::mockEnvironment()) {
        std::fprintf(stderr, "not running under umockdev's preload library: skipped\n");
        return 77;
    }
    QCoreApplication app(argc, argv);
    MessageTable::setLanguage(Language::Japanese);
    DeviceRequestSuite suite(makeRig);
    return QTest::qExec(&suite, argc, argv);
}

#else

int main()
{
    std::fprintf(stderr, "built without umockdev: skipped\n");
    return 77;
}

#endif
