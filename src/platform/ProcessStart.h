#pragma once

#include <QString>
#include <QStringList>

// Starting other programs: always detached, never waited for, never through a shell.
namespace platform {

// Starts program with exactly these arguments in workingDirectory.
// False when the program could not be started (missing, not executable, not a program).
bool StartDetached(const QString &program, const QStringList &arguments, const QString &workingDirectory);

} // namespace platform
