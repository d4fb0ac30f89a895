#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace mMain {

// Top-left corner that centres a window of the given outer size over the owner's
// outer rectangle, all in twips, with the integer halves truncated as the forms do:
// left = owner.left + owner.width / 2 - window.width / 2 (and the same for top).
QPoint CentreOver(const QRect &ownerTwips, const QSize &windowTwips);

} // namespace mMain
