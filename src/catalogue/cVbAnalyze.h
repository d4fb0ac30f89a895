#pragma once

#include "catalogue/CatalogueEvents.h"
#include "catalogue/CatalogueSnapshot.h"
#include "catalogue/ProjectScan.h"
#include "catalogue/ProjectStatus.h"
#include "platform/FileSystem.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <vector>

namespace catalogue {

// One project of a category. The executable's path is read from the .vbp when it is first asked
// for, or before that by the background reader; until then it is not known.
struct ProjectRecord {
    QString name;
    QString file;
    KeptPath exe; // Exe() gives it whole
    bool exeKnown = false;

    // What the background reader found last (ProjectReader), changed on the owning thread only.
    ProjectState state = ProjectState::Unknown;
    QString newerFile;        // out of date: the file newer than the executable
    qint64 exeModifiedNs = 0; // of the executable at that look, 0 without one
    SourcesPtr sources;       // the .vbp as last read
    // A build this program started: running, or ended without a new executable.
    bool building = false;
    bool buildFailed = false;
    bool buildEnded = false;   // the next look judges the build
    bool buildExited = false;  // how its process ended
    qint64 buildBaseNs = 0;    // the executable's time when the build started

    // The reader's own bookkeeping: only the latest look is taken (workers skip an older one).
    mutable std::atomic<quint32> scanSerial = 0;
    mutable int scanGeneration = -1;
    mutable bool scanPending = false;
    // What the filter compares (SearchKeyOf), made when the filter first needs it.
    mutable QString searchKey;
    mutable bool searchKeyKnown = false;

    QString Exe() const { return exe.In(file); }

    // What the status column shows.
    ProjectState Shown() const
    {
        return building ? ProjectState::Building : buildFailed ? ProjectState::Failed : state;
    }
};
using ProjectPtr = std::shared_ptr<ProjectRecord>;

// The executable of a project as loading gives it: read from the .vbp when that exists, else empty.
QString ExecutableOf(const QString &projectFile);

// One category: its projects, indexed from 1 like the rows of the project list.
class cVbAnalyze {
public:
    // Appends the project. Without a name, the name is read from the .vbp (and returned
    // through name) and, when the executable is missing and automatic builds are on, the
    // build is started. With a name, the project is only appended.
    void AddProject(const QString &projectFile, QString &name);

    // Removes the project's key from the catalogue file at once, then from the list.
    // When the key cannot be removed, says so and changes nothing: false.
    bool DeleteProject(qint32 index);

    qint32 Count() const { return qint32(projects_.size()); }

    QString ProjectName(qint32 index) const;
    void SetProjectName(qint32 index, const QString &name);
    QString ProjectFile(qint32 index) const;
    // Also reads the executable path from the new file.
    void SetProjectFile(qint32 index, const QString &path);
    // Derived from the file every time, so it always matches it.
    QString ProjectFolder(qint32 index) const;
    // Read from the .vbp now when it is not known yet: a command waits for its own row only.
    QString ProjectExe(qint32 index) const;
    // The executable when it is known, without reading anything; null while it is not.
    QString KnownProjectExe(qint32 index) const;

    QString Category() const { return category_; }
    // Names the category and loads its projects from the catalogue file, discarding the list.
    void SetCategory(const QString &name);
    // Names the category and takes these projects (name and .vbp path), discarding the list.
    // announce: false for a category not in the catalogue yet, whose rows reach the lists and the
    // reader with the catalogue's reset.
    void SetEntries(const QString &name, const QList<KeyEntry> &entries, bool announce = true);
    // Appends a project as loading does: its executable is read when needed.
    void AppendLoadedEntry(const QString &name, const QString &value);
    // Gives a project the path the file now holds, as loading does.
    void SetLoadedFile(qint32 index, const QString &value);
    // Appends a project exactly as it is elsewhere (the same record, so that a build under way
    // finds it): nothing is read, nothing is built.
    void AppendRecord(ProjectPtr record);
    const ProjectRecord *Record(qint32 index) const { return valid(index) ? projects_[index - 1].get() : nullptr; }
    std::weak_ptr<ProjectRecord> Shared(qint32 index) const
    {
        return valid(index) ? std::weak_ptr<ProjectRecord>(projects_[index - 1]) : std::weak_ptr<ProjectRecord>();
    }
    // Removes the project from the list only (the file is not touched).
    void RemoveEntry(qint32 index);


private:
    bool valid(qint32 index) const { return index >= 1 && index <= Count(); }
    void append(ProjectPtr record);
    void changed(qint32 index);

    QString category_;
    QList<ProjectPtr> projects_;
};

// The catalogue shared by the main window and the dialogs. Indices are 1-based; 0 is none.
struct CatalogueState {
    // Entry 0 is never used; entry i is category i, in the order of the category list.
    std::vector<std::unique_ptr<cVbAnalyze>> Catalogue;
    qint32 CategoryCount = 0;
    qint32 CurrentCategory = 0;
    qint32 CurrentProject = 0;
    QString CatalogueFilePath;

    // How the last load read CatalogueFilePath.
    platform::ReadStatus LoadStatus = platform::ReadStatus::Missing;
    // The catalogue file that could not be read when it was loaded: it is never written.
    QString UnreadableFile;
    // The file whose last category the user removed in this run: the only one a save may empty.
    QString EmptiedFile;
    // What the file held when this run last read or wrote it.
    CatalogueSnapshot Snapshot;

    cVbAnalyze *CategoryAt(qint32 index) const;
    cVbAnalyze *Current() const { return CategoryAt(CurrentCategory); }

    // Changes of the category list, announced to the models.
    void ReplaceCategories(std::vector<std::unique_ptr<cVbAnalyze>> categories);
    cVbAnalyze *AppendCategory(std::unique_ptr<cVbAnalyze> category);
    void RemoveCategory(qint32 index);
};

CatalogueState &State();
// Back to the state at start (tests).
void ResetState();

} // namespace catalogue
