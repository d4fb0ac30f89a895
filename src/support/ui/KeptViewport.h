#pragma once

#include <QFont>
#include <QList>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>
#include <optional>

class QAbstractItemModel;
class QPaintEvent;
class QTreeView;

namespace support {

// What a list view last painted over the whole of its viewport, so that a paint that would draw the
// same pixels again is left out: the window's backing store still holds them. A view lays itself
// out and repaints all of itself after any change of its rows; a filter key that keeps the rows on
// screen and drops rows below them would pay for a screenful of cells that look as they did.
// The viewport then paints all of its pixels itself (its background included), and only a paint
// of the whole viewport into the backing store is ever left out; a grab paints everything.
class KeptViewport : public QObject {
public:
    explicit KeptViewport(QTreeView *view);

    // The view's model, and a proxy's source: any change of either but the proxy's rows coming,
    // going or moving (its rows are told apart by their source rows) changes what the rows show.
    void Watch(QAbstractItemModel *model);
    // At the start of the view's paint: true when it is to be left out. Otherwise the region is
    // filled with the viewport's background, as the window would have before the paint.
    bool Kept(QPaintEvent *event);
    // At the end of a paint not left out.
    void Painted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Everything a row's pixels follow, the rows on screen by what they are in the source.
    struct Look {
        QSize viewport;
        QPoint inWindow;
        QSize store;
        qreal ratio = 1;
        qint64 palette = 0;
        qint64 viewportPalette = 0;
        QFont font;
        const void *style = nullptr;
        const void *delegate = nullptr;
        int flags = 0; // active, focus, enabled, alternating colours
        QPoint scrolled;
        int firstRow = -1; // in the view: alternating colours follow it
        QList<int> sections; // position and size of each column
        QList<int> rows;     // source row, top and selection of each row on screen
        QList<QRect> over;   // other widgets shown over the viewport (a notice): gone, they leave their pixels
        int current = -1;
        int hovered = -1;
        quint64 changes = 0;
        bool operator==(const Look &) const = default;
    };
    Look look() const;
    // The rows on screen of a flat list with rows all as tall, each with its top, down to the height;
    // false (nothing added) for any other list.
    bool flatRows(const QModelIndex &first, int height, const std::function<void(const QModelIndex &, int)> &add) const;
    int sourceRow(const QModelIndex &index) const;
    QList<QRect> widgetsOver(const QRect &inWindow) const;
    // Painting into the window's backing store, which keeps what is not painted again.
    bool intoStore() const;
    void changed() { ++changes_; }

    QTreeView *view_;
    QList<QMetaObject::Connection> watched_;
    quint64 changes_ = 0;
    QPersistentModelIndex hovered_;
    std::optional<Look> painted_;
    // The paint under way: what it shows, whether of the whole viewport and into the store.
    Look now_;
    bool whole_ = false;
    bool intoStore_ = false;
};

} // namespace support
