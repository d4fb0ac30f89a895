#include "mainwindow/ui/ColumnWidths.h"

#include "catalogue/CatalogueModels.h"
#include "mainwindow/MainLayout.h"
#include "mainwindow/ui/ProjectListView.h"
#include "platform/Twips.h"

#include <QHeaderView>

#include <optional>

namespace {

// The width a column of the project list keeps. The category column, last whenever shown, has none.
std::optional<settings::ListWidth> WidthOfColumn(int column)
{
    using catalogue::ProjectListModel;
    switch (column) {
    case ProjectListModel::NameColumn:
        return settings::ListWidth::ProjectName;
    case ProjectListModel::FileNameColumn:
        return settings::ListWidth::FileName;
    case ProjectListModel::FolderColumn:
        return settings::ListWidth::Path;
    case ProjectListModel::ExeNameColumn:
        return settings::ListWidth::ExeName;
    case ProjectListModel::StatusColumn:
        return settings::ListWidth::Status;
    default:
        return std::nullopt;
    }
}

constexpr size_t Slot(settings::ListWidth which) { return size_t(which); }

} // namespace

ColumnWidths::ColumnWidths(ReportListView *projectList) : QObject(projectList), projectList_(projectList)
{
    widths_.fill(mainwindow::kColumnWidthTwips);
    widths_[Slot(settings::ListWidth::CategoryList)] = mainwindow::kCategoryWidthTwips;
    atStart_ = widths_;
    // A column the user sizes keeps its width; the last one takes whatever is free.
    connect(projectList_->header(), &QHeaderView::sectionResized, this,
            [this](int column, int, int size) { resized(column, size); });
}

void ColumnWidths::Read(const QString &settingsFile)
{
    const settings::ListWidths stored = settings::ReadListWidths(settingsFile);
    for (size_t k = 0; k < stored.size(); ++k)
        widths_[k] = stored[k].value_or(widths_[k]);
    categorySet_ = stored[Slot(settings::ListWidth::CategoryList)].has_value();
    atStart_ = widths_;
    Apply();
}

void ColumnWidths::Apply()
{
    const auto sizing = ProgramSizing();
    for (int column = 0; column < projectList_->model()->columnCount(); ++column)
        if (const std::optional<settings::ListWidth> which = WidthOfColumn(column))
            projectList_->setColumnWidth(column, platform::TwipsToPixels(widths_[Slot(*which)]));
}

void ColumnWidths::resized(int column, int size)
{
    const std::optional<settings::ListWidth> which = WidthOfColumn(column);
    if (sizing_ || !which || column == projectList_->model()->columnCount() - 1)
        return;
    qint32 &twips = widths_[Slot(*which)];
    twips = platform::KeepTwips(twips, size);
}

void ColumnWidths::FitCategoryWidth(qint32 twips)
{
    if (categorySet_)
        return;
    widths_[Slot(settings::ListWidth::CategoryList)] = twips;
    atStart_[Slot(settings::ListWidth::CategoryList)] = twips;
}

void ColumnWidths::SplitDragged(int clientWidth, int left)
{
    categorySet_ = true;
    // The strip starts where the category list ends, 90 twips from the window's edge.
    qint32 &twips = widths_[Slot(settings::ListWidth::CategoryList)];
    twips = mainwindow::SplitAt(qint32(platform::PixelsToTwips(clientWidth)), platform::KeepTwips(twips + 90, left) - 90);
}

settings::ListWidths ColumnWidths::Changed() const
{
    settings::ListWidths changed;
    for (size_t k = 0; k < changed.size(); ++k)
        if (widths_[k] != atStart_[k])
            changed[k] = widths_[k];
    return changed;
}
