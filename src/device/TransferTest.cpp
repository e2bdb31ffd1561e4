#include "device/TransferTest.h"

namespace {

// Clears the running flag however the test ends.
struct RunningFlag
{
    explicit RunningFlag(bool &flag) : m_flag(flag) { m_flag = true; }
    ~RunningFlag() { m_flag = false; }
    bool &m_flag;
};

bool call(const std::function<bool()> &step)
{
    return step && step();
}

} // namespace

QString TransferTest::Result::text() const
{
    const auto line = [](int pipe, bool ok) {
        return QStringLiteral("EP%1  %2")
            .arg(pipe)
            .arg(ok ? QStringLiteral("OK") : QStringLiteral("NG"));
    };
    return line(1, ep1) + QLatin1Char('\n') + line(2, ep2) + QLatin1Char('\n') + line(3, ep3);
}

TransferTest::Result TransferTest::RunOnce()
{
    Result result;
    if (m_running)
        return result;
    RunningFlag flag(m_running);
    const std::shared_ptr<void> pause = m_steps.pauseRefresh ? m_steps.pauseRefresh() : nullptr;
    result.ep2 = call(m_steps.readTest);
    result.ep3 = call(m_steps.writeTest);
    // Asked last, so the event pipe has had the bulk tests' time to deliver.
    result.ep1 = call(m_steps.eventPipeAlive);
    if (m_steps.showResult)
        m_steps.showResult(result);
    return result;
}

TransferTest::EndlessEnd TransferTest::RunEndless()
{
    EndlessEnd end;
    if (m_running)
        return end;
    RunningFlag flag(m_running);
    const std::shared_ptr<void> pause = m_steps.pauseRefresh ? m_steps.pauseRefresh() : nullptr;
    while (!m_steps.keepGoing || m_steps.keepGoing()) {
        end.writeOk = call(m_steps.writeTest);
        if (!end.writeOk)
            break;
        end.readOk = call(m_steps.readTest);
        if (!end.readOk)
            break;
        ++end.passes;
        if (m_steps.passDone)
            m_steps.passDone(end.passes);
    }
    return end;
}
