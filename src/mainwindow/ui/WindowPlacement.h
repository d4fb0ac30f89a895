#pragma once

#include "mainwindow/MainLayout.h"
#include "settings/Settings.h"

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

// Where the main window stands, in twips as ZARUN.ini keeps it: read at start-up, applied again once
// the window system has framed the window, followed while the user moves and sizes it, written at
// shut-down.
class WindowPlacement {
public:
    // The window gets a least size at which its lists still show a few rows.
    explicit WindowPlacement(QWidget &window);

    // Reads the placement of the settings file and applies it to the window not yet shown.
    void Start(const QString &settingsFile);
    // The window was exposed or changed its state: the start-up placement with the real frame.
    void Settle();
    // The window was moved or resized in the normal state.
    void RecordNormal();
    // The window's state changed from old.
    void StateChanged(Qt::WindowStates old);

    // Position and size of the window frame in twips.
    mainwindow::Box FrameTwips() const;
    // Current placement for ZARUN.ini: the normal one while maximized or minimized.
    settings::Placement ForSettings() const;

    // The last placement in the normal state, in twips.
    qint32 NormalTop = 0;
    qint32 NormalLeft = 0;
    qint32 NormalHeight = 0;
    qint32 NormalWidth = 0;

private:
    // Applies a placement pulled inside the available area of its screen, at the least size.
    void apply(settings::Placement placement, const QMargins &frame);
    void keepNormal(const QRect &frame);
    // Moves (and, where it does not fit, shrinks) the window into the available area of its screen.
    void pullInside();
    // Pulls it inside again when the window system moves or sizes it in the next moments.
    void pullBackAWhile();
    QMargins frameMarginsNow() const;
    // The window's rectangle with the frame the window system has put round it.
    QRect outerGeometry() const;

    QWidget &window_;
    // The placement read at start-up, the window's size before it and the frame it was applied
    // with; applied again once the window system has put its frame round the window.
    settings::Placement requested_;
    QSize initialSize_;
    QMargins normalFrame_;
    bool settled_ = true;
    bool pullBack_ = false; // restored from maximized a moment ago
};
