#pragma once

#include "catalogue/CatalogueLock.h"
#include "platform/FileSystem.h"
#include "platform/IniDocument.h"
#include "platform/IniStore.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The catalogue file as this run knows it. The lists always show what the file holds: every change
// is one locked edit of the file as it is on disk at that moment, written before the command returns
// (CatalogueChanges), and changes other programs make are brought into the lists (FollowFile).
namespace catalogue {

class cVbAnalyze;

// A catalogue read and made into categories and projects away from the lists (on any thread), for
// the window to take in one swap.
struct PreparedCatalogue {
    platform::IniRead read;
    std::vector<std::unique_ptr<cVbAnalyze>> categories; // entry 0 unused; empty for none
};
PreparedCatalogue PrepareCatalogue(const QString &file);

// The first category of a large catalogue from the file's first bytes alone (any thread), for the
// window to show while the whole is read; null for a file read whole as quickly, one that cannot be
// read, and one whose first category does not end within the bytes looked at.
std::unique_ptr<cVbAnalyze> PrepareFirstCategory(const QString &file);
// Shows that category alone while the whole is read (FileState::Reading): nothing changes the file
// until LoadCategories takes the whole, which keeps this category's records when it lists the same.
void ShowFirstCategory(std::unique_ptr<cVbAnalyze> category);

// Re-creates the catalogue from the sections of CatalogueFilePath, each category loading its
// projects; returns the number of categories (0 leaves the catalogue objects as they were).
// A file that cannot be read loads nothing and is never written.
qint32 LoadCategories();
// The same with a catalogue prepared earlier, when it is still what the file holds.
qint32 LoadCategories(PreparedCatalogue prepared);

// How the last LoadCategories read the file: Ok, Missing, Unreadable or TooLarge.
platform::ReadStatus LastLoadStatus();

// The message for a catalogue file that could not be read (path first); null when it was read.
QString LoadFailureMessage(const QString &path, platform::ReadStatus status);

// Drops every category (New).
void ClearCategories();

// What following the file found.
enum class Followed {
    Same,     // the file is as this run last read or wrote it
    Changed,  // another program changed it: the lists show its content now
    Lost,     // it was deleted or replaced by something unreadable just now: the lists keep the catalogue
    StillLost // as before: still gone
};

// Compares the file with what this run last read or wrote and, when it differs, reads it again and
// brings the lists in line (one stat when nothing changed).
Followed FollowFile();
// The same with a read made on a worker; a read the file has moved on from since is dropped (Same).
Followed FollowRead(platform::IniRead read);

// A change is being written: the window's loop answers meanwhile (paints, timers, other programs), and
// nothing may take the catalogue from under the change before it is committed.
bool ChangeBeingWritten();
// Tests: holds ChangeBeingWritten true (false: as the writes have it).
void HoldChangeBeingWrittenForTesting(bool held);

// Why a change of the catalogue file could not be made.
enum class FileProblem {
    None,
    NoFile,     // no catalogue file named
    Unreadable, // it could not be read when opened: it is not overwritten
    TooLarge,   // the same, over the size the program reads
    Missing,    // deleted since it was read
    Replaced,   // replaced by something that cannot be read since
    Busy,       // another writer holds the lock
    LockFailed, // no lock could be made
    Reading,    // only its first category has been read yet
    ReadOnly,
    NotAFile,
    BadText,    // text the file cannot hold
    IoError,
};

// The reason as the user reads it, path first.
QString ProblemMessage(const QString &path, FileProblem problem);

// One change of the catalogue file: the lock is taken and the file followed as it is now (Begin),
// a copy of its document is changed, and Commit writes it in one atomic replace after keeping the
// version it replaces among the backups. The lock goes with Commit or with the object.
class CatalogueEdit {
public:
    CatalogueEdit() = default;
    ~CatalogueEdit();
    CatalogueEdit(const CatalogueEdit &) = delete;
    CatalogueEdit &operator=(const CatalogueEdit &) = delete;

    // False when nothing may change (Problem says why).
    bool Begin();
    // Whether Begin brought in changes another program had made.
    bool Followed() const { return followed_; }
    platform::IniDocument &Document() { return document_; }
    // Writes the document; on failure the file and what this run knows of it stay as they were.
    bool Commit();
    FileProblem Problem() const { return problem_; }
    QString Message() const;

private:
    QString file_;
    CatalogueLock lock_;
    platform::IniDocument document_;
    FileProblem problem_ = FileProblem::None;
    bool followed_ = false;
};

// Writes the whole catalogue into the file when the file does not hold it (deleted, replaced by
// something unreadable, never written yet); nothing when it does. A file that could not be read when
// opened is not overwritten.
FileProblem SaveWholeCatalogue();
// Writes the catalogue into another file, merged with what that file holds, and makes it the
// catalogue file only once written.
FileProblem SaveCatalogueInto(const QString &path);

// "ZARUN - (Tools.zrd)"; the bare program name while no catalogue file is set.
QString WindowCaption(const QString &programName, const QString &catalogueFile);

// The catalogue a New starts with: NewFile.zrd in the program's folder.
QString NewCatalogueFilePath();

} // namespace catalogue
