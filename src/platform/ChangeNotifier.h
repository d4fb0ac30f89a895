#pragma once

#include <QHash>
#include <QMultiHash>
#include <QObject>
#include <QString>
#include <QStringList>

class QFileSystemWatcher;
class QSocketNotifier;

namespace platform {

// Tells of changes to files and folders through the system's own notifications. Unlike
// QFileSystemWatcher it says why a path could not be watched and prints nothing: past the system's
// limit on watches that would be one line on stderr for every path refused.
class ChangeNotifier : public QObject {
    Q_OBJECT
public:
    enum class Added { Watched, Missing, NoWatchLeft, Refused };

    // maxWatches >= 0 is for tests: the system is taken to have no more watches than that.
    explicit ChangeNotifier(QObject *parent = nullptr, int maxWatches = -1);
    ~ChangeNotifier() override;

    // A folder tells of files created, removed, renamed or touched in it; a file of being written,
    // touched, renamed or removed. A path watched already is Watched.
    Added AddFolder(const QString &folder);
    Added AddFile(const QString &file);
    void Remove(const QString &path);
    bool Watches(const QString &path) const { return ids_.contains(path); }
    QStringList Paths() const { return ids_.keys(); }

Q_SIGNALS:
    // Something changed at path; gone: it was removed or moved away and is watched no longer.
    // An empty path: the system lost track, anything watched may have changed.
    void Changed(const QString &path, bool gone);

private:
    Added add(const QString &path, bool folder);
    void read();

    int maxWatches_ = -1;
    int fd_ = -1;
    int watches_ = 0;
    QSocketNotifier *notifier_ = nullptr;
    QFileSystemWatcher *fallback_ = nullptr; // where the system has no inotify
    QHash<QString, int> ids_;
    // Two paths to one folder share one watch.
    QMultiHash<int, QString> paths_;
};

} // namespace platform
