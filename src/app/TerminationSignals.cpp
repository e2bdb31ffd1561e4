#include "app/TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The handler only writes the signal's number to a socket the event loop
// watches: nothing else is safe inside a signal handler.
int s_pipe[2] = {-1, -1};
volatile std::sig_atomic_t s_pending = 0;

void onSignal(int signalNumber)
{
    if (s_pending)
        TerminationSignals::endBy(signalNumber);
    s_pending = 1;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[0], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_pipe) != 0)
        return;
    m_notifier = new QSocketNotifier(s_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    for (int s : kSignals)
        std::signal(s, SIG_DFL);
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

void TerminationSignals::endBy(int signalNumber)
{
    std::signal(signalNumber, SIG_DFL);
    // Inside its own handler the signal is blocked until the handler returns.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signalNumber);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(signalNumber);
    ::_exit(128 + signalNumber);
}

void TerminationSignals::readSignal()
{
    char byte = 0;
    if (::read(s_pipe[1], &byte, 1) == 1)
        emit received(int(byte));
}
