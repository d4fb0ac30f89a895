#pragma once

#include <QCoreApplication>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <type_traits>

namespace platform {

// The pool the program's own work off the window's thread runs in. Not Qt's global pool: the paint
// engine splits a tall fill over that pool's threads and waits for them, so a catalogue write or a
// large free holding them would hold the window's paint. The application waits for it before it
// ends, as for the global one.
QThreadPool &Workers();

// Makes the global pool's threads, and keeps them: Qt's raster engine splits a tall fill over them
// and waits. Made on first use in the middle of a large catalogue's read, a new thread's stack and
// heap waited for the memory map that the reader was filling, and the window's thread with them.
void PreparePaintThreads();

// Runs work on a worker while this thread's event loop keeps answering (paints, the window
// manager's pings, timers, results of other workers; user input waits), and returns when the work
// is done. Without an event loop to keep (no application, or another thread) the work runs here.
void RunWhileAnswering(const std::function<void()> &work);

// Lets a large value go on a worker, so that freeing it costs this thread nothing. Without an
// application it goes here.
template <typename T>
void FreeElsewhere(T &&value)
{
    static_assert(!std::is_lvalue_reference_v<T>, "the value is handed over: move it");
    if (!QCoreApplication::instance())
        return;
    auto held = std::make_shared<T>(std::move(value));
    Workers().start([held = std::move(held)]() mutable { held.reset(); });
}

} // namespace platform
