#include "platform/SingleInstance.h"

#include "platform/FileSystem.h"
#include "platform/PrivateFolder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace platform {

namespace {

// An instance fills its lock file right after creating it; one still unreadable after this long never will be.
constexpr qint64 kUnreadableLockSettleSeconds = 5;

// The settings file as the disk knows it, links followed (its own and its folders'): every way of
// naming one file leads to one instance. A file not there yet keeps its name in its real folder.
QString realPath(const QString &file)
{
    const QFileInfo end(FollowLinks(QFileInfo(file).absoluteFilePath()).path);
    if (const QString canonical = end.canonicalFilePath(); !canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(end.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? end.absoluteFilePath() : QDir(folder).filePath(end.fileName());
}

// Hashed: the real path may be long, and a socket's path has room for 107 bytes only.
QString instanceFile(const QString &settingsFile, QLatin1String extension)
{
    const QString folder = PrivateFolder();
    if (folder.isEmpty())
        return {};
    const QByteArray hash =
        QCryptographicHash::hash(realPath(settingsFile).toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return QDir(folder).filePath(QStringLiteral("instance-") + QString::fromLatin1(hash) + extension);
}

} // namespace

SingleInstance::SingleInstance() = default;
SingleInstance::~SingleInstance() = default;

QString SingleInstance::LockPath(const QString &settingsFile)
{
    return instanceFile(settingsFile, QLatin1String(".lock"));
}

QString SingleInstance::ChannelPath(const QString &settingsFile)
{
    return instanceFile(settingsFile, QLatin1String(".socket"));
}

bool SingleInstance::TryAcquire(const QString &settingsFile)
{
    const QString path = LockPath(settingsFile);
    // No folder that only this user can write: run without the guard rather than never.
    if (path.isEmpty()) {
        lock_.reset();
        return true;
    }
    lock_ = std::make_unique<QLockFile>(path);
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
