#pragma once

#include <QString>
#include <QStringList>

// Windows programs on Linux: telling them apart and handing them paths through Wine.
namespace platform {

// True for a regular file that begins with "MZ", the mark of a DOS or Windows executable.
bool IsWindowsExecutable(const QString &path);

// Wine's default mapping of the Unix root as drive Z: "Z:" and the absolute path with backslashes.
QString WineDriveZPath(const QString &unixPath);

// The path as a Windows program under that Wine reads it, as winepath -w gives it, worked out from
// the prefix's drives without starting Wine: the drive whose folder (its dosdevices link) holds
// the path deepest. wineCommand is the command up to and including the wine program (env and
// NAME=value words before it give the environment, WINEPREFIX among them). Without a prefix, or
// with no drive holding the path, the drive Z: form.
QString WindowsPathForWine(const QStringList &wineCommand, const QString &unixPath);

// A NAME=value word, as env and shells read one before a command.
bool IsEnvironmentAssignment(const QString &word);

// The wine program on PATH; empty when there is none.
QString WineOnPath();

} // namespace platform
