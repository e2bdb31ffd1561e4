#include "imaging/HelperThread.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <system_error>
#include <thread>

#include <immintrin.h>
#include <pthread.h>
#include <sched.h>

namespace HelperThread {

namespace {

// The processors the program may run on.
cpu_set_t allowedCpus()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        CPU_ZERO(&set);
    return set;
}

class Helper
{
public:
    Helper() : m_allowed(allowedCpus()), m_thread([this] { loop(); }) {}

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
        keepOffCallersCore();
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
    // Keeps the helper off the core the caller is on. Woken from sleep, the helper would
    // otherwise often be put on the caller's core and only start once the caller has
    // done its part.
    void keepOffCallersCore()
    {
        const int cpu = sched_getcpu();
        if (cpu < 0 || cpu == m_keptOff || !CPU_ISSET(cpu, &m_allowed))
            return;
        cpu_set_t others = m_allowed;
        CPU_CLR(cpu, &others);
        if (CPU_COUNT(&others) > 0 &&
            pthread_setaffinity_np(m_thread.native_handle(), sizeof others, &others) == 0)
            m_keptOff = cpu;
    }

    // How long the caller watches for the helper's end, and how long the helper stays
    // awake for the next job after one: conversions come in runs (the frames of a
    // clip, one after the other), and waking a sleeping thread costs tens of
    // microseconds on some machines, a good part of a conversion.
    static constexpr std::chrono::microseconds FinishWatch{2000};
    static constexpr std::chrono::microseconds StayAwake{2000};

    // Spins while busy() holds, for at most `limit`. Now and then it gives the processor
    // up: right after a wake-up the scheduler may have put both threads on one core, and
    // a spin there would keep the other from running at all.
    template<class Busy> static void spinWhile(Busy busy, std::chrono::microseconds limit)
    {
        const auto until = std::chrono::steady_clock::now() + limit;
        for (int turn = 1; busy(); ++turn) {
            _mm_pause();
            if (turn % 64 == 0) {
                std::this_thread::yield();
                if (std::chrono::steady_clock::now() >= until)
                    return;
            }
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
    const cpu_set_t m_allowed;
    int m_keptOff = -1;   // the caller's core the helper was last kept off
    std::thread m_thread; // last: it starts once everything above exists
};

} // namespace

bool available()
{
    static const bool twoCores = [] {
        const cpu_set_t allowed = allowedCpus();
        return CPU_COUNT(&allowed) >= 2;
    }();
    return twoCores;
}

namespace {

// The helper, started on first use; none when there is no second core or no thread
// can be started (then everything runs on the calling thread).
Helper *theHelper()
{
    static const std::unique_ptr<Helper> helper = []() -> std::unique_ptr<Helper> {
        if (!available())
            return nullptr;
        try {
            return std::make_unique<Helper>();
        } catch (const std::system_error &) {
            return nullptr;
        }
    }();
    return helper.get();
}

} // namespace

void shareOut(int parts, const std::function<void(int)> &part)
{
    Helper *const helper = parts > 1 ? theHelper() : nullptr;
    if (helper && helper->claim()) {
        // The calling thread takes parts from the front, the helper from the back,
        // until every part is taken: each works through lines that lie together.
        std::atomic<int> untaken{parts};
        int front = 0;
        int back = parts - 1;
        const std::function<void()> ours = [&] {
            while (untaken.fetch_sub(1, std::memory_order_relaxed) > 0)
                part(front++);
        };
        const std::function<void()> theirs = [&] {
            while (untaken.fetch_sub(1, std::memory_order_relaxed) > 0)
                part(back--);
        };
        helper->run(ours, theirs);
        return;
    }
    for (int i = 0; i < parts; ++i)
        part(i);
}

} // namespace HelperThread
