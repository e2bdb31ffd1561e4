#include "mixer/MixerEventQueue.h"

#include <algorithm>
#include <cstring>

bool MixerEventQueue::append(const QByteArray &bytes)
{
    if (m_pending.size() + bytes.size() > Capacity)
        return false;
    m_pending.append(bytes);
    return true;
}

int MixerEventQueue::takeReport(std::uint8_t *buffer, int length)
{
    const int cap = std::min(length, ReportSize);
    if (cap <= 0)
        return 0;
    std::memset(buffer, 0, size_t(cap));
    qsizetype taken = 0;
    // Whole lines while they fit.
    while (taken < m_pending.size()) {
        const qsizetype cr = m_pending.indexOf('\r', taken);
        if (cr < 0) {
            // An unfinished line needs a zero byte after it, or the host drops it.
            if (m_pending.size() < cap)
                taken = m_pending.size();
            break;
        }
        if (cr + 1 > cap)
            break;
        taken = cr + 1;
    }
    if (taken == 0 && !m_pending.isEmpty()) {
        // A line longer than a report: send a part of it with a zero byte after
        // it, so that the host keeps it and joins the next part.
        taken = std::min<qsizetype>(m_pending.size(), cap - 1);
    }
    std::memcpy(buffer, m_pending.constData(), size_t(taken));
    m_pending.remove(0, taken);
    return cap;
}
