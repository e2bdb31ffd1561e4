#pragma once

#include <functional>

class Waits;

// Runs job(0) .. job(count - 1) on the thread pool's worker threads while the
// calling (user-interface) thread keeps events flowing through Waits, and
// returns when every job has finished. Jobs must be safe to run at the same
// time; the picture library's header reads and loads are.
namespace ParallelWork {

void run(Waits &waits, int count, const std::function<void(int)> &job);

} // namespace ParallelWork
