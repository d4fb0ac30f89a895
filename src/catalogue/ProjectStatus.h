#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace catalogue {

// What a project's row says about its executable.
enum class ProjectState : quint8 {
    Unknown,    // not looked at yet
    VbpMissing, // the .vbp is not there: the row stays, greyed
    ExeMissing,
    OutOfDate,  // the executable is older than the .vbp or a source it lists
    UpToDate,
    Building,   // a build this program started is running
    Failed,     // the last build this program started left no new executable
    // A component the project refers to is not there for the IDE under Wine: shown before the
    // build statuses, as a build would fail on it.
    ReferenceMissing,
    // A source the .vbp lists is not on disk: shown before the executable's statuses, as a build
    // would fail on it.
    SourceMissing,
};

// The rule on the files' modification times (nanoseconds): exeModified is empty when there is no
// executable, newestInput the newest of the .vbp and the sources it lists that exist. Equal times
// count as up to date.
ProjectState StatusFrom(bool projectExists, std::optional<qint64> exeModified, qint64 newestInput);

// A row the user should look at: counted beside its category's name.
bool NeedsAttention(ProjectState state);

// The short word of the status column, and the sentence of its tooltip (detail: out of date, the
// file found newer than the executable, when known; a missing source, that file; a missing
// reference, the missing components one a line).
QString StatusText(ProjectState state);
QString StatusToolTip(ProjectState state, const QString &detail = QString());

} // namespace catalogue
