#pragma once

#include <QStringList>
#include <QTreeWidget>

#include <functional>

// The list views of the main window: report style, no editing in place, whole rows selected.
class ReportListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit ReportListView(QWidget *parent = nullptr);

    // Files dropped from the shell, in the order of the dropped list. Unset: no drops accepted.
    std::function<void(const QStringList &)> FilesDropped;

    // 1-based row of an item, 0 for none.
    qint32 RowOf(const QTreeWidgetItem *item) const;
    QTreeWidgetItem *Row(qint32 row) const { return row >= 1 ? topLevelItem(row - 1) : nullptr; }
    void AppendRow(const QStringList &texts);

    // A file list is what the project list takes; anything else gets the no-drop cursor.
    static bool HoldsFileList(const QMimeData *data);
    static QStringList LocalFiles(const QMimeData *data);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};
