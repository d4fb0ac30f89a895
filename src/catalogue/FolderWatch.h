#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

namespace catalogue {

// Watches folders for files created, removed, renamed or touched in them, and tells of a burst of
// such changes once, after it has calmed down.
class FolderWatch : public QObject {
    Q_OBJECT
public:
    // At most this many folders are watched: the system's watches are shared by every program.
    static constexpr int kMaxFolders = 512;

    explicit FolderWatch(int settleMs = 300, QObject *parent = nullptr);

    // Watches these folders (the first kMaxFolders of them) and no others.
    void Watch(const QStringList &folders);
    QStringList Watched() const { return watcher_.directories(); }

Q_SIGNALS:
    void Changed();

private:
    QFileSystemWatcher watcher_;
    QTimer settle_;
};

} // namespace catalogue
