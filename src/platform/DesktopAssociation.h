#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The desktop's file associations: which program opens a file, and opening
// files, folders and addresses with it.
namespace platform {

// Words of a command line, split the way the Exec key of a desktop entry is
// (quotes and backslashes, no expansions). Empty optional when the line is
// blank or malformed (an open quote).
std::optional<QStringList> SplitCommandLine(const QString &commandLine);

// The reverse: words joined into one line that SplitCommandLine gives back
// word for word. Words with blanks or special characters are double-quoted.
QString JoinCommandLine(const QStringList &words);

// Exec words without their field codes: a word holding %f, %U, %i ... is
// dropped whole; "%%" stands for a literal "%".
QStringList RemoveFieldCodes(const QStringList &words);

// The command (program with its fixed arguments, joined by JoinCommandLine)
// of the default application for the file's type, guessed from its name and
// its first bytes when readable; empty when there is none.
QString DefaultApplicationCommand(const QString &filePath);

// Opens a file, a folder or an address (https:, mailto: ...) with the
// desktop's default handler without waiting for it. False when the target
// does not exist, has no handler or could not be started.
bool OpenWithDefaultHandler(const QString &target);

} // namespace platform
