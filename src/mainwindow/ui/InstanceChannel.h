#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// The running instance's ear for later starts of the program: a local socket beside the
// single-instance lock. A later start hands over the catalogue it was given (or nothing, to
// bring the window to the front) and ends.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    explicit InstanceChannel(QObject *parent = nullptr);

    // Listens on the socket at path (only the user may connect). False when that fails;
    // the program then runs on, and later starts end without handing anything over.
    bool Listen(const QString &path);

    // Hands file (an absolute path; empty for none) to the instance listening at path and waits
    // until it has taken it. False when no instance answers within timeoutMs.
    static bool Send(const QString &path, const QString &file, int timeoutMs = 5000);

Q_SIGNALS:
    void Received(const QString &file);

private:
    void takeConnection();

    QLocalServer server_;
};
