#pragma once

#include "catalogue/ProjectScan.h"
#include "platform/WineRegistry.h"

#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <deque>
#include <memory>
#include <vector>

namespace catalogue {

class LookCache;
class cVbAnalyze;
struct CatalogueState;
struct ProjectRecord;

// Looks at the files of the catalogue's projects on worker threads, so that opening a catalogue
// never waits for the disk: each .vbp is read once for its executable and the sources it lists,
// then every look costs one stat per file. Results reach the records on the thread that owns the
// catalogue, in batches; a result for a record changed or looked at again since is dropped. A
// command that needs a project's executable before it arrives reads that one file itself.
// Whoever shows the catalogue owns its reader; its workers are joined when it goes.
class ProjectReader : public QObject {
    Q_OBJECT
public:
    // Created on the user-interface thread; follows the catalogue's changes (and the builds it is
    // told of) from then on, and tells what it finds through the catalogue's ProjectsLooked and
    // ProjectsScanned.
    explicit ProjectReader(CatalogueState &catalogue, QObject *parent = nullptr);
    ~ProjectReader() override;

    // Looks at the category's projects not looked at yet; urgent ones go before everything queued.
    void Queue(const cVbAnalyze *category, bool urgent = false);
    // Looks again at these projects (their files may have changed).
    void Refresh(const std::vector<std::weak_ptr<ProjectRecord>> &records, bool urgent = false);
    // Looks at the projects of a category not in the catalogue yet (one to be shown first), as
    // urgently as the rows on screen: its rows show what they are once it is in, and the looks
    // queued then pass over them. The lists find no row of theirs to change, and a new catalogue
    // drops the looks not done (its own look at them is queued then).
    void LookAhead(const cVbAnalyze &category);
    // Looks again at every project, the current category's first. While a look is under way the
    // next one follows it.
    void RefreshAll();
    // Drops what is queued (a catalogue is replaced); results still under way are ignored.
    void Cancel();
    // Nothing queued or under way.
    bool Idle() const;
    // How long the looks not on screen wait for the kept ones to be read (negative: not at all).
    void SetCacheWaitMs(int ms) { cacheWaitMs_ = ms; }
    // How many records a turn of the window's thread takes the looks of, to keep them.
    void SetLooksKeptATurn(int records) { looksATurn_ = qMax(1, records); }
    // A .vbp changed this close before the catalogue's read has its look left out of those kept:
    // a change within its time stamp's step would look like none.
    void SetKeptIfUnchangedForNs(qint64 ns) { unchangedForNs_ = ns; }

    // The registry of the IDE's Wine prefix, as the IDE command names it now; null without one.
    // The same object the looks read, so that its files are read again only when they change.
    std::shared_ptr<platform::WineRegistry> Registry();

    // One look at one project (the reader's own).
    struct Job;

Q_SIGNALS:
    // Every queued look has been taken.
    void AllRead();

private:
    class ScanJobs;
    struct Waiting {
        std::weak_ptr<ProjectRecord> record;
        quint32 serial = 0;
    };
    // The projects of a category still to be looked at, taken a batch at a time: queuing a million
    // projects costs the categories only.
    struct Sweep {
        const cVbAnalyze *category = nullptr;
        qint32 next = 1;
        bool all = false; // every project, not only those not looked at yet
    };
    // The next project a sweep gives, or none when it is through.
    std::shared_ptr<ProjectRecord> take(Sweep &sweep);
    void forgetSweeps(const cVbAnalyze *category);
    void cancel(bool keepCache);
    void queueAll();
    void keepLooks();
    // The looks to keep, taken from the records a turn at a time: a million at once held the
    // window's thread 0.1 s (a cache miss and a new page for each). Whole: the rest at once (the
    // reader goes: the window has closed).
    struct Gathering;
    void gatherLooks(bool whole = false);
    void enqueue(const std::shared_ptr<ProjectRecord> &record, bool urgent);
    void pump();
    // A batch came back from the pool.
    void taken(int generation, std::vector<Job> jobs);
    void deliver(std::vector<Job> jobs);

    void announce();

    CatalogueState &catalogue_;
    QThreadPool pool_;
    std::shared_ptr<platform::WineRegistry> registry_;
    QString registryCommand_; // the IDE command registry_ was made for
    std::shared_ptr<std::atomic<int>> generation_;
    std::deque<Waiting> urgent_;
    std::deque<Waiting> normal_;
    std::deque<Sweep> urgentSweeps_;
    std::deque<Sweep> normalSweeps_;
    int inFlight_ = 0; // batches with the pool
    QTimer announcer_;
    // Records whose row looks different since the last announcement.
    std::vector<std::weak_ptr<ProjectRecord>> looked_;
    void looked(const std::shared_ptr<ProjectRecord> &record);
    bool refreshAgain_ = false;
    // The looks kept from the last run of the catalogue being loaded; nothing goes to the pool
    // until they are read or cacheWaitMs_ has passed (a million take about a second), since they
    // spare most reads.
    std::shared_ptr<const LookCache> cache_;
    // The kept looks are being read; the looks not on screen wait for them until cacheWaitOver_.
    // What is read meanwhile is judged against them when they come, not taken as new.
    bool cacheLoading_ = false;
    int cacheSerial_ = 0;   // the kept looks' read that counts
    QString cacheFile_;     // the file they are read from
    bool firstCategoryOnly_ = false; // the catalogue's first category alone is shown: the whole follows
    bool cacheWaitOver_ = false;
    int cacheWaitMs_ = 1000;
    bool keepLooksWhenRead_ = false; // a catalogue was loaded: its looks are kept once all are in
    qint64 loadStartNs_ = 0;
    int freshReads_ = 0;
    int looksATurn_ = 16 * 1024;
    std::unique_ptr<Gathering> gathering_;
    qint64 unchangedForNs_ = 2'000'000'000;
    // Read before the kept looks came: counted as fresh only when those lack them (past a bound,
    // as fresh at once: a cache folder that never answers must not hold a million paths).
    std::vector<std::pair<QString, SourcesPtr>> readBeforeCache_;
    void countReadBeforeCache();
};

} // namespace catalogue
