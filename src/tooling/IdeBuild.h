#pragma once

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
    // the project's log (the previous one removed first). The record may be empty.
    static Started Start(const QString &projectFile, const std::weak_ptr<catalogue::ProjectRecord> &record);
    // Builds under way.
    static int Running();

    // Ends the IDE and what it started; Finished follows.
    void Stop();

Q_SIGNALS:
    // The IDE ended; built: it ended of itself with status 0, leaving an executable newer than
    // the one before (or one where there was none).
    void Finished(bool built);

private:
    explicit IdeBuild(const std::weak_ptr<catalogue::ProjectRecord> &record);
    void ended(bool succeeded);

    QString exe_;
    qint64 exeBaseNs_ = 0;
    std::weak_ptr<catalogue::ProjectRecord> record_;
    platform::ChildProcess *process_ = nullptr;
};

} // namespace tooling
