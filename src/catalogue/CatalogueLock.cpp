#include "catalogue/CatalogueLock.h"

#include "platform/FileSystem.h"
#include "platform/PrivateFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace catalogue {

namespace {

// A lock older than this whose holder cannot be asked (another machine) counts as left behind.
// No write of even a very large catalogue takes this long; one held by a live process on this
// machine is never taken over.
constexpr int kStaleMs = 60'000;

int &testWait()
{
    static int waitMs = -1;
    return waitMs;
}

} // namespace

void CatalogueLock::SetWaitForTesting(int waitMs) { testWait() = waitMs; }

CatalogueLock::CatalogueLock() = default;
CatalogueLock::~CatalogueLock() = default;

QString CatalogueLock::PathFor(const QString &catalogueFile)
{
    const QString target = QFileInfo(platform::FollowLinks(catalogueFile).path).absoluteFilePath();
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    if (platform::IsWritableFolder(folder))
        return QDir(folder).filePath(u'.' + info.fileName() + QStringLiteral(".zarun-lock"));
    // A catalogue in a folder the user cannot write is written in place; its lock goes where only
    // the user writes, keyed by where the file lies.
    const QString privateFolder = platform::PrivateFolder();
    if (privateFolder.isEmpty())
        return QString();
    const QByteArray hash = QCryptographicHash::hash(target.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QDir(privateFolder).filePath(QStringLiteral("catalogue-%1.lock").arg(QString::fromLatin1(hash)));
}

CatalogueLock::Result CatalogueLock::Lock(const QString &catalogueFile, int waitMs)
{
    Unlock();
    const QString path = PathFor(catalogueFile);
    if (path.isEmpty())
        return Result::Failed;
    lock_ = std::make_unique<QLockFile>(path);
    lock_->setStaleLockTime(kStaleMs);
    if (waitMs < 0)
        waitMs = testWait() >= 0 ? testWait() : kWaitMs;
    if (lock_->tryLock(waitMs))
        return Result::Locked;
    const QLockFile::LockError error = lock_->error();
    lock_.reset();
    return error == QLockFile::LockFailedError ? Result::Busy : Result::Failed;
}

void CatalogueLock::Unlock() { lock_.reset(); }

} // namespace catalogue
