#pragma once

#include <QRect>
#include <QSize>

class QWidget;

// Where the program's windows go: centred, in twips, over the screen or an owner window.
namespace support {

// The screen the window belongs on (that of owner, else the primary one), in twips.
QRect ScreenTwips(const QWidget *owner);

// A widget's outer rectangle (frame included once it has one), in twips.
QRect OuterTwips(const QWidget *window);

// The outer size a window will have, in twips: with its own frame once it has one, before that
// with the frame the window system put round framedLike (the main window), as a dialog shown
// for the first time is framed alike.
QSize OuterSizeTwips(const QWidget *window, const QWidget *framedLike);

// Moves the window so that a window of outerTwips is centred over ownerTwips, the halves
// truncated as the forms do.
void PlaceCentred(QWidget *window, const QRect &ownerTwips, const QSize &outerTwips);

} // namespace support
