#include "mainwindow/ui/ColumnWidths.h"

#include "catalogue/CatalogueModels.h"
#include "catalogue/ProjectStatus.h"
#include "mainwindow/MainLayout.h"
#include "mainwindow/ui/ProjectListView.h"
#include "platform/Twips.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyle>

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

// The most of the list's width (percent) a fitted column takes, unless its caption needs more.
int ShareOf(int column)
{
    using catalogue::ProjectListModel;
    switch (column) {
    case ProjectListModel::NameColumn:
        return 25;
    case ProjectListModel::FileNameColumn:
        return 18;
    case ProjectListModel::ExeNameColumn:
        return 18;
    case ProjectListModel::CategoryColumn:
        return 15;
    default:
        return 100;
    }
}

// A screenful of rows is measured, never the whole list.
constexpr int kMostRowsMeasured = 200;

} // namespace

ColumnWidths::ColumnWidths(ReportListView *projectList) : QObject(projectList), projectList_(projectList)
{
    widths_.fill(mainwindow::kColumnWidthTwips);
    widths_[Slot(settings::ListWidth::CategoryList)] = mainwindow::kCategoryWidthTwips;
    atStart_ = widths_;
    // A column the user sizes keeps its width; the last one takes whatever is free.
    connect(projectList_->header(), &QHeaderView::sectionResized, this,
            [this](int column, int, int size) { resized(column, size); });
    // Other rows, other texts, or another width to share: the fitted columns follow.
    QAbstractItemModel *model = projectList_->model();
    connect(model, &QAbstractItemModel::modelReset, this, &ColumnWidths::ApplySoon);
    connect(model, &QAbstractItemModel::layoutChanged, this, &ColumnWidths::ApplySoon);
    connect(model, &QAbstractItemModel::rowsInserted, this, &ColumnWidths::ApplySoon);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &ColumnWidths::ApplySoon);
    // The looks of a large catalogue change rows by the thousand while it fills: only those on
    // screen can change a fitted width.
    connect(model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
        if (onScreen(topLeft.row(), bottomRight.row()))
            ApplySoon();
    });
    projectList_->viewport()->installEventFilter(this);
}

bool ColumnWidths::eventFilter(QObject *watched, QEvent *event)
{
    // At once: a scroll bar shown before a paint resizes the list, and the columns follow in that paint.
    if (event->type() == QEvent::Resize && watched == projectList_->viewport())
        Apply();
    return QObject::eventFilter(watched, event);
}

bool ColumnWidths::onScreen(int first, int last) const
{
    const QModelIndex top = projectList_->indexAt(QPoint(0, 0));
    const QModelIndex bottom = projectList_->indexAt(QPoint(0, projectList_->viewport()->height() - 1));
    const int shownFirst = top.isValid() ? top.row() : 0;
    const int shownLast = bottom.isValid() ? bottom.row() : projectList_->model()->rowCount() - 1;
    return first <= shownLast && last >= shownFirst;
}

void ColumnWidths::ApplySoon()
{
    applySoon_.Request();
}

void ColumnWidths::Read(const QString &settingsFile)
{
    const settings::ListWidths stored = settings::ReadListWidths(settingsFile);
    for (size_t k = 0; k < stored.size(); ++k) {
        widths_[k] = stored[k].value_or(widths_[k]);
        set_[k] = stored[k].has_value();
    }
    categorySet_ = stored[Slot(settings::ListWidth::CategoryList)].has_value();
    atStart_ = widths_;
    Apply();
}

void ColumnWidths::Apply()
{
    applySoon_.Cancel();
    const auto sizing = ProgramSizing();
    const int columns = projectList_->model()->columnCount();
    const int available = projectList_->viewport()->width();
    std::array<int, catalogue::ProjectListModel::CategoryColumn + 1> pixels{};
    int taken = 0;
    bool folderFits = false;
    for (int column = 0; column < columns && column < int(pixels.size()); ++column) {
        const std::optional<settings::ListWidth> which = WidthOfColumn(column);
        // The last column stretches over what is free: a width of its own would not be seen.
        if (which && set_[Slot(*which)] && column != columns - 1)
            pixels[column] = platform::TwipsToPixels(widths_[Slot(*which)]);
        else if (column == catalogue::ProjectListModel::FolderColumn)
            folderFits = true;
        else
            pixels[column] = fitted(column, available);
        taken += pixels[column];
    }
    // The folder takes the width left, down to its caption: a long path is cut in its middle
    // rather than scrolled to.
    if (folderFits) {
        constexpr int folder = catalogue::ProjectListModel::FolderColumn;
        pixels[folder] = qMax(available - taken, projectList_->header()->sectionSizeHint(folder));
    }
    // Still too wide (a narrow window): the widest fitted columns give way, captions cut short,
    // before anything is left to scroll to. The status keeps its words.
    std::array<bool, pixels.size()> yields{};
    for (int column = 0; column < columns && column < int(pixels.size()); ++column) {
        const std::optional<settings::ListWidth> which = WidthOfColumn(column);
        yields[column] = column != catalogue::ProjectListModel::StatusColumn
                         && !(which && set_[Slot(*which)] && column != columns - 1);
    }
    const int least = 3 * projectList_->fontMetrics().averageCharWidth() + 8;
    for (int excess = taken + (folderFits ? pixels[catalogue::ProjectListModel::FolderColumn] : 0) - available;
         excess > 0; --excess) {
        int widest = -1;
        for (int column = 0; column < columns && column < int(pixels.size()); ++column)
            if (yields[column] && pixels[column] > least && (widest < 0 || pixels[column] > pixels[widest]))
                widest = column;
        if (widest < 0)
            break;
        pixels[widest] -= 1;
    }
    for (int column = 0; column < columns && column < int(pixels.size()); ++column)
        projectList_->setColumnWidth(column, pixels[column]);
}

int ColumnWidths::fitted(int column, int available) const
{
    const QAbstractItemModel *model = projectList_->model();
    int wanted = projectList_->header()->sectionSizeHint(column);
    const int rows = model->rowCount();
    const QModelIndex top = projectList_->indexAt(QPoint(0, 0));
    const int first = top.isValid() ? top.row() : 0;
    if (column == catalogue::ProjectListModel::StatusColumn)
        return qMax(wanted, statusWidth());
    const int rowHeight = top.isValid() ? qMax(1, projectList_->UniformRowHeight()) : 1;
    const int last = qMin(rows, first + qMin(kMostRowsMeasured, projectList_->viewport()->height() / rowHeight + 1));
    for (int row = first; row < last; ++row)
        wanted = qMax(wanted, projectList_->sizeHintForIndex(model->index(row, column)).width());
    const int share = available * ShareOf(column) / 100;
    return qMin(wanted, qMax(share, projectList_->header()->sectionSizeHint(column)));
}

int ColumnWidths::statusWidth() const
{
    // As wide as its longest word with its icon, whatever the rows say: the same until the font or
    // the style changes, and each word is shaped to know.
    const QFont font = projectList_->font();
    const QStyle *style = projectList_->style();
    if (statusWidth_ > 0 && style == statusStyle_ && font == statusFont_)
        return statusWidth_;
    QStyleOptionViewItem option;
    option.initFrom(projectList_);
    option.font = font;
    option.fontMetrics = QFontMetrics(option.font);
    option.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
    const int side = style->pixelMetric(QStyle::PM_SmallIconSize, &option, projectList_);
    option.decorationSize = QSize(side, side);
    int widest = 0;
    for (int state = 0; state <= int(catalogue::ProjectState::SourceMissing); ++state) {
        option.text = catalogue::StatusText(catalogue::ProjectState(state));
        widest = qMax(widest, style->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), projectList_).width());
    }
    statusWidth_ = widest;
    statusStyle_ = style;
    statusFont_ = font;
    return widest;
}

void ColumnWidths::resized(int column, int size)
{
    const std::optional<settings::ListWidth> which = WidthOfColumn(column);
    if (sizing_ || !which || column == projectList_->model()->columnCount() - 1)
        return;
    qint32 &twips = widths_[Slot(*which)];
    twips = platform::KeepTwips(twips, size);
    set_[Slot(*which)] = true;
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
