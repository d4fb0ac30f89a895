#include "mainwindow/MainLayout.h"

#include <cmath>

namespace mainwindow {

std::optional<ListsLayout> LayoutLists(qint32 clientWidth, qint32 clientHeight)
{
    if (clientHeight == 0)
        return std::nullopt;
    const qint32 height = qMax(0, clientHeight - 180);
    ListsLayout layout;
    layout.Category = {90, 90, 1500, height};
    layout.Projects = {1700, 90, qMax(0, clientWidth - 1800), height};
    return layout;
}

qint32 HalfOf(double measure) { return qint32(std::nearbyint(measure)) / 2; }

Box CentreOver(const Box &owner, qint32 width, qint32 height)
{
    return {owner.Left + HalfOf(owner.Width) - HalfOf(width), owner.Top + HalfOf(owner.Height) - HalfOf(height), width,
            height};
}

} // namespace mainwindow
