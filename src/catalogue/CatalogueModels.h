#pragma once

#include "catalogue/ProjectScan.h"
#include "catalogue/ProjectStatus.h"

#include <QAbstractListModel>
#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace catalogue {

class cVbAnalyze;
struct CatalogueState;
struct ProjectRecord;

// Roles beside Qt's own.
enum ModelRole {
    // A cell's own text: a category's name without its count.
    PlainTextRole = Qt::UserRole + 1,
    // A project row's status (int of ProjectState), for every column of the row.
    StatusRole,
    // How many projects a category holds.
    CountRole,
};

// The categories of a catalogue, one row each, in catalogue order: row r is category r + 1.
// A category shows how many projects it holds beside its name, and apart from that how many need
// attention: "ゲーム (12)  要3".
class CategoryListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit CategoryListModel(CatalogueState &catalogue, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The 1-based category of a row, 0 for none; and the row of a category.
    static qint32 CategoryOf(const QModelIndex &index) { return index.isValid() ? index.row() + 1 : 0; }
    QModelIndex IndexOf(qint32 category) const;
    // Projects of the category (1-based) that need attention, as last found.
    int AttentionCount(qint32 category) const;

private:
    // The counts as the rows show them, taken anew when rows come or go.
    void takeCounts();
    void countChanged(const cVbAnalyze *category);
    CatalogueState &catalogue_;
    std::vector<int> shown_;
};

// The projects of one category, one row each in the category's order: row r is project r + 1. Or
// the projects of every category, category after category, with the category as a last column.
class ProjectListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, FileNameColumn, FolderColumn, ExeNameColumn, StatusColumn, CategoryColumn };
    // Every row's: a flat list, whose views need not ask each of a million rows for children.
    static constexpr Qt::ItemFlags kRowFlags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;

    // A catalogue entry: 1-based category and project, 0 for none.
    struct Entry {
        qint32 Category = 0;
        qint32 Project = 0;
        friend bool operator==(const Entry &, const Entry &) = default;
    };

    // Lists the projects of that catalogue.
    explicit ProjectListModel(CatalogueState &catalogue, QObject *parent = nullptr);
    CatalogueState &Catalogue() const { return catalogue_; }

    // The category whose projects are listed; none lists nothing.
    void ShowCategory(const cVbAnalyze *category);
    const cVbAnalyze *ShownCategory() const { return shown_; }
    // Every category's projects.
    void ShowAllCategories();
    bool ShowsAllCategories() const { return all_; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // The root's counts, inline where they are known: a view's layout asks an index of every row,
    // a million after a tick.
    int Rows() const { return all_ && offsetsValid_ ? total_ : rowCount(); }
    int Columns() const { return categoryColumn_ ? CategoryColumn + 1 : StatusColumn + 1; }

    // The entry a row (0-based) lists, and the row (0-based, -1 when not listed) of an entry.
    Entry EntryAt(int row) const;
    int RowOf(const Entry &entry) const;
    const ProjectRecord *RecordAt(int row) const;
    std::weak_ptr<ProjectRecord> SharedAt(int row) const;
    // Every listed record, row after row.
    void VisitRecords(const std::function<void(const ProjectRecord &)> &visit) const;
    // The records of rows [first, first + count) in row order (fewer past the last row).
    void VisitRecords(int first, int count, const std::function<void(const ProjectRecord &)> &visit) const;

    // While one category is listed: the 1-based project of a row, 0 for none; and the row of a project.
    static qint32 ProjectOf(const QModelIndex &index) { return index.isValid() ? index.row() + 1 : 0; }
    QModelIndex IndexOf(qint32 project, int column = NameColumn) const;

    // A cell's text as the list shows it (row 1-based).
    QString Text(qint32 row, int column) const;

private:
    void forget(); // the shown category goes away
    bool mine(const cVbAnalyze *category) const { return category && (all_ || category == shown_); }
    int firstRowOf(const cVbAnalyze *category) const; // with every category listed
    void offsetsChanged() { offsetsValid_ = false; }
    void buildOffsets() const;
    void showCategoryColumn(bool shown);
    const cVbAnalyze *categoryAt(int row, int *project, qint32 *number = nullptr) const;
    // The rows of these records are drawn again.
    void looked(const QList<const ProjectRecord *> &records);

    CatalogueState &catalogue_;
    const cVbAnalyze *shown_ = nullptr;
    bool all_ = false;
    bool categoryColumn_ = false;
    // With every category listed: the first row of each category (entry i for category i + 1).
    mutable std::vector<int> offsets_;
    mutable int total_ = 0;
    mutable bool offsetsValid_ = false;
};

} // namespace catalogue
