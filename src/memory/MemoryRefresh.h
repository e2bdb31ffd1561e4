#pragma once

#include <QObject>

class DeviceMemoryMirror;
class QTimer;

// Keeps the memory mirror up to date: TimerGetMemory reads the map every
// 500 ms while a device is connected. Everything else that uses the bulk pipes
// or shows a modal device dialog holds a Pause for its duration, so that two
// transfers never overlap; the timer starts again when the last pause ends,
// if the device is still connected.
class MemoryRefresh : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 500;

    // Stops the refresh while it lives; pauses nest. A null refresh pauses nothing.
    class Pause
    {
    public:
        explicit Pause(MemoryRefresh *refresh);
        ~Pause();
        Pause(const Pause &) = delete;
        Pause &operator=(const Pause &) = delete;

    private:
        MemoryRefresh *m_refresh;
    };

    explicit MemoryRefresh(DeviceMemoryMirror &mirror, QObject *parent = nullptr);

    // The device connected or went: the timer runs exactly while connected.
    void setConnected(bool connected);
    bool connected() const { return m_connected; }
    bool running() const;
    int pauseDepth() const { return m_paused; }

    // One tick: the timer off, one map read, the timer on again.
    void TimerGetMemoryTimer();

private:
    void follow();

    DeviceMemoryMirror &m_mirror;
    QTimer *TimerGetMemory;
    bool m_connected = false;
    bool m_ticking = false;
    int m_paused = 0;
};
