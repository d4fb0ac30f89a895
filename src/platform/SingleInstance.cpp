#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace platform {

namespace {

// An instance fills its lock file right after creating it; one still unreadable after this long never will be.
constexpr qint64 kUnreadableLockSettleSeconds = 5;

} // namespace

SingleInstance::SingleInstance() = default;
SingleInstance::~SingleInstance() = default;

QString SingleInstance::LockPath(const QString &settingsFile)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const QByteArray key = QFileInfo(settingsFile).absoluteFilePath().toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16);
    return QDir(folder).filePath(QStringLiteral("zarun-%1.lock").arg(QString::fromLatin1(hash)));
}

QString SingleInstance::ChannelPath(const QString &settingsFile)
{
    QString path = LockPath(settingsFile);
    path.chop(int(qstrlen(".lock")));
    return path + QStringLiteral(".socket");
}

bool SingleInstance::TryAcquire(const QString &settingsFile)
{
    lock_ = std::make_unique<QLockFile>(LockPath(settingsFile));
    // Never stale by age (an instance may run for days); a lock whose process is gone
    // is still taken over, so a crash does not block the next start.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0))
        return true;
    // A lock file that names no process (cut short by a crash or power cut, or written by
    // someone else) would block every later start. Once it is clearly not being written,
    // it is removed; removal fails while a live instance holds the file.
    qint64 pid = 0;
    QString host, app;
    const QString path = LockPath(settingsFile);
    const QDateTime modified = QFileInfo(path).lastModified().toUTC();
    const bool settled = modified.isValid()
        && qAbs(modified.secsTo(QDateTime::currentDateTimeUtc())) > kUnreadableLockSettleSeconds;
    if (lock_->error() == QLockFile::LockFailedError && !lock_->getLockInfo(&pid, &host, &app) && settled
        && lock_->removeStaleLockFile() && lock_->tryLock(0))
        return true;
    lock_.reset();
    return false;
}

void SingleInstance::Release() { lock_.reset(); }

} // namespace platform
