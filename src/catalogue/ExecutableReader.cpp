#include "catalogue/ExecutableReader.h"

#include "catalogue/cVbAnalyze.h"

#include <QRunnable>
#include <QTimer>

#include <vector>

namespace catalogue {

namespace {

// Enough files per job that queuing costs nothing beside reading, few enough that the
// first rows fill at once.
constexpr qsizetype kBatch = 256;
// Results are announced to the lists at most this often.
constexpr int kAnnounceMs = 40;

struct Job {
    std::weak_ptr<ProjectRecord> record;
    QString file; // as it was when queued: a result for a file since changed is dropped
    QString exe;
};

class ReadJobs final : public QRunnable {
public:
    ReadJobs(std::vector<Job> jobs, std::shared_ptr<std::atomic<int>> generation, int mine, QObject *receiver,
             std::function<void(std::vector<Job>)> deliver)
        : jobs_(std::move(jobs)), generation_(std::move(generation)), mine_(mine), receiver_(receiver),
          deliver_(std::move(deliver))
    {
    }

    void run() override
    {
        for (Job &job : jobs_) {
            if (generation_->load() != mine_)
                return; // a new catalogue: nobody wants these any more
            job.exe = ExecutableOf(job.file);
        }
        QMetaObject::invokeMethod(receiver_, [deliver = deliver_, jobs = std::move(jobs_)]() mutable {
            deliver(std::move(jobs));
        }, Qt::QueuedConnection);
    }

private:
    std::vector<Job> jobs_;
    std::shared_ptr<std::atomic<int>> generation_;
    int mine_;
    QObject *receiver_;
    std::function<void(std::vector<Job>)> deliver_;
};

} // namespace

ExecutableReader &ExecutableReader::Instance()
{
    static ExecutableReader *reader = new ExecutableReader; // lives as long as the program
    return *reader;
}

ExecutableReader::ExecutableReader() : generation_(std::make_shared<std::atomic<int>>(0))
{
    // The reads wait on the disk more than on the processor.
    pool_.setMaxThreadCount(qMax(4, QThread::idealThreadCount()));
    CatalogueEvents &events = Events();
    connect(&events, &CatalogueEvents::CategoriesReset, this, [this] { queueAll(); });
    connect(&events, &CatalogueEvents::ProjectsReset, this, [this](const cVbAnalyze *category) { Queue(category); });
    connect(&events, &CatalogueEvents::ProjectInserted, this, [this](const cVbAnalyze *category, int index) {
        if (const ProjectRecord *record = category->Record(index); record && !record->exeKnown)
            Queue(category);
    });
}

ExecutableReader::~ExecutableReader()
{
    Cancel();
    pool_.waitForDone();
}

void ExecutableReader::Cancel()
{
    generation_->fetch_add(1);
    pool_.clear();
    pending_ = 0;
}

void ExecutableReader::queueAll()
{
    Cancel();
    const CatalogueState &state = State();
    for (qint32 i = 1; i <= state.CategoryCount; ++i)
        Queue(state.CategoryAt(i));
}

void ExecutableReader::Queue(const cVbAnalyze *category, bool urgent)
{
    if (!category)
        return;
    std::vector<Job> jobs;
    const int generation = generation_->load();
    const auto flush = [&] {
        if (jobs.empty())
            return;
        pending_ += int(jobs.size());
        auto *runnable = new ReadJobs(std::move(jobs), generation_, generation, this,
                                      [this, generation](std::vector<Job> done) {
                                          if (generation_->load() != generation)
                                              return;
                                          for (Job &job : done) {
                                              const ProjectPtr record = job.record.lock();
                                              if (record && !record->exeKnown && record->file == job.file) {
                                                  record->exe = std::move(job.exe);
                                                  record->exeKnown = true;
                                              }
                                          }
                                          arrived(int(done.size()));
                                      });
        pool_.start(runnable, urgent ? 1 : 0);
        jobs.clear();
    };
    for (qint32 j = 1; j <= category->Count(); ++j) {
        const ProjectRecord *record = category->Record(j);
        if (record->exeKnown || (record->exeQueued && !urgent))
            continue;
        record->exeQueued = true;
        jobs.push_back({category->Shared(j), record->file, QString()});
        if (qsizetype(jobs.size()) == kBatch)
            flush();
    }
    flush();
}

void ExecutableReader::arrived(int count)
{
    pending_ = qMax(0, pending_ - count);
    if (!announceScheduled_) {
        announceScheduled_ = true;
        QTimer::singleShot(kAnnounceMs, this, [this] {
            announceScheduled_ = false;
            Q_EMIT Events().ExecutablesRead();
            if (pending_ == 0)
                Q_EMIT AllRead();
        });
    }
}

} // namespace catalogue
