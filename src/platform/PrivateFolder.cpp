#include "platform/PrivateFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>
#include <QSysInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

QMutex testCandidatesMutex;
QStringList testCandidates;

QStringList usualCandidates()
{
#ifdef Q_OS_WIN
    // The user's own local application data is closed to other users by its ACL.
    return {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/ZARUN")};
#else
    // Not XDG_RUNTIME_DIR: a session started without it (su, ssh, cron) must find the same folder.
    // /tmp first (short, local); when someone else holds that name, one in the user's own home,
    // named for the machine as a home may be shared by several.
    QByteArray machine = QSysInfo::machineUniqueId();
    if (machine.isEmpty())
        machine = QSysInfo::machineHostName().toUtf8();
    const QString machineKey =
        QString::fromLatin1(QCryptographicHash::hash(machine, QCryptographicHash::Sha1).toHex().left(8));
    return {QStringLiteral("/tmp/zarun-%1").arg(::geteuid()),
            QDir::homePath() + QStringLiteral("/.cache/zarun-") + machineKey};
#endif
}

#ifndef Q_OS_WIN
// Nobody else can rename or replace what is in it: owned by us or root, and not writable by others
// unless sticky (/tmp).
bool safeParent(const QString &folder)
{
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (st.st_uid != ::geteuid() && st.st_uid != 0)
        return false;
    return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (st.st_mode & S_ISVTX) != 0;
}
#endif

// The folder when it is private or could be made so; empty otherwise. A folder that fails the
// checks is never changed: it may be someone else's trap.
QString usable(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (path.isEmpty() || path.size() > kMaxPrivateFolderBytes || !QFileInfo(folder).isAbsolute())
        return {};
    const QString parent = QFileInfo(folder).absolutePath();
    QDir().mkpath(parent);
#ifdef Q_OS_WIN
    return QDir().mkpath(folder) ? folder : QString();
#else
    if (!safeParent(parent))
        return {};
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()
        || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return {};
    // A umask that took the owner's own rights away: ours to give back.
    if ((st.st_mode & S_IRWXU) != S_IRWXU && ::chmod(path.constData(), (st.st_mode & 07777) | S_IRWXU) != 0)
        return {};
    return folder;
#endif
}

} // namespace

QString PrivateFolder()
{
    QStringList candidates;
    {
        const QMutexLocker lock(&testCandidatesMutex);
        candidates = testCandidates;
    }
    if (candidates.isEmpty())
        candidates = usualCandidates();
    for (const QString &folder : std::as_const(candidates))
        if (const QString chosen = usable(folder); !chosen.isEmpty())
            return chosen;
    return {};
}

void SetPrivateFolderCandidatesForTesting(const QStringList &folders)
{
    const QMutexLocker lock(&testCandidatesMutex);
    testCandidates = folders;
}

} // namespace platform
