#pragma once

#include "catalogue/CatalogueSnapshot.h"
#include "platform/FileSystem.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace catalogue {

// Where AddProject shows a project it read from its .vbp file: the main window's project list.
class ProjectRowSink {
public:
    virtual ~ProjectRowSink() = default;
    // Sub-items: file name of the .vbp, folder, file name of the executable.
    virtual void AppendProjectRow(const QString &name, const QString &fileName, const QString &folder,
                                  const QString &exeFileName) = 0;
};

// The sink in use; none (rows go nowhere) until the main window sets itself.
ProjectRowSink *CurrentProjectRowSink();
void SetProjectRowSink(ProjectRowSink *sink);

// One category: its projects as parallel lists, indexed from 1 like the rows of the project list.
class cVbAnalyze {
public:
    // Appends the project. Without a name, the name is read from the .vbp (and returned
    // through name), a row is shown and, when the executable is missing and automatic
    // builds are on, the build is started. With a name, only the lists change.
    void AddProject(const QString &projectFile, QString &name);

    // Removes the project's key from the catalogue file at once, then from the lists.
    // When the key cannot be removed, says so and changes nothing: false.
    bool DeleteProject(qint32 index);

    qint32 Count() const { return qint32(names_.size()); }

    QString ProjectName(qint32 index) const;
    void SetProjectName(qint32 index, const QString &name);
    QString ProjectFile(qint32 index) const;
    // Also derives the folder and reads the executable path from the new file.
    void SetProjectFile(qint32 index, const QString &path);
    QString ProjectFolder(qint32 index) const;
    QString ProjectExe(qint32 index) const;

    QString Category() const { return category_; }
    // Names the category and loads its projects from the catalogue file, discarding the lists.
    void SetCategory(const QString &name);
    // Names the category and takes these projects (name and .vbp path), discarding the lists.
    void SetEntries(const QString &name, const QList<KeyEntry> &entries);
    // Appends a project as loading does: the folder derived, the executable read when the .vbp exists.
    void AppendLoadedEntry(const QString &name, const QString &value);
    // Gives a project the path the file now holds, as loading does.
    void SetLoadedFile(qint32 index, const QString &value);
    // Appends a project exactly as given: nothing is read, shown or built.
    void AppendEntry(const QString &name, const QString &file, const QString &folder, const QString &exe);
    // Removes the project from the lists only (the file is not touched).
    void RemoveEntry(qint32 index);

private:
    bool valid(qint32 index) const { return index >= 1 && index <= Count(); }

    QString category_;
    QStringList names_;
    QStringList files_;
    QStringList folders_;
    QStringList exes_;
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
};

CatalogueState &State();
// Back to the state at start (tests).
void ResetState();

} // namespace catalogue
