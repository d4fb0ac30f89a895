#include "catalogue/CatalogueLock.h"

#include "platform/FileSystem.h"
#include "platform/PrivateFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace catalogue {

namespace {

// Where the file system cannot tell a held lock file, one older than this counts as left behind:
// no write of even a very large catalogue takes this long.
constexpr int kStaleMs = 60'000;

int &testWait()
{
    static int waitMs = -1;
    return waitMs;
}

// ".<name>.zarun-lock"; a name too long for that keeps what fits and a hash of the whole, so that a
// catalogue with a long name still has a lock (a file name has at most 255 bytes).
QString lockName(const QString &fileName)
{
    constexpr qsizetype kMaxBytes = 255;
    const QString suffix = QStringLiteral(".zarun-lock");
    QString name = u'.' + fileName + suffix;
    if (name.toUtf8().size() <= kMaxBytes)
        return name;
    const QString hash = u'-'
        + QString::fromLatin1(QCryptographicHash::hash(fileName.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    QString kept;
    for (qsizetype i = 0; i < fileName.size();) {
        const qsizetype length = fileName[i].isHighSurrogate() && i + 1 < fileName.size() ? 2 : 1;
        const QString next = kept + fileName.mid(i, length);
        if ((u'.' + next + hash + suffix).toUtf8().size() > kMaxBytes)
            break;
        kept = next;
        i += length;
    }
    return u'.' + kept + hash + suffix;
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
        return QDir(folder).filePath(lockName(info.fileName()));
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
    if (waitMs < 0)
        waitMs = testWait() >= 0 ? testWait() : kWaitMs;
    switch (lock_.Lock(path, waitMs, kStaleMs)) {
    case platform::LockFile::Result::Locked:
        return Result::Locked;
    case platform::LockFile::Result::Busy:
        return Result::Busy;
    case platform::LockFile::Result::Failed:
        break;
    }
    return Result::Failed;
}

void CatalogueLock::Unlock() { lock_.Unlock(); }

} // namespace catalogue
