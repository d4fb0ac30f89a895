#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// A folder only this user can write (a real folder, owned by the user, no group or other write), created
// 0700 when missing; the same for every session of the user on this machine. Empty when none can be had.
// Locks and local sockets live here: it does not depend on XDG_RUNTIME_DIR, which one session has and
// another lacks, and it is short enough for a socket path (see kMaxPrivateFolderBytes).
QString PrivateFolder();

// The longest folder PrivateFolder gives, in bytes: a local socket path has 107 bytes, and Qt binds a
// socket first under its name plus 8 bytes; names up to 32 bytes fit.
inline constexpr int kMaxPrivateFolderBytes = 64;

// Tests: the folders tried in turn instead of the usual ones; an empty list restores those.
void SetPrivateFolderCandidatesForTesting(const QStringList &folders);

} // namespace platform
