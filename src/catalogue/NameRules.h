#pragma once

#include <QString>
#include <QStringList>

namespace platform {
class IniDocument;
}

// What the catalogue and settings files cannot hold, checked where names and paths are typed or
// chosen, so that nothing is cut or lost on the way to the file. Each function returns the
// message to show, or a null QString when the text can be stored. Empty text passes: whether a
// name may be empty is each caller's own rule.
//
// file: the INI file the text is going into, whose encoding decides which characters it can
// hold; empty for code page 932, the encoding of every file the program creates.
namespace catalogue {

// A key: no "=", no ";" or "[" at the start, no blanks (space, tab) at either end, no line
// breaks, only characters the file can hold. The ideographic space (U+3000) is not a blank
// to the file and is allowed anywhere.
QString ProjectNameProblem(const QString &name, const QString &file = QString());

// A section name: no "]", no blanks at either end, no line breaks, only characters the file can hold.
QString CategoryNameProblem(const QString &name, const QString &file = QString());

// A value: no blanks at either end (the file trims them), no line breaks, only characters the
// file can hold, and short enough that a read returns it whole (1,023 bytes).
QString PathProblem(const QString &path, const QString &file = QString());

// A name the file would take for one of the others (it compares names without letter case or
// blanks at the ends): the message naming the one it clashes with, else null.
QString CategoryNameTaken(const QString &name, const QStringList &others);
QString ProjectNameTaken(const QString &name, const QStringList &others);

// A name the file can hold as a key, made from what a .vbp calls its project: "=" becomes "＝", a ";"
// or "[" at the start "；" or "［", blanks at the ends go, and line breaks and characters the document
// cannot hold become "?". An empty result takes the fallback (the .vbp's file name) the same way,
// then "Project". A usable name comes back unchanged.
QString UsableProjectName(const QString &name, const QString &fallback, const platform::IniDocument &document);

} // namespace catalogue
