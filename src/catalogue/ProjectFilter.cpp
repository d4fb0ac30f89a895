#include "catalogue/ProjectFilter.h"

#include "catalogue/cVbAnalyze.h"
#include "tooling/mFunction.h"

#include <algorithm>

namespace catalogue {

QString FoldForSearch(const QString &text)
{
    return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

namespace {

// ASCII has no compatibility forms: most names and paths need no normalization to know that.
bool changedByForms(const QString &text)
{
    const bool ascii = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    return !ascii && text.normalized(QString::NormalizationForm_KC) != text;
}

} // namespace

QString SearchKeyOf(const QString &name, const QString &file)
{
    const bool nameChanges = changedByForms(name);
    const bool fileChanges = changedByForms(file);
    if (!nameChanges && !fileChanges)
        return QString();
    return (nameChanges ? FoldForSearch(name) : QString()) + u'\n' + (fileChanges ? FoldForSearch(file) : QString());
}

bool ProjectHolds(const ProjectRecord &record, const QString &folded)
{
    if (!record.searchKeyKnown) {
        record.searchKey = SearchKeyOf(record.Name(), record.File());
        record.searchKeyKnown = true;
    }
    // Case is ignored by folding each character, as FoldForSearch does.
    const auto holds = [&folded](QStringView key, const platform::StoredText &text) {
        return key.isEmpty() ? text.Text().contains(folded, Qt::CaseInsensitive) : key.contains(folded);
    };
    const QStringView key(record.searchKey);
    const qsizetype line = key.indexOf(u'\n');
    if (line < 0)
        return holds({}, record.name) || holds({}, record.file);
    return holds(key.first(line), record.name) || holds(key.sliced(line + 1), record.file);
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
