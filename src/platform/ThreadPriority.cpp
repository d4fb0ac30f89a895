#include "platform/ThreadPriority.h"

#include <QtGlobal>

#if defined(Q_OS_WIN)
#include <qt_windows.h>
#elif defined(Q_OS_LINUX)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace platform {

void YieldToForeground()
{
#if defined(Q_OS_WIN)
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#elif defined(Q_OS_LINUX)
    // On Linux a thread has a nice value of its own; 10 leaves the window about nine tenths of a
    // shared processor. Raising it needs no privilege, and a failure only leaves it as it was.
    (void)::setpriority(PRIO_PROCESS, id_t(::gettid()), 10);
#endif
}

} // namespace platform
