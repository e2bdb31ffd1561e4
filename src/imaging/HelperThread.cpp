#include "imaging/HelperThread.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <immintrin.h>

namespace HelperThread {

namespace {

class Helper
{
public:
    Helper() : m_thread([this] { loop(); }) {}

    ~Helper()
    {
        m_quit.store(true, std::memory_order_release);
        m_posted.fetch_add(1, std::memory_order_release);
        m_posted.notify_one();
        m_thread.join();
    }

    Helper(const Helper &) = delete;
    Helper &operator=(const Helper &) = delete;

    // One caller at a time hands the helper a job.
    bool claim() { return !m_busy.exchange(true, std::memory_order_acquire); }

    void run(const std::function<void()> &ours, const std::function<void()> &theirs)
    {
        m_job = &theirs;
        const unsigned ticket = m_posted.fetch_add(1, std::memory_order_release) + 1;
        m_posted.notify_one();
        ours();
        // The helper's part takes about as long as ours: watch for its end rather than
        // sleep and be woken, which costs tens of microseconds on some machines.
        spinWhile([&] { return m_finished.load(std::memory_order_acquire) != ticket; },
                  FinishWatch);
        for (unsigned done = m_finished.load(std::memory_order_acquire); done != ticket;
             done = m_finished.load(std::memory_order_acquire))
            m_finished.wait(done, std::memory_order_acquire);
        m_job = nullptr;
        m_busy.store(false, std::memory_order_release);
    }

private:
    // How long the caller watches for the helper's end, and how long the helper stays
    // awake for the next job after one: conversions come in runs (the frames of a
    // clip, one after the other), and waking a sleeping thread costs tens of
    // microseconds on some machines, a good part of a conversion.
    static constexpr std::chrono::microseconds FinishWatch{2000};
    static constexpr std::chrono::microseconds StayAwake{2000};

    // Spins while busy() holds, for at most `limit`.
    template<class Busy> static void spinWhile(Busy busy, std::chrono::microseconds limit)
    {
        const auto until = std::chrono::steady_clock::now() + limit;
        for (int turn = 1; busy(); ++turn) {
            _mm_pause();
            if (turn % 64 == 0 && std::chrono::steady_clock::now() >= until)
                return;
        }
    }

    void loop()
    {
        unsigned seen = 0;
        for (;;) {
            spinWhile([&] { return m_posted.load(std::memory_order_acquire) == seen; }, StayAwake);
            m_posted.wait(seen, std::memory_order_acquire);
            seen = m_posted.load(std::memory_order_acquire);
            if (m_quit.load(std::memory_order_acquire))
                return;
            (*m_job)();
            m_finished.store(seen, std::memory_order_release);
            m_finished.notify_one();
        }
    }

    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_quit{false};
    std::atomic<unsigned> m_posted{0};
    std::atomic<unsigned> m_finished{0};
    const std::function<void()> *m_job = nullptr;
    std::thread m_thread; // last: it starts once everything above exists
};

} // namespace

bool available()
{
    static const bool twoCores = std::thread::hardware_concurrency() >= 2;
    return twoCores;
}

void runAlongside(const std::function<void()> &ours, const std::function<void()> &theirs)
{
    if (available()) {
        static Helper helper;
        if (helper.claim()) {
            helper.run(ours, theirs);
            return;
        }
    }
    ours();
    theirs();
}

} // namespace HelperThread
