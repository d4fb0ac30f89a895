#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <span>

namespace platform {

// What is enough to tell that a file changed on disk since it was last read.
struct FileStamp {
    bool exists = false;
    bool regular = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;

    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

FileStamp StatFile(const QString &path);

// The wall clock in nanoseconds, on the scale of file times.
qint64 WallClockNs();

enum class ReadStatus { Ok, Missing, Unreadable, TooLarge };

// Reads a whole regular file; anything larger than maxBytes is refused.
ReadStatus ReadWholeFile(const QString &path, qint64 maxBytes, QByteArray *contents);

enum class FileKind { Missing, Regular, Other };

// What lies at the path and, for a regular file, its first maxBytes bytes, in one stat, one open and
// one read for a small file. A folder, pipe or device is never opened. A regular file that cannot
// be read comes back Regular with no bytes. stamp, when given, receives what that one stat saw.
FileKind ReadSmallFile(const QString &path, qint64 maxBytes, QByteArray *bytes, FileStamp *stamp = nullptr);

// A file whose owner has no write permission is read-only for this program,
// also when it runs as root (as the read-only attribute is on Windows).
bool IsReadOnlyFile(const QString &path);
// True when a new file can be created in the folder.
bool IsWritableFolder(const QString &folder);

// NotAFile: a folder, a device, or a symbolic link that loops or leads to nothing.
enum class WriteStatus { Ok, ReadOnly, NotAFile, IoError };

enum class LinkStatus { Ok, Dangling, Loop };
struct FollowedPath {
    QString path; // the end of the chain; the path itself when it is no link (or does not exist)
    LinkStatus status = LinkStatus::Ok;
};

// Whether two paths name one file: the same path, or links that lead to one place.
bool SameFile(const QString &a, const QString &b);

// Follows a chain of symbolic links to its end. A relative target counts from the folder of
// the link that names it, as the kernel resolves it.
FollowedPath FollowLinks(const QString &path);

// Called with the final target once the new content is safely on disk, just before it replaces the
// old; inPlace when the new bytes are about to go into the old file itself (its folder cannot be
// written), so that nothing sharing the old file's inode keeps the old content.
using BeforeReplace = std::function<void(const QString &target, bool inPlace)>;

// Replaces path with data so that after a crash, power cut or full disk the
// file holds either its old or its new content. Keeps the old file's mode,
// extended attributes (its access list among them) and owner where allowed; a new
// file gets the mode the umask or the folder's default access list gives it.
// Symbolic links stay links: the file at the end of the chain gets the bytes,
// and the temporary file lies in that file's folder. Temporary files that a
// killed write left in that folder are removed.
// A writable file in a folder this user cannot write (a folder whose owner has no write permission
// counts as such, also for root) is written in place: not safe against a crash, but should the
// write fail the old bytes are put back and IoError returned.
// The bytes may come in pieces, written one after another without being joined first (a large
// document's unchanged runs, as it holds them).
WriteStatus WriteFileAtomically(const QString &path, std::span<const QByteArrayView> pieces,
                                const BeforeReplace &beforeReplace = {});
inline WriteStatus WriteFileAtomically(const QString &path, QByteArrayView data, const BeforeReplace &beforeReplace = {})
{
    return WriteFileAtomically(path, std::span<const QByteArrayView>(&data, 1), beforeReplace);
}

// Removes what a write killed half-way left in the folder: hidden temporary files whose names only
// the writers make (".<name>.zarun-XXXXXX.tmp"), owned by this user, regular files untouched for
// olderThanSeconds. Returns how many went.
int RemoveStaleTemporaryFiles(const QString &folder, const QString &fileName, qint64 olderThanSeconds = 60);

// Writes a second copy of bytes kept elsewhere (a backup) as a new file readable by the user only:
// through a temporary file and a rename, so it is never seen half-written, but without waiting for
// the disk. Never replaces an existing file. False on any failure (nothing is left behind).
bool WriteCopyFile(const QString &path, QByteArrayView data);

// Gives the file a second name (a hard link) without copying it. False where that cannot be
// done (another file system, no hard links); never replaces an existing file.
bool LinkFile(const QString &existing, const QString &path);

// Creates an empty file, or empties an existing one, through the same atomic replace.
WriteStatus TruncateFileAtomically(const QString &path);

} // namespace platform
