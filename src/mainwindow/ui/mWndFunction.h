#pragma once

class QWidget;

// Window helpers of the main window.
namespace mWndFunction {

bool IsWindowMaximized(const QWidget *window);
void MaximizeWindow(QWidget *window);

} // namespace mWndFunction
