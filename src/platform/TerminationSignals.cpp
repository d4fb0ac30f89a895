#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#ifndef Q_OS_WIN
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {

#ifndef Q_OS_WIN

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

volatile sig_atomic_t g_writeFd = -1;

// Async-signal-safe: one write() to a non-blocking pipe, errno left as it was.
extern "C" void onTerminationSignal(int signalNumber)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (g_writeFd >= 0)
        (void)!::write(g_writeFd, &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {}

bool TerminationSignals::Start()
{
    if (readFd_ >= 0)
        return true;
    if (g_writeFd >= 0)
        return false; // another instance has them
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    readFd_ = fds[0];
    g_writeFd = fds[1];
    notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : kSignals)
        ::sigaction(signalNumber, &action, nullptr);
    return true;
}

TerminationSignals::~TerminationSignals()
{
    if (readFd_ < 0)
        return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : kSignals)
        ::sigaction(signalNumber, &action, nullptr);
    const int writeFd = g_writeFd;
    g_writeFd = -1;
    delete notifier_; // it watches readFd_: gone before the descriptor closes
    notifier_ = nullptr;
    ::close(writeFd);
    ::close(readFd_);
}

void TerminationSignals::readPipe()
{
    unsigned char bytes[16];
    for (;;) {
        const ssize_t n = ::read(readFd_, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        for (ssize_t i = 0; i < n; ++i)
            Q_EMIT Requested(bytes[i]);
    }
}

#else // Q_OS_WIN

// Windows asks through the session (the window's close and the log-off messages) instead.
TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {}
TerminationSignals::~TerminationSignals() = default;
bool TerminationSignals::Start() { return false; }
void TerminationSignals::readPipe() {}

#endif

} // namespace platform
