#include "mixer/VirtualMixer.h"

#include "app/Waits.h"
#include "mixer/MixerDescriptors.h"
#include "mixer/MixerRequests.h"
#include "mixer/VirtualMixerIds.h"

#include <QLoggingCategory>
#include <QtEndian>
#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcMixer, "titledeck.mixer")

namespace {

constexpr int SetupDataSize = 32768;
constexpr int TestUnit = 512;

QByteArray statusReply(std::uint8_t status, int length = 2)
{
    QByteArray reply(length, '\0');
    reply[0] = char(status);
    return reply;
}

QByteArray memoryReply(std::uint16_t memoryNo, std::uint32_t deviceWord)
{
    QByteArray reply(6, '\0');
    auto *r = reinterpret_cast<uchar *>(reply.data());
    qToLittleEndian<quint16>(memoryNo, r);
    qToLittleEndian<quint32>(deviceWord, r + 2);
    return reply;
}

// A garbled keyer line: the number is no number, or the keyword is broken.
QByteArray garbled(const QByteArray &line)
{
    QByteArray out = line;
    const int width = line.startsWith("in start") ? 15 : line.startsWith("out start") ? 16 : 0;
    if (width > 0 && out.size() > width)
        out.insert(width, '#');
    else if (const qsizetype blank = out.indexOf(' '); blank >= 0)
        out[blank] = '_';
    else
        out.prepend('?');
    return out;
}

QByteArray factorySetupData()
{
    QByteArray data(SetupDataSize, '\0');
    for (int i = 0; i < SetupDataSize; ++i)
        data[i] = char((i * 31 + 7) & 0xFF);
    return data;
}

} // namespace

VirtualMixer::VirtualMixer(const Waits &waits, std::uint32_t deviceWordSeed)
    : m_waits(waits), m_memory(deviceWordSeed), m_keyer(waits), m_setupData(factorySetupData())
{
    std::fill(std::begin(m_keyCodes), std::end(m_keyCodes), std::uint8_t(0xFF));
}

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
    QList<Change> changes;
    std::optional<QByteArray> reply;
    {
        Lock lock(m_mutex);
        if (!m_plugged)
            return std::nullopt;
        if (m_faults.failedRequests > 0) {
            --m_faults.failedRequests;
            qCDebug(lcMixer) << "stalling request" << request << "(injected)";
            return std::nullopt;
        }
        const Clock::time_point now = Clock::now();
        advanceLocked(now, changes);
        reply = handleIn(MixerInRequest(request), value, index, now, changes);
        if (reply && reply->size() > length)
            reply->truncate(length);
    }
    notify(changes);
    return reply;
}

bool VirtualMixer::controlOut(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                              const std::uint8_t *data, std::uint16_t length)
{
    QList<Change> changes;
    bool ok = false;
    {
        Lock lock(m_mutex);
        if (!m_plugged)
            return false;
        if (m_faults.failedRequests > 0) {
            --m_faults.failedRequests;
            return false;
        }
        const Clock::time_point now = Clock::now();
        advanceLocked(now, changes);
        const QByteArray payload = length > 0 && data
                                       ? QByteArray(reinterpret_cast<const char *>(data), length)
                                       : QByteArray();
        ok = handleOut(MixerOutRequest(request), value, index, payload, now, changes);
    }
    notify(changes);
    return ok;
}

std::optional<std::uint8_t> VirtualMixer::takeInjectedStatus()
{
    if (m_faults.statusAnswers <= 0)
        return std::nullopt;
    --m_faults.statusAnswers;
    return m_faults.status;
}

std::optional<QByteArray> VirtualMixer::handleIn(MixerInRequest request, std::uint16_t value,
                                                 std::uint16_t index, Clock::time_point now,
                                                 QList<Change> &changes)
{
    if (m_setupDataMode && request != MixerInRequest::GetSetupDataMode &&
        request != MixerInRequest::GetFirmwareVersion &&
        request != MixerInRequest::BeginSetupDataRead &&
        request != MixerInRequest::BeginSetupDataWrite)
        return std::nullopt;

    const bool busy = settingBusyAt(now);
    const std::uint16_t frame = index & 0x7FFF;
    QList<QByteArray> lines;

    switch (request) {
    case MixerInRequest::DskPlay: {
        if (const auto s = takeInjectedStatus())
            return statusReply(*s);
        if (busy)
            return statusReply(MixerStatus::Busy);
        const std::optional<MixerItemInfo> item = m_memory.info(value);
        if (!item || item->clip)
            return statusReply(MixerStatus::Refused);
        const double frameMs = m_memory.signal() == 1 ? 40.0 : 33.3;
        const MixerKeyerTiming timing =
            MixerKeyerTiming::fromHeader(m_memory.header(value).value_or(QByteArray()), frameMs);
        const bool ok = m_keyer.play(value, timing, now, lines);
        queueLinesLocked(lines, changes);
        return statusReply(ok ? MixerStatus::Accepted : MixerStatus::Refused);
    }
    case MixerInRequest::DskPause: {
        if (const auto s = takeInjectedStatus())
            return statusReply(*s);
        if (busy)
            return statusReply(MixerStatus::Busy);
        return statusReply(m_keyer.togglePause(now) ? MixerStatus::Accepted : MixerStatus::Refused);
    }
    case MixerInRequest::DskStop: {
        if (const auto s = takeInjectedStatus())
            return statusReply(*s);
        if (busy)
            return statusReply(MixerStatus::Busy);
        m_keyer.stop(now, lines);
        queueLinesLocked(lines, changes);
        return statusReply(MixerStatus::Accepted);
    }
    case MixerInRequest::AllocTitleMemory:
    case MixerInRequest::AllocIntVideoMemory: {
        if (takeInjectedStatus() || busy)
            return memoryReply(MixerMemoryNo::None, 0);
        const std::uint16_t number =
            request == MixerInRequest::AllocTitleMemory
                ? m_memory.allocateTitle(value & 0xFF, index, (value & 0x8000) != 0)
                : m_memory.allocateClip(value);
        if (number == MixerMemoryNo::NoRoom)
            return memoryReply(number, 0);
        qCDebug(lcMixer) << "allocated" << Qt::hex << number;
        return memoryReply(number, m_memory.info(number)->deviceWord);
    }
    case MixerInRequest::SetMemorySetting: {
        if (const auto s = takeInjectedStatus())
            return statusReply(*s);
        if (busy)
            return statusReply(MixerStatus::Busy);
        return statusReply(applyMemorySetting(value, index, now, changes) ? MixerStatus::Accepted
                                                                          : MixerStatus::Refused);
    }
    case MixerInRequest::GetFirmwareVersion: {
        QByteArray reply(4, '\0');
        std::memcpy(reply.data(), m_firmware, 3);
        return reply;
    }
    case MixerInRequest::ReadTitleHeader:
        return m_memory.header(value);
    case MixerInRequest::BeginTestRead:
    case MixerInRequest::BeginTestWrite: {
        if (const auto s = takeInjectedStatus())
            return statusReply(*s);
        if (busy)
            return statusReply(MixerStatus::Busy);
        const qsizetype size = qsizetype(value) * TestUnit;
        if (request == MixerInRequest::BeginTestRead) {
            QByteArray pattern(size, Qt::Uninitialized);
            for (qsizetype i = 0; i < size; ++i)
                pattern[i] = char(i & 0xFF);
            startJob(m_readJob, BulkJobKind::TestRead, pattern, size, changes);
        } else {
            startJob(m_writeJob, BulkJobKind::TestWrite, QByteArray(), size, changes);
        }
        return statusReply(MixerStatus::Accepted);
    }
    case MixerInRequest::BeginMemoryMapRead: {
        // A refusal here is "stop" (0); "busy" would read as go on.
        if (takeInjectedStatus() || busy)
            return statusReply(0);
        bool bad = false;
        if (m_faults.badMapMagic > 0) {
            --m_faults.badMapMagic;
            bad = true;
        }
        const QByteArray map = m_memory.mapBlock(m_aspect, bad);
        startJob(m_readJob, BulkJobKind::MemoryMap, map, map.size(), changes);
        return statusReply(1);
    }
    case MixerInRequest::GetFrameInfo: {
        if (const auto s = takeInjectedStatus())
            return statusReply(*s, 10);
        if (busy)
            return statusReply(MixerStatus::Busy, 10);
        const auto flags = m_memory.bandFlags(value, frame);
        if (!flags)
            return statusReply(MixerStatus::Refused, 10);
        QByteArray reply = statusReply(MixerStatus::Accepted, 10);
        std::memcpy(reply.data() + 1, flags->data(), 8);
        reply[9] = char(m_memory.lineClass());
        return reply;
    }
    case MixerInRequest::GetFrameLayout: {
        const auto flags = m_memory.bandFlags(value, frame);
        if (!flags)
            return std::nullopt;
        QByteArray reply(10, '\0');
        std::memcpy(reply.data(), flags->data(), 8);
        reply[8] = char(m_memory.lineClass());
        return reply;
    }
    case MixerInRequest::BeginFrameRead: {
        if (const auto s = takeInjectedStatus())
            return statusReply(*s);
        if (busy)
            return statusReply(MixerStatus::Busy);
        std::optional<QByteArray> stream = m_memory.readBackStream(value, frame);
        if (!stream)
            return statusReply(MixerStatus::Refused);
        if (m_faults.shiftedReadBackLine >= 0) {
            // Two stray bytes from this line on; the stream keeps its length.
            const qsizetype size = stream->size();
            const qsizetype at = std::min<qsizetype>(
                qsizetype(m_faults.shiftedReadBackLine) * MixerMemory::LineBytes, size);
            stream->insert(at, QByteArray(2, '\0'));
            stream->truncate(size);
            m_faults.shiftedReadBackLine = -1;
        }
        startJob(m_readJob, BulkJobKind::FrameRead, *stream, stream->size(), changes);
        m_readJob.memoryNo = value;
        m_readJob.frame = frame;
        return statusReply(MixerStatus::Accepted);
    }
    case MixerInRequest::BeginFrameWrite: {
        if (const auto s = takeInjectedStatus())
            return statusReply(*s);
        if (busy)
            return statusReply(MixerStatus::Busy);
        const std::optional<qsizetype> size = m_memory.frameWriteSize(value, frame);
        if (!size)
            return statusReply(MixerStatus::Refused);
        startJob(m_writeJob, BulkJobKind::FrameWrite, QByteArray(), *size, changes);
        m_writeJob.memoryNo = value;
        m_writeJob.frame = frame;
        return statusReply(MixerStatus::Accepted);
    }
    case MixerInRequest::BeginSetupDataRead:
    case MixerInRequest::BeginSetupDataWrite: {
        if (const auto s = takeInjectedStatus())
            return statusReply(*s);
        if (!m_setupDataMode)
            return statusReply(MixerStatus::Refused);
        if (request == MixerInRequest::BeginSetupDataRead)
            startJob(m_readJob, BulkJobKind::SetupRead, m_setupData, SetupDataSize, changes);
        else
            startJob(m_writeJob, BulkJobKind::SetupWrite, QByteArray(), SetupDataSize, changes);
        return statusReply(MixerStatus::Accepted);
    }
    case MixerInRequest::CheckEffectPatterns: {
        const auto known = [this](std::uint16_t pattern) -> std::uint16_t {
            const int number = pattern & 0x3FFF;
            return number < m_effectPatternCount ? std::uint16_t(number) : 0;
        };
        QByteArray reply(4, '\0');
        auto *r = reinterpret_cast<uchar *>(reply.data());
        qToLittleEndian<quint16>(known(value), r);
        qToLittleEndian<quint16>(known(index), r + 2);
        return reply;
    }
    case MixerInRequest::PreviewMemoryPage:
        m_lastPreviewPage = value;
        return statusReply(MixerStatus::Accepted);
    case MixerInRequest::GetSetupDataMode:
        return statusReply(m_setupDataMode ? 1 : 0);
    case MixerInRequest::RecallEvent: {
        if (const auto s = takeInjectedStatus())
            return statusReply(*s);
        if (busy)
            return statusReply(MixerStatus::Busy);
        m_lastRecalledEvent = value;
        return statusReply(MixerStatus::Accepted);
    }
    case MixerInRequest::Autotake: {
        if (const auto s = takeInjectedStatus())
            return statusReply(*s);
        if (busy)
            return statusReply(MixerStatus::Busy);
        ++m_autotakeCount;
        m_keyer.triggerOut(now, lines);
        queueLinesLocked(lines, changes);
        return statusReply(MixerStatus::Accepted);
    }
    case MixerInRequest::PreviewStart: {
        if (const auto s = takeInjectedStatus())
            return statusReply(*s);
        if (busy)
            return statusReply(MixerStatus::Busy);
        if (!m_memory.contains(value))
            return statusReply(MixerStatus::Refused);
        // The keyer cursor's preview waits while the keyer is busy.
        if (index == 1 && m_keyer.busy())
            return statusReply(MixerStatus::Refused);
        m_previewMemoryNo = value;
        return statusReply(MixerStatus::Accepted);
    }
    case MixerInRequest::PreviewStop:
        m_previewMemoryNo = MixerMemoryNo::None;
        return statusReply(MixerStatus::Accepted);
    case MixerInRequest::GetKeyCodes: {
        QByteArray reply(10, '\0');
        std::memcpy(reply.data(), m_keyCodes, 9);
        return reply;
    }
    }
    qCDebug(lcMixer) << "unknown in request" << int(request);
    return std::nullopt;
}

bool VirtualMixer::applyMemorySetting(std::uint16_t value, std::uint16_t index,
                                      Clock::time_point now, QList<Change> &changes)
{
    const int aspect = value & 0xFF;
    const int signal = value >> 8;
    const int rows = index;
    if (aspect > 1 || signal > 1 || rows > (signal == 1 ? 26 : 30))
        return false;
    const bool signalChanged = signal != m_memory.signal();
    const bool rowsChanged = rows != m_memory.titleRows();
    if (!signalChanged && !rowsChanged && aspect == m_aspect)
        return true;
    if (signalChanged || rowsChanged) {
        // A new partition or format empties the memory, protected data and
        // the title on the keyer included.
        QList<QByteArray> lines;
        m_keyer.cut(lines);
        queueLinesLocked(lines, changes);
        m_previewMemoryNo = MixerMemoryNo::None;
        m_readJob = BulkJob();
        m_writeJob = BulkJob();
        m_memory.clearAll();
        m_memory.setSignal(std::uint8_t(signal));
        m_memory.setTitleRows(rows);
    }
    m_aspect = std::uint8_t(aspect);
    m_busyUntil = now + std::chrono::milliseconds(m_waits.scaled(m_settingBusyMs));
    qCDebug(lcMixer) << "memory setting" << signal << aspect << rows << "- Loading...";
    return true;
}

bool VirtualMixer::handleOut(MixerOutRequest request, std::uint16_t value, std::uint16_t index,
                             const QByteArray &payload, Clock::time_point now,
                             QList<Change> &changes)
{
    if (m_setupDataMode && request != MixerOutRequest::CancelTransfer)
        return false;
    switch (request) {
    case MixerOutRequest::WriteTitleHeader:
        return m_memory.writeHeader(value, payload);
    case MixerOutRequest::SendSerialCommand:
        if (payload.size() != 34)
            return false;
        m_serialCommands.append(payload);
        return true;
    case MixerOutRequest::CancelTransfer:
        if (value == 2)
            m_readJob = BulkJob();
        else if (value == 3)
            m_writeJob = BulkJob();
        else
            return false;
        return true;
    case MixerOutRequest::MemoryOperation:
        return memoryOperation(value, index);
    }
    return false;
}

bool VirtualMixer::memoryOperation(std::uint16_t value, std::uint16_t index)
{
    const bool keyed = m_keyer.busy();
    if (index == 1 || index == 4)
        return m_memory.setProtected(value, index == 4);
    if (index != 0)
        return false;
    if (value == MixerMemoryNo::AllIntVideo) {
        m_memory.clearIntVideo();
    } else if (value == MixerMemoryNo::AllMemory) {
        // The keyed title cannot go from under the keyer.
        if (keyed)
            return false;
        m_memory.clearAll();
    } else if (value >= 0xFFFA) {
        return false;
    } else {
        if (keyed && value == m_keyer.memoryNo())
            return false;
        m_memory.clear(value); // clearing what is not there is no error
    }
    if (m_previewMemoryNo != MixerMemoryNo::None && !m_memory.contains(m_previewMemoryNo))
        m_previewMemoryNo = MixerMemoryNo::None;
    for (BulkJob *job : {&m_readJob, &m_writeJob}) {
        if ((job->kind == BulkJobKind::FrameRead || job->kind == BulkJobKind::FrameWrite) &&
            !m_memory.contains(job->memoryNo))
            *job = BulkJob();
    }
    return true;
}

void VirtualMixer::advanceLocked(Clock::time_point now, QList<Change> &changes)
{
    QList<QByteArray> lines;
    m_keyer.advance(now, lines);
    queueLinesLocked(lines, changes);
}

void VirtualMixer::queueLinesLocked(const QList<QByteArray> &lines, QList<Change> &changes)
{
    if (lines.isEmpty() || !m_plugged)
        return; // nobody listens while the cable is out
    for (const QByteArray &line : lines) {
        const bool garble = m_faults.malformedLines > 0;
        if (garble)
            --m_faults.malformedLines;
        if (!m_events.append(garble ? garbled(line) : line))
            qCDebug(lcMixer) << "event pipe full, line lost:" << line;
    }
    changes << Change::DataReady;
    m_wake.notify_all();
}

void VirtualMixer::startJob(BulkJob &job, BulkJobKind kind, const QByteArray &data,
                            qsizetype expected, QList<Change> &changes)
{
    job = BulkJob();
    if (expected <= 0)
        return; // nothing announced: the pipe stays quiet
    job.kind = kind;
    job.data = data;
    job.expected = expected;
    if (kind == BulkJobKind::FrameWrite || kind == BulkJobKind::TestWrite ||
        kind == BulkJobKind::SetupWrite)
        job.data.reserve(expected);
    job.stallAfter = std::exchange(m_faults.bulkStallAfter, -1);
    job.shortAfter = std::exchange(m_faults.shortBulkAfter, -1);
    job.unplugAfter = std::exchange(m_faults.unplugAfter, -1);
    changes << Change::DataReady;
    m_wake.notify_all();
}

void VirtualMixer::finishWriteJob()
{
    BulkJob &job = m_writeJob;
    switch (job.kind) {
    case BulkJobKind::FrameWrite:
        if (!m_memory.storeFrame(job.memoryNo, job.frame, job.data))
            qCWarning(lcMixer) << "frame" << job.frame << "of" << job.memoryNo << "not stored";
        break;
    case BulkJobKind::TestWrite:
        m_lastTestWrite = job.data;
        break;
    case BulkJobKind::SetupWrite:
        m_setupData = job.data;
        break;
    default:
        break;
    }
    job = BulkJob();
}

void VirtualMixer::unplugLocked(QList<Change> &changes)
{
    if (!m_plugged)
        return;
    m_plugged = false;
    m_readJob = BulkJob();
    m_writeJob = BulkJob();
    m_events.clear();
    changes << Change::Unplugged;
    m_wake.notify_all();
}

VirtualMixer::EndpointState *VirtualMixer::endpointState(std::uint8_t endpoint)
{
    switch (endpoint) {
    case VirtualMixerIds::EventEndpoint:
        return &m_eventEp;
    case VirtualMixerIds::ReadEndpoint:
        return &m_readEp;
    case VirtualMixerIds::WriteEndpoint:
        return &m_writeEp;
    default:
        return nullptr;
    }
}

TransferResult VirtualMixer::runBulk(Lock &lock, bool inbound, std::uint8_t *in,
                                     const std::uint8_t *out, int length, int timeoutMs,
                                     QList<Change> &changes)
{
    EndpointState &ep = inbound ? m_readEp : m_writeEp;
    BulkJob &job = inbound ? m_readJob : m_writeJob;
    const bool limited = timeoutMs >= 0;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(limited ? timeoutMs : 0);
    const std::uint64_t abortGeneration = ep.abortGeneration;
    const std::uint64_t resetGeneration = m_resetGeneration;
    const std::uint64_t plugGeneration = m_plugGeneration;
    int moved = 0;

    while (true) {
        if (!m_plugged || plugGeneration != m_plugGeneration)
            return {TransferStatus::NoDevice, moved};
        if (ep.abortGeneration != abortGeneration || resetGeneration != m_resetGeneration)
            return {TransferStatus::Cancelled, moved};
        if (ep.halted)
            return {TransferStatus::Stalled, moved};
        if (moved == length)
            return {TransferStatus::Completed, moved};

        bool waitForHost = true;
        if (job.active()) {
            qsizetype limit = job.expected - job.moved;
            if (job.unplugAfter >= 0) {
                if (job.moved >= job.unplugAfter) {
                    qCDebug(lcMixer) << "leaving the bus in mid-transfer (injected)";
                    unplugLocked(changes);
                    return {TransferStatus::NoDevice, moved};
                }
                limit = std::min<qsizetype>(limit, job.unplugAfter - job.moved);
            }
            if (job.shortAfter >= 0) {
                if (job.moved >= job.shortAfter) {
                    job = BulkJob();
                    if (inbound)
                        return {TransferStatus::Completed, moved}; // a short packet
                    ep.halted = true;
                    return {TransferStatus::Stalled, moved};
                }
                limit = std::min<qsizetype>(limit, job.shortAfter - job.moved);
            }
            if (job.stallAfter >= 0)
                limit =
                    std::min<qsizetype>(limit, std::max<qsizetype>(0, job.stallAfter - job.moved));
            const qsizetype chunk = std::min<qsizetype>(length - moved, limit);
            if (chunk > 0) {
                if (inbound)
                    std::memcpy(in + moved, job.data.constData() + job.moved, size_t(chunk));
                else
                    job.data.append(reinterpret_cast<const char *>(out + moved), chunk);
                job.moved += chunk;
                moved += int(chunk);
                if (job.moved == job.expected) {
                    if (inbound) {
                        job = BulkJob();
                        // The stream ended: a short last piece ends the transfer.
                        return {TransferStatus::Completed, moved};
                    }
                    finishWriteJob();
                }
                waitForHost = false;
            }
        }
        if (!waitForHost)
            continue;
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
        result = runBulk(lock, true, buffer, nullptr, length, timeoutMs, changes);
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
        result = runBulk(lock, false, nullptr, buffer, length, timeoutMs, changes);
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
        const std::uint64_t abortGeneration = m_eventEp.abortGeneration;
        const std::uint64_t resetGeneration = m_resetGeneration;
        const std::uint64_t plugGeneration = m_plugGeneration;
        while (true) {
            if (!m_plugged || plugGeneration != m_plugGeneration) {
                result = {TransferStatus::NoDevice, 0};
                break;
            }
            if (m_eventEp.abortGeneration != abortGeneration ||
                resetGeneration != m_resetGeneration) {
                result = {TransferStatus::Cancelled, 0};
                break;
            }
            const Clock::time_point now = Clock::now();
            advanceLocked(now, changes);
            if (!m_events.isEmpty() || length <= 0) {
                result = {TransferStatus::Completed,
                          buffer ? m_events.takeReport(buffer, length) : 0};
                break;
            }
            if (limited && now >= deadline) {
                result = {TransferStatus::TimedOut, 0};
                break;
            }
            // Sleep until the time-out or the keyer's next line, whichever is first.
            const std::optional<Clock::time_point> step = m_keyer.nextDeadline();
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
    if (EndpointState *ep = endpointState(endpoint)) {
        ++ep->abortGeneration;
        m_wake.notify_all();
    }
}

void VirtualMixer::clearHalt(std::uint8_t endpoint)
{
    Lock lock(m_mutex);
    if (EndpointState *ep = endpointState(endpoint))
        ep->halted = false;
}

void VirtualMixer::resetPort()
{
    Lock lock(m_mutex);
    if (!m_plugged)
        return;
    ++m_resetGeneration;
    ++m_portResets;
    m_readJob = BulkJob();
    m_writeJob = BulkJob();
    m_readEp.halted = false;
    m_writeEp.halted = false;
    m_wake.notify_all();
}

int VirtualMixer::millisecondsToNextKeyerStep() const
{
    Lock lock(m_mutex);
    const std::optional<Clock::time_point> next = m_keyer.nextDeadline();
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
        m_events.clear();
        m_readJob = BulkJob();
        m_writeJob = BulkJob();
        m_readEp.halted = false;
        m_writeEp.halted = false;
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
    Lock lock(m_mutex);
    m_setupDataMode = on;
}

void VirtualMixer::setFirmwareVersion(std::uint8_t major, std::uint8_t minor, std::uint8_t build)
{
    Lock lock(m_mutex);
    m_firmware[0] = major;
    m_firmware[1] = minor;
    m_firmware[2] = build;
}

void VirtualMixer::pressPanelKey(int slot, std::uint8_t code)
{
    Lock lock(m_mutex);
    if (slot >= 0 && slot < 9)
        m_keyCodes[slot] = code;
}

void VirtualMixer::releasePanelKey(int slot)
{
    pressPanelKey(slot, 0xFF);
}

bool VirtualMixer::pressDskButton()
{
    QList<Change> changes;
    bool acted = false;
    {
        Lock lock(m_mutex);
        const Clock::time_point now = Clock::now();
        advanceLocked(now, changes);
        QList<QByteArray> lines;
        if (m_keyer.state() == MixerKeyerState::Showing) {
            acted = m_keyer.triggerOut(now, lines);
        } else if (!m_keyer.busy() && m_previewMemoryNo < MixerMemoryNo::FirstClip &&
                   m_memory.contains(m_previewMemoryNo)) {
            const double frameMs = m_memory.signal() == 1 ? 40.0 : 33.3;
            const MixerKeyerTiming timing = MixerKeyerTiming::fromHeader(
                m_memory.header(m_previewMemoryNo).value_or(QByteArray()), frameMs);
            acted = m_keyer.play(m_previewMemoryNo, timing, now, lines);
        }
        queueLinesLocked(lines, changes);
    }
    notify(changes);
    return acted;
}

void VirtualMixer::setEffectPatternCount(int count)
{
    Lock lock(m_mutex);
    m_effectPatternCount = std::max(0, count);
}

void VirtualMixer::setSettingBusyTime(int milliseconds)
{
    Lock lock(m_mutex);
    m_settingBusyMs = std::max(0, milliseconds);
}

void VirtualMixer::setSetupData(const QByteArray &data)
{
    Lock lock(m_mutex);
    m_setupData = data.left(SetupDataSize);
    if (m_setupData.size() < SetupDataSize)
        m_setupData.append(QByteArray(SetupDataSize - m_setupData.size(), '\0'));
}

void VirtualMixer::injectStatus(std::uint8_t status, int answers)
{
    Lock lock(m_mutex);
    m_faults.status = status;
    m_faults.statusAnswers = std::max(0, answers);
}

void VirtualMixer::injectFailedRequests(int count)
{
    Lock lock(m_mutex);
    m_faults.failedRequests = std::max(0, count);
}

void VirtualMixer::injectBulkStall(int afterBytes)
{
    Lock lock(m_mutex);
    m_faults.bulkStallAfter = std::max(0, afterBytes);
}

void VirtualMixer::injectShortBulk(int afterBytes)
{
    Lock lock(m_mutex);
    m_faults.shortBulkAfter = std::max(0, afterBytes);
}

void VirtualMixer::injectUnplugDuringBulk(int afterBytes)
{
    Lock lock(m_mutex);
    m_faults.unplugAfter = std::max(0, afterBytes);
}

void VirtualMixer::injectBadMapMagic(int maps)
{
    Lock lock(m_mutex);
    m_faults.badMapMagic = std::max(0, maps);
}

void VirtualMixer::injectShiftedReadBack(int line)
{
    Lock lock(m_mutex);
    m_faults.shiftedReadBackLine = std::max(0, line);
}

void VirtualMixer::injectMalformedEventLines(int lines)
{
    Lock lock(m_mutex);
    m_faults.malformedLines = std::max(0, lines);
}

void VirtualMixer::queueRawEventText(const QByteArray &bytes)
{
    QList<Change> changes;
    {
        Lock lock(m_mutex);
        if (!m_plugged || bytes.isEmpty())
            return;
        m_events.append(bytes);
        changes << Change::DataReady;
        m_wake.notify_all();
    }
    notify(changes);
}

void VirtualMixer::clearFaults()
{
    Lock lock(m_mutex);
    m_faults = Faults();
    m_readJob.stallAfter = m_readJob.shortAfter = m_readJob.unplugAfter = -1;
    m_writeJob.stallAfter = m_writeJob.shortAfter = m_writeJob.unplugAfter = -1;
    m_wake.notify_all();
}

// ---- inspection ------------------------------------------------------------

bool VirtualMixer::setupDataMode() const
{
    Lock lock(m_mutex);
    return m_setupDataMode;
}

bool VirtualMixer::settingBusy() const
{
    Lock lock(m_mutex);
    return settingBusyAt(Clock::now());
}

std::uint8_t VirtualMixer::signal() const
{
    Lock lock(m_mutex);
    return m_memory.signal();
}

std::uint8_t VirtualMixer::aspect() const
{
    Lock lock(m_mutex);
    return m_aspect;
}

int VirtualMixer::titleRows() const
{
    Lock lock(m_mutex);
    return m_memory.titleRows();
}

int VirtualMixer::rowCount() const
{
    Lock lock(m_mutex);
    return m_memory.rowCount();
}

MixerBlock VirtualMixer::block(int row, int blockIndex) const
{
    Lock lock(m_mutex);
    return m_memory.block(row, blockIndex);
}

QByteArray VirtualMixer::memoryMapBlock() const
{
    Lock lock(m_mutex);
    return m_memory.mapBlock(m_aspect, false);
}

std::optional<QByteArray> VirtualMixer::titleHeader(std::uint16_t memoryNo) const
{
    Lock lock(m_mutex);
    return m_memory.header(memoryNo);
}

std::optional<QByteArray> VirtualMixer::frameLines(std::uint16_t memoryNo, int frame) const
{
    Lock lock(m_mutex);
    return m_memory.frameLines(memoryNo, frame);
}

std::optional<MixerItemInfo> VirtualMixer::item(std::uint16_t memoryNo) const
{
    Lock lock(m_mutex);
    return m_memory.info(memoryNo);
}

MixerKeyerState VirtualMixer::keyerState()
{
    QList<Change> changes;
    MixerKeyerState state;
    {
        Lock lock(m_mutex);
        advanceLocked(Clock::now(), changes);
        state = m_keyer.state();
    }
    notify(changes);
    return state;
}

std::uint16_t VirtualMixer::onAirMemoryNo()
{
    QList<Change> changes;
    std::uint16_t number;
    {
        Lock lock(m_mutex);
        advanceLocked(Clock::now(), changes);
        number = m_keyer.memoryNo();
    }
    notify(changes);
    return number;
}

std::uint16_t VirtualMixer::previewMemoryNo() const
{
    Lock lock(m_mutex);
    return m_previewMemoryNo;
}

bool VirtualMixer::keyerPaused() const
{
    Lock lock(m_mutex);
    return m_keyer.paused();
}

int VirtualMixer::autotakeCount() const
{
    Lock lock(m_mutex);
    return m_autotakeCount;
}

int VirtualMixer::lastRecalledEvent() const
{
    Lock lock(m_mutex);
    return m_lastRecalledEvent;
}

int VirtualMixer::lastPreviewPage() const
{
    Lock lock(m_mutex);
    return m_lastPreviewPage;
}

QList<QByteArray> VirtualMixer::serialCommands() const
{
    Lock lock(m_mutex);
    return m_serialCommands;
}

QByteArray VirtualMixer::setupData() const
{
    Lock lock(m_mutex);
    return m_setupData;
}

QByteArray VirtualMixer::lastTestWrite() const
{
    Lock lock(m_mutex);
    return m_lastTestWrite;
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
