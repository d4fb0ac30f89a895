#include "catalogue/CatalogueModels.h"

#include "catalogue/ProjectStatus.h"
#include "catalogue/cVbAnalyze.h"
#include "tooling/mFunction.h"

#include <algorithm>

namespace catalogue {

namespace {

constexpr qint64 kRecountMs = 200;

} // namespace

CategoryListModel::CategoryListModel(QObject *parent) : QAbstractListModel(parent)
{
    CatalogueEvents &events = Events();
    connect(&events, &CatalogueEvents::CategoriesAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&events, &CatalogueEvents::CategoriesReset, this, [this] {
        recount(false);
        endResetModel();
    });
    // One category more or less: only its own count is taken or dropped.
    connect(&events, &CatalogueEvents::CategoryAboutToBeInserted, this,
            [this](int index) { beginInsertRows(QModelIndex(), index - 1, index - 1); });
    connect(&events, &CatalogueEvents::CategoryInserted, this, [this](int index) {
        if (size_t(index) <= counts_.size())
            counts_.insert(counts_.begin() + index, countOf(State().CategoryAt(index)));
        else
            recount(false);
        endInsertRows();
    });
    connect(&events, &CatalogueEvents::CategoryAboutToBeRemoved, this,
            [this](int index) { beginRemoveRows(QModelIndex(), index - 1, index - 1); });
    connect(&events, &CatalogueEvents::CategoryRemoved, this, [this](int index) {
        if (size_t(index) < counts_.size())
            counts_.erase(counts_.begin() + index);
        else
            recount(false);
        endRemoveRows();
    });
    connect(&events, &CatalogueEvents::CategoryRenamed, this, [this](const cVbAnalyze *category) {
        if (const int row = rowOf(category); row >= 0)
            Q_EMIT dataChanged(index(row), index(row));
    });
    // The counts beside the names follow the projects' statuses.
    // A project's change touches its own category only.
    const auto one = [this](const cVbAnalyze *category) {
        const int row = rowOf(category);
        if (row < 0 || size_t(row) + 1 >= counts_.size())
            return;
        const int n = countOf(category);
        if (std::exchange(counts_[size_t(row) + 1], n) != n)
            Q_EMIT dataChanged(index(row), index(row), {Qt::DisplayRole, Qt::ToolTipRole});
    };
    connect(&events, &CatalogueEvents::ProjectsReset, this, one);
    connect(&events, &CatalogueEvents::ProjectRemoved, this, one);
    connect(&events, &CatalogueEvents::ProjectInserted, this, one);
    connect(&events, &CatalogueEvents::ProjectChanged, this, one);
    // Statuses found anywhere: every category is counted again, at once after a quiet spell, and
    // while a hundred thousand projects are being looked at no more often than this.
    recountLater_.setSingleShot(true);
    connect(&recountLater_, &QTimer::timeout, this, [this] {
        recount(true);
        sinceRecount_.start();
    });
    connect(&events, &CatalogueEvents::ProjectsScanned, this, [this] {
        if (recountLater_.isActive())
            return;
        const qint64 since = sinceRecount_.isValid() ? sinceRecount_.elapsed() : kRecountMs;
        recountLater_.start(int(qMax<qint64>(0, kRecountMs - since)));
    });
    recount(false);
}

int CategoryListModel::countOf(const cVbAnalyze *category)
{
    int n = 0;
    for (qint32 j = 1; j <= category->Count(); ++j)
        n += NeedsAttention(category->Record(j)->Shown()) ? 1 : 0;
    return n;
}

void CategoryListModel::recount(bool announce)
{
    const CatalogueState &state = State();
    std::vector<int> counts(size_t(state.CategoryCount) + 1, 0);
    for (qint32 i = 1; i <= state.CategoryCount; ++i)
        counts[size_t(i)] = countOf(state.CategoryAt(i));
    std::swap(counts, counts_);
    if (!announce)
        return;
    // Only the rows whose number changed are drawn again.
    for (qint32 i = 1; i <= state.CategoryCount; ++i)
        if (size_t(i) >= counts.size() || counts[size_t(i)] != counts_[size_t(i)])
            Q_EMIT dataChanged(index(i - 1), index(i - 1), {Qt::DisplayRole, Qt::ToolTipRole});
}

int CategoryListModel::AttentionCount(qint32 category) const
{
    return category >= 1 && size_t(category) < counts_.size() ? counts_[size_t(category)] : 0;
}

int CategoryListModel::rowOf(const cVbAnalyze *category) const
{
    const CatalogueState &state = State();
    for (qint32 i = 1; i <= state.CategoryCount; ++i)
        if (state.CategoryAt(i) == category)
            return i - 1;
    return -1;
}

int CategoryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : State().CategoryCount;
}

QVariant CategoryListModel::data(const QModelIndex &index, int role) const
{
    const qint32 number = CategoryOf(index);
    const cVbAnalyze *category = State().CategoryAt(number);
    if (!category)
        return QVariant();
    switch (role) {
    case PlainTextRole:
        return category->Category();
    case Qt::DisplayRole:
        // The count is shown only: the name itself stays what it is everywhere else.
        if (const int n = AttentionCount(number); n > 0)
            return QStringLiteral("%1 (%2)").arg(category->Category()).arg(n);
        return category->Category();
    case Qt::ToolTipRole:
        if (const int n = AttentionCount(number); n > 0)
            return QStringLiteral("実行ファイルの作成が必要か、ファイルが見つからないプロジェクトが %1 件あります。").arg(n);
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
    return category >= 1 && category <= State().CategoryCount ? index(category - 1) : QModelIndex();
}

ProjectListModel::ProjectListModel(QObject *parent) : QAbstractTableModel(parent)
{
    CatalogueEvents &events = Events();
    connect(&events, &CatalogueEvents::CategoriesAboutToBeReset, this, [this] {
        if (all_)
            beginResetModel();
        else
            forget();
    });
    connect(&events, &CatalogueEvents::CategoriesReset, this, [this] {
        if (all_) {
            offsetsChanged();
            endResetModel();
        }
    });
    // A category more or less moves every row after it: listed anew.
    connect(&events, &CatalogueEvents::CategoryAboutToBeInserted, this, [this] {
        if (all_)
            beginResetModel();
    });
    connect(&events, &CatalogueEvents::CategoryInserted, this, [this] {
        if (all_) {
            offsetsChanged();
            endResetModel();
        }
    });
    connect(&events, &CatalogueEvents::CategoryAboutToBeRemoved, this, [this](int index) {
        if (all_)
            beginResetModel();
        else if (State().CategoryAt(index) == shown_)
            forget();
    });
    connect(&events, &CatalogueEvents::CategoryRemoved, this, [this] {
        if (all_) {
            offsetsChanged();
            endResetModel();
        }
    });
    connect(&events, &CatalogueEvents::CategoryRenamed, this, [this] {
        if (all_ && rowCount() > 0)
            Q_EMIT dataChanged(index(0, CategoryColumn), index(rowCount() - 1, CategoryColumn));
    });
    connect(&events, &CatalogueEvents::ProjectsAboutToBeReset, this, [this](const cVbAnalyze *category) {
        if (mine(category))
            beginResetModel();
    });
    connect(&events, &CatalogueEvents::ProjectsReset, this, [this](const cVbAnalyze *category) {
        if (mine(category)) {
            offsetsChanged();
            endResetModel();
        }
    });
    connect(&events, &CatalogueEvents::ProjectAboutToBeInserted, this, [this](const cVbAnalyze *category, int index) {
        if (mine(category)) {
            const int row = (all_ ? firstRowOf(category) : 0) + index - 1;
            beginInsertRows(QModelIndex(), row, row);
        }
    });
    connect(&events, &CatalogueEvents::ProjectInserted, this, [this](const cVbAnalyze *category) {
        if (mine(category)) {
            offsetsChanged();
            endInsertRows();
        }
    });
    connect(&events, &CatalogueEvents::ProjectAboutToBeRemoved, this, [this](const cVbAnalyze *category, int index) {
        if (mine(category)) {
            const int row = (all_ ? firstRowOf(category) : 0) + index - 1;
            beginRemoveRows(QModelIndex(), row, row);
        }
    });
    connect(&events, &CatalogueEvents::ProjectRemoved, this, [this](const cVbAnalyze *category) {
        if (mine(category)) {
            offsetsChanged();
            endRemoveRows();
        }
    });
    connect(&events, &CatalogueEvents::ProjectChanged, this, [this](const cVbAnalyze *category, int index) {
        if (mine(category)) {
            const int row = (all_ ? firstRowOf(category) : 0) + index - 1;
            Q_EMIT dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
        }
    });
    // Executables and statuses found anywhere: only rows that look different are drawn again,
    // as text in every column costs far more than the comparison.
    connect(&events, &CatalogueEvents::ProjectsScanned, this, [this] { announceLooks(); });
    // Rows moved or went: what they looked like is compared from scratch.
    const auto forgetLooks = [this] { looks_.clear(); };
    connect(this, &QAbstractItemModel::modelReset, this, forgetLooks);
    connect(this, &QAbstractItemModel::rowsInserted, this, forgetLooks);
    connect(this, &QAbstractItemModel::rowsRemoved, this, forgetLooks);
}

ProjectListModel::RowLook ProjectListModel::lookOf(const ProjectRecord &record)
{
    return {record.exe, record.newerFile, record.exeKnown, record.Shown()};
}

void ProjectListModel::announceLooks()
{
    const int rows = rowCount();
    if (rows <= 0)
        return;
    if (looks_.size() != size_t(rows))
        looks_.assign(size_t(rows), RowLook{});
    int first = -1;
    int last = -1;
    int row = 0;
    const auto look = [&](const cVbAnalyze *category) {
        for (qint32 j = 1; j <= category->Count(); ++j, ++row) {
            const RowLook now = lookOf(*category->Record(j));
            if (now == looks_[size_t(row)])
                continue;
            looks_[size_t(row)] = now;
            first = first < 0 ? row : first;
            last = row;
        }
    };
    if (all_) {
        const CatalogueState &state = State();
        for (qint32 i = 1; i <= state.CategoryCount && row < rows; ++i)
            look(state.CategoryAt(i));
    } else {
        look(shown_);
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

void ProjectListModel::ShowCategory(const cVbAnalyze *category)
{
    beginResetModel();
    shown_ = category;
    all_ = false;
    endResetModel();
}

void ProjectListModel::ShowAllCategories()
{
    beginResetModel();
    shown_ = nullptr;
    all_ = true;
    offsetsChanged();
    endResetModel();
}

int ProjectListModel::firstRowOf(const cVbAnalyze *category) const
{
    const CatalogueState &state = State();
    int row = 0;
    for (qint32 i = 1; i <= state.CategoryCount; ++i) {
        const cVbAnalyze *c = state.CategoryAt(i);
        if (c == category)
            return row;
        row += c->Count();
    }
    return row;
}

void ProjectListModel::buildOffsets() const
{
    if (offsetsValid_)
        return;
    const CatalogueState &state = State();
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
        if (number) {
            *number = 0;
            const CatalogueState &state = State();
            for (qint32 i = 1; i <= state.CategoryCount && !*number; ++i)
                if (state.CategoryAt(i) == shown_)
                    *number = i;
        }
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
    return State().CategoryAt(category);
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
    const cVbAnalyze *category = State().CategoryAt(entry.Category);
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
    if (parent.isValid())
        return 0;
    return all_ ? CategoryColumn + 1 : StatusColumn + 1;
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
        return all_ ? category->Category() : QString();
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
                return StatusToolTip(record->Shown(), record->newerFile);
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
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QModelIndex ProjectListModel::IndexOf(qint32 project, int column) const
{
    return project >= 1 && project <= rowCount() ? index(project - 1, column) : QModelIndex();
}

} // namespace catalogue
