#include "platform/FileSystem.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/xattr.h>
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

// Temporary files of the writers: ".<name>.zarun-XXXXXX.tmp", the X's from [A-Za-z0-9]. The mark and
// the suffix together keep them apart from anything a user or another program makes beside a
// catalogue (".cat.zrd.backup", the lock file ".cat.zrd.zarun-lock").
constexpr char kTemporaryMark[] = ".zarun-";
constexpr char kTemporarySuffix[] = ".tmp";
constexpr qsizetype kRandomLength = 6;
// Room for the mark and the suffix within the 255 bytes a name may have.
constexpr qsizetype kMaxNameBytesInTemporary = 200;

bool isRandomCharacter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool isOurTemporaryName(QByteArrayView name)
{
    const QByteArrayView mark(kTemporaryMark);
    const QByteArrayView suffix(kTemporarySuffix);
    if (name.size() < 2 + mark.size() + kRandomLength + suffix.size() || name.front() != '.' || !name.endsWith(suffix))
        return false;
    const QByteArrayView rest = name.chopped(suffix.size());
    for (char c : rest.last(kRandomLength))
        if (!isRandomCharacter(c))
            return false;
    return rest.chopped(kRandomLength).endsWith(mark);
}

// Creates a new temporary file beside path that nothing else can have opened; the kernel gives it
// mode & ~umask (or the folder's default access list). -1 when none could be made.
int createTemporaryFile(const QString &path, mode_t mode, QByteArray *temp)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QByteArray folder = QFile::encodeName(parentFolder(path));
    const QByteArray name = QFile::encodeName(path.sliced(slash + 1));
    // Never cut inside a character.
    qsizetype keep = qMin(name.size(), kMaxNameBytesInTemporary);
    while (keep > 0 && keep < name.size() && (uchar(name[keep]) & 0xC0) == 0x80)
        --keep;
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray random(kRandomLength, Qt::Uninitialized);
        for (char &c : random)
            c = alphabet[QRandomGenerator::system()->bounded(int(sizeof(alphabet) - 1))];
        *temp = folder + "/." + name.first(keep) + kTemporaryMark + random + kTemporarySuffix;
        const int fd = ::open(temp->constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
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

qsizetype totalSize(std::span<const QByteArrayView> pieces)
{
    qsizetype total = 0;
    for (QByteArrayView piece : pieces)
        total += piece.size();
    return total;
}

// One call for up to 1024 pieces and 1 MB; a short write goes on from where it stopped. A call
// that copies a large catalogue at once keeps a core in the kernel, where a kernel that does not
// preempt leaves it to the end: the window's thread waited behind it up to 150 ms.
bool writeAllAt(int fd, std::span<const QByteArrayView> pieces, off_t offset)
{
    constexpr size_t kBatch = 1024; // IOV_MAX on Linux
    constexpr qsizetype kBatchBytes = 1 << 20;
    iovec batch[kBatch];
    size_t next = 0;     // first piece not yet in a batch
    qsizetype skip = 0;  // bytes of that piece already written
    while (next < pieces.size()) {
        size_t count = 0;
        qsizetype bytes = 0;
        for (size_t i = next; i < pieces.size() && count < kBatch && bytes < kBatchBytes; ++i) {
            QByteArrayView piece = i == next ? pieces[i].sliced(skip) : pieces[i];
            piece = piece.first(qMin(piece.size(), kBatchBytes - bytes));
            bytes += piece.size();
            if (!piece.isEmpty())
                batch[count++] = iovec{const_cast<char *>(piece.data()), size_t(piece.size())};
        }
        if (count == 0)
            return true;
        ssize_t n = ::pwritev(fd, batch, int(count), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        offset += n;
        for (; next < pieces.size() && n >= pieces[next].size() - skip; ++next) {
            n -= pieces[next].size() - skip;
            skip = 0;
        }
        skip += n;
    }
    return true;
}

bool writeAllAt(int fd, QByteArrayView data, off_t offset)
{
    return writeAllAt(fd, std::span<const QByteArrayView>(&data, 1), offset);
}

bool readAll(int fd, QByteArray *bytes)
{
    bytes->clear();
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, off_t(bytes->size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        bytes->append(buffer, n);
    }
}

bool syncFile(int fd)
{
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

// An attribute this user may not set (security.* as non-root), or a file system without them.
bool isSkippable(int error) { return error == ENOTSUP || error == EOPNOTSUPP || error == EPERM || error == EACCES; }

// Reads through a size query and a retry when the value grew in between; -1 with errno on failure.
template <typename Read>
ssize_t readGrowing(QByteArray *buffer, Read read)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = read(nullptr, 0);
        if (size < 0)
            return size;
        buffer->resize(qsizetype(size));
        const ssize_t n = read(buffer->data(), size_t(size));
        if (n >= 0 ? n <= size : errno != ERANGE)
            return n;
    }
    errno = ERANGE;
    return -1;
}

// The old file's extended attributes onto the new one: its access list (system.posix_acl_access)
// among them, so a save leaves who may read and write the file as it was.
bool copyAttributes(int from, int to)
{
    QByteArray names;
    const ssize_t listed = readGrowing(&names, [&](char *list, size_t size) { return ::flistxattr(from, list, size); });
    if (listed < 0)
        return isSkippable(errno);
    QByteArray value;
    // The list is names, each ended by a NUL.
    for (const char *key = names.constData(), *end = key + listed; key < end; key += qstrlen(key) + 1) {
        if (!*key)
            continue;
        const ssize_t size = readGrowing(&value, [&](char *buffer, size_t capacity) {
            return ::fgetxattr(from, key, buffer, capacity);
        });
        if (size < 0) {
            if (errno == ENODATA || isSkippable(errno))
                continue;
            return false;
        }
        if (::fsetxattr(to, key, value.constData(), size_t(size), 0) != 0 && !isSkippable(errno))
            return false;
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

int RemoveStaleTemporaryFiles(const QString &folder, const QString &, qint64 olderThanSeconds)
{
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    const qint64 limitNs = WallClockNs() - olderThanSeconds * 1000000000;
    int removed = 0;
    // Any file's leftovers go, not only this file's: the name tells they are ours whatever file they were for.
    while (const dirent *entry = ::readdir(dir)) {
        if (!isOurTemporaryName(QByteArrayView(entry->d_name)))
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

namespace {

// For a folder this user cannot write: the new bytes go into the file itself. Should that fail
// part-way, the old bytes are put back.
WriteStatus writeInPlace(const QString &target, std::span<const QByteArrayView> data, const BeforeReplace &beforeReplace)
{
    const int fd =
        ::open(QFile::encodeName(target).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno == EACCES || errno == EPERM || errno == EROFS ? WriteStatus::ReadOnly : WriteStatus::IoError;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return WriteStatus::NotAFile;
    }
    QByteArray old;
    if (!readAll(fd, &old)) {
        ::close(fd);
        return WriteStatus::IoError;
    }
    if (beforeReplace)
        beforeReplace(target, true);
    bool ok = writeAllAt(fd, data, 0) && ::ftruncate(fd, off_t(totalSize(data))) == 0 && syncFile(fd);
    if (!ok) {
        if (writeAllAt(fd, old, 0) && ::ftruncate(fd, off_t(old.size())) == 0)
            syncFile(fd);
    }
    if (::close(fd) != 0)
        ok = false;
    return ok ? WriteStatus::Ok : WriteStatus::IoError;
}

} // namespace

WriteStatus WriteFileAtomically(const QString &path, std::span<const QByteArrayView> data,
                                const BeforeReplace &beforeReplace)
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
    // The old file stays open so that mode, owner and attributes all come from the one file.
    int oldFd =
        exists ? ::open(nativeTarget.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK) : -1;
    const auto closeOld = [&] {
        if (oldFd >= 0)
            ::close(oldFd);
        oldFd = -1;
    };
    if (oldFd >= 0 && (::fstat(oldFd, &old) != 0 || !S_ISREG(old.st_mode))) {
        closeOld();
        return WriteStatus::NotAFile;
    }
    if (exists && IsReadOnlyFile(target)) {
        closeOld();
        return WriteStatus::ReadOnly;
    }
    const QString folder = parentFolder(target);
    if (!IsWritableFolder(folder)) {
        closeOld();
        return exists ? writeInPlace(target, data, beforeReplace) : WriteStatus::ReadOnly;
    }

    const QByteArray nativeFolder = QFile::encodeName(folder);
    RemoveStaleTemporaryFiles(folder, target.sliced(target.lastIndexOf(u'/') + 1));
    QByteArray temp;
    // A new file gets what an ordinary create would give it: the kernel applies the umask.
    const int fd = createTemporaryFile(target, 0666, &temp);
    if (fd < 0) {
        closeOld();
        return WriteStatus::IoError;
    }

    bool ok = true;
    if (exists) {
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            // Keeping the owner needs privileges; without them the file becomes ours.
            if (::fchown(fd, old.st_uid, old.st_gid) != 0)
                (void)::fchown(fd, uid_t(-1), old.st_gid);
        }
        // An old file this user may write but not read keeps its mode; its attributes cannot be read.
        ok = (oldFd < 0 || copyAttributes(oldFd, fd)) && ::fchmod(fd, old.st_mode & 07777) == 0;
    }
    closeOld();
    ok = ok && writeAllAt(fd, data, 0) && syncFile(fd);
    if (::close(fd) != 0)
        ok = false;
    if (ok && beforeReplace)
        beforeReplace(target, false);
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
    RemoveStaleTemporaryFiles(parentFolder(path), path.sliced(path.lastIndexOf(u'/') + 1));
    QByteArray temp;
    const int fd = createTemporaryFile(path, 0600, &temp);
    if (fd < 0)
        return false;
    bool ok = writeAllAt(fd, data, 0);
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

WriteStatus WriteFileAtomically(const QString &path, std::span<const QByteArrayView> data,
                                const BeforeReplace &beforeReplace)
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
    for (QByteArrayView piece : data) {
        const char *p = piece.data();
        qsizetype left = piece.size();
        while (ok && left > 0) {
            DWORD written = 0;
            const DWORD chunk = DWORD(qMin<qsizetype>(left, 1 << 30));
            ok = WriteFile(h, p, chunk, &written, nullptr) && written > 0;
            p += written;
            left -= written;
        }
    }
    ok = ok && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    if (ok && beforeReplace)
        beforeReplace(target, false);
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

bool SameFile(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.absoluteFilePath() == second.absoluteFilePath())
        return true;
    const QString canonical = first.canonicalFilePath();
    return !canonical.isEmpty() && canonical == second.canonicalFilePath();
}

} // namespace platform
