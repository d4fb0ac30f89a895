#include "mainwindow/MainLayout.h"

#include <cmath>

namespace mainwindow {

std::optional<ListsLayout> LayoutLists(qint32 clientWidth, qint32 clientHeight, qint32 filterHeight)
{
    if (clientHeight == 0)
        return std::nullopt;
    const qint32 height = qMax(0, clientHeight - 180);
    const qint32 width = qMax(0, clientWidth - 1800);
    const qint32 above = filterHeight > 0 ? filterHeight + kFilterGapTwips : 0;
    ListsLayout layout;
    layout.Category = {90, 90, 1500, height};
    layout.Filter = {1700, 90, width, qMax(0, filterHeight)};
    layout.Projects = {1700, 90 + above, width, qMax(0, height - above)};
    return layout;
}

qint32 HalfOf(double measure) { return qint32(std::nearbyint(measure)) / 2; }

Box CentreOver(const Box &owner, qint32 width, qint32 height)
{
    return {owner.Left + HalfOf(owner.Width) - HalfOf(width), owner.Top + HalfOf(owner.Height) - HalfOf(height), width,
            height};
}

} // namespace mainwindow
