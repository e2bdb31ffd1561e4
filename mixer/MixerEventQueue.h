#pragma once

#include <QByteArray>
#include <cstdint>

// The bytes waiting on the interrupt pipe. Each read takes one report of
// min(length, 64) bytes holding as many whole lines as fit, zero-filled after
// them, so that a line never breaks across reads without a zero byte after
// its first part (the host joins such parts).
class MixerEventQueue
{
public:
    static constexpr int ReportSize = 64;

    void append(const QByteArray &bytes) { m_pending.append(bytes); }
    void clear() { m_pending.clear(); }
    bool isEmpty() const { return m_pending.isEmpty(); }
    qsizetype pendingBytes() const { return m_pending.size(); }
    // Fills `buffer` with the next report; returns its length (0 for length 0).
    int takeReport(std::uint8_t *buffer, int length);

private:
    QByteArray m_pending;
};
