#include "catalogue/CatalogueModels.h"

#include "catalogue/cVbAnalyze.h"
#include "tooling/mFunction.h"

namespace catalogue {

CategoryListModel::CategoryListModel(QObject *parent) : QAbstractListModel(parent)
{
    CatalogueEvents &events = Events();
    connect(&events, &CatalogueEvents::CategoriesAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&events, &CatalogueEvents::CategoriesReset, this, [this] { endResetModel(); });
    connect(&events, &CatalogueEvents::CategoryAboutToBeInserted, this,
            [this](int index) { beginInsertRows(QModelIndex(), index - 1, index - 1); });
    connect(&events, &CatalogueEvents::CategoryInserted, this, [this] { endInsertRows(); });
    connect(&events, &CatalogueEvents::CategoryAboutToBeRemoved, this,
            [this](int index) { beginRemoveRows(QModelIndex(), index - 1, index - 1); });
    connect(&events, &CatalogueEvents::CategoryRemoved, this, [this] { endRemoveRows(); });
    connect(&events, &CatalogueEvents::CategoryRenamed, this, [this](const cVbAnalyze *category) {
        if (const int row = rowOf(category); row >= 0)
            Q_EMIT dataChanged(index(row), index(row));
    });
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
    const cVbAnalyze *category = State().CategoryAt(CategoryOf(index));
    if (!category || role != Qt::DisplayRole)
        return QVariant();
    return category->Category();
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
    const auto mine = [this](const cVbAnalyze *category) { return category && category == shown_; };
    connect(&events, &CatalogueEvents::CategoriesAboutToBeReset, this, [this] { forget(); });
    connect(&events, &CatalogueEvents::CategoryAboutToBeRemoved, this, [this](int index) {
        if (State().CategoryAt(index) == shown_)
            forget();
    });
    connect(&events, &CatalogueEvents::ProjectsAboutToBeReset, this, [this, mine](const cVbAnalyze *category) {
        if (mine(category))
            beginResetModel();
    });
    connect(&events, &CatalogueEvents::ProjectsReset, this, [this, mine](const cVbAnalyze *category) {
        if (mine(category))
            endResetModel();
    });
    connect(&events, &CatalogueEvents::ProjectAboutToBeInserted, this,
            [this, mine](const cVbAnalyze *category, int index) {
                if (mine(category))
                    beginInsertRows(QModelIndex(), index - 1, index - 1);
            });
    connect(&events, &CatalogueEvents::ProjectInserted, this, [this, mine](const cVbAnalyze *category) {
        if (mine(category))
            endInsertRows();
    });
    connect(&events, &CatalogueEvents::ProjectAboutToBeRemoved, this,
            [this, mine](const cVbAnalyze *category, int index) {
                if (mine(category))
                    beginRemoveRows(QModelIndex(), index - 1, index - 1);
            });
    connect(&events, &CatalogueEvents::ProjectRemoved, this, [this, mine](const cVbAnalyze *category) {
        if (mine(category))
            endRemoveRows();
    });
    connect(&events, &CatalogueEvents::ProjectChanged, this, [this, mine](const cVbAnalyze *category, int index) {
        if (mine(category))
            Q_EMIT dataChanged(this->index(index - 1, 0), this->index(index - 1, ColumnCount - 1));
    });
    connect(&events, &CatalogueEvents::ExecutablesRead, this, [this] {
        if (rowCount() > 0)
            Q_EMIT dataChanged(index(0, ExeNameColumn), index(rowCount() - 1, ExeNameColumn));
    });
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
    endResetModel();
}

int ProjectListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !shown_ ? 0 : shown_->Count();
}

int ProjectListModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString ProjectListModel::Text(qint32 project, int column) const
{
    if (!shown_)
        return QString();
    switch (column) {
    case NameColumn:
        return shown_->ProjectName(project);
    case FileNameColumn:
        return mFunction::GetFileName(shown_->ProjectFile(project));
    case FolderColumn:
        return shown_->ProjectFolder(project);
    case ExeNameColumn:
        // Shown once the background reader has it; the list never waits for the disk.
        return mFunction::GetFileName(shown_->KnownProjectExe(project));
    default:
        return QString();
    }
}

QVariant ProjectListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    return Text(ProjectOf(index), index.column());
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
