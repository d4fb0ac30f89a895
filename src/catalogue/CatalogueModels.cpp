#include "catalogue/CatalogueModels.h"

#include "catalogue/ProjectStatus.h"
#include "catalogue/cVbAnalyze.h"
#include "tooling/mFunction.h"

#include <algorithm>

namespace catalogue {

namespace {

constexpr qint64 kRecountMs = 200;

} // namespace

CategoryListModel::CategoryListModel(CatalogueState &catalogue, QObject *parent)
    : QAbstractListModel(parent), catalogue_(catalogue)
{
    connect(&catalogue_, &CatalogueState::CategoriesAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&catalogue_, &CatalogueState::CategoriesReset, this, [this] {
        takeCounts();
        endResetModel();
    });
    connect(&catalogue_, &CatalogueState::CategoryAboutToBeInserted, this,
            [this](int index) { beginInsertRows(QModelIndex(), index - 1, index - 1); });
    connect(&catalogue_, &CatalogueState::CategoryInserted, this, [this] {
        takeCounts();
        endInsertRows();
    });
    connect(&catalogue_, &CatalogueState::CategoryAboutToBeRemoved, this,
            [this](int index) { beginRemoveRows(QModelIndex(), index - 1, index - 1); });
    connect(&catalogue_, &CatalogueState::CategoryRemoved, this, [this] {
        takeCounts();
        endRemoveRows();
    });
    connect(&catalogue_, &CatalogueState::CategoryRenamed, this, [this](const cVbAnalyze *category) {
        if (const int row = catalogue_.IndexOf(category) - 1; row >= 0)
            Q_EMIT dataChanged(index(row), index(row));
    });
    // The counts beside the names follow the projects' statuses; each category keeps its own, and a
    // row is drawn again only when its number changed.
    const auto one = [this](const cVbAnalyze *category) { countChanged(category); };
    // Projects come or go: the number of projects shown changes whatever needs attention.
    const auto resized = [this](const cVbAnalyze *category) {
        const int row = catalogue_.IndexOf(category) - 1;
        if (row < 0 || size_t(row) >= shown_.size())
            return;
        shown_[size_t(row)] = category->AttentionCount();
        Q_EMIT dataChanged(index(row), index(row), {Qt::DisplayRole, Qt::ToolTipRole});
    };
    connect(&catalogue_, &CatalogueState::ProjectsReset, this, resized);
    connect(&catalogue_, &CatalogueState::ProjectRemoved, this, resized);
    connect(&catalogue_, &CatalogueState::ProjectInserted, this, resized);
    connect(&catalogue_, &CatalogueState::ProjectChanged, this, one);
    connect(&catalogue_, &CatalogueState::ProjectsLooked, this, [this](const QList<const ProjectRecord *> &records) {
        for (const ProjectRecord *record : records)
            countChanged(record->owner);
    });
    takeCounts();
}

void CategoryListModel::takeCounts()
{
    const CatalogueState &state = catalogue_;
    shown_.assign(size_t(state.CategoryCount), 0);
    for (qint32 i = 1; i <= state.CategoryCount; ++i)
        shown_[size_t(i - 1)] = state.CategoryAt(i)->AttentionCount();
}

void CategoryListModel::countChanged(const cVbAnalyze *category)
{
    const int row = catalogue_.IndexOf(category) - 1;
    if (row < 0 || size_t(row) >= shown_.size())
        return;
    const int n = category->AttentionCount();
    if (std::exchange(shown_[size_t(row)], n) != n)
        Q_EMIT dataChanged(index(row), index(row), {Qt::DisplayRole, Qt::ToolTipRole});
}

int CategoryListModel::AttentionCount(qint32 category) const
{
    const cVbAnalyze *c = catalogue_.CategoryAt(category);
    return c ? c->AttentionCount() : 0;
}

int CategoryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : catalogue_.CategoryCount;
}

QVariant CategoryListModel::data(const QModelIndex &index, int role) const
{
    const qint32 number = CategoryOf(index);
    const cVbAnalyze *category = catalogue_.CategoryAt(number);
    if (!category)
        return QVariant();
    switch (role) {
    case PlainTextRole:
        return category->Category();
    case CountRole:
        return category->Count();
    case Qt::DisplayRole:
        // The counts are shown only: the name itself stays what it is everywhere else. How many
        // projects it holds, and apart from that how many need attention.
        if (const int n = AttentionCount(number); n > 0)
            return QStringLiteral("%1 (%2)  要%3").arg(category->Category()).arg(category->Count()).arg(n);
        return QStringLiteral("%1 (%2)").arg(category->Category()).arg(category->Count());
    case Qt::ToolTipRole:
        if (const int n = AttentionCount(number); n > 0)
            return QStringLiteral("プロジェクト %1 件のうち、実行ファイルの作成が必要か、ファイルが見つからないものが %2 件あります (要%2)。")
                .arg(category->Count())
                .arg(n);
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant CategoryListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return QStringLiteral("カテゴリー");
    return QVariant();
}

Qt::ItemFlags CategoryListModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QModelIndex CategoryListModel::IndexOf(qint32 category) const
{
    return category >= 1 && category <= catalogue_.CategoryCount ? index(category - 1) : QModelIndex();
}

ProjectListModel::ProjectListModel(CatalogueState &catalogue, QObject *parent)
    : QAbstractTableModel(parent), catalogue_(catalogue)
{
    connect(&catalogue_, &CatalogueState::CategoriesAboutToBeReset, this, [this] {
        if (all_)
            beginResetModel();
        else
            forget();
    });
    connect(&catalogue_, &CatalogueState::CategoriesReset, this, [this] {
        if (all_) {
            offsetsChanged();
            endResetModel();
        }
    });
    // A category more or less moves every row after it: listed anew.
    connect(&catalogue_, &CatalogueState::CategoryAboutToBeInserted, this, [this] {
        if (all_)
            beginResetModel();
    });
    connect(&catalogue_, &CatalogueState::CategoryInserted, this, [this] {
        if (all_) {
            offsetsChanged();
            endResetModel();
        }
    });
    connect(&catalogue_, &CatalogueState::CategoryAboutToBeRemoved, this, [this](int index) {
        if (all_)
            beginResetModel();
        else if (catalogue_.CategoryAt(index) == shown_)
            forget();
    });
    connect(&catalogue_, &CatalogueState::CategoryRemoved, this, [this] {
        if (all_) {
            offsetsChanged();
            endResetModel();
        }
    });
    connect(&catalogue_, &CatalogueState::CategoryRenamed, this, [this] {
        if (all_ && rowCount() > 0)
            Q_EMIT dataChanged(index(0, CategoryColumn), index(rowCount() - 1, CategoryColumn));
    });
    connect(&catalogue_, &CatalogueState::ProjectsAboutToBeReset, this, [this](const cVbAnalyze *category) {
        if (mine(category))
            beginResetModel();
    });
    connect(&catalogue_, &CatalogueState::ProjectsReset, this, [this](const cVbAnalyze *category) {
        if (mine(category)) {
            offsetsChanged();
            endResetModel();
        }
    });
    connect(&catalogue_, &CatalogueState::ProjectAboutToBeInserted, this, [this](const cVbAnalyze *category, int index) {
        if (mine(category)) {
            const int row = (all_ ? firstRowOf(category) : 0) + index - 1;
            beginInsertRows(QModelIndex(), row, row);
        }
    });
    connect(&catalogue_, &CatalogueState::ProjectInserted, this, [this](const cVbAnalyze *category) {
        if (mine(category)) {
            offsetsChanged();
            endInsertRows();
        }
    });
    connect(&catalogue_, &CatalogueState::ProjectAboutToBeRemoved, this, [this](const cVbAnalyze *category, int index) {
        if (mine(category)) {
            const int row = (all_ ? firstRowOf(category) : 0) + index - 1;
            beginRemoveRows(QModelIndex(), row, row);
        }
    });
    connect(&catalogue_, &CatalogueState::ProjectRemoved, this, [this](const cVbAnalyze *category) {
        if (mine(category)) {
            offsetsChanged();
            endRemoveRows();
        }
    });
    connect(&catalogue_, &CatalogueState::ProjectChanged, this, [this](const cVbAnalyze *category, int index) {
        if (mine(category)) {
            const int row = (all_ ? firstRowOf(category) : 0) + index - 1;
            Q_EMIT dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
        }
    });
    // Executables and statuses found anywhere: the rows of those that look different are drawn again.
    connect(&catalogue_, &CatalogueState::ProjectsLooked, this,
            [this](const QList<const ProjectRecord *> &records) { looked(records); });
}

void ProjectListModel::looked(const QList<const ProjectRecord *> &records)
{
    int first = -1;
    int last = -1;
    for (const ProjectRecord *record : records) {
        if (!mine(record->owner) || record->row < 1)
            continue;
        const int row = (all_ ? firstRowOf(record->owner) : 0) + record->row - 1;
        first = first < 0 ? row : qMin(first, row);
        last = qMax(last, row);
    }
    if (first >= 0)
        Q_EMIT dataChanged(index(first, 0), index(last, columnCount() - 1));
}

void ProjectListModel::forget()
{
    if (!shown_)
        return;
    beginResetModel();
    shown_ = nullptr;
    endResetModel();
}

// The category column comes while the rows are one category's and goes once they are again: a
// view lays out every row anew when its column count changes, and a million rows once more when
// they are reset.
void ProjectListModel::ShowCategory(const cVbAnalyze *category)
{
    beginResetModel();
    shown_ = category;
    all_ = false;
    endResetModel();
    showCategoryColumn(false);
}

void ProjectListModel::ShowAllCategories()
{
    showCategoryColumn(true);
    beginResetModel();
    shown_ = nullptr;
    all_ = true;
    offsetsChanged();
    endResetModel();
}

void ProjectListModel::showCategoryColumn(bool shown)
{
    if (shown == categoryColumn_)
        return;
    if (shown)
        beginInsertColumns(QModelIndex(), CategoryColumn, CategoryColumn);
    else
        beginRemoveColumns(QModelIndex(), CategoryColumn, CategoryColumn);
    categoryColumn_ = shown;
    if (shown)
        endInsertColumns();
    else
        endRemoveColumns();
}

int ProjectListModel::firstRowOf(const cVbAnalyze *category) const
{
    const qint32 index = catalogue_.IndexOf(category);
    if (index == 0)
        return rowCount();
    buildOffsets();
    return offsets_[size_t(index - 1)];
}

void ProjectListModel::buildOffsets() const
{
    if (offsetsValid_)
        return;
    const CatalogueState &state = catalogue_;
    offsets_.assign(size_t(state.CategoryCount), 0);
    int row = 0;
    for (qint32 i = 1; i <= state.CategoryCount; ++i) {
        offsets_[size_t(i - 1)] = row;
        row += state.CategoryAt(i)->Count();
    }
    total_ = row;
    offsetsValid_ = true;
}

const cVbAnalyze *ProjectListModel::categoryAt(int row, int *project, qint32 *number) const
{
    *project = 0;
    if (row < 0)
        return nullptr;
    if (!all_) {
        if (!shown_ || row >= shown_->Count())
            return nullptr;
        *project = row + 1;
        if (number)
            *number = catalogue_.IndexOf(shown_);
        return shown_;
    }
    buildOffsets();
    if (row >= total_)
        return nullptr;
    // The last category starting at or before the row: empty ones share their start with the next.
    const auto next = std::upper_bound(offsets_.begin(), offsets_.end(), row);
    const qint32 category = qint32(next - offsets_.begin());
    *project = row - offsets_[size_t(category - 1)] + 1;
    if (number)
        *number = category;
    return catalogue_.CategoryAt(category);
}

ProjectListModel::Entry ProjectListModel::EntryAt(int row) const
{
    int project = 0;
    qint32 number = 0;
    if (!categoryAt(row, &project, &number) || number == 0)
        return {};
    return {number, project};
}

int ProjectListModel::RowOf(const Entry &entry) const
{
    const cVbAnalyze *category = catalogue_.CategoryAt(entry.Category);
    if (!category || entry.Project < 1 || entry.Project > category->Count())
        return -1;
    if (!all_)
        return category == shown_ ? entry.Project - 1 : -1;
    buildOffsets();
    return offsets_[size_t(entry.Category - 1)] + entry.Project - 1;
}

const ProjectRecord *ProjectListModel::RecordAt(int row) const
{
    int project = 0;
    const cVbAnalyze *category = categoryAt(row, &project);
    return category ? category->Record(project) : nullptr;
}

std::weak_ptr<ProjectRecord> ProjectListModel::SharedAt(int row) const
{
    int project = 0;
    const cVbAnalyze *category = categoryAt(row, &project);
    return category ? category->Shared(project) : std::weak_ptr<ProjectRecord>();
}

void ProjectListModel::VisitRecords(const std::function<void(const ProjectRecord &)> &visit) const
{
    const CatalogueState &state = catalogue_;
    for (qint32 i = 1; i <= state.CategoryCount; ++i) {
        const cVbAnalyze *category = state.CategoryAt(i);
        if (!mine(category))
            continue;
        for (qint32 j = 1; j <= category->Count(); ++j)
            visit(*category->Record(j));
    }
}

void ProjectListModel::VisitRecords(int first, int count,
                                    const std::function<void(const ProjectRecord &)> &visit) const
{
    int project = 0;
    qint32 number = 0;
    const cVbAnalyze *category = categoryAt(first, &project, &number);
    if (!category)
        return;
    // From the first row's category on, as the rows follow the categories (one only when one is shown).
    const qint32 last = all_ ? catalogue_.CategoryCount : number;
    for (qint32 i = number; i <= last && count > 0; ++i, project = 1) {
        const cVbAnalyze *at = i == number ? category : catalogue_.CategoryAt(i);
        for (qint32 j = project; j <= at->Count() && count > 0; ++j, --count)
            visit(*at->Record(j));
    }
}

int ProjectListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    if (all_) {
        buildOffsets();
        return total_;
    }
    return shown_ ? shown_->Count() : 0;
}

int ProjectListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Columns();
}

QString ProjectListModel::Text(qint32 row, int column) const
{
    int project = 0;
    const cVbAnalyze *category = categoryAt(row - 1, &project);
    if (!category)
        return QString();
    switch (column) {
    case NameColumn:
        return category->ProjectName(project);
    case FileNameColumn:
        return mFunction::GetFileName(category->ProjectFile(project));
    case FolderColumn:
        return category->ProjectFolder(project);
    case ExeNameColumn:
        // Shown once the background reader has it; the list never waits for the disk.
        return mFunction::GetFileName(category->KnownProjectExe(project));
    case StatusColumn:
        return StatusText(category->Record(project)->Shown());
    case CategoryColumn:
        return categoryColumn_ ? category->Category() : QString();
    default:
        return QString();
    }
}

QVariant ProjectListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case PlainTextRole:
        return Text(index.row() + 1, index.column());
    case StatusRole:
        if (const ProjectRecord *record = RecordAt(index.row()))
            return int(record->Shown());
        return QVariant();
    case Qt::ToolTipRole:
        if (index.column() == StatusColumn)
            if (const ProjectRecord *record = RecordAt(index.row()))
                return record->Shown() == ProjectState::ReferenceMissing
                           ? StatusToolTip(ProjectState::ReferenceMissing, record->sources->MissingText())
                           : StatusToolTip(record->Shown(), record->StatusFile());
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant ProjectListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case NameColumn:
        return QStringLiteral("プロジェクト名");
    case FileNameColumn:
        return QStringLiteral("ファイル名");
    case FolderColumn:
        return QStringLiteral("パス");
    case ExeNameColumn:
        return QStringLiteral("実行ファイル名");
    case StatusColumn:
        return QStringLiteral("状態");
    case CategoryColumn:
        return QStringLiteral("カテゴリー");
    default:
        return QVariant();
    }
}

Qt::ItemFlags ProjectListModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? kRowFlags : Qt::NoItemFlags;
}

QModelIndex ProjectListModel::IndexOf(qint32 project, int column) const
{
    return project >= 1 && project <= rowCount() ? index(project - 1, column) : QModelIndex();
}

} // namespace catalogue
