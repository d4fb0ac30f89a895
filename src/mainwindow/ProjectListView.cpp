#include "mainwindow/ProjectListView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>

ReportListView::ReportListView(QWidget *parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
}

qint32 ReportListView::RowOf(const QTreeWidgetItem *item) const
{
    return item ? qint32(indexOfTopLevelItem(const_cast<QTreeWidgetItem *>(item))) + 1 : 0;
}

void ReportListView::AppendRow(const QStringList &texts)
{
    auto *item = new QTreeWidgetItem(texts);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    addTopLevelItem(item);
}

bool ReportListView::HoldsFileList(const QMimeData *data) { return !LocalFiles(data).isEmpty(); }

QStringList ReportListView::LocalFiles(const QMimeData *data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    return files;
}

void ReportListView::dragEnterEvent(QDragEnterEvent *event)
{
    if (FilesDropped && HoldsFileList(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ReportListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (FilesDropped && HoldsFileList(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ReportListView::dropEvent(QDropEvent *event)
{
    if (!FilesDropped || !HoldsFileList(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    FilesDropped(LocalFiles(event->mimeData()));
}
