#pragma once

#include <QString>
#include <QStringList>

// The program's command line: zarun [--help | --version] [FILE.zrd], or a command word first
// (zarun status FILE.zrd ..., zarun build FILE.zrd ...) for a run without a window.
namespace commandline {

enum class Action {
    Run,     // start (with File to open instead of the start-up catalogue, when given)
    Help,    // print HelpText() and end
    Version, // print VersionText() and end
    Error,   // print Error and HelpText() to the error output and end with status 2
    Status,  // print the projects' statuses, without a window (headless)
    Build,   // build the projects, without a window (headless)
};

enum class Format { Text, Tsv, Json };

struct Request {
    Action action = Action::Run;
    QString File;  // as given; null when none
    QString Error; // for Action::Error
    // The command words' options.
    QStringList Categories; // --category, in the order given; empty: every category
    Format format = Format::Text;
    bool Check = false;     // status --check
    bool All = false;       // build --all: up-to-date projects too
    QString IdeCommand;     // build --ide-command; null when not given
    QString JUnit;          // build --junit; null when not given
    bool KeepGoing = false; // build --keep-going
};

// arguments without the program's own name. --help and --version win over everything else.
Request Parse(const QStringList &arguments);

// Whether the arguments start with a command word: such a run needs no display.
bool IsHeadless(const QStringList &arguments);

QString HelpText();
QString VersionText();

} // namespace commandline
