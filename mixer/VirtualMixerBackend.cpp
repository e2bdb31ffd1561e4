#include "mixer/VirtualMixerBackend.h"

#include "core/HandOverOrder.h"
#include "mixer/MixerStateFile.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerIds.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <cstring>

Q_DECLARE_LOGGING_CATEGORY(lcMixer)

namespace {

constexpr int CloseWaitMs = 2000;
constexpr std::uint8_t Endpoints[] = {VirtualMixerIds::EventEndpoint, VirtualMixerIds::ReadEndpoint,
                                      VirtualMixerIds::WriteEndpoint};

} // namespace

VirtualMixerBackend::VirtualMixerBackend(VirtualMixer &mixer, QObject *parent)
    : UsbBackend(parent), m_mixer(mixer)
{
    // The model calls this from whatever thread plugged or unplugged it; the
    // signals reach their receivers on this object's thread.
    m_listenerId = m_mixer.addListener([this](VirtualMixer::Change change) {
        if (change == VirtualMixer::Change::Plugged)
            postCall(*this, [this] { emit deviceArrived(); });
        else if (change == VirtualMixer::Change::Unplugged)
            postCall(*this, [this] { emit deviceRemoved(); });
    });
}

VirtualMixerBackend::VirtualMixerBackend(std::unique_ptr<VirtualMixer> mixer, QObject *parent)
    : VirtualMixerBackend(*mixer, parent)
{
    m_owned = std::move(mixer);
}

VirtualMixerBackend::~VirtualMixerBackend()
{
    m_mixer.removeListener(m_listenerId);
    close();
}

void VirtualMixerBackend::keepStateFile(std::unique_ptr<MixerStateFile> file)
{
    m_stateFile = std::move(file);
}

bool VirtualMixerBackend::open()
{
    Lock lock(m_mutex);
    if (!m_mixer.isPlugged())
        return false;
    if (m_open && m_generation == m_mixer.plugGeneration())
        return true;
    m_open = true;
    m_generation = m_mixer.plugGeneration();
    m_openPipes = 0;
    return true;
}

void VirtualMixerBackend::close()
{
    Lock lock(m_mutex);
    if (!m_open)
        return;
    m_open = false;
    m_openPipes = 0;
    for (std::uint8_t ep : Endpoints)
        m_mixer.abortEndpoint(ep);
    // Give the transfers just cancelled a moment to leave the model.
    m_idle.wait_for(lock, std::chrono::milliseconds(CloseWaitMs),
                    [this] { return m_inFlight == 0; });
    if (m_inFlight > 0)
        qCWarning(lcMixer) << m_inFlight << "transfers still running after close";
}

bool VirtualMixerBackend::isOpen() const
{
    Lock lock(m_mutex);
    return m_open;
}

QString VirtualMixerBackend::devicePath() const
{
    return QStringLiteral("virtual");
}

bool VirtualMixerBackend::devicePresent()
{
    return m_mixer.isPlugged();
}

bool VirtualMixerBackend::handleAlive() const
{
    Lock lock(m_mutex);
    return m_open && m_mixer.isPlugged() && m_mixer.plugGeneration() == m_generation;
}

int VirtualMixerBackend::pipeBit(std::uint8_t endpoint) const
{
    for (int i = 0; i < 3; ++i) {
        if (Endpoints[i] == endpoint)
            return 1 << i;
    }
    return 0;
}

int VirtualMixerBackend::getDescriptor(int selector, std::uint8_t *buffer, int length)
{
    if (!handleAlive() || !buffer || length < 0)
        return -1;
    QByteArray bytes;
    if (selector == 1)
        bytes = m_mixer.deviceDescriptor();
    else if (selector == 2)
        bytes = m_mixer.configurationDescriptor();
    else
        return -1;
    const int n = std::min<int>(length, int(bytes.size()));
    std::memcpy(buffer, bytes.constData(), size_t(n));
    return n;
}

bool VirtualMixerBackend::vendorIn(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                                   std::uint8_t *buffer, std::uint16_t length)
{
    if (!handleAlive() || (length > 0 && !buffer))
        return false;
    const std::optional<QByteArray> reply = m_mixer.controlIn(request, value, index, length);
    if (!reply)
        return false;
    if (length > 0) {
        std::memset(buffer, 0, length);
        std::memcpy(buffer, reply->constData(), size_t(std::min<qsizetype>(length, reply->size())));
    }
    return true;
}

bool VirtualMixerBackend::vendorOut(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                                    const std::uint8_t *data, std::uint16_t length)
{
    if (!handleAlive() || (length > 0 && !data))
        return false;
    return m_mixer.controlOut(request, value, index, data, length);
}

bool VirtualMixerBackend::resetDevice()
{
    if (!handleAlive())
        return false;
    m_mixer.resetPort();
    return true;
}

bool VirtualMixerBackend::openPipe(int interfaceNumber, std::uint8_t endpoint)
{
    const int bit = pipeBit(endpoint);
    if (!handleAlive() || interfaceNumber != VirtualMixerIds::InterfaceNumber || bit == 0)
        return false;
    Lock lock(m_mutex);
    m_openPipes |= bit;
    return true;
}

bool VirtualMixerBackend::closePipe(std::uint8_t endpoint)
{
    const int bit = pipeBit(endpoint);
    Lock lock(m_mutex);
    if (!m_open || !(m_openPipes & bit))
        return false;
    m_openPipes &= ~bit;
    m_mixer.abortEndpoint(endpoint);
    return true;
}

bool VirtualMixerBackend::abortPipe(std::uint8_t endpoint)
{
    const int bit = pipeBit(endpoint);
    {
        Lock lock(m_mutex);
        if (!m_open || !(m_openPipes & bit))
            return false;
    }
    m_mixer.abortEndpoint(endpoint);
    return true;
}

bool VirtualMixerBackend::resetPipe(std::uint8_t endpoint)
{
    const int bit = pipeBit(endpoint);
    if (!handleAlive())
        return false;
    {
        Lock lock(m_mutex);
        if (!(m_openPipes & bit))
            return false;
    }
    m_mixer.clearHalt(endpoint);
    return true;
}

TransferResult VirtualMixerBackend::transfer(std::uint8_t endpoint, std::uint8_t *buffer,
                                             int length, int timeoutMilliseconds)
{
    const int bit = pipeBit(endpoint);
    {
        Lock lock(m_mutex);
        if (!m_open || !(m_openPipes & bit))
            return {TransferStatus::Error, 0};
        if (!m_mixer.isPlugged() || m_mixer.plugGeneration() != m_generation)
            return {TransferStatus::NoDevice, 0};
        ++m_inFlight;
    }
    const TransferResult result = m_mixer.transfer(
        endpoint, buffer, length, timeoutMilliseconds > 0 ? timeoutMilliseconds : -1);
    {
        Lock lock(m_mutex);
        if (--m_inFlight == 0)
            m_idle.notify_all();
    }
    return result;
}
