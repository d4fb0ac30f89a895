#pragma once

#include "catalogue/ProjectReferences.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// The order in which projects are built so that each finds what it references built already: an
// ActiveX DLL before the projects that reference it.
namespace tooling {

// What one catalogued project makes and uses. Paths compare ignoring letter case and "\" vs "/".
struct BuildNode {
    QString category;
    QString name;
    QString projectFile;
    QString output;       // what building it makes (BuildOutputOf)
    QStringList uses;     // paths its Reference= lines name, from its folder (UsedPaths); group projects' .vbp
    QStringList controls; // the files its Object= lines name (MSCOMCTL.OCX, MyCtl.ocx): matched by name
};

// What building the project makes: its folder, Path32 (relative to it, or whole) and ExeName32,
// else the project's path with ".exe". Windows paths are read as SourcePath reads them.
QString BuildOutputOf(const QString &projectFile, QByteArrayView vbp);

// The paths a project's references name, from its folder as SourcePath resolves them (Windows
// style for a project with a Windows path); none for what has no place here (another drive).
QStringList UsedPaths(const QString &projectFile, const QList<catalogue::ProjectReference> &references);
// The files of its controls, as written.
QStringList ControlFiles(const QList<catalogue::ProjectReference> &references);

struct BuildStep {
    int node = 0;          // index into the projects
    bool pulledIn = false; // not asked for: a dependency that needs building
    friend bool operator==(const BuildStep &, const BuildStep &) = default;
};

struct BuildPlan {
    std::vector<BuildStep> steps;
    // Projects that depend on each other in a circle: their names in list order. They are built in
    // list order.
    QList<QStringList> cycles;
};

// The order to build the chosen projects in (indexes into nodes, which are in list order): each
// after the projects it depends on, otherwise in list order (a dependency moves to just before
// the first project that needs it). A dependency not chosen is built first when needsBuild says
// so. A project depends on the one whose output one of its uses or controls names, or whose .vbp a
// group reference names; of several such, those of its own category count.
BuildPlan PlanBuilds(const std::vector<BuildNode> &nodes, const std::vector<int> &chosen,
                     const std::function<bool(int node)> &needsBuild);
// The same, where what a project not chosen uses is known only once its .vbp is read: load fills
// in the uses and controls of each one pulled in, before its own dependencies are looked for.
BuildPlan PlanBuilds(std::vector<BuildNode> &nodes, const std::vector<int> &chosen,
                     const std::function<bool(int node)> &needsBuild, const std::function<void(BuildNode &node)> &load);

// A single build of the project: what it depends on (in any category) that needs building, and
// what those depend on that does, each after those it depends on; the project last, even where it
// and one of them depend on each other (that circle is not among the cycles: its order is not the
// list's).
BuildPlan PlanSingleBuild(std::vector<BuildNode> &nodes, int project, const std::function<bool(int node)> &needsBuild,
                          const std::function<void(BuildNode &node)> &load);

} // namespace tooling
