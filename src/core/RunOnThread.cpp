#include "core/RunOnThread.h"

#include "core/HandOverOrder.h"
#include "core/ManualResetEvent.h"

#include <QThread>
#include <memory>

namespace {

// Releases the caller when the queued call is over, or when it is dropped
// undelivered because its context went first.
class Release
{
public:
    explicit Release(ManualResetEvent &done) : m_done(done) {}
    Release(const Release &) = delete;
    Release &operator=(const Release &) = delete;
    ~Release() { m_done.set(); }

private:
    ManualResetEvent &m_done;
};

} // namespace

void runOnThread(QObject &context, const std::function<void()> &f)
{
    if (QThread::currentThread() == context.thread()) {
        f();
        return;
    }
    ManualResetEvent done;
    {
        auto release = std::make_shared<Release>(done);
        postCall(context, [&f, release] { f(); });
    }
    done.wait();
}
