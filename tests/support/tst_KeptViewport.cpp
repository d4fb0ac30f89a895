#include "support/ui/KeptViewport.h"

#include <QApplication>
#include <QBackingStore>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTest>
#include <QTreeView>

namespace {

class CountingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        ++cells;
        QStyledItemDelegate::paint(painter, option, index);
    }
    mutable int cells = 0;
};

// As the program's lists use it.
class List : public QTreeView {
public:
    List() : kept_(new support::KeptViewport(this)) { setRootIsDecorated(false); }
    void setModel(QAbstractItemModel *model) override
    {
        QTreeView::setModel(model);
        kept_->Watch(model);
    }
    void LayOut() { executeDelayedItemsLayout(); }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (kept_->Kept(event))
            return;
        QTreeView::paintEvent(event);
        kept_->Painted();
    }

private:
    support::KeptViewport *kept_;
};

enum Change { RowsBelowDropped, NoticeGone, RowOnScreenDropped, TextOnScreen, SourceSorted, SelectedUntold, Focused, Palette, Resized, Scrolled };

} // namespace

class tst_KeptViewport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void repaintsWhatChanged_data();
    void repaintsWhatChanged();
};

void tst_KeptViewport::repaintsWhatChanged_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<bool>("painted");
    // The program's lists: rows that never have children, all as tall. Others are looked at row by row.
    QTest::addColumn<bool>("flat");
    QTest::newRow("rows below the screen dropped") << int(RowsBelowDropped) << false << true;
    QTest::newRow("a notice over the rows gone with them") << int(NoticeGone) << true << true;
    QTest::newRow("a row on screen dropped") << int(RowOnScreenDropped) << true << true;
    QTest::newRow("a text on screen changed") << int(TextOnScreen) << true << true;
    QTest::newRow("the source sorted") << int(SourceSorted) << true << true;
    QTest::newRow("a row selected, nobody told") << int(SelectedUntold) << true << true;
    QTest::newRow("the focus") << int(Focused) << true << true;
    QTest::newRow("the palette") << int(Palette) << true << true;
    QTest::newRow("resized") << int(Resized) << true << true;
    QTest::newRow("scrolled a row") << int(Scrolled) << true << true;
    QTest::newRow("tree: rows below the screen dropped") << int(RowsBelowDropped) << false << false;
    QTest::newRow("tree: a row on screen dropped") << int(RowOnScreenDropped) << true << false;
    QTest::newRow("tree: scrolled a row") << int(Scrolled) << true << false;
}

void tst_KeptViewport::repaintsWhatChanged()
{
    QFETCH(int, change);
    QFETCH(bool, painted);
    QFETCH(bool, flat);
    QStandardItemModel source(200, 2);
    for (int row = 0; row < source.rowCount(); ++row) {
        source.setItem(row, 0, new QStandardItem(QStringLiteral("在庫管理ツール_%1").arg(row, 4, 10, QChar(u'0'))));
        source.setItem(row, 1, new QStandardItem(QString::number(row % 7)));
        for (int column = 0; flat && column < 2; ++column)
            source.item(row, column)->setFlags(source.item(row, column)->flags() | Qt::ItemNeverHasChildren);
    }
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&source);
    QWidget window;
    auto *list = new List;
    list->setParent(&window);
    list->setUniformRowHeights(flat);
    auto *delegate = new CountingDelegate(list);
    list->setItemDelegate(delegate);
    list->setModel(&proxy);
    list->setGeometry(0, 0, 300, 200);
    auto *other = new QWidget(&window);
    other->setFocusPolicy(Qt::StrongFocus);
    other->setGeometry(0, 200, 20, 20);
    // Drawn over the rows without a background of its own (an opaque one is left out of their paint).
    auto *notice = new QLabel(QStringLiteral("お知らせ"), &window);
    notice->setGeometry(10, 150, 200, 30);
    notice->setVisible(change == NoticeGone);
    window.resize(320, 220);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    list->viewport()->repaint();
    delegate->cells = 0;

    switch (Change(change)) {
    case RowsBelowDropped:
        proxy.setFilterRegularExpression(QStringLiteral("_00[0-4]")); // rows 0-49 of 200
        break;
    case NoticeGone:
        notice->hide();
        proxy.setFilterRegularExpression(QStringLiteral("_00[0-4]"));
        break;
    case RowOnScreenDropped:
        proxy.setFilterRegularExpression(QStringLiteral("^(?!.*_0002$)"));
        break;
    case TextOnScreen:
        source.item(1)->setText(QStringLiteral("変更"));
        break;
    case SourceSorted:
        source.sort(0, Qt::DescendingOrder);
        break;
    case SelectedUntold: {
        const QSignalBlocker quiet(list->selectionModel());
        list->selectionModel()->select(proxy.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        break;
    }
    case Focused:
        list->setFocus();
        break;
    case Palette: {
        QPalette palette = list->palette();
        palette.setColor(QPalette::Base, Qt::yellow);
        list->setPalette(palette);
        break;
    }
    case Resized:
        list->resize(280, 200);
        break;
    case Scrolled:
        list->verticalScrollBar()->setValue(1);
        break;
    }
    list->LayOut();
    list->viewport()->repaint();
    QCOMPARE(delegate->cells > 0, painted);
    // What the window shows is what a paint of everything shows.
    const QImage shown = static_cast<QImage *>(window.backingStore()->paintDevice())
                             ->copy(QRect(list->viewport()->mapTo(&window, QPoint()), list->viewport()->size()))
                             .convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown, list->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32));
}

QTEST_MAIN(tst_KeptViewport)
#include "tst_KeptViewport.moc"
