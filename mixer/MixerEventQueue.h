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
    // What the mixer holds for a host that does not read; later lines are lost.
    static constexpr int Capacity = 16384;

    // False when the bytes did not fit and were dropped.
    bool append(const QByteArray &bytes);
    void clear() { m_pending.clear(); }
    bool isEmpty() const { return m_pending.isEmpty(); }
    qsizetype pendingBytes() const { return m_pending.size(); }
    // Fills `buffer` with the next report; returns its length (0 for length 0).
    int takeReport(std::uint8_t *buffer, int length);

private:
    QByteArray m_pending;
};
