#include "tooling/BuildQueue.h"

#include "catalogue/ProjectScan.h"
#include "catalogue/cVbAnalyze.h"
#include "catalogue/ProjectReferences.h"
#include "platform/FileSystem.h"
#include "platform/OffThread.h"
#include "tooling/BuildOrder.h"
#include "tooling/IdeBuild.h"
#include "tooling/IdeCommand.h"
#include "tooling/mMain.h"

#include <QCoreApplication>
#include <QSet>

#include <algorithm>

namespace tooling {

struct BuildQueue::Look {
    std::weak_ptr<catalogue::ProjectRecord> record;
    QString file;
    QString knownExe;
    catalogue::SourcesPtr previous;
    bool chosen = true; // of the category; else a project elsewhere that one may depend on
    QString category;
    QString name;
    // A project elsewhere as its record holds it (shared bytes, no copy): made whole on the worker.
    platform::StoredText storedFile;
    platform::StoredText storedName;
    catalogue::KeptPath keptExe;
    bool forced = false; // built whatever its state: the project of a single build
};

struct BuildQueue::Planned {
    std::weak_ptr<catalogue::ProjectRecord> record;
    QString file;
};

struct BuildQueue::Plan {
    std::vector<Planned> planned;
    QStringList order;
    QStringList files;
    QList<QStringList> cycles;
    int skipped = 0;
    std::vector<std::pair<QString, catalogue::ProjectState>> notNeeded;
};

namespace {

bool needsBuild(catalogue::ProjectState state)
{
    return state == catalogue::ProjectState::ExeMissing || state == catalogue::ProjectState::OutOfDate;
}

// On a worker: what each chosen project makes and references, and the order to build those that
// need it in. A project elsewhere is looked at only when one of them depends on it.
BuildQueue::Plan planOf(std::vector<BuildQueue::Look> &looks, bool all)
{
    std::vector<std::pair<QString, catalogue::ProjectState>> notNeeded;
    catalogue::CaseFolding folding;
    std::vector<BuildNode> nodes;
    nodes.reserve(looks.size());
    std::vector<int> chosen;
    std::vector<catalogue::ProjectState> states(looks.size(), catalogue::ProjectState::Unknown);
    int skipped = 0;
    for (size_t i = 0; i < looks.size(); ++i) {
        BuildQueue::Look &look = looks[i];
        BuildNode node;
        node.category = look.category;
        node.name = look.name;
        node.projectFile = look.file;
        if (look.chosen) {
            if (!look.forced)
                states[i] = catalogue::ScanProject(look.file, look.knownExe, look.previous, &folding).state;
            look.previous.reset();
            QByteArray vbp;
            if (platform::ReadSmallFile(look.file, mMain::kMaxProjectFileBytes, &vbp) == platform::FileKind::Regular) {
                const QList<catalogue::ProjectReference> references = catalogue::ReferencesIn(vbp);
                node.output = BuildOutputOf(look.file, vbp);
                node.uses = UsedPaths(look.file, references);
                node.controls = ControlFiles(references);
            }
            if (look.forced || needsBuild(states[i]) || (all && states[i] == catalogue::ProjectState::UpToDate)) {
                chosen.push_back(int(i));
            } else {
                skipped += 1;
                notNeeded.emplace_back(look.file, states[i]);
            }
        } else {
            look.file = node.projectFile = look.storedFile.Text();
            look.name = node.name = look.storedName.Text();
            look.knownExe = node.output = look.keptExe.In(look.file);
        }
        nodes.push_back(std::move(node));
    }
    const auto needs = [&](int node) {
        BuildQueue::Look &look = looks[size_t(node)];
        if (!look.chosen && states[size_t(node)] == catalogue::ProjectState::Unknown)
            states[size_t(node)] = catalogue::ScanProject(look.file, look.knownExe, nullptr, &folding).state;
        return needsBuild(states[size_t(node)]);
    };
    // A project elsewhere that is built first: what it depends on may need building too.
    const auto load = [](BuildNode &node) {
        QByteArray vbp;
        if (platform::ReadSmallFile(node.projectFile, mMain::kMaxProjectFileBytes, &vbp) != platform::FileKind::Regular)
            return;
        const QList<catalogue::ProjectReference> references = catalogue::ReferencesIn(vbp);
        node.uses = UsedPaths(node.projectFile, references);
        node.controls = ControlFiles(references);
    };
    const bool single = !looks.empty() && looks.front().forced;
    const BuildPlan order = single ? PlanSingleBuild(nodes, 0, needs, load) : PlanBuilds(nodes, chosen, needs, load);
    // The category (or the project) the run is for: a project of another one is marked.
    const auto home = std::find_if(looks.begin(), looks.end(), [](const BuildQueue::Look &l) { return l.chosen; });
    const QString homeCategory = home != looks.end() ? home->category : QString();
    BuildQueue::Plan plan;
    plan.skipped = skipped;
    plan.notNeeded = std::move(notNeeded);
    plan.cycles = order.cycles;
    for (const BuildStep &step : order.steps) {
        const BuildQueue::Look &look = looks[size_t(step.node)];
        plan.planned.push_back({look.record, look.file});
        plan.files.append(look.file);
        plan.order.append(step.pulledIn && look.category != homeCategory
                              ? look.name + QStringLiteral(" [") + look.category + u']'
                              : look.name);
    }
    return plan;
}

// What the look needs, copied here: the records change on this thread only. The chosen projects
// come first; after them the projects of the catalogue whose executable is known, as what a chosen
// one may reference: only their shared texts are taken here, one is looked at only when depended on.
std::vector<BuildQueue::Look> looksOf(const std::vector<std::weak_ptr<catalogue::ProjectRecord>> &projects, int *skipped)
{
    std::vector<BuildQueue::Look> looks;
    looks.reserve(projects.size());
    QSet<const catalogue::ProjectRecord *> mine;
    for (const std::weak_ptr<catalogue::ProjectRecord> &weak : projects) {
        const std::shared_ptr<catalogue::ProjectRecord> record = weak.lock();
        if (!record || !record->HasFile()) {
            *skipped += 1;
            continue;
        }
        BuildQueue::Look look;
        look.record = weak;
        look.file = record->File();
        if (record->exeKnown && !record->exe.IsEmpty())
            look.knownExe = record->Exe();
        look.previous = record->sources;
        look.category = record->owner ? record->owner->Category() : QString();
        look.name = record->Name();
        mine.insert(record.get());
        looks.push_back(std::move(look));
    }
    const catalogue::CatalogueState &state = catalogue::State();
    for (qint32 i = 1; i <= state.CategoryCount; ++i) {
        const catalogue::cVbAnalyze *category = state.CategoryAt(i);
        for (qint32 j = 1; j <= category->Count(); ++j) {
            const catalogue::ProjectRecord *record = category->Record(j);
            if (mine.contains(record) || !record->exeKnown || record->exe.IsEmpty() || !record->HasFile())
                continue;
            BuildQueue::Look look;
            look.record = category->Shared(j);
            look.storedFile = record->StoredFile();
            look.storedName = record->StoredName();
            look.keptExe = record->exe;
            look.chosen = false;
            look.category = category->Category();
            looks.push_back(std::move(look));
        }
    }
    return looks;
}

} // namespace

BuildQueue::BuildQueue(QObject *parent) : QObject(parent)
{
    // A project that leaves the catalogue while the IDE builds it is not built on: its row is gone.
    // Looked at once the change is complete.
    const catalogue::CatalogueState &catalogue = catalogue::State();
    const auto soon = [this] { QMetaObject::invokeMethod(this, &BuildQueue::stopGone, Qt::QueuedConnection); };
    connect(&catalogue, &catalogue::CatalogueState::CategoryRemoved, this, soon);
    connect(&catalogue, &catalogue::CatalogueState::CategoriesReset, this, soon);
    connect(&catalogue, &catalogue::CatalogueState::ProjectRemoved, this, soon);
    connect(&catalogue, &catalogue::CatalogueState::ProjectsReset, this, soon);
}

void BuildQueue::stopGone()
{
    if (current_ && next_ >= 1 && next_ <= planned_.size() && planned_[next_ - 1].record.expired())
        current_->Stop();
}

BuildQueue::~BuildQueue()
{
    // The run ends with its owner (the window closes, the program ends): the IDE at work and
    // everything it started end too, rather than go on writing after the program has gone.
    if (current_) {
        current_->disconnect(this);
        current_->StopNow();
    }
}

bool BuildQueue::begin(QString *error)
{
    if (running_)
        return false;
    const idecommand::Refusal refusal = idecommand::BuildRefusal(idecommand::Parse(mMain::VbIdePath));
    if (refusal != idecommand::Refusal::None) {
        if (error)
            *error = mMain::BuildRefusalMessage(mMain::VbIdePath, refusal);
        return false;
    }
    running_ = true;
    cancelled_ = false;
    halted_ = false;
    summary_ = Summary();
    planned_.clear();
    next_ = 0;
    return true;
}

bool BuildQueue::Start(const std::vector<std::weak_ptr<catalogue::ProjectRecord>> &projects, QString *error)
{
    if (!begin(error))
        return false;

    std::vector<Look> looks = looksOf(projects, &summary_.skipped);
    Q_EMIT Looking(int(std::count_if(looks.begin(), looks.end(), [](const Look &l) { return l.chosen; })));

    // A look finished after this queue is gone, or after a cancel, is dropped on arrival.
    const int look = ++look_;
    QObject *receiver = QCoreApplication::instance();
    platform::Workers().start([looks = std::move(looks), self = QPointer<BuildQueue>(this), look,
                                          receiver, all = all_]() mutable {
        Plan plan = planOf(looks, all);
        looks.clear();
        QMetaObject::invokeMethod(receiver, [plan = std::move(plan), self, look]() mutable {
            if (self && self->look_ == look)
                self->looked(std::move(plan));
        }, Qt::QueuedConnection);
    });
    return true;
}

bool BuildQueue::StartPlanned(const ProjectBuildPlan &projectPlan, QString *error)
{
    if (projectPlan.records.empty() || !begin(error))
        return false;
    Plan plan;
    for (size_t i = 0; i < projectPlan.records.size(); ++i)
        plan.planned.push_back({projectPlan.records[i], projectPlan.files.value(qsizetype(i))});
    plan.order = projectPlan.names;
    plan.files = projectPlan.files;
    plan.cycles = projectPlan.cycles;
    Q_EMIT Looking(int(plan.planned.size()));
    // As after a look: the caller has its window up before the first build starts, and a cancel
    // before then drops the plan.
    const int look = ++look_;
    QMetaObject::invokeMethod(this, [this, plan = std::move(plan), look]() mutable {
        if (look_ == look)
            looked(std::move(plan));
    }, Qt::QueuedConnection);
    return true;
}

ProjectBuildPlan PlanProjectBuild(const std::weak_ptr<catalogue::ProjectRecord> &record)
{
    int skipped = 0;
    std::vector<BuildQueue::Look> looks = looksOf({record}, &skipped);
    if (looks.empty() || !looks.front().chosen)
        return {};
    looks.front().forced = true;
    BuildQueue::Plan plan;
    platform::RunWhileAnswering([&] { plan = planOf(looks, false); });
    ProjectBuildPlan projectPlan;
    for (const BuildQueue::Planned &planned : plan.planned)
        projectPlan.records.push_back(planned.record);
    projectPlan.files = plan.files;
    projectPlan.names = plan.order;
    projectPlan.cycles = plan.cycles;
    return projectPlan;
}

bool BuildQueue::Join(const std::weak_ptr<catalogue::ProjectRecord> &record, const QString &projectFile)
{
    if (!running_ || cancelled_)
        return false;
    if (const auto shared = record.lock(); shared && shared->building)
        return true;
    for (size_t i = next_; i < planned_.size(); ++i)
        if (planned_[i].file == projectFile)
            return true;
    planned_.push_back({record, projectFile});
    return true;
}

void BuildQueue::looked(Plan plan)
{
    summary_.skipped += plan.skipped;
    summary_.cycles = plan.cycles;
    summary_.notNeeded = std::move(plan.notNeeded);
    // Projects that joined while the category was looked at come after its own.
    std::vector<Planned> joined = std::move(planned_);
    planned_ = std::move(plan.planned);
    for (Planned &one : joined)
        if (std::none_of(planned_.begin(), planned_.end(), [&one](const Planned &p) { return p.file == one.file; }))
            planned_.push_back(std::move(one));
    Q_EMIT Ordered(plan.order, plan.cycles, plan.files);
    next();
}

void BuildQueue::next()
{
    current_ = nullptr;
    while (!cancelled_ && !halted_ && next_ < planned_.size()) {
        const Planned &planned = planned_[next_++];
        const std::shared_ptr<catalogue::ProjectRecord> record = planned.record.lock();
        // Gone with its category or catalogue, given another file, or built by a command meanwhile.
        if (!record || record->File() != planned.file || record->building) {
            const bool anyLeft = std::any_of(planned_.begin() + std::ptrdiff_t(next_), planned_.end(),
                                             [](const Planned &p) { return !p.record.expired(); });
            if (!record && !anyLeft) {
                // The category or the catalogue went: the run ended early, and nothing more is built.
                cancelled_ = true;
                summary_.cancelled = true;
                summary_.notBuilt += 1;
                break;
            }
            summary_.skipped += 1;
            continue;
        }
        Q_EMIT Progress(int(next_), int(planned_.size()), record->Name());
        const IdeBuild::Started started = IdeBuild::Start(planned.file, planned.record);
        if (!started.build) {
            // The IDE cannot be started: the next project would fare no better.
            summary_.error = started.error;
            summary_.notBuilt += int(planned_.size() - next_) + 1;
            next_ = planned_.size();
            break;
        }
        current_ = started.build;
        connect(current_, &IdeBuild::Finished, this, [this, build = current_.data(), number = int(next_)](bool built) {
            const bool stopped = !built && (cancelled_ || build->Stopped());
            Q_EMIT Built(number, build->ProjectFile(), built, stopped);
            if (built) {
                summary_.built += 1;
            } else if (cancelled_ || build->Stopped()) {
                summary_.notBuilt += 1;
            } else {
                summary_.failed += 1;
                halted_ = stopOnFailure_;
                // One cause is told once, however many projects it failed.
                if (!build->Cause().isEmpty() && !summary_.causes.contains(build->Cause()))
                    summary_.causes.append(build->Cause());
            }
            next();
        });
        return;
    }
    finish();
}

void BuildQueue::Cancel()
{
    if (!running_ || cancelled_)
        return;
    cancelled_ = true;
    summary_.cancelled = true;
    if (current_) {
        current_->Stop(); // the run ends when the IDE has
        return;
    }
    // Still looking: nothing was started.
    ++look_;
    QMetaObject::invokeMethod(this, [this] { finish(); }, Qt::QueuedConnection);
}

void BuildQueue::finish()
{
    if (!running_)
        return;
    if ((cancelled_ || halted_) && next_ < planned_.size())
        summary_.notBuilt += int(planned_.size() - next_);
    next_ = planned_.size();
    running_ = false;
    current_ = nullptr;
    planned_.clear();
    Q_EMIT Finished(summary_);
}

QString CycleText(const QStringList &projects)
{
    return QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ　[") + projects.join(QStringLiteral("]　[")) +
           QStringLiteral("]　は互いに参照しているため、一覧の順に作成しました。");
}

QString DependencyQuestion(const QString &project, const QStringList &dependencies)
{
    // Up to a screenful; the rest is counted.
    constexpr qsizetype kShown = 15;
    QString text = QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ　[") + project +
                   QStringLiteral("]　が参照する次のﾌﾟﾛｼﾞｪｸﾄは、実行ﾌｧｲﾙの作成が必要です。\n");
    for (qsizetype i = 0; i < dependencies.size() && i < kShown; ++i)
        text += QStringLiteral("\n　") + dependencies[i];
    if (dependencies.size() > kShown)
        text += QStringLiteral("\n　ほか ") + QString::number(dependencies.size() - kShown) + QStringLiteral(" 件");
    return text + QStringLiteral("\n\n先に作成しますか?");
}

namespace {

// name: what the run was for, as the head of the text begins.
QString summaryText(const QString &name, bool category, const BuildQueue::Summary &summary)
{
    QString head;
    if (!summary.error.isEmpty())
        head = summary.error;
    else if (summary.cancelled)
        head = name + QStringLiteral("の実行ﾌｧｲﾙ作成を中止しました。");
    else if (summary.built + summary.failed == 0)
        head = category ? name + QStringLiteral("に実行ﾌｧｲﾙの作成が必要なﾌﾟﾛｼﾞｪｸﾄはありませんでした。")
                        : name + QStringLiteral("の実行ﾌｧｲﾙは作成しませんでした。");
    else
        head = name + QStringLiteral("の実行ﾌｧｲﾙ作成が終わりました。");
    QString text = head + QStringLiteral("\n\n作成: ") + QString::number(summary.built) + QStringLiteral("\n失敗: ")
                   + QString::number(summary.failed) + QStringLiteral("\nｽｷｯﾌﾟ: ") + QString::number(summary.skipped);
    if (summary.notBuilt > 0)
        text += QStringLiteral("\n未作成: ") + QString::number(summary.notBuilt);
    for (const QStringList &cycle : summary.cycles)
        text += QStringLiteral("\n\n") + CycleText(cycle);
    for (const QString &cause : summary.causes)
        text += QStringLiteral("\n\n") + cause;
    return text;
}

} // namespace

QString SummaryText(const QString &category, const BuildQueue::Summary &summary)
{
    return summaryText(QStringLiteral("ｶﾃｺﾞﾘｰ　[") + category + QStringLiteral("]　"), true, summary);
}

QString ProjectSummaryText(const QString &project, const BuildQueue::Summary &summary)
{
    return summaryText(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ　[") + project + QStringLiteral("]　と参照先"), false, summary);
}

} // namespace tooling
