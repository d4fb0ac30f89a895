#pragma once

#include <functional>

namespace platform {

// Runs work on a worker while this thread's event loop keeps answering (paints, the window
// manager's pings, timers, results of other workers; user input waits), and returns when the work
// is done. Without an event loop to keep (no application, or another thread) the work runs here.
void RunWhileAnswering(const std::function<void()> &work);

} // namespace platform
