#pragma once

#include "platform/PathStyle.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Project groups (.vbg): the .vbp files the IDE opens together.
namespace catalogue {

struct ProjectGroup {
    bool valid = false;   // the text begins with the VBGROUP header
    QStringList projects; // each .vbp once, in file order (the startup project where it stands)
    QStringList unplaced; // listed, but with no place on this system (another drive, a share): as written
};

// The projects a group lists on its Project= and StartupProject= lines (code page 932; lines end
// at CR LF, CR or LF), relative to the group's folder; other lines are ignored.
ProjectGroup ProjectGroupIn(const QString &groupFile, QByteArrayView text, PathStyle style = platform::kNativePathStyle);

// The same read from the file; a project not there as written is looked for ignoring letter
// case, as a group written on Windows needs. Not valid when the file cannot be read.
ProjectGroup ReadProjectGroup(const QString &groupFile);

} // namespace catalogue
