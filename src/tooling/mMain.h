#pragma once

#include "platform/PathStyle.h"
#include "tooling/IdeCommand.h"

#include <QIODevice>
#include <QString>

#include <memory>
#include <optional>

namespace catalogue {
struct ProjectRecord;
}

// Reading .vbp project files and building their executables through the IDE.
namespace mMain {

// The IDE command in effect, read as a desktop entry's Exec line (field codes kept): the command
// set in the options, else that of the program the desktop opens .vbp files with (found at
// start-up); empty when none. Tests set and clear it directly.
extern QString VbIdePath;

// The project's name: the quoted value of the first line starting with "Name",
// or the .vbp file's own name when there is no such line or the file cannot be read.
QString GetProjectName(const QString &projectFile);

// Full path of the project's executable: the file name in the quoted value of the
// first line holding "ExeName32" (folder parts dropped), in the project's folder;
// without such a line the project path with ".exe" in place of its extension.
QString GetProjectExe(const QString &projectFile);

// The executable of a catalogued project as loading gives it: empty when the .vbp does not
// exist, else what GetProjectExe gives, read with one stat, open and read of the file. A .vbp
// that exists but could not be read gives a null string and sets readFailed: it says nothing.
QString ExecutableOfExisting(const QString &projectFile, bool *readFailed = nullptr);

// The command of the program the desktop associates with .vbp files, asked for with
// an empty probe file in the program folder; empty when there is none or no probe can be made.
QString GetVbIdePath();

// Starts the IDE on the project with "/make" (and "/out", for the project's log, tooling::BuildLogOf)
// and returns at once; the IDE is followed until it ends (tooling::IdeBuild), and a build that
// failed is told then, with its likely cause. The progress caption shows only while the IDE is
// being started. False (after telling the user) when there is no IDE, the IDE command cannot
// pass "/make" on, the IDE could not be started, or the project's row is being built already. With the project's record, its row shows the build.
bool MakeExe(const QString &projectFile);
bool MakeExe(const QString &projectFile, const std::weak_ptr<catalogue::ProjectRecord> &record);

// What the user is told when the IDE command cannot build (empty for Refusal::None).
QString BuildRefusalMessage(const QString &command, idecommand::Refusal refusal);
// Why a command whose file code stands inside a substitution is not started, and what to do:
// what follows the command in the message.
QString SubstitutionText();

// Turns paths into the Windows form that the command's Wine reads (through its prefix's drives,
// else drive Z:).
idecommand::PathConverter WinePathConverter(const idecommand::Command &command);

// --- the pieces of the readers, for callers and tests that work on other path styles ---

enum class ProjectKey {
    Name,      // a line that starts with "Name"
    ExeName32, // a line that holds "ExeName32" anywhere
};

// Text past this size is not read: a .vbp is a few kilobytes, and a huge or
// binary file must not cost unbounded time or memory.
inline constexpr qint64 kMaxProjectFileBytes = 1024 * 1024;

// The unquoted value of the first line with the key; empty optional when no
// line has it or the file cannot be read (missing, a folder, no permission).
// A line ends at CR LF, a lone CR or a lone LF.
std::optional<QString> ReadProjectValue(const QString &projectFile, ProjectKey key);
std::optional<QString> ReadProjectValue(QIODevice &device, ProjectKey key);
// The same for a .vbp read whole already.
std::optional<QString> ProjectValueIn(QByteArrayView bytes, ProjectKey key);
// The size of the line text starts with: up to its CR or LF, or all of it.
qsizetype ProjectLineSize(QByteArrayView text);

// What the readers make of a value found (or not) in projectFile.
QString ProjectNameFrom(const QString &projectFile, const std::optional<QString> &name, PathStyle style);
QString ProjectExeFrom(const QString &projectFile, const std::optional<QString> &exeName, PathStyle style);

// Caption of the progress window while the executable is being made.
QString MakeExeCaption(const QString &exePath);

} // namespace mMain
