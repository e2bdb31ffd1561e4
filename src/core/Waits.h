#pragma once

#include <functional>

// Every protocol wait of the program goes through here: the 50, 100, 200, 250
// and 500 ms pauses, the 3 s bulk piece time-out, the keyer waits. Production
// keeps the figures; tests scale them down so the suite stays fast. The
// virtual mixer times its effects with the same scale.
class Waits
{
public:
    explicit Waits(double scale = 1.0) : m_scale(scale) {}
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

private:
    double m_scale;
};
