#pragma once

#include "catalogue/ProjectStatus.h"
#include "mainwindow/CommandLine.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// zarun status and zarun build: the catalogue's statuses and builds for scripts and CI, without a
// window. The catalogue and ZARUN.ini are only read.
namespace headless {

// One project as status prints it.
struct ProjectLine {
    QString category;
    QString name;
    QString projectFile;
    QString exe; // empty when the .vbp is missing
    catalogue::ProjectState state = catalogue::ProjectState::Unknown;
    QString reason; // out of date: the newer file; a missing reference: the components, ", " between
};

// The catalogue file read into the catalogue's state (nothing is written). False, with what the
// user is told, when it cannot be read or a category asked for is not in it.
bool LoadCatalogue(const QString &file, const QStringList &categories, QString *error);

// Each project of the categories (empty: all) as the status column judges it, references checked
// against the prefix of the IDE command when it runs through Wine.
std::vector<ProjectLine> StatusLines(const QStringList &categories, const QString &ideCommand);

// A state's word for scripts: up-to-date, out-of-date, exe-missing, vbp-missing, reference-missing ...
QString StateWord(catalogue::ProjectState state);
// A .vbp that is gone or cannot be read: nothing can be built from it.
bool Unbuildable(catalogue::ProjectState state);
// Whether status --check counts it: it needs a build, a reference is missing, or it cannot be built.
bool NeedsWork(catalogue::ProjectState state);
QString FormatLines(const std::vector<ProjectLine> &lines, commandline::Format format);

// One project of a build, as the report holds it.
struct BuildCase {
    enum class Result { Built, Failed, Skipped };
    QString category;
    QString name;
    QString projectFile;
    Result result = Result::Skipped;
    QString message; // why failed or skipped
    double seconds = 0;
    QString log;     // the IDE's messages
};
// A JUnit report: a test suite per category, a test case per project, in the order given.
QByteArray JUnitReport(const std::vector<BuildCase> &cases);
// The first lines of a log, as a failure shows them.
QString FirstLines(const QString &log, int lines);

// The commands themselves: their exit status. Build runs the event loop of the QCoreApplication.
int RunStatus(const commandline::Request &request);
int RunBuild(const commandline::Request &request);

} // namespace headless
