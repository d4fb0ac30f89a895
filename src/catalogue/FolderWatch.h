#pragma once

#include "catalogue/ProjectScan.h"
#include "platform/ChangeNotifier.h"
#include "platform/FileSystem.h"
#include "platform/StoredText.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>

#include <memory>
#include <vector>

namespace catalogue {

// Watches folders for files created, removed, renamed or touched in them, and tells of a burst of
// such changes once, after it has calmed down. Folders the system has no watch left for are looked
// at every few seconds instead (a stat each, on a worker): that sees files come and go, not touched.
class FolderWatch : public QObject {
    Q_OBJECT
public:
    // At most this many folders are watched: the system's watches are shared by every program.
    static constexpr int kMaxFolders = 512;
    static constexpr int kPollMs = 5000;

    explicit FolderWatch(int settleMs = 300, QObject *parent = nullptr);
    // For tests: the system is taken to have no more than systemWatches watches, and the folders
    // left without one are looked at every pollMs.
    FolderWatch(int settleMs, int pollMs, int systemWatches, QObject *parent = nullptr);
    ~FolderWatch() override;

    // Watches these folders (the first kMaxFolders of them) and no others.
    void Watch(const QStringList &folders);
    // A listed project as the watch needs it: its .vbp and the sources it lists (null: none known).
    // The path is kept as stored and decoded on the worker: thousands a list change.
    struct Project {
        platform::StoredText file;
        SourcesPtr sources;
    };
    // Watches the folders of these projects: each one's own, then those its sources lie in, as
    // they are on disk. Finding those costs a stat each, so it is done on a worker and the watch
    // follows a moment later; a later call overtakes it.
    void WatchProjects(std::vector<Project> projects);
    QStringList Watched() const { return notifier_.Paths(); }
    // The folders looked at every few seconds, for want of a watch.
    QStringList Polled() const { return polled_.keys(); }

Q_SIGNALS:
    void Changed();
    // The system's watches ran out: some folders are polled from now on. Told once in a watch's life.
    void LimitReached();

private:
    void poll();

    platform::ChangeNotifier notifier_;
    QTimer settle_;
    QTimer poll_;
    QThreadPool pool_;
    // Each polled folder, with the wall clock (ns) when it joined: a change after that counts on the first look.
    QHash<QString, qint64> polled_;
    // How each polled folder stood at the last look; only the look under way touches it.
    std::shared_ptr<QHash<QString, platform::FileStamp>> seen_;
    bool looking_ = false;
    bool told_ = false;
    quint64 projectsCall_ = 0;
};

} // namespace catalogue
