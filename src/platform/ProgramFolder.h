#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The folder that holds the program's executable.
QString ExecutableFolder();

// Where ZARUN.ini, NewFile.zrd and the IDE probe file live: the executable's folder when it is the
// user's own (IsOwnProgramFolder), else the per-user config folder. Decided once per run (the
// folder is created when needed).
QString ProgramFolder();
// The same choice for an executable in that folder.
QString ProgramFolderFor(const QString &executableFolder);

// Whether the program may keep its files beside its executable in that folder, as a copy the
// user put there does: the user can write it and owns it, and, for root, it lies in no system
// tree (the install prefix, /usr, /opt ...). A copy installed by a package or by another user is
// never written: a purge would leave the files behind, or another user's settings would be taken.
bool IsOwnProgramFolder(const QString &folder);

// Tests point the program folder elsewhere; an empty path restores the default.
void SetProgramFolderForTesting(const QString &folder);
// Tests name the system trees; an empty list restores the default.
void SetSystemTreesForTesting(const QStringList &trees);

// Joins a folder and a file name with the native separator.
QString JoinPath(const QString &folder, const QString &fileName);

} // namespace platform
