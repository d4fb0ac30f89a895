#pragma once

#include "catalogue/ProjectStatus.h"
#include "tooling/IdeBuild.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

namespace catalogue {
struct ProjectRecord;
}

namespace tooling {

// What a single build builds, so that the project finds what it references built: the projects it
// depends on (in any category) that need building, as a category build judges, each after those it
// depends on; the project last.
struct ProjectBuildPlan {
    std::vector<std::weak_ptr<catalogue::ProjectRecord>> records;
    QStringList files;
    QStringList names; // one of another category than the project's marked " [category]"
    QList<QStringList> cycles;
    // The names of those built before the project.
    QStringList Dependencies() const { return names.mid(0, names.size() - 1); }
};

// The plan of a single build of the project: the catalogue is read on this thread, the files on a
// worker while this thread keeps answering. Empty when the project is gone.
ProjectBuildPlan PlanProjectBuild(const std::weak_ptr<catalogue::ProjectRecord> &record);

// Builds the projects of a category that need it, one after another: first every project is looked
// at off this thread (its executable missing or out of date? what does it reference?), then the IDE
// builds those, one at a time, each after the projects it depends on (BuildOrder), with what they
// depend on in other categories first when that needs building. A project gone from the catalogue
// meanwhile, or being built already, is skipped (the IDE building one that goes is stopped); when none of those left is there any more (the
// category deleted, another catalogue opened), the run has ended early and says so.
class BuildQueue : public QObject {
    Q_OBJECT
public:
    struct Summary {
        int built = 0;
        int failed = 0;
        int skipped = 0;   // up to date, without a .vbp, gone from the catalogue, being built already
        int notBuilt = 0;  // needed a build, but the run was cancelled or stopped first
        bool cancelled = false;
        QString error;     // why the run stopped: the IDE could not be started
        QStringList causes; // the likely causes of the failures, each once (LikelyFailureCause)
        QList<QStringList> cycles; // projects that depend on each other: built in list order
        // The chosen projects that were not built as not needing it, with their state then.
        std::vector<std::pair<QString, catalogue::ProjectState>> notNeeded;
    };

    explicit BuildQueue(QObject *parent = nullptr);
    // A run under way stops; the IDE building at that moment and everything it started end at
    // once, and its project's row stays as it was.
    ~BuildQueue() override;

    // Starts a run over the projects. False, with what the user is told in *error, when the IDE
    // command cannot build; false without an error when a run is under way.
    bool Start(const std::vector<std::weak_ptr<catalogue::ProjectRecord>> &projects, QString *error);
    // Starts a run over a single build's plan, in its order, without looking again.
    bool StartPlanned(const ProjectBuildPlan &plan, QString *error);
    // A single build asked for while a run is under way joins it, as one IDE builds at a time:
    // built after the projects planned, and only once when planned already or being built. False
    // when no run is under way (or it is being cancelled).
    bool Join(const std::weak_ptr<catalogue::ProjectRecord> &record, const QString &projectFile);
    // Ends the IDE under way and everything it started, and builds nothing more; Finished
    // follows. The project being built keeps the row and the log it had.
    void Cancel();
    bool Running() const { return running_; }
    // The next runs build the chosen projects that are up to date too (a full rebuild).
    void SetBuildAll(bool all) { all_ = all; }
    // The next runs build nothing more after a build that failed (the rest count as not built).
    void SetStopOnFailure(bool stop) { stopOnFailure_ = stop; }

    // The build under way (tests).

    struct Planned;
    struct Look;
    struct Plan;

Q_SIGNALS:
    // The projects are being looked at.
    void Looking(int projects);
    // The order they will be built in (names; one from another category marked so), and the
    // projects that depend on each other in a circle.
    // files: the .vbp of each, in the same order.
    void Ordered(const QStringList &order, const QList<QStringList> &cycles, const QStringList &files);
    // A build starts: the number-th (1-based) of total, of the project with that name.
    void Progress(int number, int total, const QString &project);
    // That build ended: built, or stopped (cancelled) rather than failed.
    void Built(int number, const QString &projectFile, bool built, bool stopped);
    void Finished(const tooling::BuildQueue::Summary &summary);

private:
    // Ends the build under way when its project has left the catalogue.
    void stopGone();
    bool begin(QString *error);
    void looked(Plan plan);
    void next();
    void finish();

    bool running_ = false;
    bool cancelled_ = false;
    bool all_ = false;
    bool stopOnFailure_ = false;
    bool halted_ = false; // a build failed and stopOnFailure_ is set
    int look_ = 0; // the look whose result is awaited; a cancel moves on past it
    std::vector<Planned> planned_;
    size_t next_ = 0;
    Summary summary_;
    QPointer<IdeBuild> current_;
};

// What the user is told of projects that depend on each other in a circle.
QString CycleText(const QStringList &projects);
// What the user is told when a run over the category has ended.
QString SummaryText(const QString &category, const BuildQueue::Summary &summary);
// The same for a single build run with what the project depends on.
QString ProjectSummaryText(const QString &project, const BuildQueue::Summary &summary);
// What a single build asks when what the project depends on needs building first (Yes or No).
QString DependencyQuestion(const QString &project, const QStringList &dependencies);

} // namespace tooling
