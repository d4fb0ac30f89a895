#include "catalogue/FolderWatch.h"

#include "tooling/mFunction.h"

#include <QSet>

#include <iterator>
#include <utility>

namespace catalogue {

namespace {

// File times come from a coarser clock than the wall clock read here; a folder changed a moment
// before it joined the poll counts as changed, which costs one look at its projects at most.
constexpr qint64 kJoinSlackNs = 1000000000;

// The projects' folders in their order, up to the project that brings the watch to its limit.
QStringList FoldersOf(const std::vector<FolderWatch::Project> &projects)
{
    QStringList folders;
    QSet<QString> distinct;
    for (const FolderWatch::Project &project : projects) {
        if (distinct.size() >= FolderWatch::kMaxFolders)
            break;
        const qsizetype first = folders.size();
        const QString file = project.file.Text();
        folders.append(mFunction::GetFolderName(file));
        if (project.sources)
            folders += SourceFoldersOf(file, *project.sources);
        for (qsizetype i = first; i < folders.size(); ++i)
            if (!folders.at(i).isEmpty())
                distinct.insert(folders.at(i));
    }
    return folders;
}

} // namespace

FolderWatch::FolderWatch(int settleMs, QObject *parent) : FolderWatch(settleMs, kPollMs, -1, parent) {}

FolderWatch::FolderWatch(int settleMs, int pollMs, int systemWatches, QObject *parent)
    : QObject(parent), notifier_(nullptr, systemWatches),
      seen_(std::make_shared<QHash<QString, platform::FileStamp>>())
{
    pool_.setMaxThreadCount(1);
    settle_.setSingleShot(true);
    settle_.setInterval(settleMs);
    connect(&settle_, &QTimer::timeout, this, &FolderWatch::Changed);
    // Each change restarts the wait, so a build writing many files counts once.
    connect(&notifier_, &platform::ChangeNotifier::Changed, this, [this] { settle_.start(); });
    poll_.setInterval(pollMs);
    connect(&poll_, &QTimer::timeout, this, &FolderWatch::poll);
}

FolderWatch::~FolderWatch()
{
    pool_.clear();
    pool_.waitForDone();
}

void FolderWatch::Watch(const QStringList &folders)
{
    QSet<QString> wanted;
    QStringList added;
    for (const QString &folder : folders) {
        if (wanted.size() >= kMaxFolders)
            break;
        if (folder.isEmpty() || wanted.contains(folder))
            continue;
        wanted.insert(folder);
        added.append(folder);
    }
    for (const QString &folder : notifier_.Paths())
        if (!wanted.contains(folder))
            notifier_.Remove(folder);
    for (auto it = polled_.begin(); it != polled_.end();)
        it = wanted.contains(it.key()) ? std::next(it) : polled_.erase(it);

    const qint64 joined = platform::WallClockNs() - kJoinSlackNs;
    bool full = false;
    for (const QString &folder : added) {
        if (notifier_.Watches(folder) || polled_.contains(folder))
            continue;
        // Once the system has refused a watch for want of one, the rest are not asked for.
        const platform::ChangeNotifier::Added result =
            full ? platform::ChangeNotifier::Added::NoWatchLeft : notifier_.AddFolder(folder);
        switch (result) {
        case platform::ChangeNotifier::Added::Watched:
        case platform::ChangeNotifier::Added::Missing: // tried again at the next call
            break;
        case platform::ChangeNotifier::Added::NoWatchLeft:
            full = true;
            [[fallthrough]];
        case platform::ChangeNotifier::Added::Refused:
            polled_.insert(folder, joined);
            break;
        }
    }
    if (full && !std::exchange(told_, true))
        Q_EMIT LimitReached();
    if (polled_.isEmpty()) {
        poll_.stop();
        return;
    }
    if (!poll_.isActive())
        poll_.start();
}

void FolderWatch::WatchProjects(std::vector<Project> projects)
{
    const quint64 call = ++projectsCall_;
    pool_.start([this, call, projects = std::move(projects)] {
        QMetaObject::invokeMethod(this, [this, call, folders = FoldersOf(projects)] {
            if (call == projectsCall_)
                Watch(folders);
        }, Qt::QueuedConnection);
    });
}

void FolderWatch::poll()
{
    // A look still under way (a slow network folder) is not queued behind: the next tick comes soon enough.
    if (polled_.isEmpty() || std::exchange(looking_, true))
        return;
    pool_.start([this, folders = polled_, seen = seen_] {
        QHash<QString, platform::FileStamp> now;
        now.reserve(folders.size());
        bool changed = false;
        for (auto it = folders.cbegin(); it != folders.cend(); ++it) {
            const platform::FileStamp stamp = platform::StatFile(it.key());
            const auto before = seen->constFind(it.key());
            if (before != seen->cend())
                changed = changed || *before != stamp;
            else
                changed = changed || (stamp.exists && stamp.modifiedNs >= it.value());
            now.insert(it.key(), stamp);
        }
        *seen = std::move(now);
        QMetaObject::invokeMethod(this, [this, changed] {
            looking_ = false;
            if (changed)
                settle_.start();
        }, Qt::QueuedConnection);
    });
}

} // namespace catalogue
