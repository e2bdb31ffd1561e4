#pragma once

#include <chrono>
#include <cstdint>

#if defined(__linux__)
#include <sched.h>
#endif

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

// Watches a condition on a running core for a bounded time. Handing work to
// a thread that sleeps costs a wake-up, which on a virtual machine with idle
// cores takes some 20 µs; a thread that expects the hand-over soon watches
// for it a little while before it goes to sleep. It does not give its core
// away between looks (a yielding thread on a busy core comes back only after
// another program's time slice); instead the caller stops watching as soon as
// the thread it watches for shares its core, which the watch would only hold
// up, and sleeps, so that a wake-up can move one of them to another core.
class BoundedSpin
{
public:
    // True as soon as ready() holds; false when it still does not after
    // budgetNs, or as soon as pointless() holds (checked now and then).
    template<typename Ready, typename Pointless>
    static bool until(Ready ready, std::int64_t budgetNs, Pointless pointless)
    {
        if (ready())
            return true;
        if (budgetNs <= 0 || pointless())
            return false;
        using Clock = std::chrono::steady_clock;
        const Clock::time_point end = Clock::now() + std::chrono::nanoseconds(budgetNs);
        for (;;) {
            for (int i = 0; i < kChecksPerClockRead; ++i) {
                relax();
                if (ready())
                    return true;
            }
            if (Clock::now() >= end || pointless())
                return ready();
        }
    }

    template<typename Ready> static bool until(Ready ready, std::int64_t budgetNs)
    {
        return until(ready, budgetNs, [] { return false; });
    }

    // The core the calling thread runs on, -1 when the system does not tell.
    static int currentCpu()
    {
#if defined(__linux__)
        return sched_getcpu();
#else
        return -1;
#endif
    }
    // Two threads last seen on the same core: watching one from the other only
    // keeps it from running.
    static bool sameCpu(int a, int b)
    {
        return a >= 0 && a == b;
    }

    static std::int64_t nowNs()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

private:
    static constexpr int kChecksPerClockRead = 16;

    static void relax()
    {
#if defined(__x86_64__) || defined(__i386__)
        _mm_pause();
#elif defined(__aarch64__)
        asm volatile("yield");
#endif
    }
};
