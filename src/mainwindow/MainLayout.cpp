#include "mainwindow/MainLayout.h"

#include <cmath>

namespace mainwindow {

namespace {

// Left of the category list 90, the gap 110, right of the project list 100.
constexpr qint32 kMarginsTwips = 300;

} // namespace

std::optional<ListsLayout> LayoutLists(qint32 clientWidth, qint32 clientHeight, qint32 filterHeight,
                                       qint32 categoryWidth)
{
    if (clientHeight == 0)
        return std::nullopt;
    if (categoryWidth > kCategoryWidthTwips)
        categoryWidth = qMax(kCategoryWidthTwips, qMin(categoryWidth, clientWidth - kMarginsTwips - kMinListTwips));
    const qint32 height = qMax(0, clientHeight - 180);
    const qint32 left = 90 + categoryWidth + 110;
    const qint32 width = qMax(0, clientWidth - categoryWidth - kMarginsTwips);
    const qint32 above = filterHeight > 0 ? filterHeight + kFilterGapTwips : 0;
    ListsLayout layout;
    layout.Category = {90, 90, categoryWidth, height};
    layout.Split = {90 + categoryWidth, 90, 110, height};
    layout.Filter = {left, 90, width, qMax(0, filterHeight)};
    layout.Projects = {left, 90 + above, width, qMax(0, height - above)};
    return layout;
}

qint32 SplitAt(qint32 clientWidth, qint32 wanted)
{
    return qMax(kMinListTwips, qMin(wanted, clientWidth - kMarginsTwips - kMinListTwips));
}

} // namespace mainwindow
