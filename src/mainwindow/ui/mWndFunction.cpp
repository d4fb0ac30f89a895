#include "mainwindow/ui/mWndFunction.h"

#include <QWidget>

namespace mWndFunction {

// A maximized window that is minimized keeps both states; it counts as minimized, not maximized.
bool IsWindowMaximized(const QWidget *window) { return window && window->isMaximized() && !window->isMinimized(); }

void MaximizeWindow(QWidget *window)
{
    if (window)
        window->showMaximized();
}

} // namespace mWndFunction
