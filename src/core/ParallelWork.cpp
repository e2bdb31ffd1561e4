#include "core/ParallelWork.h"

#include "core/Waits.h"

#include <QThread>
#include <QThreadPool>
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
    };
    auto state = std::make_shared<State>();
    QThreadPool *pool = QThreadPool::globalInstance();
    const int workers = std::clamp(QThread::idealThreadCount(), 1, count);
    state->running = workers;
    for (int w = 0; w < workers; ++w) {
        pool->start([state, count, &job] {
            for (int i = state->next++; i < count; i = state->next++)
                job(i);
            --state->running;
        });
    }
    // The workers reference job, which lives on this frame: wait for all of them.
    waits.waitUntil([&state] { return state->running.load() == 0; }, -1);
}

} // namespace ParallelWork
