#pragma once

#include "catalogue/cVbAnalyze.h"

#include <QList>
#include <QString>

// Every change of the catalogue, each one locked edit of the file as it is on disk now, written
// before it returns (CatalogueFile): the change is in the file and the lists, or in neither. Changes
// another program made meanwhile come into the lists first. Categories are named as the lists show
// them; a project is the record the lists show.
namespace catalogue {

struct ChangeResult {
    bool Done = false;
    // For the user when not null: why nothing changed, or what changed on the way (names made usable).
    QString Message;
};

// A project to add, its .vbp read already.
struct NewProject {
    QString File;
    QString Name; // what the .vbp calls it
    QString Exe;  // what the .vbp names, null for nothing
};

// Reads what adding needs from the .vbp.
NewProject ReadNewProject(const QString &file);

// Appends the projects to the category's section (made when missing) in one write, each under a name
// the file can hold and no other key of the section has (letter case ignored). added receives the new
// records, in order.
ChangeResult AddProjects(const QString &category, const QList<NewProject> &projects,
                         QList<ProjectPtr> *added = nullptr);
// The section's header line names it anew; its key lines keep their bytes and place.
ChangeResult RenameCategory(const QString &category, const QString &name);
// The section goes with all its keys.
ChangeResult DeleteCategory(const QString &category);
ChangeResult DeleteProject(const QString &category, const ProjectPtr &project);
// The old key goes and key=file is written under the name at the end of the section; the row moves
// to the end of the list too.
ChangeResult EditProject(const QString &category, const ProjectPtr &project, const QString &name,
                         const QString &file);
// Removed from one section and added to the other in the same write, its name made distinct there.
ChangeResult MoveProject(const QString &from, const ProjectPtr &project, const QString &to);

} // namespace catalogue
