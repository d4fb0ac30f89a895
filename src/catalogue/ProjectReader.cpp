#include "catalogue/ProjectReader.h"

#include "catalogue/LookCache.h"
#include "catalogue/ReferenceCheck.h"
#include "catalogue/cVbAnalyze.h"
#include "platform/FileSystem.h"
#include "platform/OffThread.h"
#include "platform/ThreadPriority.h"
#include "platform/Trace.h"
#include "tooling/mMain.h"

#include <QCoreApplication>
#include <QRunnable>
#include <QTimer>

#include <iterator>
#include <limits>
#include <optional>

namespace catalogue {

namespace {

// Enough projects per job that queuing costs nothing beside looking, few enough that the
// first rows fill at once.
constexpr qsizetype kBatch = 256;
// Results are announced to the lists at most this often.
constexpr int kAnnounceMs = 40;
// Looks read before the kept ones came, held to be judged against them; past this many, new.
constexpr size_t kReadBeforeCacheHeld = 32 * 1024;

} // namespace

struct ProjectReader::Job {
    std::weak_ptr<ProjectRecord> record;
    quint32 serial = 0;
    // As they were when queued: a result for a record changed since is dropped. The path is made
    // from the file's bytes on the worker.
    platform::StoredText file;
    std::optional<KeptPath> knownExe; // none: the one read now
    bool beforeCache = false;         // looked at before the kept looks were read
    SourcesPtr previous;
    // The result.
    ScanResult result;
};

// Takes a batch off the reader's thread; the result reaches the reader by a queued call, which Qt
// drops once the reader is gone (it joins its pool first).
class ProjectReader::ScanJobs final : public QRunnable {
public:
    ScanJobs(std::vector<Job> jobs, std::shared_ptr<std::atomic<int>> generation, int mine,
             std::shared_ptr<const LookCache> cache, std::shared_ptr<platform::WineRegistry> registry,
             ProjectReader *reader)
        : jobs_(std::move(jobs)), generation_(std::move(generation)), mine_(mine), cache_(std::move(cache)),
          registry_(std::move(registry)), reader_(reader)
    {
    }

    void run() override
    {
        // The window first: this work only fills in what it shows.
        static thread_local const bool yielded = (platform::YieldToForeground(), true);
        Q_UNUSED(yielded);
        CaseFolding folding; // folder listings shared by the batch's projects
        // The registry as it is now (two stats; read again only when it changed), each library
        // looked up once for the batch. A prefix without a registry is none: nothing to check against.
        std::optional<ReferenceCheck> check;
        ReferenceLookup references;
        if (registry_)
            if (std::shared_ptr<const platform::TypeLibTable> table = registry_->TypeLibs(); table->Size() > 0) {
                references.tag = table->Tag();
                references.check = &check.emplace(registry_->Prefix(), std::move(table));
            }
        for (Job &job : jobs_) {
            if (generation_->load() != mine_)
                return; // a new catalogue: nobody wants these any more
            // Looked at again since this was queued (a category shown first): that look counts.
            if (const auto record = job.record.lock();
                !record || record->scanSerial.load(std::memory_order_relaxed) != job.serial)
                continue;
            const QString file = job.file.Text();
            job.result = ScanProject(file, job.knownExe ? job.knownExe->In(file) : QString(), job.previous, &folding,
                                     cache_.get(), &references);
            job.previous.reset();
        }
        QMetaObject::invokeMethod(reader_, [reader = reader_, mine = mine_, jobs = std::move(jobs_)]() mutable {
            reader->taken(mine, std::move(jobs));
        }, Qt::QueuedConnection);
    }

private:
    std::vector<Job> jobs_;
    std::shared_ptr<std::atomic<int>> generation_;
    int mine_;
    std::shared_ptr<const LookCache> cache_;
    std::shared_ptr<platform::WineRegistry> registry_;
    ProjectReader *reader_;
};

struct ProjectReader::Gathering {
    int generation = 0;
    QString catalogue;
    QString file; // where they are kept
    qint64 notAfterNs = 0;
    qint32 category = 1;
    qint32 record = 1;
    std::vector<std::vector<SourcesPtr>> looks; // a turn's each
};

ProjectReader::ProjectReader(CatalogueState &catalogue, QObject *parent)
    : QObject(parent), catalogue_(catalogue), generation_(std::make_shared<std::atomic<int>>(0))
{
    announcer_.setSingleShot(true);
    connect(&announcer_, &QTimer::timeout, this, [this] {
        QList<const ProjectRecord *> records;
        std::vector<std::shared_ptr<ProjectRecord>> alive; // held while the lists look
        alive.reserve(looked_.size());
        for (const std::weak_ptr<ProjectRecord> &weak : std::exchange(looked_, {}))
            if (std::shared_ptr<ProjectRecord> record = weak.lock()) {
                records.append(record.get());
                alive.push_back(std::move(record));
            }
        // What each row shows now, for the end-to-end runs that cannot read the window.
        if (platform::trace::StatusesEnabled())
            for (const ProjectRecord *record : records)
                platform::trace::Mark(
                    (QStringLiteral("status ") + StatusText(record->Shown()) + u' ' + record->File()).toUtf8().constData());
        if (!records.isEmpty())
            Q_EMIT catalogue_.ProjectsLooked(records);
        Q_EMIT catalogue_.ProjectsScanned();
        if (Idle()) {
            if (std::exchange(keepLooksWhenRead_, false))
                keepLooks();
            Q_EMIT AllRead();
            if (std::exchange(refreshAgain_, false))
                RefreshAll();
        }
    });
    // The looks wait on the disk more than on the processor.
    pool_.setMaxThreadCount(qMax(4, QThread::idealThreadCount()));
    connect(&catalogue_, &CatalogueState::CategoriesReset, this, [this] { queueAll(); });
    connect(&catalogue_, &CatalogueState::ProjectsReset, this, [this](const cVbAnalyze *category) { Queue(category); });
    // A category another program added to the file comes with its projects.
    connect(&catalogue_, &CatalogueState::CategoryInserted, this, [this](int index) { Queue(catalogue_.CategoryAt(index)); });
    const auto one = [this](const cVbAnalyze *category, int index) {
        const ProjectRecord *record = category->Record(index);
        const bool pending = record && record->scanPending && record->scanGeneration == generation_->load();
        if (record && record->state == ProjectState::Unknown && !pending)
            Refresh({category->Shared(index)});
    };
    connect(&catalogue_, &CatalogueState::ProjectInserted, this, one);
    connect(&catalogue_, &CatalogueState::ProjectChanged, this, one);
    // Sweeps keep their place as rows come and go, and end with their category.
    connect(&catalogue_, &CatalogueState::ProjectRemoved, this, [this](const cVbAnalyze *category, int index) {
        for (std::deque<Sweep> *sweeps : {&urgentSweeps_, &normalSweeps_})
            for (Sweep &sweep : *sweeps)
                if (sweep.category == category && sweep.next > index)
                    sweep.next -= 1;
    });
    connect(&catalogue_, &CatalogueState::ProjectInserted, this, [this](const cVbAnalyze *category, int index) {
        for (std::deque<Sweep> *sweeps : {&urgentSweeps_, &normalSweeps_})
            for (Sweep &sweep : *sweeps)
                if (sweep.category == category && sweep.next > index)
                    sweep.next += 1;
    });
    connect(&catalogue_, &CatalogueState::CategoryAboutToBeRemoved, this,
            [this](int index) { forgetSweeps(catalogue_.CategoryAt(index)); });
    connect(&catalogue_, &CatalogueState::CategoriesAboutToBeReset, this, [this] {
        urgentSweeps_.clear();
        normalSweeps_.clear();
    });
    // A build shows at once; after it the project is looked at again at once, which judges it.
    connect(&catalogue_, &CatalogueState::ProjectBuildStarted, this, [this](const std::weak_ptr<ProjectRecord> &weak) {
        if (const std::shared_ptr<ProjectRecord> record = weak.lock()) {
            looked(record);
            announce();
        }
    });
    connect(&catalogue_, &CatalogueState::ProjectBuildFinished, this, [this](const std::weak_ptr<ProjectRecord> &weak) {
        if (const std::shared_ptr<ProjectRecord> record = weak.lock()) {
            looked(record);
            Refresh({weak}, true);
            announce();
        }
    });
}

bool ProjectReader::Idle() const
{
    return inFlight_ == 0 && urgent_.empty() && normal_.empty() && urgentSweeps_.empty() && normalSweeps_.empty();
}

void ProjectReader::forgetSweeps(const cVbAnalyze *category)
{
    for (std::deque<Sweep> *sweeps : {&urgentSweeps_, &normalSweeps_})
        std::erase_if(*sweeps, [category](const Sweep &sweep) { return sweep.category == category; });
}

std::shared_ptr<ProjectRecord> ProjectReader::take(Sweep &sweep)
{
    const int generation = generation_->load();
    while (sweep.next <= sweep.category->Count()) {
        const qint32 j = sweep.next++;
        const ProjectRecord *record = sweep.category->Record(j);
        if (!sweep.all && (record->state != ProjectState::Unknown
                           || (record->scanPending && record->scanGeneration == generation)))
            continue;
        return sweep.category->Shared(j).lock();
    }
    return nullptr;
}

ProjectReader::~ProjectReader()
{
    gatherLooks(true); // those of this run, as at once before
    Cancel();
    pool_.waitForDone();
}

void ProjectReader::Cancel() { cancel(false); }

void ProjectReader::cancel(bool keepCache)
{
    generation_->fetch_add(1);
    keepLooksWhenRead_ = false;
    urgent_.clear();
    normal_.clear();
    urgentSweeps_.clear();
    normalSweeps_.clear();
    inFlight_ = 0;
    refreshAgain_ = false;
    if (keepCache)
        return; // the pool keeps the kept looks' read: the looks left queued drop themselves
    pool_.clear();
    cacheSerial_ += 1;
    cacheFile_.clear();
    cacheLoading_ = false;
    cacheWaitOver_ = false;
    // A large catalogue's kept looks took 30-60 ms to free (100,000 of them).
    platform::FreeElsewhere(std::exchange(cache_, nullptr));
    readBeforeCache_.clear();
}

void ProjectReader::queueAll()
{
    const CatalogueState &state = catalogue_;
    const bool reading = state.File == CatalogueState::FileState::Reading;
    const QString cacheFile = state.CatalogueFilePath.isEmpty() || state.CategoryCount == 0
                                  ? QString()
                                  : LookCache::FileFor(state.CatalogueFilePath);
    // The whole catalogue after its first category alone: the kept looks being read serve the whole.
    const bool sameCache = std::exchange(firstCategoryOnly_, false) && !cacheFile.isEmpty() && cacheFile == cacheFile_;
    cancel(sameCache);
    if (!cacheFile.isEmpty()) {
        // The first category alone is no catalogue to keep the looks of.
        keepLooksWhenRead_ = !reading;
        firstCategoryOnly_ = reading;
    }
    if (!cacheFile.isEmpty() && !sameCache) {
        cacheFile_ = cacheFile;
        cacheLoading_ = true;
        cacheWaitOver_ = cacheWaitMs_ < 0;
        loadStartNs_ = platform::WallClockNs();
        freshReads_ = 0;
        const int serial = cacheSerial_;
        // The reader joins its pool before it goes: the answer finds it, or is dropped with it.
        pool_.start([this, serial, file = cacheFile] {
            std::shared_ptr<const LookCache> cache = LookCache::Read(file);
            QMetaObject::invokeMethod(this, [this, serial, cache = std::move(cache)]() mutable {
                if (cacheSerial_ != serial)
                    return; // another catalogue since
                cache_ = std::move(cache);
                cacheLoading_ = false;
                countReadBeforeCache();
                pump();
            }, Qt::QueuedConnection);
        });
        // A cache folder that does not answer (a stuck network home) only costs the kept looks;
        // one slow to read (a million looks take about a second) still judges what was read
        // meanwhile when it comes, instead of every such look counting as new and all of them
        // written again.
        if (!cacheWaitOver_)
            QTimer::singleShot(cacheWaitMs_, this, [this, serial] {
                if (cacheSerial_ == serial && cacheLoading_ && !std::exchange(cacheWaitOver_, true))
                    pump();
            });
    }
    for (qint32 i = 1; i <= state.CategoryCount; ++i)
        Queue(state.CategoryAt(i));
}

void ProjectReader::countReadBeforeCache()
{
    for (const auto &[file, sources] : std::exchange(readBeforeCache_, {}))
        if (!cache_ || !cache_->Find(file, sources->Stamp()))
            ++freshReads_;
}

void ProjectReader::keepLooks()
{
    countReadBeforeCache(); // with the kept looks still not read, as new
    platform::FreeElsewhere(std::exchange(cache_, nullptr)); // the looks not taken go, off the window's thread
    const CatalogueState &state = catalogue_;
    if (freshReads_ == 0 || state.CatalogueFilePath.isEmpty())
        return; // every look came from the cache: it is as it should be
    auto gathering = std::make_unique<Gathering>();
    gathering->generation = generation_->load();
    gathering->catalogue = state.CatalogueFilePath;
    gathering->file = LookCache::FileFor(state.CatalogueFilePath);
    gathering->notAfterNs = loadStartNs_ - unchangedForNs_;
    gathering_ = std::move(gathering);
    gatherLooks();
}

void ProjectReader::gatherLooks(bool whole)
{
    if (!gathering_)
        return;
    const CatalogueState &state = catalogue_;
    if (gathering_->generation != generation_->load() || gathering_->catalogue != state.CatalogueFilePath) {
        platform::FreeElsewhere(std::move(gathering_)); // another catalogue since: its own are kept
        return;
    }
    // Where the last turn stopped, by position: records that came or went meanwhile may be missed
    // or taken twice, which costs a read at the next start at most.
    std::vector<SourcesPtr> turn;
    turn.reserve(whole ? 0 : size_t(looksATurn_));
    qint32 &at = gathering_->category;
    qint32 &next = gathering_->record;
    for (qint64 left = whole ? std::numeric_limits<qint64>::max() : looksATurn_; left > 0 && at <= state.CategoryCount;) {
        const cVbAnalyze *category = state.CategoryAt(at);
        if (next > category->Count()) {
            ++at;
            next = 1;
            continue;
        }
        if (const ProjectRecord *record = category->Record(next); record->sources)
            turn.push_back(record->sources);
        ++next;
        --left;
    }
    gathering_->looks.push_back(std::move(turn));
    if (at <= state.CategoryCount) {
        QMetaObject::invokeMethod(this, [this] { gatherLooks(); }, Qt::QueuedConnection);
        return;
    }
    platform::Workers().start([gathering = std::shared_ptr<Gathering>(std::move(gathering_))] {
        std::vector<SourcesPtr> looks;
        for (std::vector<SourcesPtr> &part : gathering->looks)
            looks.insert(looks.end(), std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()));
        gathering->looks.clear();
        LookCache::Write(gathering->file, std::move(looks), gathering->notAfterNs);
    });
}

void ProjectReader::enqueue(const std::shared_ptr<ProjectRecord> &record, bool urgent)
{
    // A newer serial makes every earlier look at the record, queued or under way, count for nothing.
    const quint32 serial = record->scanSerial.fetch_add(1, std::memory_order_relaxed) + 1;
    record->scanGeneration = generation_->load();
    record->scanPending = true;
    (urgent ? urgent_ : normal_).push_back({record, serial});
}

void ProjectReader::pump()
{
    // Only a few batches at a time go to the pool: a hundred thousand waiting looks cost a weak
    // pointer each, and a look asked for urgently overtakes all that wait.
    const int maxInFlight = 2 * pool_.maxThreadCount();
    const int generation = generation_->load();
    bool skipped = false;
    // The next record to look at: those asked for one by one first, then the sweeps, urgent ones first.
    const auto next = [this](bool urgent, quint32 *serial) -> std::shared_ptr<ProjectRecord> {
        std::deque<Waiting> &waiting = urgent ? urgent_ : normal_;
        while (!waiting.empty()) {
            const Waiting one = std::move(waiting.front());
            waiting.pop_front();
            std::shared_ptr<ProjectRecord> record = one.record.lock();
            if (record && record->scanSerial.load(std::memory_order_relaxed) == one.serial) {
                *serial = one.serial;
                return record;
            }
        }
        std::deque<Sweep> &sweeps = urgent ? urgentSweeps_ : normalSweeps_;
        while (!sweeps.empty()) {
            if (std::shared_ptr<ProjectRecord> record = take(sweeps.front())) {
                // A newer serial makes every earlier look at the record count for nothing.
                *serial = record->scanSerial.fetch_add(1, std::memory_order_relaxed) + 1;
                record->scanGeneration = generation_->load();
                record->scanPending = true;
                return record;
            }
            sweeps.pop_front();
        }
        return nullptr;
    };
    const auto waiting = [this](bool urgent) {
        return urgent ? !urgent_.empty() || !urgentSweeps_.empty() : !normal_.empty() || !normalSweeps_.empty();
    };
    // While the kept looks are read (a large catalogue's take a while), only the rows on screen
    // are looked at, the hard way: the rest waits to find most of its looks kept.
    while (inFlight_ < maxInFlight && (waiting(true) || (waiting(false) && (!cacheLoading_ || cacheWaitOver_)))) {
        const bool urgent = waiting(true);
        std::vector<Job> jobs;
        while (qsizetype(jobs.size()) < kBatch && waiting(urgent)) {
            quint32 serial = 0;
            const std::shared_ptr<ProjectRecord> record = next(urgent, &serial);
            if (!record) {
                skipped = true;
                continue;
            }
            Job job;
            job.record = record;
            job.serial = serial;
            job.beforeCache = cacheLoading_;
            job.file = record->StoredFile();
            // An executable unknown, or left empty by a .vbp that was missing then, is the one read now.
            if (record->exeKnown && !record->exe.IsEmpty())
                job.knownExe = record->exe;
            job.previous = record->sources;
            jobs.push_back(std::move(job));
        }
        if (jobs.empty())
            continue;
        inFlight_ += 1;
        auto *runnable = new ScanJobs(std::move(jobs), generation_, generation, cache_, Registry(), this);
        pool_.start(runnable, urgent ? 1 : 0);
    }
    if (skipped)
        announce();
}

void ProjectReader::Queue(const cVbAnalyze *category, bool urgent)
{
    if (!category || category->Count() == 0)
        return;
    (urgent ? urgentSweeps_ : normalSweeps_).push_back({category, 1, false});
    pump();
}

void ProjectReader::Refresh(const std::vector<std::weak_ptr<ProjectRecord>> &records, bool urgent)
{
    for (const std::weak_ptr<ProjectRecord> &weak : records)
        if (const std::shared_ptr<ProjectRecord> record = weak.lock())
            enqueue(record, urgent);
    pump();
}

void ProjectReader::LookAhead(const cVbAnalyze &category)
{
    for (qint32 i = 1; i <= category.Count(); ++i)
        if (const std::shared_ptr<ProjectRecord> record = category.Shared(i).lock())
            enqueue(record, true);
    pump();
}

void ProjectReader::RefreshAll()
{
    if (!Idle()) {
        refreshAgain_ = true; // files may have changed behind the look under way
        return;
    }
    const CatalogueState &state = catalogue_;
    if (const cVbAnalyze *current = state.Current(); current && current->Count() > 0)
        urgentSweeps_.push_back({current, 1, true});
    for (qint32 i = 1; i <= state.CategoryCount; ++i)
        if (i != state.CurrentCategory && state.CategoryAt(i)->Count() > 0)
            normalSweeps_.push_back({state.CategoryAt(i), 1, true});
    pump();
}

void ProjectReader::taken(int generation, std::vector<Job> jobs)
{
    if (generation_->load() != generation)
        return;
    inFlight_ -= 1;
    deliver(std::move(jobs));
    pump();
}

void ProjectReader::deliver(std::vector<Job> jobs)
{
    for (Job &job : jobs) {
        const std::shared_ptr<ProjectRecord> record = job.record.lock();
        if (!record || record->scanSerial != job.serial || !(record->StoredFile() == job.file))
            continue;
        // What was read before the kept looks were makes them out of date only if they lack it.
        if (job.result.read && job.beforeCache && job.result.sources && readBeforeCache_.size() < kReadBeforeCacheHeld)
            readBeforeCache_.push_back({record->File(), job.result.sources});
        else if (job.result.read)
            ++freshReads_;
        if (!cacheLoading_)
            countReadBeforeCache();
        record->scanPending = false;
        ScanResult &result = job.result;
        const ProjectState shownBefore = record->Shown();
        const bool exeKnownBefore = record->exeKnown;
        const KeptPath exeBefore = record->exe;
        const QString statusFileBefore = record->StatusFile();
        const QString missingBefore = record->sources ? record->sources->MissingText() : QString();
        const auto changed = [&] {
            if (record->Shown() != shownBefore || record->exeKnown != exeKnownBefore || !(record->exe == exeBefore)
                || record->StatusFile() != statusFileBefore
                || (record->sources ? record->sources->MissingText() : QString()) != missingBefore)
                looked(record);
        };
        if (result.state == ProjectState::Unknown) {
            // The .vbp could not be read: the row claims nothing, and the next look reads it again.
            record->state = ProjectState::Unknown;
            record->SetStatusFile(KeptPath());
            record->sources.reset();
            changed();
            continue;
        }
        if (!record->exeKnown || (record->exe.IsEmpty() && !job.knownExe && !result.exe.IsEmpty())) {
            record->exe = result.exe;
            record->exeKnown = true;
        }
        record->state = result.state;
        record->SetStatusFile(result.statusFile);
        record->exeModifiedNs = result.exeModifiedNs;
        record->sources = std::move(result.sources);
        if (record->buildEnded) {
            record->buildEnded = false;
            record->buildFailed = !record->buildExited || record->exeModifiedNs == 0
                                  || record->exeModifiedNs <= record->buildBaseNs;
        } else if (record->state == ProjectState::UpToDate) {
            record->buildFailed = false;
        }
        changed();
    }
    announce();
}

std::shared_ptr<platform::WineRegistry> ProjectReader::Registry()
{
    // The IDE command may change in the options; a new prefix reads its own registry.
    if (registryCommand_ == mMain::VbIdePath && !registryCommand_.isNull())
        return registry_;
    registryCommand_ = mMain::VbIdePath;
    const QString prefix = WinePrefixOfIde(mMain::VbIdePath);
    if (prefix.isEmpty())
        registry_.reset();
    else if (!registry_ || registry_->Prefix() != prefix)
        registry_ = std::make_shared<platform::WineRegistry>(prefix);
    return registry_;
}

void ProjectReader::looked(const std::shared_ptr<ProjectRecord> &record)
{
    StatusChanged(*record);
    looked_.push_back(record);
}

void ProjectReader::announce()
{
    // The last result goes out at once: nothing would follow it to share the announcement.
    if (Idle())
        announcer_.start(0);
    else if (!announcer_.isActive())
        announcer_.start(kAnnounceMs);
}

} // namespace catalogue
