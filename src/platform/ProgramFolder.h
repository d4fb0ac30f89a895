#pragma once

#include <QString>

namespace platform {

// The folder that holds the program's executable.
QString ExecutableFolder();

// Where ZARUN.ini, NewFile.zrd and the IDE probe file live: the executable's
// folder, or the per-user config folder when that one cannot be written.
// Decided once per run (the folder is created when needed).
QString ProgramFolder();

// Tests point the program folder elsewhere; an empty path restores the default.
void SetProgramFolderForTesting(const QString &folder);

// Joins a folder and a file name with the native separator.
QString JoinPath(const QString &folder, const QString &fileName);

} // namespace platform
