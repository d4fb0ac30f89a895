#pragma once

#include <QString>
#include <QStringList>

// The program's command line: zarun [--help | --version] [FILE.zrd].
namespace commandline {

enum class Action {
    Run,     // start (with File to open instead of the start-up catalogue, when given)
    Help,    // print HelpText() and end
    Version, // print VersionText() and end
    Error,   // print Error and HelpText() to the error output and end with status 2
};

struct Request {
    Action action = Action::Run;
    QString File;  // as given; null when none
    QString Error; // for Action::Error
};

// arguments without the program's own name. --help and --version win over everything else.
Request Parse(const QStringList &arguments);

QString HelpText();
QString VersionText();

} // namespace commandline
