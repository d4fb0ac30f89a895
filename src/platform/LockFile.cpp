#include "platform/LockFile.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#ifdef Q_OS_WIN
#include <QLockFile>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef Q_OS_WIN

struct LockFile::Held {
    explicit Held(const QString &path) : lock(path) {}
    QLockFile lock;
};

LockFile::Result LockFile::Lock(const QString &path, int waitMs, int staleMs)
{
    Unlock();
    auto held = std::make_unique<Held>(path);
    held->lock.setStaleLockTime(staleMs);
    if (held->lock.tryLock(waitMs)) {
        held_ = std::move(held);
        return Result::Locked;
    }
    return held->lock.error() == QLockFile::LockFailedError ? Result::Busy : Result::Failed;
}

void LockFile::Unlock() { held_.reset(); }

#else

namespace {

// A file made this recently may not hold its flock yet.
constexpr qint64 kYoungNs = 2'000'000'000;

qint64 nowNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Removes the lock file at path when nobody holds it; true when it is gone (or was never there).
bool removeLeftBehind(const QByteArray &path, qint64 staleNs)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT;
    struct stat opened{};
    bool gone = false;
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode)) {
        const qint64 modified = qint64(opened.st_mtim.tv_sec) * 1'000'000'000 + opened.st_mtim.tv_nsec;
        const qint64 age = nowNs() - modified;
        bool free = false;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            free = age > kYoungNs;
        else if (errno != EWOULDBLOCK)
            free = age > staleNs; // no flock here: age alone
        struct stat now{};
        // Still the same file: another taker may have replaced it meanwhile.
        if (free && ::stat(path.constData(), &now) == 0 && now.st_ino == opened.st_ino && now.st_dev == opened.st_dev)
            gone = ::unlink(path.constData()) == 0;
    }
    ::close(fd);
    return gone;
}

} // namespace

struct LockFile::Held {
    QByteArray path;
    int fd = -1;
    ~Held()
    {
        // The name goes first: a waiting taker then makes its own file.
        ::unlink(path.constData());
        ::close(fd);
    }
};

LockFile::Result LockFile::Lock(const QString &path, int waitMs, int staleMs)
{
    Unlock();
    const QByteArray native = QFile::encodeName(path);
    const QDeadlineTimer deadline(waitMs);
    for (int attempt = 0;; ++attempt) {
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX | LOCK_NB); // where flock is missing the file's age decides
            char host[256] = {};
            ::gethostname(host, sizeof host - 1);
            const QByteArray who = QByteArray::number(qint64(::getpid())) + '\n' + host + "\nzarun\n";
            (void)!::write(fd, who.constData(), size_t(who.size()));
            held_ = std::make_unique<Held>();
            held_->path = native;
            held_->fd = fd;
            return Result::Locked;
        }
        if (errno != EEXIST)
            return Result::Failed;
        if (removeLeftBehind(native, qint64(staleMs) * 1'000'000))
            continue;
        if (deadline.hasExpired())
            return Result::Busy;
        QThread::msleep(attempt < 10 ? 5 : 50);
    }
}

void LockFile::Unlock() { held_.reset(); }

#endif

LockFile::LockFile() = default;
LockFile::~LockFile() = default;

} // namespace platform
