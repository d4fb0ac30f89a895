#pragma once

#include <QString>

namespace platform {

// True when path names an existing file or folder that a directory listing
// shows: not hidden (on Linux: a name starting with "."), not a system entry.
bool IsVisibleEntry(const QString &path);

} // namespace platform
