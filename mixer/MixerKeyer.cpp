#include "mixer/MixerKeyer.h"

#include "core/Waits.h"

namespace {

int timeMs(int seconds, int frames, double frameMs, int minutes = 0)
{
    return int(minutes * 60000.0 + seconds * 1000.0 + frames * frameMs);
}

QByteArray numberedLine(const char *keyword, int width, std::uint16_t memoryNo)
{
    QByteArray line(keyword);
    line = line.leftJustified(width, ' ');
    line += QByteArray::number(memoryNo);
    line += '\r';
    return line;
}

} // namespace

MixerKeyerTiming MixerKeyerTiming::fromHeader(const QByteArray &header, double frameMs)
{
    MixerKeyerTiming t;
    if (header.size() < 30)
        return t;
    const auto *h = reinterpret_cast<const uchar *>(header.constData());
    t.durationMs = timeMs(h[13], h[12], frameMs, h[14]);
    t.inEffectMs = timeMs(h[21], h[20], frameMs);
    t.outEffectMs = timeMs(h[29], h[28], frameMs);
    t.autoOut = (h[24] & 0x01) != 0;
    return t;
}

MixerKeyer::Clock::duration MixerKeyer::scaled(int nominalMs) const
{
    return std::chrono::milliseconds(m_waits.scaled(nominalMs));
}

bool MixerKeyer::play(std::uint16_t memoryNo, const MixerKeyerTiming &timing, Clock::time_point now,
                      QList<QByteArray> &lines)
{
    advance(now, lines);
    if (m_state == MixerKeyerState::Showing)
        return triggerOut(now, lines);
    if (m_state != MixerKeyerState::Idle)
        return false;
    m_state = MixerKeyerState::InRunning;
    m_memoryNo = memoryNo;
    m_timing = timing;
    m_stopRequested = false;
    m_paused = false;
    lines << inStartLine(memoryNo);
    m_deadline = now + scaled(timing.inEffectMs);
    m_hasDeadline = true;
    advance(now, lines);
    return true;
}

bool MixerKeyer::triggerOut(Clock::time_point now, QList<QByteArray> &lines)
{
    advance(now, lines);
    if (m_state != MixerKeyerState::Showing)
        return false;
    m_paused = false;
    startOut(now, lines);
    advance(now, lines);
    return true;
}

void MixerKeyer::stop(Clock::time_point now, QList<QByteArray> &lines)
{
    advance(now, lines);
    if (m_state == MixerKeyerState::Showing)
        triggerOut(now, lines);
    else if (m_state == MixerKeyerState::InRunning)
        m_stopRequested = true; // the out follows the in effect at once
}

bool MixerKeyer::togglePause(Clock::time_point now)
{
    if (m_state == MixerKeyerState::Idle)
        return false;
    if (m_paused) {
        m_deadline += now - m_pausedAt;
        m_paused = false;
    } else {
        m_paused = true;
        m_pausedAt = now;
    }
    return true;
}

void MixerKeyer::cut(QList<QByteArray> &lines)
{
    if (m_state != MixerKeyerState::Idle)
        lines << outEndLine();
    m_state = MixerKeyerState::Idle;
    m_memoryNo = MemoryNo::None;
    m_hasDeadline = false;
    m_paused = false;
    m_stopRequested = false;
}

void MixerKeyer::startOut(Clock::time_point at, QList<QByteArray> &lines)
{
    lines << outStartLine(m_memoryNo);
    m_state = MixerKeyerState::OutRunning;
    m_deadline = at + scaled(m_timing.outEffectMs);
    m_hasDeadline = true;
}

void MixerKeyer::advance(Clock::time_point now, QList<QByteArray> &lines)
{
    if (m_paused)
        return;
    // Each step starts from the previous deadline, not from now, so that a
    // late caller still sees the lines in their order and with their timing.
    while (m_hasDeadline && m_deadline <= now) {
        switch (m_state) {
        case MixerKeyerState::InRunning:
            lines << inEndLine();
            m_state = MixerKeyerState::Showing;
            if (m_stopRequested) {
                startOut(m_deadline, lines);
            } else if (m_timing.autoOut) {
                // The duration is the title's whole time on the keyer, effects
                // included; effects longer than it still run in full.
                const int hold = m_timing.durationMs - m_timing.inEffectMs - m_timing.outEffectMs;
                m_deadline += scaled(hold > 0 ? hold : 0);
            } else {
                m_hasDeadline = false; // a manual out waits for its trigger
            }
            break;
        case MixerKeyerState::Showing:
            startOut(m_deadline, lines);
            break;
        case MixerKeyerState::OutRunning:
            lines << outEndLine();
            m_state = MixerKeyerState::Idle;
            m_memoryNo = MemoryNo::None;
            m_hasDeadline = false;
            break;
        case MixerKeyerState::Idle:
            m_hasDeadline = false;
            break;
        }
    }
}

std::optional<MixerKeyer::Clock::time_point> MixerKeyer::nextDeadline() const
{
    if (m_paused || !m_hasDeadline)
        return std::nullopt;
    return m_deadline;
}

QByteArray MixerKeyer::inStartLine(std::uint16_t memoryNo)
{
    return numberedLine("in start", 15, memoryNo);
}

QByteArray MixerKeyer::inEndLine()
{
    return QByteArrayLiteral("in end\r");
}

QByteArray MixerKeyer::outStartLine(std::uint16_t memoryNo)
{
    return numberedLine("out start", 16, memoryNo);
}

QByteArray MixerKeyer::outEndLine()
{
    return QByteArrayLiteral("out end\r");
}
