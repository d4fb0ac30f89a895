#pragma once

#include <QEvent>

class QObject;

// Timing marks for the open benchmark (bench/open). When the environment variable ZARUN_TRACE
// names a file, lines "<CLOCK_MONOTONIC ns> <event>" are appended to it; otherwise every call
// returns at once.
namespace platform::trace {

// Once the application object exists: writes "start" and watches the event loop with a 10 ms
// timer until CatalogueFilled: "stall <ns>" at the end of each gap between two ticks longer than
// any before (the longest the loop could not answer so far), "gap <ns>" after each gap of 30 ms or
// more; at exit "longest-stall <ns>".
void Start();

// Whether marks are written (checks that cost something are skipped otherwise).
bool Enabled();
// Whether each row's status is marked as it becomes known, for runs that cannot read the window:
// ZARUN_TRACE_STATUSES=1 as well. Off for timing runs: a line a row costs the window's thread
// seconds over a million rows.
bool StatusesEnabled();

// Writes the event now.
void Mark(const char *event);

// Writes the event when watched first receives an event of the type (a window's first Expose).
void MarkFirstEvent(QObject *watched, QEvent::Type type, const char *event);

// Every row of the open catalogue holds its values read from the .vbp files: writes "filled"
// and ends the watch of the event loop. Safe from any thread.
void CatalogueFilled();

} // namespace platform::trace
