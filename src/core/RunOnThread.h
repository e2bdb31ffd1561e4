#pragma once

#include <functional>

class QObject;

// Runs f on the thread that owns context and returns once it has run: how a
// worker asks the user-interface thread for something and waits for the
// answer. On that thread itself f runs at once. The hand-over waits on a
// standard mutex and condition variable, so whatever f wrote is visible to
// the caller afterwards. If context goes before the call is delivered, f
// does not run and the caller is released all the same.
void runOnThread(QObject &context, const std::function<void()> &f);
