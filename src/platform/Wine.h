#pragma once

#include <QString>
#include <QStringList>

// Windows programs on Linux: telling them apart and handing them paths through Wine.
namespace platform {

// True for a regular file that begins with "MZ", the mark of a DOS or Windows executable.
bool IsWindowsExecutable(const QString &path);

// Wine's default mapping of the Unix root as drive Z: "Z:" and the absolute path with backslashes.
QString WineDriveZPath(const QString &unixPath);

// The path as a Windows program under that Wine reads it. wineCommand is the command up to and
// including the wine program (env and NAME=value words before it give the environment). Asks
// that Wine's winepath -w when the Wine prefix exists; otherwise, or when winepath is missing,
// fails or gives no usable answer, the drive Z: form.
QString WindowsPathForWine(const QStringList &wineCommand, const QString &unixPath);

// A NAME=value word, as env and shells read one before a command.
bool IsEnvironmentAssignment(const QString &word);

// The wine program on PATH; empty when there is none.
QString WineOnPath();

} // namespace platform
