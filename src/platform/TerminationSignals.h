#pragma once

#include <QObject>

class QSocketNotifier;

namespace platform {

// SIGTERM (log-out, shutdown), SIGHUP (the terminal went away) and SIGINT (Ctrl+C) as a Qt
// signal on the event loop. The handler itself only writes one byte into a pipe; everything
// else happens when the loop reads it. One instance at a time.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override; // the signals' default actions come back

    // Installs the handlers; false when they cannot be (the defaults stay).
    bool Start();

Q_SIGNALS:
    void Requested(int signalNumber);

private:
    void readPipe();

    int readFd_ = -1;
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace platform
