#pragma once

#include "tooling/IdeCommand.h"

#include <QObject>
#include <QString>

#include <memory>

namespace catalogue {
struct ProjectRecord;
}
namespace platform {
class ChildProcess;
}

namespace tooling {

// Where the IDE keeps its messages of a project's last build ("/out"): one file per .vbp in
// builds/ of the per-user cache folder.
QString BuildLogFolder();
// Tests point it elsewhere; an empty path restores the default.
void SetBuildLogFolderForTesting(const QString &folder);
// /home/me/src/Calc/App.vbp -> <folder>/App_Calc-1a2b3c4d.log: the project file's name and its
// folder's, then a short hash of the whole path, which keeps projects of the same name apart.
// Characters Windows forbids in a file name become "_", as the IDE may run under Wine.
QString BuildLogOf(const QString &projectFile);
// Where the IDE writes "/out" while it builds: the log with ".out" added. The log is replaced
// by what it wrote, with the IDE's and Wine's own output, once the build has ended.
QString BuildOutputOf(const QString &projectFile);

// Why a build by this IDE command probably failed, as far as the files tell: the IDE's Windows
// path missing from the Wine prefix, a 32-bit IDE while that Wine runs no 32-bit programs, an
// environment value still starting with "~", a path that the IDE's code page cannot hold without
// a Japanese locale. What the user is told of it; empty when none of these is seen.
QString LikelyFailureCause(const idecommand::Command &command, const QString &projectFile);
// What the user is told when the build of the project failed: the cause, else where the IDE's
// messages are.
QString BuildFailureMessage(const QString &projectFile, const QString &cause);

// One build of one project by the IDE command in effect (mMain::VbIdePath), followed until the
// IDE ends: the project's row shows "building" meanwhile and is looked at again afterwards. The
// build belongs to no window: it deletes itself when the IDE has ended, and a build still running
// when this program ends is left to finish.
class IdeBuild : public QObject {
    Q_OBJECT
public:
    struct Started {
        IdeBuild *build = nullptr; // null when nothing was started
        QString error;             // then what the user is told
    };
    // Starts the IDE on the project with "/make" and, when the log folder can be made, "/out" and
    // BuildOutputOf(project); the IDE's and Wine's output go beside it. The record may be empty.
    static Started Start(const QString &projectFile, const std::weak_ptr<catalogue::ProjectRecord> &record);
    // Builds under way.
    static int Running();

    // Ends the IDE and every process it started (Wine's too, whatever session they are in);
    // Finished follows. The project's row and its last log stay as they were before the build.
    void Stop();
    // The same at once, as this program ends during the build; nothing follows.
    void StopNow();

    // While Finished is being sent: the build was stopped, and why it failed (LikelyFailureCause).
    bool Stopped() const { return stopped_; }
    const QString &Cause() const { return cause_; }
    const QString &ProjectFile() const { return projectFile_; }

Q_SIGNALS:
    // The IDE ended; built: it ended of itself with status 0, leaving an executable newer than
    // the one before (or one where there was none).
    void Finished(bool built);

private:
    explicit IdeBuild(const std::weak_ptr<catalogue::ProjectRecord> &record);
    void ended(bool succeeded);
    void writeLog(bool built);

    QString projectFile_;
    idecommand::Command command_;
    QString exe_;
    qint64 exeBaseNs_ = 0;
    QString log_; // empty without a log folder
    std::weak_ptr<catalogue::ProjectRecord> record_;
    bool previouslyFailed_ = false;
    bool stopped_ = false;
    QString cause_;
    platform::ChildProcess *process_ = nullptr;
};

} // namespace tooling
