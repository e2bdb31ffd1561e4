#pragma once

#include <functional>

// A second thread for the picture conversions: while the calling thread works
// through the first part of a picture's lines, the helper works through the
// rest. It is started on first use, waits on an atomic counter between jobs
// (no lock), and is stopped when the program ends. Made for jobs of a fraction
// of a millisecond; longer work that must keep events flowing goes through
// ParallelWork.
namespace HelperThread {

// Whether the processor has a second core to run the helper on.
bool available();

// Runs `theirs` on the helper while `ours` runs on the calling thread and returns
// when both are done. When there is no second core, or the helper is already busy
// with another thread's job, runs both here, `ours` first. Neither may throw.
void runAlongside(const std::function<void()> &ours, const std::function<void()> &theirs);

} // namespace HelperThread
