#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace platform {

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

bool SingleInstance::TryAcquire(const QString &settingsFile)
{
    lock_ = std::make_unique<QLockFile>(LockPath(settingsFile));
    // Never stale by age (an instance may run for days); a lock whose process is gone
    // is still taken over, so a crash does not block the next start.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0))
        return true;
    lock_.reset();
    return false;
}

void SingleInstance::Release() { lock_.reset(); }

} // namespace platform
