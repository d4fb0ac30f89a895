#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Windows programs on Linux: telling them apart and handing them paths through Wine.
namespace platform {

// True for a regular file that is a Windows executable: a DOS header ("MZ") whose pointer leads to
// the PE signature.
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
// The value of a NAME=value word with "~", "~user" (at its start or after a colon) and $HOME or
// ${HOME} expanded as a shell expands them in an assignment; a "~user" of no known user stays.
QString ExpandHomeInAssignment(const QString &word);

// This program's environment with the NAME=value words among words applied.
QProcessEnvironment EnvironmentWith(const QStringList &words);
// The Wine prefix that wineCommand's Wine uses (WINEPREFIX, else ~/.wine).
QString WinePrefixOf(const QStringList &wineCommand);

// The file a Windows path (C:\VB98\VB6.EXE) stands for under that Wine, through its prefix's
// drives, as written (not looked up in another letter case); a Unix path stays as it is. Empty
// when that cannot be told: a bare name, or a drive the prefix does not have.
QString UnixPathForWine(const QStringList &wineCommand, const QString &windowsPath);

// 32 or 64 for a Windows executable of that many bits, 0 when it is none or of no known machine.
int WindowsExecutableBits(const QString &path);

// Whether that Wine can run 32-bit Windows programs: a 32-bit loader beside its program (Debian's
// wine32, WineHQ's wine), or a prefix with 32-bit Windows (syswow64, or a 32-bit prefix) made by
// one that could.
bool WineRuns32Bit(const QStringList &wineCommand);

// The wine program on PATH; empty when there is none.
QString WineOnPath();

} // namespace platform
