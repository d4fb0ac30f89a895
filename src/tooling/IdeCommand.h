#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The IDE command (the Exec line of the desktop entry that opens .vbp files, or the command
// set in the options, which is read the same way) taken apart: what it runs and through what,
// and the argument vectors that open or build a project with it. Nothing here starts a process.
namespace idecommand {

// Why a command cannot build.
enum class Refusal {
    None,
    NoCommand,   // empty
    Malformed,   // an open quote
    ShellScript, // the project file lands inside a shell script (sh -c "... %f"): /make cannot follow it
    WineStart,   // wine start ...: start hands the file to Windows' association and drops /make
    Substitution, // the file code inside $(...), `...` or ${...} of a shell script: never given a path
};

struct Command {
    QStringList words;         // split as a desktop launcher splits Exec; field codes still in place
    bool valid = false;
    bool malformed = false;    // not blank, but not a command either (an open quote)
    bool substitution = false; // the file code stands inside a substitution of a shell script
    qsizetype wine = -1;       // the wine program, when the command runs through Wine
    bool wineStart = false;    // wine start ...
    bool startTakesUnixPath = false; // start /unix or /ProgIDOpen converts the path itself
    qsizetype script = -1;     // the word a shell runs as its script (sh -c WORD)
    bool scriptPassesArguments = false; // that script hands its arguments on ("$@", "$*")
    QStringList scriptWine;    // the script's own start of Wine (env ... wine), when it has a plain one
    bool scriptWineStart = false;
    bool scriptStartTakesUnixPath = false;
};

Command Parse(const QString &commandLine);

// Turns a Unix path into the form a Windows program under the command's Wine reads.
using PathConverter = std::function<QString(const QString &unixPath)>;

// The command's Wine with its environment (env NAME=value ... wine); empty when it has none.
QStringList WineWords(const Command &command);
// The NAME=value words the command's program gets ("~" and $HOME in them expanded by Parse).
QStringList Environment(const Command &command);
// The Windows program the command's Wine runs, as written (C:\VB98\VB6.EXE); empty when the
// command runs no Wine, or runs wine start, or the word is a field code.
QString WineProgram(const Command &command);

// The argument vector (program first) that opens file with the command, expanded as the
// desktop's launcher expands Exec: %f, %F, %u and %U give the file once (inside a shell script
// quoted for that shell, for Wine in Windows form), other field codes go, "%%" is "%"; with no
// file code the file is added at the end. Empty when the command is not valid.
QStringList OpenArguments(const Command &command, const QString &file, const PathConverter &toWindows);

// Why the command cannot build, found without converting any path; None when it can.
Refusal BuildRefusal(const Command &command);

struct Build {
    QStringList arguments; // the open arguments with "/make" right after the project file
    Refusal refusal = Refusal::None;
};
// With a log file, "/out" and the log follow "/make": the IDE writes its messages there instead of
// showing them. The log is converted like the project file.
Build BuildArguments(const Command &command, const QString &projectFile, const PathConverter &toWindows,
                     const QString &logFile = QString());

// Starts program the way the command starts its Windows program: its Wine with its
// environment, then program. Empty when the command does not run through Wine.
QStringList WineRunArguments(const Command &command, const QString &program);

} // namespace idecommand
