#include "mainwindow/ui/mWndFunction.h"

#include <QWidget>

namespace mWndFunction {

bool IsWindowMaximized(const QWidget *window) { return window && window->isMaximized(); }

void MaximizeWindow(QWidget *window)
{
    if (window)
        window->showMaximized();
}

} // namespace mWndFunction
