#pragma once

#include <QSet>
#include <QStringList>

namespace catalogue {

// The names under which one category's projects are written, in list order.
// A section holds each key once and compares keys as the file does (blanks at
// the ends and letter case ignored), so a name equal to an earlier one gets
// "(j)" appended, j being its 1-based position, until it is free: Calc, Calc,
// Calc becomes Calc, Calc(2), Calc(3). Names already distinct are unchanged.
QStringList DistinctProjectNames(const QStringList &names);

// One name made distinct from the names taken (folded as the file compares them: platform::IniNameKey)
// by appending "(position)" until it is free; the result is added to taken.
QString DistinctName(const QString &name, qsizetype position, QSet<QString> &taken);

} // namespace catalogue
