#pragma once

#include <QtGlobal>

#include <optional>

// Where the two lists go in the main window's client area, in twips.
namespace mainwindow {

struct Box {
    qint32 Left = 0;
    qint32 Top = 0;
    qint32 Width = 0;
    qint32 Height = 0;
    friend bool operator==(const Box &, const Box &) = default;
};

struct ListsLayout {
    Box Category;
    Box Split; // the gap between the lists, where the user drags the split
    Box Filter; // the filter row above the project list; no height without one
    Box Projects;
};

// Between the filter row and the project list.
inline constexpr qint32 kFilterGapTwips = 60;
// The category list's width until the user moves the split.
inline constexpr qint32 kCategoryWidthTwips = 1500;
// What dragging the split leaves each list at least.
inline constexpr qint32 kMinListTwips = 600;
// Each column of the project list until the user sizes it.
inline constexpr qint32 kColumnWidthTwips = 1440;

// Nothing to lay out while the client area has no height. Sizes that would be negative
// in a very small window are 0. A filter row of filterHeight sits where the project list
// begins, and the list starts below it. A category list wider than the default gives way
// to the project list in a narrow window, down to the default width.
std::optional<ListsLayout> LayoutLists(qint32 clientWidth, qint32 clientHeight, qint32 filterHeight = 0,
                                       qint32 categoryWidth = kCategoryWidthTwips);

// The category list's width when the split is dragged to make it wanted wide: each list keeps
// kMinListTwips.
qint32 SplitAt(qint32 clientWidth, qint32 wanted);

} // namespace mainwindow
