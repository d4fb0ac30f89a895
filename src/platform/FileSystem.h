#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

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

enum class WriteStatus { Ok, ReadOnly, NotAFile, IoError };

// Replaces path with data so that after a crash, power cut or full disk the
// file holds either its old or its new content. Keeps the old file's mode
// (and owner where allowed); follows a symbolic link to its target.
WriteStatus WriteFileAtomically(const QString &path, QByteArrayView data);

// Creates an empty file, or empties an existing one, through the same atomic replace.
WriteStatus TruncateFileAtomically(const QString &path);

} // namespace platform
