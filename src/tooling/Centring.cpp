#include "tooling/Centring.h"

namespace mMain {

QPoint CentreOver(const QRect &ownerTwips, const QSize &windowTwips)
{
    // 64-bit: twips of a large desktop times two still fit, and "/" truncates toward zero.
    const qint64 left = qint64(ownerTwips.left()) + ownerTwips.width() / 2 - windowTwips.width() / 2;
    const qint64 top = qint64(ownerTwips.top()) + ownerTwips.height() / 2 - windowTwips.height() / 2;
    return QPoint(int(left), int(top));
}

} // namespace mMain
