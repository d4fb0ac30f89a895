#pragma once

#include "platform/PathStyle.h"

#include <QString>

// Path functions and the two ways of handing a file to the desktop.
// Nothing here changes its arguments, shows a message or throws.
namespace mFunction {

// True for an existing file or folder; false for an empty path.
bool FileExists(const QString &path);

// The folder part: everything before the last separator. Windows style also
// honours a drive ("C:App.vbp" -> "C:\") and gives a one-character folder a
// trailing "\"; Posix style gives "/" for a file in the root.
QString GetFolderName(const QString &path);
QString GetFolderName(const QString &path, PathStyle style);

// The last component: the text after the last separator that is followed by
// something other than a separator, so "C:\Src\" gives "Src\".
QString GetFileName(const QString &path);
QString GetFileName(const QString &path, PathStyle style);

// The text between enclosing double quotes; empty unless the text both begins and ends with one.
QString UnquotePath(const QString &text);

// The text after the last "." (the scan does not stop at separators); empty when there is none.
QString GetExtension(const QString &path);

// Opens a file, folder or address with the desktop's default handler without
// waiting. More than 32 on success, 0 otherwise.
qint32 ShellOpen(const QString &target);

// The command of the program the desktop associates with the existing file
// folder/fileName: its desktop entry's Exec line, field codes included (on
// Windows its path as one quoted word). Empty when there is none.
QString FindAssociatedExe(const QString &folder, const QString &fileName);

} // namespace mFunction
