#pragma once

#include <QString>

namespace platform {

// A folder only this user can write (a real folder, owned by the user, no group or other write), created
// 0700 when missing; the same for every session of the user on this machine. Empty when none can be had.
QString PrivateFolder();

} // namespace platform
