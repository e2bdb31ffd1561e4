#pragma once

#include <QString>
#include <functional>
#include <memory>

// The transfer test over the mixer's three pipes, as the diagnostics window
// and the command line run it. One pass reports the event pipe (EP1, whether
// it has delivered since it was opened), then reads the test block (EP2),
// then writes it (EP3). The endless test writes and reads in turn until one
// of them fails (a cancel makes it fail). The memory refresh stays paused
// for the whole test.
class TransferTest
{
public:
    struct Result
    {
        bool ep1 = false;
        bool ep2 = false;
        bool ep3 = false;

        bool allPassed() const { return ep1 && ep2 && ep3; }
        // "EP1  OK\nEP2  OK\nEP3  OK", with NG for a pipe that failed.
        QString text() const;
    };

    struct Steps
    {
        // The bulk-out test block (BulkOutTransfer mode 10); true when it all went.
        std::function<bool()> writeTest;
        // The bulk-in test block (BulkInTransfer mode 1); true when it all came.
        std::function<bool()> readTest;
        std::function<bool()> eventPipeAlive;
        // Held for the test's duration (a guard that pauses the memory refresh); may be empty.
        std::function<std::shared_ptr<void>()> pauseRefresh;
        // Asked before each endless pass; empty: go on until a test fails.
        std::function<bool()> keepGoing;
        // Told after each endless pass that passed both tests (its number from 1).
        std::function<void(int pass)> passDone;
        // Shows a single pass's result while the refresh is still paused; may be empty.
        std::function<void(const Result &result)> showResult;
    };

    // Which of the two bulk tests ended an endless run.
    struct EndlessEnd
    {
        int passes = 0;      // whole passes that succeeded
        bool writeOk = true; // false: the write test ended it
        bool readOk = true;  // false: the read test ended it
    };

    explicit TransferTest(Steps steps) : m_steps(std::move(steps)) {}

    Result RunOnce();
    EndlessEnd RunEndless();
    bool running() const { return m_running; }

private:
    Steps m_steps;
    bool m_running = false;
};
