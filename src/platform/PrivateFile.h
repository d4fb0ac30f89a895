#pragma once

#include <QString>

#include <functional>

class QFile;

namespace platform {

// Files of this user alone (caches), in folders of this user alone: never reached through a
// symbolic link in their place, never written through one.

// Makes the folder, and its missing parents, with mode 0700; a folder of this user with wider
// modes is tightened to 0700. False for another user's folder, a link in its place, or a folder
// that cannot be made.
bool MakePrivateFolder(const QString &folder);

// Opens for reading a regular file of this user that nobody else may read or write, lying in a
// private folder (tightened as above, not made), without following a link in its place and
// without waiting on a pipe. A file larger than maxBytes is refused before anything is read.
bool OpenPrivateFile(const QString &path, qint64 maxBytes, QFile *file);

// Replaces the file at path: fill writes the new content into a new temporary file (mode 0600,
// named ".<name>.zarun-XXXXXX") in the private folder of path, open for reading and writing, which
// is then renamed over the name itself: a link there is replaced, never written through. False
// when fill returns false or anything fails; the old file stays and nothing is left behind then.
// Temporary files that a killed write left there are removed.
bool ReplacePrivateFile(const QString &path, const std::function<bool(QFile &)> &fill);

} // namespace platform
