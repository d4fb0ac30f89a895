#pragma once

#include "platform/PathStyle.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

// The source files a .vbp lists, and where they lie.
namespace catalogue {

// The paths of the source lines (Form=, Module=Name; File, Class=Name; File, UserControl=,
// PropertyPage=, UserDocument=, Designer=, RelatedDoc=, ResFile32=) as written, in file order:
// the name before "; " dropped, blanks and enclosing quotes removed, empty ones left out. The text
// is code page 932; lines end at CR LF, CR or LF.
QStringList ListedSources(QByteArrayView vbp);
// The same in two steps: each source line's value as written, in file order, and what it
// says once decoded, blanks and quotes removed (empty: no file).
void ForEachSourceValue(QByteArrayView vbp, const std::function<void(QByteArrayView)> &take);
QString CleanedSourceValue(QByteArrayView value);

// Where a listed path lies for a project in projectFolder. Windows paths (backslashes, "..\")
// are taken relative to the project's folder. In Posix style backslashes are separators, a Wine
// drive Z: is the root, and a path on another drive or a network share has no place here: null.
QString SourcePath(const QString &projectFolder, const QString &written, PathStyle style);

// The binary file the IDE keeps beside a form, control, property page, document or designer
// (Form1.frm -> Form1.frx); null for other files.
QString CompanionOf(const QString &source);

} // namespace catalogue
