#include "catalogue/ProjectFilter.h"

#include "catalogue/cVbAnalyze.h"
#include "tooling/mFunction.h"

namespace catalogue {

QString FoldForSearch(const QString &text)
{
    return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

QString SearchKeyOf(const QString &name, const QString &file)
{
    if (name.normalized(QString::NormalizationForm_KC) == name && file.normalized(QString::NormalizationForm_KC) == file)
        return QString();
    // A line feed between the two: typed text never matches across them.
    return FoldForSearch(name) + u'\n' + FoldForSearch(file);
}

bool ProjectHolds(const ProjectRecord &record, const QString &folded)
{
    if (!record.searchKeyKnown) {
        record.searchKey = SearchKeyOf(record.name, record.file);
        record.searchKeyKnown = true;
    }
    if (!record.searchKey.isEmpty())
        return record.searchKey.contains(folded);
    // Case is ignored by folding each character, as FoldForSearch does.
    return record.name.contains(folded, Qt::CaseInsensitive) || record.file.contains(folded, Qt::CaseInsensitive);
}

ProjectFilterModel::ProjectFilterModel(ProjectListModel *projects, QObject *parent)
    : QSortFilterProxyModel(parent), projects_(projects)
{
    // Rows stay where a change of their status or name leaves them until the text changes.
    setDynamicSortFilter(false);
    setSourceModel(projects);
}

void ProjectFilterModel::SetText(const QString &text)
{
    if (text == text_)
        return;
    text_ = text;
    folded_ = FoldForSearch(text.trimmed());
    // One layout change for the whole list, however many rows come and go.
    invalidate();
}

bool ProjectFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (folded_.isEmpty())
        return true;
    const ProjectRecord *record = projects_->RecordAt(sourceRow);
    return record && ProjectHolds(*record, folded_);
}

ProjectListModel::Entry ProjectFilterModel::EntryAt(qint32 row) const
{
    const QModelIndex source = mapToSource(index(row - 1, 0));
    return source.isValid() ? projects_->EntryAt(source.row()) : ProjectListModel::Entry();
}

qint32 ProjectFilterModel::RowOf(const ProjectListModel::Entry &entry) const
{
    const int row = projects_->RowOf(entry);
    if (row < 0)
        return 0;
    const QModelIndex proxy = mapFromSource(projects_->index(row, 0));
    return proxy.isValid() ? proxy.row() + 1 : 0;
}

} // namespace catalogue
