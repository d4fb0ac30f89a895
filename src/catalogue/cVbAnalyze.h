#pragma once

#include "platform/IniDocument.h"
#include "platform/StoredText.h"
#include "catalogue/ProjectScan.h"
#include "catalogue/ProjectStatus.h"
#include "platform/FileSystem.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace catalogue {

// One project of a category. The executable's path is read from the .vbp when it is first asked
// for, or before that by the background reader; until then it is not known.
class cVbAnalyze;

struct ProjectRecord {
    // Its name and its .vbp path as the catalogue file holds them (its bytes shared): a million
    // projects keep each once.
    platform::StoredPair texts;
    KeptPath exe; // Exe() gives it whole

    // Where it is listed, kept by its category: the category, and its 1-based row there.
    cVbAnalyze *owner = nullptr;

    // What the background reader found last (ProjectReader), changed on the owning thread only.
    // The file the status names (newer than the executable, or missing); null for none, as most
    // projects have.
    std::unique_ptr<const KeptPath> statusFile;
    SourcesPtr sources;       // the .vbp as last read
    qint64 exeModifiedNs = 0; // of the executable at that look, 0 without one
    qint64 buildBaseNs = 0;   // of the executable when a build this program started began

    qint32 row = 0;
    // The reader's own bookkeeping: only the latest look is taken (workers skip an older one).
    mutable std::atomic<quint32> scanSerial = 0;
    mutable int scanGeneration = -1;

    ProjectState state = ProjectState::Unknown;
    // Bits, all written on the owning thread: a million records hold them in one byte.
    bool exeKnown : 1 = false;
    // Counted among its category's projects that need attention.
    bool counted : 1 = false;
    // A build this program started: running, or ended without a new executable.
    bool building : 1 = false;
    bool buildFailed : 1 = false;
    bool buildEnded : 1 = false;   // the next look judges the build
    bool buildExited : 1 = false;  // how its process ended
    mutable bool scanPending : 1 = false;
    bool statusIsProjectFile : 1 = false; // the status names the .vbp itself

    platform::StoredText StoredName() const { return texts.First(); }
    platform::StoredText StoredFile() const { return texts.Second(); }
    bool HasFile() const { return !texts.SecondIsEmpty(); }
    void SetName(const platform::StoredText &name) { texts = platform::StoredPair(name, StoredFile()); }
    void SetFile(const platform::StoredText &file) { texts = platform::StoredPair(StoredName(), file); }
    QString Name() const { return StoredName().Text(); }
    QString File() const { return StoredFile().Text(); }
    QString Exe() const { return exe.In(File()); }
    QString StatusFile() const
    {
        return statusIsProjectFile ? File() : statusFile ? statusFile->In(File()) : QString();
    }
    void SetStatusFile(const KeptPath &path)
    {
        statusIsProjectFile = path.IsProjectFile();
        statusFile = path.IsEmpty() || statusIsProjectFile ? nullptr : std::make_unique<const KeptPath>(path);
    }

    // What the status column shows.
    ProjectState Shown() const
    {
        // A missing reference explains a failed build and the next one: it goes before both.
        return building                           ? ProjectState::Building
               : sources && sources->HasMissing() ? ProjectState::ReferenceMissing
               : buildFailed                      ? ProjectState::Failed
                                                  : state;
    }
};
using ProjectPtr = std::shared_ptr<ProjectRecord>;

// After what a record shows changed (a look, a build): its category's count follows.
void StatusChanged(ProjectRecord &record);

// The executable of a project as loading gives it: read from the .vbp when that exists, else empty.
QString ExecutableOf(const QString &projectFile);

// One key line as the catalogue reads it: the project's name and its .vbp path.
using KeyEntry = std::pair<QString, QString>;
// The same as the file's bytes.
using KeyText = std::pair<platform::StoredText, platform::StoredText>;

// The projects of one section as the catalogue loads them: the first line of each key only
// (the file compares keys without letter case), values whole and without their quotes.
QList<KeyEntry> CategoryEntries(const platform::IniDocument &document, const QString &section);
QList<KeyText> CategoryTexts(const platform::IniDocument &document, const QString &section);
// The same from a section's key lines as they stand (values quoted or not).
QList<KeyText> DistinctEntries(QList<KeyText> entries);

// A project as loading makes it from its key line: its executable is read when needed.
ProjectPtr LoadedRecord(const platform::StoredText &name, const platform::StoredText &value);
ProjectPtr LoadedRecord(const QString &name, const QString &value);
// A project as adding makes it, its .vbp read already: exe is what the .vbp names (null for none).
ProjectPtr AddedRecord(const QString &name, const QString &file, const QString &exe);

// One category: its projects, indexed from 1 like the rows of the project list.
class cVbAnalyze {
public:
    // Appends the project to the list only (the commands write the catalogue file first). Without
    // a name, the name is read from the .vbp (and returned through name) and, when the executable is
    // missing and automatic builds are on, the build is started. With a name, the project is only
    // appended.
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
    // Its projects that need attention (ProjectStatus's NeedsAttention), kept as they change.
    int AttentionCount() const { return attention_; }
    // Names the category and loads its projects from the catalogue file as it is now, discarding
    // the list.
    void SetCategory(const QString &name);
    // Names the category anew; its projects stay.
    void SetCategoryName(const QString &name);
    // Whether the catalogue file has a section for the category. A category added in this run has
    // none until its first project is written: a section exists only with a key.
    bool InFile() const { return inFile_; }
    void SetInFile(bool inFile) { inFile_ = inFile; }
    // Names the category and takes these projects (name and .vbp path), discarding the list.
    // announce: false for a category not in the catalogue yet, whose rows reach the lists and the
    // reader with the catalogue's reset.
    void SetEntries(const QString &name, const QList<KeyEntry> &entries, bool announce = true);
    void SetTexts(const QString &name, const QList<KeyText> &entries, bool announce = true);
    // Appends a project as loading does: its executable is read when needed.
    void AppendLoadedEntry(const QString &name, const QString &value);
    // Gives a project the path the file now holds, as loading does: what was found about the old
    // path is forgotten, the record stays the same one.
    void SetLoadedFile(qint32 index, const QString &value);
    // Appends a project exactly as it is elsewhere (the same record, so that a build under way
    // finds it): nothing is read, nothing is built.
    void AppendRecord(ProjectPtr record);
    // Puts the record at index (1 to Count() + 1), the later ones moving down a row.
    void InsertRecord(qint32 index, ProjectPtr record);
    // Takes these records as the category's projects, in this order (the lists are told anew).
    void ReplaceRecords(QList<ProjectPtr> records);
    // Takes the records of an earlier read of this category (not in the catalogue yet, nothing told)
    // when that lists the same names and files in the same order: what was found about them stays.
    bool TakeRecordsOf(cVbAnalyze &earlier);
    // The 1-based index of the record, 0 when the category does not hold it.
    qint32 IndexOf(const ProjectRecord *record) const;
    const ProjectRecord *Record(qint32 index) const { return valid(index) ? projects_[index - 1].get() : nullptr; }
    ProjectRecord *Record(qint32 index) { return valid(index) ? projects_[index - 1].get() : nullptr; }
    std::weak_ptr<ProjectRecord> Shared(qint32 index) const
    {
        return valid(index) ? std::weak_ptr<ProjectRecord>(projects_[index - 1]) : std::weak_ptr<ProjectRecord>();
    }
    // Removes the project from the list only (the file is not touched).
    void RemoveEntry(qint32 index);


private:
    bool valid(qint32 index) const { return index >= 1 && index <= Count(); }
    bool isCurrent() const;
    void setRecords(const QString &name, QList<ProjectPtr> records, bool announce);
    void adopt(ProjectRecord &record, qint32 row);
    void release(ProjectRecord &record);
    void renumber(qint32 from);
    friend void StatusChanged(ProjectRecord &record);
    friend struct CatalogueState;
    void append(ProjectPtr record);
    void changed(qint32 index);

    QString category_;
    QList<ProjectPtr> projects_;
    int attention_ = 0;
    qint32 index_ = 0; // its row in the category list, kept by CatalogueState
    bool inFile_ = true;
};

// The catalogue shared by the main window and the dialogs. Indices are 1-based; 0 is none.
// It announces every change of itself, before and after it happens, so that the item models and
// the reader over it stay in step: emitted on the thread that owns it (the user-interface
// thread) and delivered at once.
struct CatalogueState : public QObject {
    Q_OBJECT
public:
    // ResetState puts back every value below.
    // Entry 0 is never used; entry i is category i, in the order of the category list.
    std::vector<std::unique_ptr<cVbAnalyze>> Catalogue;
    qint32 CategoryCount = 0;
    qint32 CurrentCategory = 0;
    qint32 CurrentProject = 0;
    QString CatalogueFilePath;

    // How the last load read CatalogueFilePath.
    platform::ReadStatus LoadStatus = platform::ReadStatus::Missing;
    // What the file held when this run last read or wrote it, and how it stood on disk then:
    // the file is read again only when it no longer stands so.
    platform::IniDocument Document;
    platform::FileStamp Stamp;
    enum class FileState {
        Mirrored,   // the lists show what the file holds (no file yet counts as an empty one)
        Unreadable, // it could not be read when it was opened: nothing is ever written to it
        Lost,       // deleted or replaced by something unreadable since: only Save writes it back
        Reading,    // its first category is shown while the whole is read: nothing changes it yet
    };
    FileState File = FileState::Mirrored;

    cVbAnalyze *CategoryAt(qint32 index) const;
    cVbAnalyze *Current() const { return CategoryAt(CurrentCategory); }
    // The 1-based index of the category of that name (letter case and blanks at the ends ignored, as
    // the file compares section names), 0 when there is none.
    qint32 IndexOfCategory(const QString &name) const;
    qint32 IndexOf(const cVbAnalyze *category) const;

    // Changes of the category list, announced to the models. The selection follows the entries:
    // the current category and project stay current while they exist.
    // current: the category that was current before its object moved into categories.
    void ReplaceCategories(std::vector<std::unique_ptr<cVbAnalyze>> categories, const cVbAnalyze *current = nullptr);
    cVbAnalyze *AppendCategory(std::unique_ptr<cVbAnalyze> category);
    cVbAnalyze *InsertCategory(qint32 index, std::unique_ptr<cVbAnalyze> category);
    void RemoveCategory(qint32 index);

    // A build this program started of the record's project. exeModifiedNs: the executable's time just
    // before the start (0 without one); without it, that of the last look. The row shows "building".
    void BuildStarted(const std::weak_ptr<ProjectRecord> &record, std::optional<qint64> exeModifiedNs = std::nullopt);
    // Its process ended (exited: ended normally with status 0). The next look judges the build:
    // without a newer executable than at the start, or when the process failed, the row shows
    // "failed" until a later look finds it up to date or another build starts.
    void BuildFinished(const std::weak_ptr<ProjectRecord> &record, bool exited);

Q_SIGNALS:
    // The whole catalogue is replaced (load, New).
    void CategoriesAboutToBeReset();
    void CategoriesReset();
    // Indices are 1-based, as the catalogue's.
    void CategoryAboutToBeInserted(int index);
    void CategoryInserted(int index);
    void CategoryAboutToBeRemoved(int index);
    void CategoryRemoved(int index);
    void CategoryRenamed(const catalogue::cVbAnalyze *category);

    void ProjectsAboutToBeReset(const catalogue::cVbAnalyze *category);
    void ProjectsReset(const catalogue::cVbAnalyze *category);
    void ProjectAboutToBeInserted(const catalogue::cVbAnalyze *category, int index);
    void ProjectInserted(const catalogue::cVbAnalyze *category, int index);
    void ProjectAboutToBeRemoved(const catalogue::cVbAnalyze *category, int index);
    void ProjectRemoved(const catalogue::cVbAnalyze *category, int index);
    void ProjectChanged(const catalogue::cVbAnalyze *category, int index);
    // What these projects show changed: their executable or status found in the background, or a
    // build started or ended (any category). Followed by ProjectsScanned.
    void ProjectsLooked(const QList<const catalogue::ProjectRecord *> &records);
    // Executables and statuses found in the background became known (any category), or a
    // build changed a row's status.
    void ProjectsScanned();
    // BuildStarted and BuildFinished were told: the reader shows it, and after the end looks again.
    void ProjectBuildStarted(const std::weak_ptr<catalogue::ProjectRecord> &record);
    void ProjectBuildFinished(const std::weak_ptr<catalogue::ProjectRecord> &record);

private:
    void renumber(qint32 from);
};

// Frees categories no longer listed, a slice at a time on this thread's event loop.
void DisposeInSlices(std::vector<std::unique_ptr<cVbAnalyze>> categories);

// The catalogue of this run; lives as long as the program, so that whatever shows it may
// connect to it at any time.
CatalogueState &State();
// Back to the state at start (tests); what is connected to it stays connected.
void ResetState();

} // namespace catalogue
