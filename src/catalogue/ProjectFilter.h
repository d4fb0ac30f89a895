#pragma once

#include "catalogue/CatalogueModels.h"

#include <QSortFilterProxyModel>

namespace catalogue {

// Text as the filter compares it: compatibility forms unified (ｶﾀｶﾅ and カタカナ, ＡＢＣ and ABC)
// and letter case folded.
QString FoldForSearch(const QString &text);
// What a project is found by: its name and the path of its .vbp (folder and file name). Empty when
// both read the same with compatibility forms unified, as most do: they are then compared as they
// are, ignoring case, and nothing is kept. Else the two on two lines, each folded where unifying
// changes it and left empty (compared as it is) where it does not.
QString SearchKeyOf(const QString &name, const QString &file);
// Whether the project holds the folded text.
bool ProjectHolds(const ProjectRecord &record, const QString &folded);

// The project list narrowed to the rows whose name, file name or folder holds the typed text, in
// the catalogue's order. Rows here are 1-based like the list's; the entries are the catalogue's.
class ProjectFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit ProjectFilterModel(ProjectListModel *projects, QObject *parent = nullptr);

    void SetText(const QString &text);
    QString Text() const { return text_; }

    // The catalogue entry of a row (1-based), {} for none; and the row of an entry, 0 when not listed.
    ProjectListModel::Entry EntryAt(qint32 row) const;
    qint32 RowOf(const ProjectListModel::Entry &entry) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    ProjectListModel *projects_;
    QString text_;
    QString folded_;
};

} // namespace catalogue
