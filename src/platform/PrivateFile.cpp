#include "platform/PrivateFile.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QTemporaryFile>
#include <qt_windows.h>
#else
#include <QRandomGenerator>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.first(slash);
}

QString nameOf(const QString &path) { return path.sliced(path.lastIndexOf(u'/') + 1); }

#ifndef Q_OS_WIN
// Temporary files: ".<name>.zarun-XXXXXX", the X's from [A-Za-z0-9].
constexpr char kMark[] = ".zarun-";
constexpr qsizetype kRandomLength = 6;
// Older than this, a temporary file is what a killed write left.
constexpr qint64 kStaleNs = 60'000'000'000;

QByteArray temporaryPrefix(const QByteArray &name)
{
    // Room for the mark within the 255 bytes a name may have.
    return '.' + name.left(200) + kMark;
}

// The folder, opened without following a link in its place: -1 unless it is a folder of this
// user. Wider modes are tightened to 0700: what lies in it is nobody else's business.
int openPrivateFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()
        || ((st.st_mode & 07777) != 0700 && ::fchmod(fd, 0700) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int makePrivateFolder(const QString &folder)
{
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno == ENOENT) {
        // Missing parents are made private too; existing ones stay as they are.
        for (qsizetype slash = native.indexOf('/', 1); slash > 0; slash = native.indexOf('/', slash + 1))
            ::mkdir(native.left(slash).constData(), 0700);
        ::mkdir(native.constData(), 0700);
    }
    return openPrivateFolder(native);
}

void removeStaleTemporaries(int folderFd, const QByteArray &name)
{
    const int listFd = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    DIR *dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return;
    }
    const QByteArray prefix = temporaryPrefix(name);
    const qint64 limitNs = WallClockNs() - kStaleNs;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArrayView entryName(entry->d_name);
        if (entryName.size() != prefix.size() + kRandomLength || !entryName.startsWith(prefix))
            continue;
        struct stat st {};
        if (::fstatat(folderFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)
            && st.st_uid == ::geteuid() && qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec < limitNs)
            ::unlinkat(folderFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

QByteArray randomPart()
{
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray part(kRandomLength, Qt::Uninitialized);
    for (char &c : part)
        c = kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
    return part;
}
#endif

} // namespace

#ifndef Q_OS_WIN

bool MakePrivateFolder(const QString &folder)
{
    const int fd = makePrivateFolder(folder);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool OpenPrivateFile(const QString &path, qint64 maxBytes, QFile *file)
{
    if (file->isOpen())
        return false;
    const int folderFd = openPrivateFolder(QFile::encodeName(folderOf(path)));
    if (folderFd < 0)
        return false;
    const int fd = ::openat(folderFd, QFile::encodeName(nameOf(path)).constData(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    ::close(folderFd);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0
        || st.st_size > maxBytes || !file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

bool ReplacePrivateFile(const QString &path, const std::function<bool(QFile &)> &fill)
{
    const QByteArray name = QFile::encodeName(nameOf(path));
    if (name.isEmpty())
        return false;
    const int folderFd = makePrivateFolder(folderOf(path));
    if (folderFd < 0)
        return false;
    removeStaleTemporaries(folderFd, name);
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = temporaryPrefix(name) + randomPart();
        fd = ::openat(folderFd, temp.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        ::close(folderFd);
        return false;
    }
    bool ok = ::fchmod(fd, 0600) == 0; // whatever the umask took away or left
    QFile file;
    if (file.open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) {
        ok = ok && fill(file) && file.flush();
        file.close();
        ok = ok && file.error() == QFileDevice::NoError;
    } else {
        ::close(fd);
        ok = false;
    }
    // The rename replaces whatever has the name, a link included, and never writes through it.
    ok = ok && ::renameat(folderFd, temp.constData(), folderFd, name.constData()) == 0;
    if (!ok)
        ::unlinkat(folderFd, temp.constData(), 0);
    ::close(folderFd);
    return ok;
}

#else // Q_OS_WIN

// Folders below the user's profile are the user's alone already.
bool MakePrivateFolder(const QString &folder)
{
    return !QFileInfo(folder).isSymLink() && QDir().mkpath(folder) && QFileInfo(folder).isDir();
}

bool OpenPrivateFile(const QString &path, qint64 maxBytes, QFile *file)
{
    const QFileInfo info(path);
    if (file->isOpen() || QFileInfo(info.path()).isSymLink() || info.isSymLink() || !info.isFile()
        || info.size() > maxBytes)
        return false;
    file->setFileName(path);
    return file->open(QIODevice::ReadOnly);
}

bool ReplacePrivateFile(const QString &path, const std::function<bool(QFile &)> &fill)
{
    const QString folder = folderOf(path);
    if (nameOf(path).isEmpty() || !MakePrivateFolder(folder))
        return false;
    QTemporaryFile temp(folder + QStringLiteral("/.") + nameOf(path) + QStringLiteral(".zarun-XXXXXX"));
    if (!temp.open())
        return false;
    bool ok = fill(temp) && temp.flush();
    temp.close();
    ok = ok && temp.error() == QFileDevice::NoError
         && MoveFileExW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(temp.fileName()).utf16()),
                        reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()), MOVEFILE_REPLACE_EXISTING);
    if (ok)
        temp.setAutoRemove(false);
    return ok;
}

#endif

} // namespace platform
