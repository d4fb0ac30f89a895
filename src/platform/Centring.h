#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Centring in twips, the integer halves truncated as the forms do.
namespace platform {

// Left (or top) that centres a window on an area starting at 0, along one axis: area / 2 - window / 2.
constexpr qint32 CentredOrigin(qint32 area, qint32 window) { return area / 2 - window / 2; }

// Top-left corner that centres a window of the given outer size over the owner's outer
// rectangle: left = owner.left + owner.width / 2 - window.width / 2 (and the same for top).
inline QPoint CentreOver(const QRect &ownerTwips, const QSize &windowTwips)
{
    // 64-bit: twips of a large desktop times two still fit, and "/" truncates toward zero.
    const qint64 left = qint64(ownerTwips.left()) + ownerTwips.width() / 2 - windowTwips.width() / 2;
    const qint64 top = qint64(ownerTwips.top()) + ownerTwips.height() / 2 - windowTwips.height() / 2;
    return QPoint(int(left), int(top));
}

} // namespace platform
