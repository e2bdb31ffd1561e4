#include "core/ParallelWork.h"

#include "core/HandOverOrder.h"
#include "core/Waits.h"

#include <QThread>
#include <algorithm>
#include <atomic>
#include <memory>

namespace ParallelWork {

void run(Waits &waits, int count, const std::function<void(int)> &job)
{
    if (count <= 0)
        return;
    struct State
    {
        std::atomic<int> next{0};
        std::atomic<int> running{0};
        std::atomic<bool> finished{false};
    };
    auto state = std::make_shared<State>();
    const int workers = std::clamp(QThread::idealThreadCount(), 1, count);
    state->running = workers;
    for (int w = 0; w < workers; ++w) {
        startOnPool([state, count, &job, &waits] {
            for (int i = state->next++; i < count; i = state->next++)
                job(i);
            // The last one out ends the wait; the wait returns only once this call is over.
            if (--state->running == 0)
                waits.wake([&state] { state->finished = true; });
        });
    }
    // The workers reference job and waits, which live on the caller's side: wait for all of them.
    waits.waitUntil([&state] { return state->finished.load(); }, -1);
}

} // namespace ParallelWork
