#pragma once

#include <QObject>
#include <QTimer>

class fMain;
namespace platform {
class TerminationSignals;
}

// Ends the program as closing the main window does (its unload handler writes the settings and
// saves the catalogue) when the system asks: a termination signal or the desktop session's
// log-out. Open menus and dialogs are dismissed first, as Cancel would, and long work is let
// finish, so that the window closes from the main loop with the catalogue in a settled state.
// A request while the window is already closing ends the program at once.
class ShutdownOnRequest : public QObject {
    Q_OBJECT
public:
    ShutdownOnRequest(fMain &window, platform::TerminationSignals &signals);

    void Request();

private:
    void step();

    fMain &window_;
    QTimer retry_;
    bool closing_ = false;
};
