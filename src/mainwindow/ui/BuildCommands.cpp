#include "mainwindow/ui/BuildCommands.h"

#include "catalogue/cVbAnalyze.h"
#include "tooling/IdeBuild.h"
#include "tooling/IdeCommand.h"
#include "tooling/ProjectActions.h"
#include "tooling/mMain.h"
#include "tooling/UserInterface.h"
#include "tooling/ui/BuildProgress.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QMenu>
#include <QRect>
#include <QTimer>
#include <QWidget>

namespace {

// The selected project's .vbp; empty when none is selected.
QString selectedProjectFile()
{
    const catalogue::CatalogueState &state = catalogue::State();
    const catalogue::cVbAnalyze *category = state.Current();
    return category ? category->ProjectFile(state.CurrentProject) : QString();
}

} // namespace

BuildCommands::BuildCommands(QWidget *window, QMenu *categoryMenu, QMenu *projectMenu, QAction *makeExe)
    : QObject(window), window_(window), makeExe_(makeExe)
{
    makeQueue();
    categoryMenu->addSeparator();
    mnuCtgBuild = categoryMenu->addAction(QStringLiteral("ｶﾃｺﾞﾘｰ内をすべて作成"));
    mnuCtgBuild->setToolTip(QStringLiteral("実行ﾌｧｲﾙが無いか古いﾌﾟﾛｼﾞｪｸﾄを順に作成します。"));
    mnuProjectBuildLog = projectMenu->addAction(QStringLiteral("ﾋﾞﾙﾄﾞﾛｸﾞを開く"));
    connect(mnuCtgBuild, &QAction::triggered, this, &BuildCommands::BuildCategory);
    connect(mnuProjectBuildLog, &QAction::triggered, this, &BuildCommands::OpenBuildLog);
    // The menu bar and the pop-up menus show the entries as they are when they open.
    connect(categoryMenu, &QMenu::aboutToShow, this, &BuildCommands::updateEntries);
    connect(projectMenu, &QMenu::aboutToShow, this, &BuildCommands::updateEntries);
    window->installEventFilter(this);
    updateEntries();
}

void BuildCommands::makeQueue()
{
    queue_ = new tooling::BuildQueue(this);
    connect(queue_, &tooling::BuildQueue::Looking, this, [this](int projects) {
        if (progress_)
            progress_->ShowLooking(project_.isEmpty() ? category_ : project_, projects);
    });
    connect(queue_, &tooling::BuildQueue::Ordered, this, [this](const QStringList &order, const QList<QStringList> &cycles) {
        if (progress_) {
            progress_->ShowOrder(order, cycles);
            placeProgress(); // taller with the order: kept over the main window
        }
    });
    connect(queue_, &tooling::BuildQueue::Progress, this, [this](int number, int total, const QString &project) {
        if (progress_)
            progress_->ShowBuilding(number, total, project);
    });
    connect(queue_, &tooling::BuildQueue::Finished, this, &BuildCommands::finished);
}

BuildCommands::~BuildCommands() { delete progress_; }

void BuildCommands::updateEntries()
{
    const catalogue::CatalogueState &state = catalogue::State();
    mnuCtgBuild->setEnabled(state.Current() && !queue_->Running());
    // Only the row the build entry acts on; one file looked at, when the menu opens.
    const QString file = selectedProjectFile();
    mnuProjectBuildLog->setEnabled(makeExe_->isEnabled() && !file.isEmpty()
                                   && QFileInfo(tooling::BuildLogOf(file)).isFile());
}

void BuildCommands::BuildCategory()
{
    const catalogue::cVbAnalyze *category = catalogue::State().Current();
    if (!category || queue_->Running())
        return;
    std::vector<std::weak_ptr<catalogue::ProjectRecord>> projects;
    projects.reserve(size_t(category->Count()));
    for (qint32 j = 1; j <= category->Count(); ++j)
        projects.push_back(category->Shared(j));
    category_ = category->Category();
    project_.clear();
    showProgress(category_, int(projects.size()));
    queue_->SetStopOnFailure(false);
    QString error;
    if (!queue_->Start(projects, &error)) {
        delete progress_;
        if (!error.isEmpty())
            ui::Current().Message(error);
        return;
    }
    placeProgress();
    mnuCtgBuild->setEnabled(false);
}

void BuildCommands::showProgress(const QString &title, int projects)
{
    delete progress_;
    progress_ = new BuildProgress(window_);
    connect(progress_, &BuildProgress::CancelRequested, this, [this] {
        progress_->ShowCancelling();
        queue_->Cancel();
    });
    progress_->ShowLooking(title, projects);
}

bool BuildCommands::BuildWithDependencies(const std::weak_ptr<catalogue::ProjectRecord> &record)
{
    const std::shared_ptr<catalogue::ProjectRecord> project = record.lock();
    if (!project || queue_->Running()
        || idecommand::BuildRefusal(idecommand::Parse(mMain::VbIdePath)) != idecommand::Refusal::None)
        return false;
    const QString name = project->Name();
    ui::UserInterface &ui = ui::Current();
    // The build is being prepared: the files of what it depends on are looked at first.
    ui.ShowProgress(mMain::MakeExeCaption(mMain::GetProjectExe(project->File())));
    const tooling::ProjectBuildPlan plan = tooling::PlanProjectBuild(record);
    ui.HideProgress();
    const QStringList dependencies = plan.Dependencies();
    if (dependencies.isEmpty() || !ui.Ask(tooling::DependencyQuestion(name, dependencies)))
        return false;
    // The answer took its time: a run may have started, or the project gone, meanwhile.
    if (queue_->Running() || record.expired())
        return false;
    project_ = name;
    category_.clear();
    showProgress(name, int(plan.records.size()));
    // What the project depends on failed: building it would pick up the old files.
    queue_->SetStopOnFailure(true);
    QString error;
    if (!queue_->StartPlanned(plan, &error)) {
        delete progress_;
        if (!error.isEmpty())
            ui.Message(error);
        return true;
    }
    placeProgress();
    mnuCtgBuild->setEnabled(false);
    return true;
}

void BuildCommands::placeProgress()
{
    // Low over the main window, so that the rows being built stay in sight; inside it where it fits.
    progress_->adjustSize();
    const QRect frame = window_->frameGeometry();
    const int outerHeight = progress_->frameGeometry().height() > progress_->height()
                                ? progress_->frameGeometry().height()
                                : progress_->height() + (frame.height() - window_->height());
    progress_->move(frame.center().x() - progress_->width() / 2,
                    qMax(frame.top(), frame.bottom() - outerHeight - frame.height() / 16));
    progress_->show();
}

bool BuildCommands::JoinRun(const std::weak_ptr<catalogue::ProjectRecord> &record, const QString &projectFile)
{
    return !projectFile.isEmpty() && queue_->Join(record, projectFile);
}

void BuildCommands::OpenBuildLog()
{
    const QString file = selectedProjectFile();
    if (!file.isEmpty())
        tooling::OpenTarget(tooling::BuildLogOf(file));
}

void BuildCommands::finished(const tooling::BuildQueue::Summary &summary)
{
    delete progress_;
    updateEntries();
    // Shown after the ended process's signal has returned: a message box runs its own event loop.
    const QString text = project_.isEmpty() ? tooling::SummaryText(category_, summary)
                                            : tooling::ProjectSummaryText(project_, summary);
    QTimer::singleShot(0, this, [text] { ui::Current().Message(text); });
}

void BuildCommands::abandon()
{
    if (!queue_->Running())
        return;
    // A new queue in place of the running one: that one stops where it is, quietly.
    delete queue_;
    makeQueue();
    delete progress_;
}

bool BuildCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window_ && event->type() == QEvent::Close)
        abandon();
    return QObject::eventFilter(watched, event);
}
