#include "signalwatcher.h"

#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
std::atomic<int> s_caught{0};
int s_pipe[2] = {-1, -1};

extern "C" void onSignal(int signalNumber)
{
    int expected = 0;
    if (!s_caught.compare_exchange_strong(expected, signalNumber)) {
        // Asked twice: the user means it.
        ::signal(signalNumber, SIG_DFL);
        ::raise(signalNumber);
        return;
    }
    const char byte = 1;
    const ssize_t written = ::write(s_pipe[1], &byte, 1);
    (void)written;
}
} // namespace

SignalWatcher &SignalWatcher::instance()
{
    static SignalWatcher watcher;
    return watcher;
}

int SignalWatcher::caught()
{
    return s_caught.load();
}

void SignalWatcher::install()
{
    if (m_notifier || ::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::readPipe);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
}

void SignalWatcher::readPipe()
{
    char byte;
    while (::read(s_pipe[0], &byte, 1) > 0) {
    }
    if (const int signalNumber = caught())
        emit requested(signalNumber);
}
