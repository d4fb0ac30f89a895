#pragma once

#include "catalogue/ProjectStatus.h"
#include "platform/FileSystem.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>

namespace catalogue {

// A path kept with a project file: only what follows the project's folder when it lies there, as
// an executable always does, so that a hundred thousand projects do not keep their folders twice.
// Given back whole for the same project file.
class KeptPath {
public:
    KeptPath() = default;
    KeptPath(const QString &projectFile, const QString &path);
    QString In(const QString &projectFile) const;
    // The project file itself, kept as no text at all.
    static KeptPath OfProjectFile()
    {
        KeptPath kept;
        kept.projectFile_ = true;
        kept.null_ = false;
        return kept;
    }
    bool IsProjectFile() const { return projectFile_; }
    // Whether the whole path is empty (or null).
    bool IsEmpty() const { return !inFolder_ && !projectFile_ && size_ == 0; }
    // As kept (for the look cache): the text, and whether it follows the project's folder.
    QString Text() const { return null_ ? QString() : QString::fromUtf8(Utf8()); }
    QByteArrayView Utf8() const { return QByteArrayView(bytes_).first(size_); }
    bool InFolder() const { return inFolder_; }
    // From the kept text in UTF-8 (null for a null path).
    static KeptPath FromParts(const QByteArray &utf8, bool inFolder);
    // The same path with these bytes kept after it in its block: a look keeps its executable and
    // its sources in one allocation, and the catalogue's record shares it.
    KeptPath WithTail(QByteArrayView tail, QByteArrayView more = {}) const;
    QByteArrayView Tail() const { return QByteArrayView(bytes_).sliced(size_); }
    friend bool operator==(const KeptPath &a, const KeptPath &b)
    {
        return a.inFolder_ == b.inFolder_ && a.null_ == b.null_ && a.projectFile_ == b.projectFile_
               && a.Utf8() == b.Utf8();
    }

private:
    QByteArray bytes_; // UTF-8 (half the room of UTF-16 for ASCII), the path first
    quint32 size_ = 0;
    bool inFolder_ = false;
    bool null_ = true;
    bool projectFile_ = false;
};

// What one version of a .vbp says: read once, kept while the file's stamp stays the same. Kept
// small, as a catalogue may hold a hundred thousand of them.
struct ProjectSources {
    // The stamp of the .vbp when it was read, a regular file then: the fields that tell a change.
    platform::FileStamp Stamp() const;
    void SetStamp(const platform::FileStamp &stamp);
    // Where the .vbp was: its device and inode.
    std::pair<quint64, quint64> Place() const { return {device_, inode_}; }
    quint64 pathHash = 0; // of the .vbp's path, the same in every run (ProjectPathHash)
    // The executable it names, as loading gives it. Its block goes on with the sources it lists and
    // the references missing: one allocation for the three, kept for every project.
    KeptPath exe;
    // The sources as paths on this system, one a line (UTF-8); relative to the project's folder
    // when they lie in it. Their companions (.frx ...) are found from them when looked at.
    QByteArrayView Files() const { return exe.Tail().first(filesSize_); }
    // The registry the references were checked against (TypeLibTable::Tag), 0 when they were not.
    quint32 referenceTag = 0;
    // The references missing there (ReferenceText, UTF-8, one a line); empty for none.
    QByteArrayView Missing() const { return exe.Tail().sliced(filesSize_); }
    bool HasMissing() const { return !Missing().isEmpty(); }
    QString MissingText() const { return QString::fromUtf8(Missing()); }
    // Keeps the three in one block.
    void SetTexts(const KeptPath &exePath, QByteArrayView files, QByteArrayView missing);

private:
    quint32 filesSize_ = 0;
    qint64 size_ = 0;
    qint64 modifiedNs_ = 0;
    qint64 changedNs_ = 0;
    quint64 inode_ = 0;
    quint64 device_ = 0;
};
using SourcesPtr = std::shared_ptr<const ProjectSources>;

// Finds listed files whose letter case differs from the disk's, as projects written on Windows
// often have (..\CLASSES\a.cls for ../classes/A.cls). Folder listings are kept for one batch.
class CaseFolding {
public:
    // The file's stamp, exact first; a missing path is looked up ignoring case (found: the path
    // on disk, when given). Without mayList only in folders listed already: a file that is often
    // missing (a form's .frx) costs no listing.
    platform::FileStamp Stat(const QString &path, QString *found = nullptr, bool mayList = true);

private:
    QString resolveFolder(const QString &folder, int depth);
    QString find(const QString &folder, const QString &name, bool mayList = true);
    QHash<QString, QHash<QString, QString>> listings_; // folder -> folded name -> name on disk
    QHash<QString, QString> folders_;                  // as written -> on disk, empty when none
};

struct ScanResult {
    ProjectState state = ProjectState::Unknown; // still Unknown when the .vbp could not be read
    bool read = false;       // the .vbp was read (not known from an earlier look)
    SourcesPtr sources;      // null while the .vbp is missing or unreadable
    KeptPath exe;            // the executable as loading gives it: empty when the .vbp is missing
    KeptPath statusFile;     // out of date: the first file found newer than the executable; a source
                             // missing: the first listed source not there
    qint64 exeModifiedNs = 0; // 0 without an executable
};

class LookCache;
class ReferenceCheck;

// How a look checks the references of a .vbp it reads: against the registry of the IDE's Wine
// prefix (check null without one).
struct ReferenceLookup {
    ReferenceCheck *check = nullptr;
    quint32 tag = 0; // of the registry as read now
};

// A hash of a .vbp's path that is the same in every run (qHash is seeded anew each time).
quint64 ProjectPathHash(const QString &projectFile);

// The status of one project with one stat per file: the .vbp is read only when it changed since
// previous was read (or, without previous, since the look the cache keeps for it). knownExe is
// the executable the catalogue holds (null: the one read now). The executable and the sources are
// found ignoring letter case when not there as written. A listed source that does not exist makes
// the project SourceMissing, whatever the executable (a build would fail on it); a missing
// companion (.frx ...) counts for nothing, as a form without binary data has none. A .vbp that cannot be read (a disk
// error, no permission) gives no look: the state stays Unknown, with no sources to keep.
// With references, a known look serves only when it was checked against the same registry and
// found no registered file gone: such a file may have been put back without a change to the
// registry (installing a component registers it, which changes the registry).
ScanResult ScanProject(const QString &projectFile, const QString &knownExe, const SourcesPtr &previous,
                       CaseFolding *folding, const LookCache *cache = nullptr,
                       const ReferenceLookup *references = nullptr);

// Tests: reads of the .vbp at this path fail as a disk error makes them fail; empty for none.
void FailProjectReadsForTesting(const QString &projectFile);

// The sources a .vbp lists, as ProjectSources keeps them.
QByteArray SourceFilesOf(const QString &projectFile, QByteArrayView vbp);
// Every file those stand for, whole paths: each source, then its companion when it has one.
QStringList SourcePathsOf(const QString &projectFile, const ProjectSources &sources);
// The folders those lie in, each once, in the letter case they have on disk.
QStringList SourceFoldersOf(const QString &projectFile, const ProjectSources &sources);

} // namespace catalogue
