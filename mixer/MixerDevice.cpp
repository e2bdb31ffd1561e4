#include "mixer/MixerDevice.h"

#include "core/MemoryNo.h"
#include "core/Waits.h"
#include "device/DeviceRequests.h"

#include <QLoggingCategory>
#include <QtEndian>
#include <algorithm>
#include <cstring>

Q_DECLARE_LOGGING_CATEGORY(lcMixer)

namespace {

constexpr int TestUnit = 512;
using DeviceRequest::CancelSide;
using DeviceRequest::In;
using DeviceRequest::MemoryOp;
using DeviceRequest::Out;
using DeviceRequest::Status;
using Kind = MixerBulkPipe::Kind;

QByteArray statusReply(std::uint8_t status, int length = 2)
{
    QByteArray reply(length, '\0');
    reply[0] = char(status);
    return reply;
}

QByteArray statusReply(Status status, int length = 2)
{
    return statusReply(std::uint8_t(status), length);
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
    QByteArray data(MixerDevice::SetupDataSize, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char((i * 31 + 7) & 0xFF);
    return data;
}

} // namespace

MixerDevice::MixerDevice(const Waits &waits, std::uint32_t deviceWordSeed)
    : m_waits(waits), m_memory(deviceWordSeed), m_keyer(waits), m_setupData(factorySetupData())
{
    std::fill(std::begin(m_keyCodes), std::end(m_keyCodes), std::uint8_t(0xFF));
}

std::optional<QByteArray> MixerDevice::controlIn(std::uint8_t request, std::uint16_t value,
                                                 std::uint16_t index, Clock::time_point now)
{
    if (m_faults.failedRequests > 0) {
        --m_faults.failedRequests;
        qCDebug(lcMixer) << "stalling request" << request << "(injected)";
        return std::nullopt;
    }
    advance(now);
    // In setup-data mode the mixer only talks about its setup data.
    const In r = In(request);
    if (m_setupDataMode && r != In::GetSetupDataMode && r != In::GetFirmwareVersion &&
        r != In::BeginSetupDataRead && r != In::BeginSetupDataWrite)
        return std::nullopt;
    switch (r) {
    case In::DskPlay:
    case In::DskPause:
    case In::DskStop:
    case In::Autotake:
    case In::PreviewStart:
    case In::PreviewStop:
        return keyerRequest(request, value, index, now);
    case In::AllocTitleMemory:
    case In::AllocIntVideoMemory:
    case In::SetMemorySetting:
    case In::ReadTitleHeader:
    case In::GetFrameInfo:
    case In::GetFrameLayout:
    case In::CheckEffectPatterns:
    case In::RecallEvent:
        return memoryRequest(request, value, index, now);
    case In::BeginTestRead:
    case In::BeginTestWrite:
    case In::BeginMemoryMapRead:
    case In::BeginFrameRead:
    case In::BeginFrameWrite:
    case In::BeginSetupDataRead:
    case In::BeginSetupDataWrite:
        return transferRequest(request, value, index, now);
    case In::GetFirmwareVersion:
    case In::PreviewMemoryPage:
    case In::GetSetupDataMode:
    case In::GetKeyCodes:
        return infoRequest(request, value, index);
    }
    qCDebug(lcMixer) << "unknown in request" << request;
    return std::nullopt;
}

std::optional<std::uint8_t> MixerDevice::takeInjectedStatus(std::uint8_t request)
{
    if (m_faults.statusAnswers <= 0 ||
        (m_faults.statusRequest >= 0 && m_faults.statusRequest != request))
        return std::nullopt;
    --m_faults.statusAnswers;
    return m_faults.status;
}

MixerKeyerTiming MixerDevice::timingOf(std::uint16_t memoryNo) const
{
    const double frameMs = m_memory.signal() == 1 ? 40.0 : 33.3;
    return MixerKeyerTiming::fromHeader(m_memory.header(memoryNo).value_or(QByteArray()), frameMs);
}

std::optional<QByteArray> MixerDevice::keyerRequest(std::uint8_t request, std::uint16_t value,
                                                    std::uint16_t index, Clock::time_point now)
{
    if (In(request) == In::PreviewStop) {
        m_previewMemoryNo = MemoryNo::None;
        return statusReply(Status::Accepted);
    }
    if (const auto s = takeInjectedStatus(request))
        return statusReply(*s);
    if (settingBusy(now))
        return statusReply(Status::Busy);
    QList<QByteArray> lines;
    Status status = Status::Accepted;
    switch (In(request)) {
    case In::DskPlay: {
        const std::optional<MixerItemInfo> item = m_memory.info(value);
        if (!item || item->clip || !m_keyer.play(value, timingOf(value), now, lines))
            status = Status::Refused;
        break;
    }
    case In::DskPause:
        if (!m_keyer.togglePause(now))
            status = Status::Refused;
        break;
    case In::DskStop:
        m_keyer.stop(now, lines);
        break;
    case In::Autotake:
        ++m_autotakeCount;
        m_keyer.triggerOut(now, lines);
        break;
    case In::PreviewStart:
        // The keyer cursor's preview waits while the keyer is busy.
        if (!m_memory.contains(value) || (index == 1 && m_keyer.busy()))
            status = Status::Refused;
        else
            m_previewMemoryNo = value;
        break;
    default:
        return std::nullopt;
    }
    queueLines(lines);
    return statusReply(status);
}

std::optional<QByteArray> MixerDevice::memoryRequest(std::uint8_t request, std::uint16_t value,
                                                     std::uint16_t index, Clock::time_point now)
{
    const bool busy = settingBusy(now);
    const int frame = index & 0x7FFF;
    switch (In(request)) {
    case In::AllocTitleMemory:
    case In::AllocIntVideoMemory: {
        if (takeInjectedStatus(request) || busy)
            return memoryReply(MemoryNo::None, 0);
        const std::uint16_t number =
            In(request) == In::AllocTitleMemory
                ? m_memory.allocateTitle(value & 0xFF, index, (value & 0x8000) != 0)
                : m_memory.allocateClip(value);
        if (number == MemoryNo::NotStored)
            return memoryReply(number, 0);
        qCDebug(lcMixer) << "allocated" << Qt::hex << number;
        return memoryReply(number, m_memory.info(number)->deviceWord);
    }
    case In::SetMemorySetting:
    case In::RecallEvent: {
        if (const auto s = takeInjectedStatus(request))
            return statusReply(*s);
        if (busy)
            return statusReply(Status::Busy);
        if (In(request) == In::RecallEvent) {
            m_lastRecalledEvent = value;
            return statusReply(Status::Accepted);
        }
        return statusReply(applyMemorySetting(value, index, now) ? Status::Accepted
                                                                 : Status::Refused);
    }
    case In::ReadTitleHeader:
        return m_memory.header(value);
    case In::GetFrameInfo: {
        if (const auto s = takeInjectedStatus(request))
            return statusReply(*s, 10);
        if (busy)
            return statusReply(Status::Busy, 10);
        const auto flags = m_memory.bandFlags(value, frame);
        if (!flags)
            return statusReply(Status::Refused, 10);
        QByteArray reply = statusReply(Status::Accepted, 10);
        std::memcpy(reply.data() + 1, flags->data(), 8);
        reply[9] = char(m_memory.lineClass());
        return reply;
    }
    case In::GetFrameLayout: {
        const auto flags = m_memory.bandFlags(value, frame);
        if (!flags)
            return std::nullopt;
        QByteArray reply(10, '\0');
        std::memcpy(reply.data(), flags->data(), 8);
        reply[8] = char(m_memory.lineClass());
        return reply;
    }
    case In::CheckEffectPatterns: {
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
    default:
        return std::nullopt;
    }
}

std::optional<QByteArray> MixerDevice::transferRequest(std::uint8_t request, std::uint16_t value,
                                                       std::uint16_t index, Clock::time_point now)
{
    const In r = In(request);
    const int frame = index & 0x7FFF;
    if (r == In::BeginMemoryMapRead) {
        // Its refusal is "stop" (0): a busy 1 would read as "go on".
        if (takeInjectedStatus(request) || settingBusy(now))
            return statusReply(0);
        const bool bad = m_faults.badMapMagic > 0;
        if (bad)
            --m_faults.badMapMagic;
        const QByteArray map = m_memory.mapBlock(m_aspect, bad);
        announce(m_readPipe, Kind::MemoryMap, map, map.size());
        return statusReply(1);
    }
    if (const auto s = takeInjectedStatus(request))
        return statusReply(*s);
    if (r == In::BeginSetupDataRead || r == In::BeginSetupDataWrite) {
        if (!m_setupDataMode)
            return statusReply(Status::Refused);
        if (r == In::BeginSetupDataRead)
            announce(m_readPipe, Kind::SetupRead, m_setupData, SetupDataSize);
        else
            announce(m_writePipe, Kind::SetupWrite, QByteArray(), SetupDataSize);
        return statusReply(Status::Accepted);
    }
    if (settingBusy(now))
        return statusReply(Status::Busy);
    switch (r) {
    case In::BeginTestRead: {
        QByteArray pattern(qsizetype(value) * TestUnit, Qt::Uninitialized);
        // The bytes count 0..255 over and over: one period is written, then
        // copied forward in doubling runs.
        char *bytes = pattern.data();
        const qsizetype length = pattern.size();
        qsizetype filled = std::min<qsizetype>(length, 256);
        for (qsizetype i = 0; i < filled; ++i)
            bytes[i] = char(i);
        while (filled < length) {
            const qsizetype run = std::min(filled, length - filled);
            std::memcpy(bytes + filled, bytes, size_t(run));
            filled += run;
        }
        announce(m_readPipe, Kind::TestRead, pattern, pattern.size());
        break;
    }
    case In::BeginTestWrite:
        announce(m_writePipe, Kind::TestWrite, QByteArray(), qsizetype(value) * TestUnit);
        break;
    case In::BeginFrameRead: {
        std::optional<QByteArray> stream = m_memory.readBackStream(value, frame);
        if (!stream)
            return statusReply(Status::Refused);
        if (m_faults.shiftedReadBackLine >= 0) {
            // Two stray bytes from this line on; the stream keeps its length.
            const qsizetype size = stream->size();
            const qsizetype at = std::min<qsizetype>(
                qsizetype(m_faults.shiftedReadBackLine) * MixerMemory::LineBytes, size);
            stream->insert(at, QByteArray(2, '\0'));
            stream->truncate(size);
            m_faults.shiftedReadBackLine = -1;
        }
        announce(m_readPipe, Kind::FrameRead, *stream, stream->size(), value, frame);
        break;
    }
    case In::BeginFrameWrite: {
        const std::optional<qsizetype> size = m_memory.frameWriteSize(value, frame);
        if (!size)
            return statusReply(Status::Refused);
        announce(m_writePipe, Kind::FrameWrite, QByteArray(), *size, value, frame);
        break;
    }
    default:
        return std::nullopt;
    }
    return statusReply(Status::Accepted);
}

std::optional<QByteArray> MixerDevice::infoRequest(std::uint8_t request, std::uint16_t value,
                                                   std::uint16_t index)
{
    switch (In(request)) {
    case In::GetFirmwareVersion: {
        QByteArray reply(4, '\0');
        std::memcpy(reply.data(), m_firmware, 3);
        return reply;
    }
    case In::PreviewMemoryPage:
        m_lastPreviewPage = value;
        return statusReply(Status::Accepted);
    case In::GetSetupDataMode:
        return statusReply(m_setupDataMode ? 1 : 0);
    case In::GetKeyCodes: {
        QByteArray reply(10, '\0');
        std::memcpy(reply.data(), m_keyCodes, 9);
        return reply;
    }
    default:
        return std::nullopt;
    }
}

bool MixerDevice::applyMemorySetting(std::uint16_t value, std::uint16_t index,
                                     Clock::time_point now)
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
        queueLines(lines);
        m_previewMemoryNo = MemoryNo::None;
        m_readPipe.drop();
        m_writePipe.drop();
        m_memory.clearAll();
        m_memory.setSignal(std::uint8_t(signal));
        m_memory.setTitleRows(rows);
    }
    m_aspect = std::uint8_t(aspect);
    m_storedChange = true;
    m_busyUntil = now + std::chrono::milliseconds(m_waits.scaled(m_settingBusyMs));
    qCDebug(lcMixer) << "memory setting" << signal << aspect << rows << "- Loading...";
    return true;
}

bool MixerDevice::controlOut(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                             const QByteArray &payload, Clock::time_point now)
{
    if (m_faults.failedRequests > 0) {
        --m_faults.failedRequests;
        return false;
    }
    advance(now);
    const Out r = Out(request);
    if (m_setupDataMode && r != Out::CancelTransfer)
        return false;
    switch (r) {
    case Out::WriteTitleHeader:
        return m_memory.writeHeader(value, payload);
    case Out::SendSerialCommand:
        if (payload.size() != 34)
            return false;
        m_serialCommands.append(payload);
        return true;
    case Out::CancelTransfer:
        if (CancelSide(value) != CancelSide::Read && CancelSide(value) != CancelSide::Write)
            return false;
        (CancelSide(value) == CancelSide::Read ? m_readPipe : m_writePipe).drop();
        return true;
    case Out::MemoryOperation:
        return memoryOperation(value, index);
    }
    return false;
}

bool MixerDevice::memoryOperation(std::uint16_t value, std::uint16_t index)
{
    const MemoryOp op = MemoryOp(index);
    if (op == MemoryOp::Unprotect || op == MemoryOp::Protect) {
        const bool done = m_memory.setProtected(value, op == MemoryOp::Protect);
        m_storedChange = m_storedChange || done;
        return done;
    }
    if (op != MemoryOp::Clear)
        return false;
    const bool keyed = m_keyer.busy();
    if (value == MemoryNo::AllIntVideo) {
        m_memory.clearIntVideo();
    } else if (value == MemoryNo::AllMemory) {
        if (keyed)
            return false; // the keyed title cannot go from under the keyer
        m_memory.clearAll();
    } else if (!MemoryNo::isData(value)) {
        return false;
    } else {
        if (keyed && value == m_keyer.memoryNo())
            return false;
        m_memory.clear(value); // clearing what is not there is no error
    }
    if (m_previewMemoryNo != MemoryNo::None && !m_memory.contains(m_previewMemoryNo))
        m_previewMemoryNo = MemoryNo::None;
    for (MixerBulkPipe *pipe : {&m_readPipe, &m_writePipe}) {
        const MixerBulkPipe::Job &job = pipe->job();
        if ((job.kind == Kind::FrameRead || job.kind == Kind::FrameWrite) &&
            !m_memory.contains(job.memoryNo))
            pipe->drop();
    }
    m_storedChange = true;
    return true;
}

void MixerDevice::advance(Clock::time_point now)
{
    QList<QByteArray> lines;
    m_keyer.advance(now, lines);
    queueLines(lines);
}

bool MixerDevice::pressDskButton(Clock::time_point now)
{
    advance(now);
    QList<QByteArray> lines;
    bool acted = false;
    if (m_keyer.state() == MixerKeyerState::Showing) {
        acted = m_keyer.triggerOut(now, lines);
    } else if (!m_keyer.busy() && m_previewMemoryNo < MemoryNo::FirstClip &&
               m_memory.contains(m_previewMemoryNo)) {
        acted = m_keyer.play(m_previewMemoryNo, timingOf(m_previewMemoryNo), now, lines);
    }
    queueLines(lines);
    return acted;
}

void MixerDevice::commitWrite(const MixerBulkPipe::Job &job)
{
    switch (job.kind) {
    case Kind::FrameWrite:
        if (!m_memory.storeFrame(job.memoryNo, job.frame, job.data))
            qCWarning(lcMixer) << "frame" << job.frame << "of" << job.memoryNo << "not stored";
        else if (job.frame + 1 == m_memory.info(job.memoryNo)->frameCount)
            m_storedChange = true; // the title's or clip's last frame
        break;
    case Kind::TestWrite:
        m_lastTestWrite = job.data;
        break;
    case Kind::SetupWrite:
        m_setupData = job.data;
        m_storedChange = true;
        break;
    default:
        break;
    }
}

void MixerDevice::announce(MixerBulkPipe &pipe, MixerBulkPipe::Kind kind, const QByteArray &data,
                           qsizetype expected, std::uint16_t memoryNo, int frame)
{
    // A fault that strikes after BYTES waits for a transfer long enough to
    // reach them: shorter ones (the memory map read before a frame) pass.
    MixerBulkPipe::Faults faults;
    for (auto field : {&MixerBulkPipe::Faults::stallAfter, &MixerBulkPipe::Faults::shortAfter,
                       &MixerBulkPipe::Faults::unplugAfter}) {
        int &armed = m_faults.bulk.*field;
        if (armed >= 0 && expected > armed)
            faults.*field = std::exchange(armed, -1);
    }
    pipe.announce(kind, data, expected, faults, memoryNo, frame);
    m_activity = true;
}

void MixerDevice::queueLines(const QList<QByteArray> &lines)
{
    if (lines.isEmpty() || !m_hostPresent)
        return; // nobody listens while the cable is out
    for (const QByteArray &line : lines) {
        const QByteArray sent = faulty(line);
        if (!sent.isEmpty() && !m_events.append(sent))
            qCDebug(lcMixer) << "event pipe full, line lost:" << line;
        if (m_faults.leaveAfterLines > 0 && --m_faults.leaveAfterLines == 0)
            m_leaveAt =
                Clock::now() + std::chrono::milliseconds(m_waits.scaled(m_faults.leaveDelayMs));
    }
    m_activity = true;
}

QByteArray MixerDevice::faulty(const QByteArray &line)
{
    if (m_faults.droppedOutEnds > 0 && line == MixerKeyer::outEndLine()) {
        --m_faults.droppedOutEnds;
        qCDebug(lcMixer) << "\"out end\" not sent (injected)";
        return {};
    }
    if (m_faults.malformedLines > 0) {
        --m_faults.malformedLines;
        return garbled(line);
    }
    if (m_faults.foreignNumbers > 0) {
        const bool in = line.startsWith("in start");
        const bool out = line.startsWith("out start");
        if (in || out) {
            --m_faults.foreignNumbers;
            const std::uint16_t number = foreignNumber();
            return in ? MixerKeyer::inStartLine(number) : MixerKeyer::outStartLine(number);
        }
    }
    return line;
}

std::uint16_t MixerDevice::foreignNumber() const
{
    std::uint16_t n = MemoryNo::FirstClip - 1;
    while (n > 0 && m_memory.contains(n))
        --n;
    return n;
}

void MixerDevice::armLeave(int afterLines, int delayMs, Clock::time_point now)
{
    m_faults.leaveAfterLines = afterLines < 0 ? -1 : afterLines;
    m_faults.leaveDelayMs = std::max(0, delayMs);
    if (m_faults.leaveAfterLines == 0)
        m_leaveAt = now + std::chrono::milliseconds(m_waits.scaled(m_faults.leaveDelayMs));
}

bool MixerDevice::takeLeave(Clock::time_point now)
{
    if (m_faults.leaveAfterLines != 0 || now < m_leaveAt)
        return false;
    m_faults.leaveAfterLines = -1;
    qCDebug(lcMixer) << "leaving the bus (injected)";
    return true;
}

std::optional<MixerDevice::Clock::time_point> MixerDevice::leaveAt() const
{
    if (m_faults.leaveAfterLines != 0)
        return std::nullopt;
    return m_leaveAt;
}

void MixerDevice::queueRawEvents(const QByteArray &bytes)
{
    if (!m_hostPresent || bytes.isEmpty())
        return;
    m_events.append(bytes);
    m_activity = true;
}

void MixerDevice::setHostPresent(bool present)
{
    m_hostPresent = present;
    m_events.clear();
    m_readPipe.drop();
    m_writePipe.drop();
    m_readPipe.clearHalt();
    m_writePipe.clearHalt();
}

void MixerDevice::setFirmwareVersion(std::uint8_t major, std::uint8_t minor, std::uint8_t build)
{
    m_firmware[0] = major;
    m_firmware[1] = minor;
    m_firmware[2] = build;
}

void MixerDevice::setKeyCode(int slot, std::uint8_t code)
{
    if (slot >= 0 && slot < 9)
        m_keyCodes[slot] = code;
}

void MixerDevice::setSetupData(const QByteArray &data)
{
    m_storedChange = true;
    m_setupData = data.left(SetupDataSize);
    if (m_setupData.size() < SetupDataSize)
        m_setupData.append(QByteArray(SetupDataSize - m_setupData.size(), '\0'));
}

MixerDevice::Snapshot MixerDevice::snapshot() const
{
    Snapshot s{m_memory.contents(),
               m_aspect,
               m_setupDataMode,
               m_setupData,
               m_faults,
               m_linkRate,
               m_serialCommands.isEmpty() ? QByteArray() : m_serialCommands.last()};
    std::copy(std::begin(m_keyCodes), std::end(m_keyCodes), s.keyCodes.begin());
    return s;
}

bool MixerDevice::restore(const Snapshot &s)
{
    if (s.aspect > 1 || s.setupData.size() != SetupDataSize ||
        (!s.lastSerialCommand.isEmpty() && s.lastSerialCommand.size() != 34) ||
        !m_memory.restore(s.memory))
        return false;
    m_aspect = s.aspect;
    m_setupDataMode = s.setupDataMode;
    m_setupData = s.setupData;
    m_faults = s.faults;
    // A leave with no lines left to wait for runs its clock from now.
    armLeave(m_faults.leaveAfterLines, m_faults.leaveDelayMs, Clock::now());
    m_linkRate = s.linkRate;
    m_serialCommands.clear();
    if (!s.lastSerialCommand.isEmpty())
        m_serialCommands.append(s.lastSerialCommand);
    std::copy(s.keyCodes.begin(), s.keyCodes.end(), std::begin(m_keyCodes));
    m_readPipe.drop();
    m_writePipe.drop();
    m_previewMemoryNo = MemoryNo::None;
    return true;
}
