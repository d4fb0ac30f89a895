#pragma once

#include <QString>

// The four commands on the selected project. Each takes the project's value
// (ProjectFile, ProjectFolder or ProjectExe), tells the user when it is not
// set or not found, and otherwise acts on it without waiting.
namespace ProjectActions {

// Opens the .vbp file with the program associated with it.
void OpenSource(const QString &projectFile);
// Opens the project's folder in the desktop's file manager.
void OpenFolder(const QString &folder);
// Starts the executable, without arguments, in the program's current folder.
void RunExe(const QString &exePath);
// Starts the build of the executable (mMain::MakeExe).
void MakeExecutable(const QString &projectFile);

} // namespace ProjectActions
