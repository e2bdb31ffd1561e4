// The request-level cases over the in-process virtual mixer backend.

#include "core/Waits.h"
#include "link/DeviceRequestSuite.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "resources/MessageTable.h"

#include <QCoreApplication>
#include <QTest>

namespace {

class InProcessRig : public MixerRig
{
public:
    explicit InProcessRig(const Waits &waits) : m_mixer(waits), m_backend(m_mixer) {}
    VirtualMixer &mixer() override { return m_mixer; }
    UsbBackend &backend() override { return m_backend; }
    void plug() override { m_mixer.plug(); }
    void unplug() override { m_mixer.unplug(); }

private:
    VirtualMixer m_mixer;
    VirtualMixerBackend m_backend;
};

std::unique_ptr<MixerRig> makeRig(const Waits &waits)
{
    return std::make_unique<InProcessRig>(waits);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    MessageTable::setLanguage(Language::Japanese);
    DeviceRequestSuite suite(makeRig);
    return QTest::qExec(&suite, argc, argv);
}
