#pragma once

#include <QCoreApplication>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <type_traits>

namespace platform {

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
    QThreadPool::globalInstance()->start([held = std::move(held)]() mutable { held.reset(); });
}

} // namespace platform
