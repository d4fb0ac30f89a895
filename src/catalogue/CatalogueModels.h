#pragma once

#include <QAbstractListModel>
#include <QAbstractTableModel>

namespace catalogue {

class cVbAnalyze;

// The categories of the shared catalogue, one row each, in catalogue order: row r is category r + 1.
class CategoryListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit CategoryListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The 1-based category of a row, 0 for none; and the row of a category.
    static qint32 CategoryOf(const QModelIndex &index) { return index.isValid() ? index.row() + 1 : 0; }
    QModelIndex IndexOf(qint32 category) const;

private:
    int rowOf(const cVbAnalyze *category) const;
};

// The projects of one category, one row each in the category's order: row r is project r + 1.
class ProjectListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, FileNameColumn, FolderColumn, ExeNameColumn, ColumnCount };

    explicit ProjectListModel(QObject *parent = nullptr);

    // The category whose projects are listed; none lists nothing.
    void ShowCategory(const cVbAnalyze *category);
    const cVbAnalyze *ShownCategory() const { return shown_; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The 1-based project of a row, 0 for none; and the row of a project.
    static qint32 ProjectOf(const QModelIndex &index) { return index.isValid() ? index.row() + 1 : 0; }
    QModelIndex IndexOf(qint32 project, int column = NameColumn) const;

    // A cell's text as the list shows it.
    QString Text(qint32 project, int column) const;

private:
    void forget(); // the shown category goes away
    const cVbAnalyze *shown_ = nullptr;
};

} // namespace catalogue
