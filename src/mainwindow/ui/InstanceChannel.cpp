#include "mainwindow/ui/InstanceChannel.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>

namespace {

// A request is one path and its end mark; anything longer is no request.
constexpr qsizetype kMaxRequestBytes = 64 * 1024;
constexpr char kEnd = '\0';
constexpr char kTaken = '\1';

} // namespace

InstanceChannel::InstanceChannel(QObject *parent) : QObject(parent)
{
    connect(&server_, &QLocalServer::newConnection, this, &InstanceChannel::takeConnection);
}

bool InstanceChannel::Listen(const QString &path)
{
    if (path.isEmpty()) // no private folder to listen in
        return false;
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    // The caller holds the instance lock: a socket left at path is a crashed instance's.
    QLocalServer::removeServer(path);
    return server_.listen(path);
}

void InstanceChannel::takeConnection()
{
    while (QLocalSocket *socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf(kEnd);
            if (end < 0) {
                if (buffer->size() > kMaxRequestBytes)
                    socket->abort();
                return;
            }
            const QString file = QString::fromUtf8(buffer->left(end));
            buffer->clear();
            socket->write(QByteArray(1, kTaken));
            socket->flush();
            socket->disconnectFromServer();
            Q_EMIT Received(file);
        });
    }
}

bool InstanceChannel::Send(const QString &path, const QString &file, int timeoutMs)
{
    if (path.isEmpty())
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The running instance takes its lock a moment before it listens.
    for (;;) {
        socket.connectToServer(path);
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    socket.write(file.toUtf8() + kEnd);
    if (!socket.waitForBytesWritten(int(qMax<qint64>(1, deadline.remainingTime()))))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return false;
    }
    return socket.read(1) == QByteArray(1, kTaken);
}
