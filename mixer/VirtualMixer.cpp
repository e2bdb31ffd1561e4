#include "mixer/VirtualMixer.h"

#include "core/Waits.h"
#include "mixer/MixerDescriptors.h"
#include "mixer/VirtualMixerIds.h"

#include <QLoggingCategory>
#include <algorithm>
#include <type_traits>

Q_LOGGING_CATEGORY(lcMixer, "titledeck.mixer", QtWarningMsg)

template<class F> auto VirtualMixer::withDevice(F &&f)
{
    QList<Change> changes;
    Lock lock(m_mutex);
    if constexpr (std::is_void_v<decltype(f(m_device))>) {
        f(m_device);
        leaveWhenDue(changes);
        collectActivity(changes);
        lock.unlock();
        notify(changes);
    } else {
        auto result = f(m_device);
        leaveWhenDue(changes);
        collectActivity(changes);
        lock.unlock();
        notify(changes);
        return result;
    }
}

VirtualMixer::VirtualMixer(const Waits &waits, std::uint32_t deviceWordSeed)
    : m_waits(waits), m_device(waits, deviceWordSeed)
{}

VirtualMixer::~VirtualMixer()
{
    // Nobody may still be blocked in here; wake anyone so that a careless
    // owner gets a NoDevice rather than a hang.
    Lock lock(m_mutex);
    m_plugged = false;
    ++m_plugGeneration;
    m_wake.notify_all();
}

// ---- the USB side ------------------------------------------------------------

bool VirtualMixer::isPlugged() const
{
    Lock lock(m_mutex);
    return m_plugged;
}

QByteArray VirtualMixer::deviceDescriptor() const
{
    return MixerDescriptors::device();
}

QByteArray VirtualMixer::configurationDescriptor() const
{
    return MixerDescriptors::configuration();
}

QByteArray VirtualMixer::stringDescriptor(std::uint8_t index) const
{
    return MixerDescriptors::string(index);
}

std::optional<QByteArray> VirtualMixer::controlIn(std::uint8_t request, std::uint16_t value,
                                                  std::uint16_t index, std::uint16_t length)
{
    return withDevice([&](MixerDevice &device) -> std::optional<QByteArray> {
        if (!m_plugged)
            return std::nullopt;
        std::optional<QByteArray> reply = device.controlIn(request, value, index, Clock::now());
        if (reply && reply->size() > length)
            reply->truncate(length);
        return reply;
    });
}

bool VirtualMixer::controlOut(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                              const std::uint8_t *data, std::uint16_t length)
{
    const QByteArray payload = length > 0 && data
                                   ? QByteArray(reinterpret_cast<const char *>(data), length)
                                   : QByteArray();
    return withDevice([&](MixerDevice &device) {
        return m_plugged && device.controlOut(request, value, index, payload, Clock::now());
    });
}

void VirtualMixer::collectActivity(QList<Change> &changes)
{
    if (m_device.takeActivity()) {
        changes << Change::DataReady;
        m_wake.notify_all();
    }
    if (m_device.takeStoredChange())
        changes << Change::Stored;
}

void VirtualMixer::unplugLocked(QList<Change> &changes)
{
    if (!m_plugged)
        return;
    m_plugged = false;
    m_device.setHostPresent(false);
    changes << Change::Unplugged;
    m_wake.notify_all();
}

void VirtualMixer::leaveWhenDue(QList<Change> &changes)
{
    if (m_plugged && m_device.takeLeave(Clock::now()))
        unplugLocked(changes);
}

std::optional<VirtualMixer::Clock::time_point> VirtualMixer::nextStep() const
{
    std::optional<Clock::time_point> step = m_device.keyer().nextDeadline();
    if (const std::optional<Clock::time_point> leave = m_device.leaveAt())
        step = step ? std::min(*step, *leave) : *leave;
    return step;
}

MixerBulkPipe *VirtualMixer::pipe(std::uint8_t endpoint)
{
    if (endpoint == VirtualMixerIds::ReadEndpoint)
        return &m_device.readPipe();
    if (endpoint == VirtualMixerIds::WriteEndpoint)
        return &m_device.writePipe();
    return nullptr;
}

TransferResult VirtualMixer::runBulk(Lock &lock, MixerBulkPipe &pipe, std::uint8_t *in,
                                     const std::uint8_t *out, int length, int timeoutMs,
                                     QList<Change> &changes)
{
    const bool limited = timeoutMs >= 0;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(limited ? timeoutMs : 0);
    const std::uint64_t abortGeneration = pipe.abortGeneration();
    const std::uint64_t resetGeneration = m_resetGeneration;
    const std::uint64_t plugGeneration = m_plugGeneration;
    int moved = 0;

    while (true) {
        leaveWhenDue(changes);
        if (!m_plugged || plugGeneration != m_plugGeneration)
            return {TransferStatus::NoDevice, moved};
        if (pipe.abortGeneration() != abortGeneration || resetGeneration != m_resetGeneration)
            return {TransferStatus::Cancelled, moved};
        if (pipe.halted())
            return {TransferStatus::Stalled, moved};
        if (moved == length)
            return {TransferStatus::Completed, moved};

        MixerBulkPipe::Step step =
            pipe.step(in ? in + moved : nullptr, out ? out + moved : nullptr, length - moved);
        moved += step.bytes;
        if (step.bytes > 0 && m_device.linkRate() > 0) {
            // The bytes take their time on the link, behind what went before.
            // Within a frame (or any announced block) the link may run up to a
            // couple of milliseconds ahead of its schedule rather than waking
            // for every piece (each wake comes a little late, and a late wake
            // would be time the link never had); the block's last bytes wait
            // for the schedule.
            const double seconds = double(step.bytes) / m_device.linkRate() * m_waits.scale();
            const Clock::time_point now = Clock::now();
            m_linkFreeAt =
                std::max(now, m_linkFreeAt) +
                std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
            const auto ahead = step.outcome == MixerBulkPipe::Outcome::Moved
                                   ? Clock::duration(std::chrono::milliseconds(2))
                                   : Clock::duration::zero();
            if (m_linkFreeAt - now > ahead) {
                m_wake.wait_until(lock, m_linkFreeAt - ahead, [&] {
                    return !m_plugged || plugGeneration != m_plugGeneration ||
                           pipe.abortGeneration() != abortGeneration ||
                           resetGeneration != m_resetGeneration;
                });
            }
        }
        switch (step.outcome) {
        case MixerBulkPipe::Outcome::Moved:
            continue;
        case MixerBulkPipe::Outcome::Finished:
            if (step.finished) {
                m_device.commitWrite(*step.finished);
                if (m_device.takeStoredChange())
                    changes << Change::Stored;
                continue; // more bytes than announced wait like any others
            }
            return {TransferStatus::Completed, moved}; // the stream's end is a short piece
        case MixerBulkPipe::Outcome::Short:
            // A short packet in; a halted endpoint out (the loop reports it).
            if (in)
                return {TransferStatus::Completed, moved};
            continue;
        case MixerBulkPipe::Outcome::Unplug:
            qCDebug(lcMixer) << "leaving the bus in mid-transfer (injected)";
            unplugLocked(changes);
            return {TransferStatus::NoDevice, moved};
        case MixerBulkPipe::Outcome::Idle:
            break;
        }
        // Nothing to move: the endpoint NAKs until something changes.
        if (limited && Clock::now() >= deadline)
            return {TransferStatus::TimedOut, moved};
        if (limited)
            m_wake.wait_until(lock, deadline);
        else
            m_wake.wait(lock);
    }
}

TransferResult VirtualMixer::bulkIn(std::uint8_t *buffer, int length, int timeoutMs)
{
    QList<Change> changes;
    TransferResult result;
    {
        Lock lock(m_mutex);
        if (length <= 0 || !buffer)
            return {m_plugged ? TransferStatus::Completed : TransferStatus::NoDevice, 0};
        result = runBulk(lock, m_device.readPipe(), buffer, nullptr, length, timeoutMs, changes);
    }
    notify(changes);
    return result;
}

TransferResult VirtualMixer::bulkOut(const std::uint8_t *buffer, int length, int timeoutMs)
{
    QList<Change> changes;
    TransferResult result;
    {
        Lock lock(m_mutex);
        if (length <= 0 || !buffer)
            return {m_plugged ? TransferStatus::Completed : TransferStatus::NoDevice, 0};
        result = runBulk(lock, m_device.writePipe(), nullptr, buffer, length, timeoutMs, changes);
    }
    notify(changes);
    return result;
}

TransferResult VirtualMixer::interruptIn(std::uint8_t *buffer, int length, int timeoutMs)
{
    QList<Change> changes;
    TransferResult result;
    {
        Lock lock(m_mutex);
        const bool limited = timeoutMs >= 0;
        const Clock::time_point deadline =
            Clock::now() + std::chrono::milliseconds(limited ? timeoutMs : 0);
        const std::uint64_t abortGeneration = m_eventAbortGeneration;
        const std::uint64_t resetGeneration = m_resetGeneration;
        const std::uint64_t plugGeneration = m_plugGeneration;
        while (true) {
            leaveWhenDue(changes);
            if (!m_plugged || plugGeneration != m_plugGeneration) {
                result = {TransferStatus::NoDevice, 0};
                break;
            }
            if (m_eventAbortGeneration != abortGeneration || resetGeneration != m_resetGeneration) {
                result = {TransferStatus::Cancelled, 0};
                break;
            }
            const Clock::time_point now = Clock::now();
            m_device.advance(now);
            m_device.takeActivity();
            MixerEventQueue &events = m_device.events();
            if (!events.isEmpty() || length <= 0) {
                result = {TransferStatus::Completed,
                          buffer ? events.takeReport(buffer, length) : 0};
                break;
            }
            if (limited && now >= deadline) {
                result = {TransferStatus::TimedOut, 0};
                break;
            }
            // Sleep until the time-out or the keyer's next line, whichever is first.
            const std::optional<Clock::time_point> step = nextStep();
            if (step && (!limited || *step < deadline))
                m_wake.wait_until(lock, *step);
            else if (limited)
                m_wake.wait_until(lock, deadline);
            else
                m_wake.wait(lock);
        }
    }
    notify(changes);
    return result;
}

TransferResult VirtualMixer::transfer(std::uint8_t endpoint, std::uint8_t *buffer, int length,
                                      int timeoutMs)
{
    switch (endpoint) {
    case VirtualMixerIds::EventEndpoint:
        return interruptIn(buffer, length, timeoutMs);
    case VirtualMixerIds::ReadEndpoint:
        return bulkIn(buffer, length, timeoutMs);
    case VirtualMixerIds::WriteEndpoint:
        return bulkOut(buffer, length, timeoutMs);
    default:
        return {TransferStatus::Error, 0};
    }
}

void VirtualMixer::abortEndpoint(std::uint8_t endpoint)
{
    Lock lock(m_mutex);
    if (endpoint == VirtualMixerIds::EventEndpoint)
        ++m_eventAbortGeneration;
    else if (MixerBulkPipe *p = pipe(endpoint))
        p->abort();
    m_wake.notify_all();
}

void VirtualMixer::clearHalt(std::uint8_t endpoint)
{
    Lock lock(m_mutex);
    if (MixerBulkPipe *p = pipe(endpoint))
        p->clearHalt();
}

void VirtualMixer::resetPort()
{
    Lock lock(m_mutex);
    if (!m_plugged)
        return;
    ++m_resetGeneration;
    ++m_portResets;
    for (MixerBulkPipe *p : {&m_device.readPipe(), &m_device.writePipe()}) {
        p->drop();
        p->clearHalt();
    }
    m_wake.notify_all();
}

int VirtualMixer::millisecondsToNextKeyerStep() const
{
    Lock lock(m_mutex);
    const std::optional<Clock::time_point> next = nextStep();
    if (!next)
        return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*next - Clock::now()).count();
    return int(std::max<qint64>(0, left));
}

int VirtualMixer::addListener(std::function<void(Change)> listener)
{
    std::lock_guard guard(m_listenerMutex);
    const int id = m_nextListenerId++;
    m_listeners.append({id, std::move(listener)});
    return id;
}

void VirtualMixer::removeListener(int id)
{
    std::lock_guard guard(m_listenerMutex);
    m_listeners.removeIf([id](const Listener &l) { return l.id == id; });
}

void VirtualMixer::notify(const QList<Change> &changes)
{
    if (changes.isEmpty())
        return;
    QList<Listener> listeners;
    {
        std::lock_guard guard(m_listenerMutex);
        listeners = m_listeners;
    }
    QList<Change> once;
    for (Change c : changes) {
        if (!once.contains(c))
            once.append(c);
    }
    for (Change c : once) {
        for (const Listener &l : listeners)
            l.callback(c);
    }
}

// ---- the control surface ---------------------------------------------------

void VirtualMixer::plug()
{
    QList<Change> changes;
    {
        Lock lock(m_mutex);
        if (m_plugged)
            return;
        m_plugged = true;
        ++m_plugGeneration;
        m_device.setHostPresent(true);
        changes << Change::Plugged;
    }
    notify(changes);
}

void VirtualMixer::unplug()
{
    QList<Change> changes;
    {
        Lock lock(m_mutex);
        unplugLocked(changes);
    }
    notify(changes);
}

void VirtualMixer::setSetupDataMode(bool on)
{
    withDevice([on](MixerDevice &d) { d.setSetupDataMode(on); });
}

void VirtualMixer::setFirmwareVersion(std::uint8_t major, std::uint8_t minor, std::uint8_t build)
{
    withDevice([=](MixerDevice &d) { d.setFirmwareVersion(major, minor, build); });
}

void VirtualMixer::pressPanelKey(int slot, std::uint8_t code)
{
    withDevice([=](MixerDevice &d) { d.setKeyCode(slot, code); });
}

void VirtualMixer::releasePanelKey(int slot)
{
    pressPanelKey(slot, 0xFF);
}

bool VirtualMixer::pressDskButton()
{
    return withDevice([](MixerDevice &d) { return d.pressDskButton(Clock::now()); });
}

void VirtualMixer::setEffectPatternCount(int count)
{
    withDevice([=](MixerDevice &d) { d.setEffectPatternCount(count); });
}

void VirtualMixer::setSettingBusyTime(int milliseconds)
{
    withDevice([=](MixerDevice &d) { d.setSettingBusyTime(milliseconds); });
}

void VirtualMixer::setSetupData(const QByteArray &data)
{
    withDevice([&](MixerDevice &d) { d.setSetupData(data); });
}

void VirtualMixer::setLinkRate(std::uint32_t bytesPerSecond)
{
    withDevice([=](MixerDevice &d) { d.setLinkRate(bytesPerSecond); });
}

void VirtualMixer::injectStatus(std::uint8_t status, int answers, int request)
{
    withDevice([=](MixerDevice &d) {
        d.faults().status = status;
        d.faults().statusRequest = request >= 0 && request <= 0xFF ? request : -1;
        d.faults().statusAnswers = std::max(0, answers);
    });
}

void VirtualMixer::injectFailedRequests(int count)
{
    withDevice([=](MixerDevice &d) { d.faults().failedRequests = std::max(0, count); });
}

void VirtualMixer::injectBulkStall(int afterBytes)
{
    withDevice([=](MixerDevice &d) { d.faults().bulk.stallAfter = std::max(0, afterBytes); });
}

void VirtualMixer::injectShortBulk(int afterBytes)
{
    withDevice([=](MixerDevice &d) { d.faults().bulk.shortAfter = std::max(0, afterBytes); });
}

void VirtualMixer::injectUnplugDuringBulk(int afterBytes)
{
    withDevice([=](MixerDevice &d) { d.faults().bulk.unplugAfter = std::max(0, afterBytes); });
}

void VirtualMixer::injectBadMapMagic(int maps)
{
    withDevice([=](MixerDevice &d) { d.faults().badMapMagic = std::max(0, maps); });
}

void VirtualMixer::injectShiftedReadBack(int line)
{
    withDevice([=](MixerDevice &d) { d.faults().shiftedReadBackLine = std::max(0, line); });
}

void VirtualMixer::injectMalformedEventLines(int lines)
{
    withDevice([=](MixerDevice &d) { d.faults().malformedLines = std::max(0, lines); });
}

void VirtualMixer::queueRawEventText(const QByteArray &bytes)
{
    withDevice([&](MixerDevice &d) { d.queueRawEvents(bytes); });
}

void VirtualMixer::injectLeave(int afterLines, int delayMs)
{
    // Armed without looking at the clock: a state file keeps even a leave due at once.
    Lock lock(m_mutex);
    m_device.armLeave(std::max(0, afterLines), delayMs, Clock::now());
    m_wake.notify_all();
}

void VirtualMixer::injectDroppedOutEnds(int count)
{
    withDevice([=](MixerDevice &d) { d.faults().droppedOutEnds = std::max(0, count); });
}

void VirtualMixer::injectForeignNumbers(int count)
{
    withDevice([=](MixerDevice &d) { d.faults().foreignNumbers = std::max(0, count); });
}

void VirtualMixer::clearFaults()
{
    withDevice([this](MixerDevice &d) {
        d.faults() = MixerDevice::Faults();
        d.readPipe().disarmFaults();
        d.writePipe().disarmFaults();
        m_wake.notify_all();
    });
}

// ---- inspection ------------------------------------------------------------

bool VirtualMixer::setupDataMode() const
{
    Lock lock(m_mutex);
    return m_device.setupDataMode();
}

std::uint32_t VirtualMixer::linkRate() const
{
    Lock lock(m_mutex);
    return m_device.linkRate();
}

MixerDevice::Faults VirtualMixer::faults() const
{
    Lock lock(m_mutex);
    return m_device.faults();
}

bool VirtualMixer::settingBusy() const
{
    Lock lock(m_mutex);
    return m_device.settingBusy(Clock::now());
}

std::uint8_t VirtualMixer::signal() const
{
    Lock lock(m_mutex);
    return m_device.memory().signal();
}

std::uint8_t VirtualMixer::aspect() const
{
    Lock lock(m_mutex);
    return m_device.aspect();
}

int VirtualMixer::titleRows() const
{
    Lock lock(m_mutex);
    return m_device.memory().titleRows();
}

int VirtualMixer::rowCount() const
{
    Lock lock(m_mutex);
    return m_device.memory().rowCount();
}

MemoryMapRecord VirtualMixer::block(int row, int blockIndex) const
{
    Lock lock(m_mutex);
    return m_device.memory().block(row, blockIndex);
}

QByteArray VirtualMixer::memoryMapBlock() const
{
    Lock lock(m_mutex);
    return m_device.memory().mapBlock(m_device.aspect(), false);
}

std::optional<QByteArray> VirtualMixer::titleHeader(std::uint16_t memoryNo) const
{
    Lock lock(m_mutex);
    return m_device.memory().header(memoryNo);
}

std::optional<QByteArray> VirtualMixer::frameLines(std::uint16_t memoryNo, int frame) const
{
    Lock lock(m_mutex);
    return m_device.memory().frameLines(memoryNo, frame);
}

std::optional<MixerItemInfo> VirtualMixer::item(std::uint16_t memoryNo) const
{
    Lock lock(m_mutex);
    return m_device.memory().info(memoryNo);
}

MixerKeyerState VirtualMixer::keyerState()
{
    return withDevice([](MixerDevice &d) {
        d.advance(Clock::now());
        return d.keyer().state();
    });
}

std::uint16_t VirtualMixer::onAirMemoryNo()
{
    return withDevice([](MixerDevice &d) {
        d.advance(Clock::now());
        return d.keyer().memoryNo();
    });
}

std::uint16_t VirtualMixer::previewMemoryNo() const
{
    Lock lock(m_mutex);
    return m_device.previewMemoryNo();
}

bool VirtualMixer::keyerPaused() const
{
    Lock lock(m_mutex);
    return m_device.keyer().paused();
}

int VirtualMixer::autotakeCount() const
{
    Lock lock(m_mutex);
    return m_device.autotakeCount();
}

int VirtualMixer::lastRecalledEvent() const
{
    Lock lock(m_mutex);
    return m_device.lastRecalledEvent();
}

int VirtualMixer::lastPreviewPage() const
{
    Lock lock(m_mutex);
    return m_device.lastPreviewPage();
}

QList<QByteArray> VirtualMixer::serialCommands() const
{
    Lock lock(m_mutex);
    return m_device.serialCommands();
}

QByteArray VirtualMixer::setupData() const
{
    Lock lock(m_mutex);
    return m_device.setupData();
}

QByteArray VirtualMixer::lastTestWrite() const
{
    Lock lock(m_mutex);
    return m_device.lastTestWrite();
}

int VirtualMixer::portResetCount() const
{
    Lock lock(m_mutex);
    return m_portResets;
}

std::uint64_t VirtualMixer::plugGeneration() const
{
    Lock lock(m_mutex);
    return m_plugGeneration;
}

MixerDevice::Snapshot VirtualMixer::snapshot() const
{
    Lock lock(m_mutex);
    return m_device.snapshot();
}

bool VirtualMixer::restore(const MixerDevice::Snapshot &snapshot)
{
    Lock lock(m_mutex);
    return m_device.restore(snapshot);
}
