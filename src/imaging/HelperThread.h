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

// Runs part(0) .. part(parts - 1), each once, on the calling thread and the helper
// at the same time, the calling thread from the first part on and the helper from
// the last one back, until they meet; returns when all are done. A helper that has
// to be woken first simply takes fewer parts. When
// there is no second core, or the helper is busy with another thread's parts, all
// run here in order. Parts may not throw.
void shareOut(int parts, const std::function<void(int)> &part);

} // namespace HelperThread
