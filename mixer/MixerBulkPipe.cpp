#include "mixer/MixerBulkPipe.h"

#include <algorithm>
#include <cstring>

void MixerBulkPipe::announce(Kind kind, const QByteArray &data, qsizetype expected,
                             const Faults &faults, std::uint16_t memoryNo, int frame)
{
    m_job = Job();
    if (expected <= 0)
        return; // nothing announced: the pipe stays quiet
    m_job.kind = kind;
    m_job.data = data;
    m_job.expected = expected;
    m_job.memoryNo = memoryNo;
    m_job.frame = frame;
    m_job.faults = faults;
    if (!m_inbound)
        m_job.data.reserve(expected);
}

MixerBulkPipe::Step MixerBulkPipe::step(std::uint8_t *in, const std::uint8_t *out, int want)
{
    if (!active() || want <= 0)
        return {};
    const Faults &f = m_job.faults;
    qsizetype limit = m_job.expected - m_job.moved;
    if (f.unplugAfter >= 0) {
        if (m_job.moved >= f.unplugAfter) {
            m_job = Job();
            return {Outcome::Unplug, 0, std::nullopt};
        }
        limit = std::min<qsizetype>(limit, f.unplugAfter - m_job.moved);
    }
    if (f.shortAfter >= 0) {
        if (m_job.moved >= f.shortAfter) {
            m_job = Job();
            if (!m_inbound)
                m_halted = true;
            return {Outcome::Short, 0, std::nullopt};
        }
        limit = std::min<qsizetype>(limit, f.shortAfter - m_job.moved);
    }
    if (f.stallAfter >= 0)
        limit = std::min<qsizetype>(limit, std::max<qsizetype>(0, f.stallAfter - m_job.moved));
    const qsizetype chunk = std::min<qsizetype>(want, limit);
    if (chunk <= 0)
        return {};
    if (m_inbound)
        std::memcpy(in, m_job.data.constData() + m_job.moved, size_t(chunk));
    else
        m_job.data.append(reinterpret_cast<const char *>(out), chunk);
    m_job.moved += chunk;
    if (m_job.moved < m_job.expected)
        return {Outcome::Moved, int(chunk), std::nullopt};
    Step done{Outcome::Finished, int(chunk), std::nullopt};
    if (!m_inbound)
        done.finished = std::move(m_job);
    m_job = Job();
    return done;
}
