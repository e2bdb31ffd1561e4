#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

class QAbstractEventDispatcher;

// Every protocol wait of the program goes through here: the 50, 100, 200, 250
// and 500 ms pauses, the 3 s bulk piece time-out, the keyer waits. Production
// keeps the figures; tests scale them down so the suite stays fast. The
// virtual mixer times its effects with the same scale.
//
// A wait on the user-interface thread runs the event loop until its deadline
// and asks done() again after every batch of events; a wait on another thread
// sleeps. Whoever changes what a wait may be waiting for from another thread
// calls wake(); a wait also asks again every kRecheckMs while it runs, for
// changes nobody announces. Nothing runs while no wait is in progress.
class Waits
{
public:
    static constexpr int kRecheckMs = 10;

    explicit Waits(double scale = 1.0) : m_scale(scale) {}
    Waits(const Waits &) = delete;
    Waits &operator=(const Waits &) = delete;
    virtual ~Waits() = default;

    double scale() const { return m_scale; }
    void setScale(double scale) { m_scale = scale; }
    // A nominal time in milliseconds as it is actually waited (at least 1 ms for a positive time).
    int scaled(int milliseconds) const;

    // Waits the (scaled) time on the user-interface thread, keeping events flowing.
    virtual void pause(int milliseconds);
    // Keeps events flowing until done() holds or the (scaled) time-out passes;
    // returns done()'s last answer. A negative time-out waits without limit.
    virtual bool waitUntil(const std::function<bool()> &done, int timeoutMilliseconds);
    // Runs the events already pending, when called on the user-interface thread, so that a
    // long piece of work (a history scan) keeps the window alive. No wait.
    virtual void processPending();
    // A plain sleep of the (scaled) time for worker threads (no event processing).
    void sleepOnWorker(int milliseconds) const;
    // Runs change (if given) and makes every wait in progress ask its done()
    // again now. Any thread. A wait that change ends returns only after this
    // call is over, so the waiter may then end what the waker was using.
    // change must not wait, and must not call back into these waits.
    void wake(const std::function<void()> &change = {});

private:
    bool wait(const std::function<bool()> &done, int timeoutMilliseconds, bool recheck);

    double m_scale;
    std::mutex m_mutex;
    std::condition_variable m_woken;
    std::uint64_t m_wakes = 0;
    // The user-interface thread's dispatcher while a wait runs there.
    QAbstractEventDispatcher *m_dispatcher = nullptr;
    int m_eventWaits = 0;
};
