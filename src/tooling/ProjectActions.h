#pragma once

#include <QString>

#include <memory>

namespace catalogue {
struct ProjectRecord;
}

// The four commands on the selected project. Each takes the project's value
// (ProjectFile, ProjectFolder or ProjectExe), tells the user when it is not
// set or not found, and otherwise acts on it without waiting.
namespace tooling {

// Opens the .vbp file with the IDE command in effect (mMain::VbIdePath), or, when there is
// none, with the desktop's default application for it.
void OpenSource(const QString &projectFile);
// Opens the project's folder in the desktop's file manager.
void OpenFolder(const QString &folder);
// Starts the executable without arguments, found ignoring letter case as Windows finds it: a
// Windows program (PE) through Wine in its own folder; anything else is refused with a message.
void RunExe(const QString &exePath);
// Starts the build of the executable (mMain::MakeExe).
void MakeExecutable(const QString &projectFile);
// The same for a catalogue's project: its row shows the build.
void MakeExecutableFor(const QString &projectFile, const std::weak_ptr<catalogue::ProjectRecord> &record);

// Hands a file, folder or address to the desktop's default handler; tells the user, naming
// the target, when it does not exist or nothing could open it. False then.
bool OpenTarget(const QString &target);

} // namespace tooling
