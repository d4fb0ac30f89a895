#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The desktop's file associations: which program opens a file, and opening
// files, folders and addresses with it.
namespace platform {

// Words of a command line, split the way a desktop's launcher splits the Exec
// key of a desktop entry: blanks separate words; double quotes group, and inside
// them a backslash escapes only " ` $ and itself; single quotes group without
// escapes; outside quotes a backslash escapes the next character. Field codes
// (%f ...) are left in the words. Empty optional when the line is blank or
// malformed (an open quote).
std::optional<QStringList> SplitCommandLine(const QString &commandLine);

// The reverse: words joined into one line that SplitCommandLine gives back
// word for word. Words with blanks or special characters are double-quoted.
QString JoinCommandLine(const QStringList &words);

// The command line of the default application for the file's type, guessed
// from its name and its first bytes when readable: the Exec line of its desktop
// entry, field codes included (on Windows, the program's path as one quoted
// word). Empty when there is none.
QString DefaultApplicationCommand(const QString &filePath);

// Opens a file, a folder or an address (https:, mailto: ...) with the
// desktop's default handler without waiting for it. False when the target
// does not exist, has no handler or could not be started.
bool OpenWithDefaultHandler(const QString &target);

} // namespace platform
