#include "platform/ChangeNotifier.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSocketNotifier>

#include <utility>

#if defined(Q_OS_LINUX)
#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace platform {

#if defined(Q_OS_LINUX)

ChangeNotifier::ChangeNotifier(QObject *parent, int maxWatches) : QObject(parent), maxWatches_(maxWatches) {}

ChangeNotifier::~ChangeNotifier()
{
    delete notifier_; // it watches fd_: gone before the descriptor closes
    if (fd_ >= 0)
        ::close(fd_); // and every watch with it
}

ChangeNotifier::Added ChangeNotifier::add(const QString &path, bool folder)
{
    if (ids_.contains(path))
        return Added::Watched;
    if (fd_ < 0) {
        // Opened on first use, and tried again later: the user's instances may run out for a while.
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ < 0)
            return errno == ENOSYS ? Added::Refused : Added::NoWatchLeft;
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &ChangeNotifier::read);
    }
    const uint32_t mask = folder ? IN_ONLYDIR | IN_ATTRIB | IN_MOVE | IN_CREATE | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF
                                 : IN_ATTRIB | IN_MODIFY | IN_MOVE | IN_DELETE_SELF | IN_MOVE_SELF;
    int id = -1;
    if (maxWatches_ >= 0 && watches_ >= maxWatches_)
        errno = ENOSPC;
    else
        id = ::inotify_add_watch(fd_, QFile::encodeName(path).constData(), mask);
    if (id < 0) {
        switch (errno) {
        case ENOENT:
        case ENOTDIR:
            return Added::Missing;
        case ENOSPC: // the user's watches are all taken
        case ENOMEM:
            return Added::NoWatchLeft;
        default:
            return Added::Refused;
        }
    }
    if (!paths_.contains(id))
        ++watches_;
    ids_.insert(path, id);
    paths_.insert(id, path);
    return Added::Watched;
}

void ChangeNotifier::Remove(const QString &path)
{
    const auto found = ids_.constFind(path);
    if (found == ids_.cend())
        return;
    const int id = *found;
    ids_.erase(found);
    paths_.remove(id, path);
    if (!paths_.contains(id)) {
        ::inotify_rm_watch(fd_, id);
        --watches_;
    }
}

void ChangeNotifier::read()
{
    // Every event waiting is read before anyone is told, so that a burst is told once per path.
    QHash<int, uint32_t> masks;
    bool lost = false;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW)
                lost = true;
            else
                masks[event->wd] |= event->mask;
        }
    }
    QList<std::pair<QString, bool>> told;
    for (auto it = masks.cbegin(); it != masks.cend(); ++it) {
        const QStringList paths = paths_.values(it.key());
        if (paths.isEmpty())
            continue; // a watch removed already
        const bool gone = it.value() & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED);
        if (gone) {
            // A moved folder's watch would follow it to its new name: that is no longer the path asked for.
            if (!(it.value() & IN_IGNORED))
                ::inotify_rm_watch(fd_, it.key());
            paths_.remove(it.key());
            --watches_;
            for (const QString &path : paths)
                ids_.remove(path);
        }
        for (const QString &path : paths)
            told.append({path, gone});
    }
    if (lost)
        told.append({QString(), false});
    // The tables are settled first: a receiver may well add or remove paths.
    for (const auto &[path, gone] : std::as_const(told))
        Q_EMIT Changed(path, gone);
}

#else

ChangeNotifier::ChangeNotifier(QObject *parent, int maxWatches)
    : QObject(parent), maxWatches_(maxWatches), fallback_(new QFileSystemWatcher(this))
{
    const auto changed = [this](const QString &path) {
        const bool gone = !fallback_->files().contains(path) && !fallback_->directories().contains(path);
        if (gone)
            ids_.remove(path);
        Q_EMIT Changed(path, gone);
    };
    connect(fallback_, &QFileSystemWatcher::fileChanged, this, changed);
    connect(fallback_, &QFileSystemWatcher::directoryChanged, this, changed);
}

ChangeNotifier::~ChangeNotifier() = default;

ChangeNotifier::Added ChangeNotifier::add(const QString &path, bool folder)
{
    if (ids_.contains(path))
        return Added::Watched;
    const QFileInfo info(path);
    if (!info.exists() || info.isDir() != folder)
        return Added::Missing;
    if (maxWatches_ >= 0 && ids_.size() >= maxWatches_)
        return Added::NoWatchLeft;
    if (!fallback_->addPath(path))
        return Added::Refused;
    ids_.insert(path, 0);
    return Added::Watched;
}

void ChangeNotifier::Remove(const QString &path)
{
    if (ids_.remove(path))
        fallback_->removePath(path);
}

void ChangeNotifier::read() {}

#endif

ChangeNotifier::Added ChangeNotifier::AddFolder(const QString &folder)
{
    return add(folder, true);
}

ChangeNotifier::Added ChangeNotifier::AddFile(const QString &file)
{
    return add(file, false);
}

} // namespace platform
