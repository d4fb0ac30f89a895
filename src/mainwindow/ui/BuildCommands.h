#pragma once

#include "tooling/BuildQueue.h"
#include "tooling/ui/BuildProgress.h"

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QWidget;

// The build commands beside the menus' own: in the category menu, building every project of the
// selected category that needs it (one IDE at a time, with a progress window and a summary at the
// end); in the project menu, opening the log of the selected project's last build. Closing the
// main window ends a run without a word: nothing more is built, and the IDE building at that
// moment ends with everything it started.
class BuildCommands : public QObject {
    Q_OBJECT
public:
    // makeExe: the project menu's build entry, whose state the log entry follows.
    BuildCommands(QWidget *window, QMenu *categoryMenu, QMenu *projectMenu, QAction *makeExe);
    ~BuildCommands() override;

    // Builds the selected category's projects that need it.
    void BuildCategory();
    // Opens the log of the selected project's last build.
    void OpenBuildLog();
    // A single build asked for during a category run joins the run (one IDE at a time); false
    // when no run is under way.
    bool JoinRun(const std::weak_ptr<catalogue::ProjectRecord> &record, const QString &projectFile);
    tooling::BuildQueue &Queue() { return *queue_; }
    // A single build whose project depends on projects that need building: asks whether to build
    // those first and, on Yes, builds them in order and the project last, as a run. False when it
    // did not start a run (nothing to build first, No, or the IDE cannot build): the caller builds
    // the project alone.
    bool BuildWithDependencies(const std::weak_ptr<catalogue::ProjectRecord> &record);

    QAction *mnuCtgBuild = nullptr;
    QAction *mnuProjectBuildLog = nullptr;

    // The progress window while a run lasts (tests).
    BuildProgress *ProgressWindow() const { return progress_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The progress window at its size, low over the main window.
    void placeProgress();
    void makeQueue();
    void showProgress(const QString &title, int projects);
    void updateEntries();
    void finished(const tooling::BuildQueue::Summary &summary);
    void abandon();

    QWidget *window_;
    QAction *makeExe_;
    tooling::BuildQueue *queue_ = nullptr;
    QPointer<BuildProgress> progress_;
    QString category_;
    QString project_; // the project of a single build's run; empty for a category's
};
