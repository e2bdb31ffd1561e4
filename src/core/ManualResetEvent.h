#pragma once

#include <condition_variable>
#include <mutex>

// An event that stays signalled until it is reset: the ready events of the
// titles the auto-load worker sends and the hand-overs between its threads.
// Any thread may set, reset or wait.
class ManualResetEvent
{
public:
    explicit ManualResetEvent(bool signalled = false) : m_signalled(signalled) {}
    ManualResetEvent(const ManualResetEvent &) = delete;
    ManualResetEvent &operator=(const ManualResetEvent &) = delete;

    void set();
    void reset();
    bool isSet() const;
    // Blocks until the event is set or the time-out (real milliseconds) passes;
    // a negative time-out waits without limit. Returns whether it is set.
    bool wait(int timeoutMilliseconds = -1) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_signalled;
};
