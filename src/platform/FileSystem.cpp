#include "platform/FileSystem.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <ctime>
#include <unistd.h>
#endif

namespace platform {

namespace {

// The kernel gives up after 40 links in a row; so does the writer.
constexpr int kMaxLinks = 40;

#ifndef Q_OS_WIN
// The folder part of a path, as written: no ".." is folded away, since the folder may be a link.
QString parentFolder(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QDir::currentPath();
    return slash == 0 ? QStringLiteral("/") : path.first(slash);
}

// Temporary files of the writer: ".<name>.zarun-XXXXXX"; mkstemp fills the X's from [A-Za-z0-9].
constexpr char kTemporaryMark[] = ".zarun-";
constexpr qsizetype kRandomLength = 6;

bool isRandomPart(QByteArrayView part)
{
    if (part.size() != kRandomLength)
        return false;
    for (char c : part)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

// Names only this writer makes: ".<name>.zarun-XXXXXX", and the earlier ".<fileName>.XXXXXX"
// for the very file being written.
bool isOurTemporaryName(QByteArrayView name, QByteArrayView fileName)
{
    if (name.size() < 2 + kRandomLength || name.front() != '.')
        return false;
    const QByteArrayView random = name.last(kRandomLength);
    if (!isRandomPart(random))
        return false;
    const QByteArrayView rest = name.first(name.size() - kRandomLength);
    const QByteArrayView mark(kTemporaryMark);
    if (rest.endsWith(mark) && rest.size() > 1 + mark.size())
        return true;
    return !fileName.isEmpty() && rest.size() == fileName.size() + 2 && rest.sliced(1).startsWith(fileName)
        && rest.back() == '.';
}
#else
QString parentFolder(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    return folder.isEmpty() ? QDir::currentPath() : folder;
}
#endif

} // namespace

#ifndef Q_OS_WIN

qint64 WallClockNs()
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

namespace {

FileStamp stampOf(const struct stat &st)
{
    FileStamp stamp;
    stamp.exists = true;
    stamp.regular = S_ISREG(st.st_mode);
    stamp.size = st.st_size;
    stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    stamp.inode = st.st_ino;
    stamp.device = st.st_dev;
    return stamp;
}

} // namespace

FileStamp StatFile(const QString &path)
{
    struct stat st {};
    if (path.isEmpty())
        return FileStamp();
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        FileStamp stamp;
        // Links that loop: something is there, but no file.
        stamp.exists = errno == ELOOP;
        return stamp;
    }
    return stampOf(st);
}

bool IsReadOnlyFile(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        return false;
    if (!(st.st_mode & S_IWUSR))
        return true;
    return ::access(native.constData(), W_OK) != 0;
}

bool IsWritableFolder(const QString &folder)
{
    const QByteArray native = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (!(st.st_mode & S_IWUSR))
        return false;
    return ::access(native.constData(), W_OK | X_OK) == 0;
}

namespace {

// A new file gets the mode an ordinary create would give it.
mode_t currentUmask()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

bool syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    // Some file systems cannot sync a folder at all; that is not a lost write.
    const bool ok = rc == 0 || errno == EINVAL || errno == EROFS;
    ::close(fd);
    return ok;
}

} // namespace

FollowedPath FollowLinks(const QString &path)
{
    FollowedPath result{path, LinkStatus::Ok};
    QByteArray current = QFile::encodeName(path);
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        struct stat st {};
        if (::lstat(current.constData(), &st) != 0) {
            // A missing file is created where it is named; a link to nothing is no file to write.
            if (hop > 0)
                result.status = LinkStatus::Dangling;
            return result;
        }
        if (!S_ISLNK(st.st_mode))
            return result;
        QByteArray target(st.st_size > 0 ? st.st_size + 1 : 4096, Qt::Uninitialized);
        const ssize_t n = ::readlink(current.constData(), target.data(), size_t(target.size()));
        if (n <= 0 || n >= target.size()) {
            result.status = LinkStatus::Dangling; // changed under us or unreadable
            return result;
        }
        target.truncate(n);
        if (!target.startsWith('/')) {
            const qsizetype slash = current.lastIndexOf('/');
            if (slash >= 0)
                target.prepend(current.first(slash + 1));
        }
        current = target;
        result.path = QFile::decodeName(current);
    }
    result.status = LinkStatus::Loop;
    return result;
}

int RemoveStaleTemporaryFiles(const QString &folder, const QString &fileName, qint64 olderThanSeconds)
{
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    const QByteArray nativeName = QFile::encodeName(fileName);
    const qint64 limitNs = WallClockNs() - olderThanSeconds * 1000000000;
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (!isOurTemporaryName(QByteArrayView(entry->d_name), nativeName))
            continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)
            || st.st_uid != ::geteuid())
            continue;
        const qint64 changedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (changedNs < limitNs && ::unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

WriteStatus WriteFileAtomically(const QString &path, QByteArrayView data, const BeforeReplace &beforeReplace)
{
    if (path.isEmpty())
        return WriteStatus::IoError;
    const FollowedPath followed = FollowLinks(path);
    if (followed.status != LinkStatus::Ok)
        return WriteStatus::NotAFile;
    const QString &target = followed.path;
    const QByteArray nativeTarget = QFile::encodeName(target);

    struct stat old {};
    const bool exists = ::stat(nativeTarget.constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return WriteStatus::NotAFile;
    if (exists && IsReadOnlyFile(target))
        return WriteStatus::ReadOnly;
    const QString folder = parentFolder(target);
    if (!IsWritableFolder(folder))
        return WriteStatus::ReadOnly;

    const QByteArray nativeFolder = QFile::encodeName(folder);
    const QString fileName = target.sliced(target.lastIndexOf(u'/') + 1);
    RemoveStaleTemporaryFiles(folder, fileName);
    // Room for the mark within the 255 bytes a name may have.
    QByteArray temp = nativeFolder + "/." + QFile::encodeName(fileName).left(200) + kTemporaryMark + "XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return WriteStatus::IoError;

    bool ok = true;
    const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~currentUmask());
    ok = ::fchmod(fd, mode) == 0;
    if (ok && exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
        // Keeping the owner needs privileges; without them the file becomes ours.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)::fchown(fd, uid_t(-1), old.st_gid);
    }
    ok = ok && writeAll(fd, data.data(), data.size());
    if (ok) {
        int rc;
        do {
            rc = ::fsync(fd);
        } while (rc != 0 && errno == EINTR);
        ok = rc == 0;
    }
    if (::close(fd) != 0)
        ok = false;
    if (ok && beforeReplace)
        beforeReplace(target);
    ok = ok && ::rename(temp.constData(), nativeTarget.constData()) == 0;
    if (!ok) {
        ::unlink(temp.constData());
        return WriteStatus::IoError;
    }
    return syncFolder(nativeFolder) ? WriteStatus::Ok : WriteStatus::IoError;
}

FileKind ReadSmallFile(const QString &path, qint64 maxBytes, QByteArray *bytes, FileStamp *stamp)
{
    bytes->clear();
    if (stamp)
        *stamp = FileStamp();
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (path.isEmpty() || ::stat(native.constData(), &st) != 0)
        return FileKind::Missing;
    if (stamp)
        *stamp = stampOf(st);
    if (!S_ISREG(st.st_mode))
        return FileKind::Other;
    // Non-blocking: were the file swapped for a pipe since the stat, the open must not wait.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return FileKind::Regular;
    // One byte more than the size seen, so that a single short read tells the end.
    qint64 want = qMin<qint64>(qint64(st.st_size) + 1, maxBytes);
    bytes->resize(qsizetype(want));
    qint64 got = 0;
    bool failed = false;
    while (got < want) {
        const ssize_t n = ::read(fd, bytes->data() + got, size_t(want - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failed = true;
            break;
        }
        if (n == 0)
            break;
        got += n;
        if (got == want && want < maxBytes) {
            // The file grew since the stat: read on, up to the limit.
            want = qMin<qint64>(want * 2, maxBytes);
            bytes->resize(qsizetype(want));
        } else if (got >= qint64(st.st_size)) {
            break; // all the stat promised: a small file takes a single read
        }
    }
    ::close(fd);
    if (failed)
        bytes->clear();
    else
        bytes->resize(qsizetype(got));
    return FileKind::Regular;
}

bool WriteCopyFile(const QString &path, QByteArrayView data)
{
    const QString folder = parentFolder(path);
    const QString fileName = path.sliced(path.lastIndexOf(u'/') + 1);
    RemoveStaleTemporaryFiles(folder, fileName);
    QByteArray temp = QFile::encodeName(folder) + "/." + QFile::encodeName(fileName).left(200) + kTemporaryMark + "XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC); // mode 0600
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, data.data(), data.size());
    ok = ::close(fd) == 0 && ok;
    // A hard link does not replace what is there; the temporary name then goes. File systems
    // without hard links get a rename (the caller picked a free name).
    const QByteArray native = QFile::encodeName(path);
    if (ok && ::link(temp.constData(), native.constData()) != 0)
        ok = errno != EEXIST && ::rename(temp.constData(), native.constData()) == 0;
    ::unlink(temp.constData());
    return ok;
}

bool LinkFile(const QString &existing, const QString &path)
{
    return ::link(QFile::encodeName(existing).constData(), QFile::encodeName(path).constData()) == 0;
}

#else // Q_OS_WIN

FileKind ReadSmallFile(const QString &path, qint64 maxBytes, QByteArray *bytes, FileStamp *stamp)
{
    bytes->clear();
    if (stamp)
        *stamp = StatFile(path);
    QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return FileKind::Missing;
    if (!info.isFile())
        return FileKind::Other;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        *bytes = file.read(maxBytes);
    return FileKind::Regular;
}

qint64 WallClockNs()
{
    // File times count 100 ns steps since 1601; keep the same origin.
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return ((qint64(now.dwHighDateTime) << 32) | now.dwLowDateTime) * 100;
}

FileStamp StatFile(const QString &path)
{
    FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.isEmpty()
        || !GetFileAttributesExW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()),
                                 GetFileExInfoStandard, &data))
        return stamp;
    stamp.exists = true;
    stamp.regular = !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    stamp.size = (qint64(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.modifiedNs = ((qint64(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime) * 100;
    stamp.changedNs = ((qint64(data.ftCreationTime.dwHighDateTime) << 32) | data.ftCreationTime.dwLowDateTime) * 100;
    return stamp;
}

bool IsReadOnlyFile(const QString &path)
{
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool IsWritableFolder(const QString &folder)
{
    QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

FollowedPath FollowLinks(const QString &path)
{
    FollowedPath result{path, LinkStatus::Ok};
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        const QFileInfo info(result.path);
        if (!info.isSymLink())
            return result;
        result.path = info.symLinkTarget();
        if (result.path.isEmpty() || !QFileInfo(result.path).exists()) {
            result.status = LinkStatus::Dangling;
            return result;
        }
    }
    result.status = LinkStatus::Loop;
    return result;
}

int RemoveStaleTemporaryFiles(const QString &folder, const QString &fileName, qint64 olderThanSeconds)
{
    const QFileInfo leftover(folder + QLatin1Char('/') + fileName + QStringLiteral(".zarun-tmp"));
    if (!leftover.isFile() || leftover.lastModified().secsTo(QDateTime::currentDateTime()) < olderThanSeconds)
        return 0;
    return QFile::remove(leftover.filePath()) ? 1 : 0;
}

WriteStatus WriteFileAtomically(const QString &path, QByteArrayView data, const BeforeReplace &beforeReplace)
{
    if (path.isEmpty())
        return WriteStatus::IoError;
    const FollowedPath followed = FollowLinks(path);
    if (followed.status != LinkStatus::Ok)
        return WriteStatus::NotAFile;
    const QString &target = followed.path;
    QFileInfo info(target);
    if (info.exists() && !info.isFile())
        return WriteStatus::NotAFile;
    if (info.exists() && IsReadOnlyFile(target))
        return WriteStatus::ReadOnly;
    const QString folder = parentFolder(target);
    if (!IsWritableFolder(folder))
        return WriteStatus::ReadOnly;

    const QString temp = QDir::toNativeSeparators(target + QStringLiteral(".zarun-tmp"));
    HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(temp.utf16()), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return WriteStatus::IoError;
    bool ok = true;
    const char *p = data.data();
    qsizetype left = data.size();
    while (ok && left > 0) {
        DWORD written = 0;
        const DWORD chunk = DWORD(qMin<qsizetype>(left, 1 << 30));
        ok = WriteFile(h, p, chunk, &written, nullptr) && written > 0;
        p += written;
        left -= written;
    }
    ok = ok && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    if (ok && beforeReplace)
        beforeReplace(target);
    ok = ok
        && MoveFileExW(reinterpret_cast<LPCWSTR>(temp.utf16()),
                       reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(target).utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        DeleteFileW(reinterpret_cast<LPCWSTR>(temp.utf16()));
        return WriteStatus::IoError;
    }
    return WriteStatus::Ok;
}

bool WriteCopyFile(const QString &path, QByteArrayView data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const bool ok = file.write(data.data(), data.size()) == data.size() && file.flush();
    file.close();
    if (!ok)
        file.remove();
    return ok;
}

bool LinkFile(const QString &, const QString &)
{
    return false; // a copy does
}

#endif

ReadStatus ReadWholeFile(const QString &path, qint64 maxBytes, QByteArray *contents)
{
    contents->clear();
    QFileInfo info(path);
    if (path.isEmpty())
        return ReadStatus::Missing;
    if (!info.exists()) // a link to nothing reads as a missing file; links that loop cannot be read
        return FollowLinks(path).status == LinkStatus::Loop ? ReadStatus::Unreadable : ReadStatus::Missing;
    if (!info.isFile())
        return ReadStatus::Unreadable;
    if (info.size() > maxBytes)
        return ReadStatus::TooLarge;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return ReadStatus::Unreadable;
    // Read one byte past the limit so that a file that grew meanwhile is still refused.
    // In pieces: QIODevice::read(n) allocates all n bytes up front, whatever the file's size.
    // The first piece is the size seen above; more pieces only when the file grew meanwhile.
    // A regular file reads short only at its end, so a short piece ends the loop.
    qint64 piece = info.size() + 1;
    for (;;) {
        const qint64 want = qMin(piece, maxBytes + 1 - contents->size());
        if (want <= 0)
            break;
        piece = 64 * 1024;
        const QByteArray read = file.read(want);
        if (file.error() != QFileDevice::NoError) {
            contents->clear();
            return ReadStatus::Unreadable;
        }
        if (contents->isEmpty())
            *contents = read; // shares the piece instead of copying it
        else
            contents->append(read);
        if (read.size() < want)
            break;
    }
    if (contents->size() > maxBytes) {
        contents->clear();
        return ReadStatus::TooLarge;
    }
    return ReadStatus::Ok;
}

WriteStatus TruncateFileAtomically(const QString &path) { return WriteFileAtomically(path, QByteArrayView()); }

} // namespace platform
