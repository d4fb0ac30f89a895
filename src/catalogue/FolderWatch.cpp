#include "catalogue/FolderWatch.h"

namespace catalogue {

FolderWatch::FolderWatch(int settleMs, QObject *parent) : QObject(parent)
{
    settle_.setSingleShot(true);
    settle_.setInterval(settleMs);
    connect(&settle_, &QTimer::timeout, this, &FolderWatch::Changed);
    // Each change restarts the wait, so a build writing many files counts once.
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { settle_.start(); });
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
    QStringList gone;
    for (const QString &folder : watcher_.directories())
        if (!wanted.contains(folder))
            gone.append(folder);
    if (!gone.isEmpty())
        watcher_.removePaths(gone);
    const QStringList watched = watcher_.directories();
    const QSet<QString> current(watched.cbegin(), watched.cend());
    QStringList fresh;
    for (const QString &folder : added)
        if (!current.contains(folder))
            fresh.append(folder);
    // A folder that is not there is refused by the watcher and tried again at the next call.
    if (!fresh.isEmpty())
        watcher_.addPaths(fresh);
}

} // namespace catalogue
