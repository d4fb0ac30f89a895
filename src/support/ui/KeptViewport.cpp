#include "support/ui/KeptViewport.h"

#include <QAbstractProxyModel>
#include <QBackingStore>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHoverEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTreeView>
#include <QWindow>

#include <algorithm>

namespace support {

KeptViewport::KeptViewport(QTreeView *view) : QObject(view), view_(view)
{
    view->viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    view->viewport()->installEventFilter(this);
    view->installEventFilter(this);
}

void KeptViewport::Watch(QAbstractItemModel *model)
{
    for (const QMetaObject::Connection &connection : std::as_const(watched_))
        disconnect(connection);
    watched_.clear();
    changed();
    const auto watch = [this](QAbstractItemModel *watched, bool rowsMove) {
        const auto change = [this] { changed(); };
        watched_ << connect(watched, &QAbstractItemModel::dataChanged, this, change)
                 << connect(watched, &QAbstractItemModel::headerDataChanged, this, change)
                 << connect(watched, &QAbstractItemModel::columnsInserted, this, change)
                 << connect(watched, &QAbstractItemModel::columnsRemoved, this, change)
                 << connect(watched, &QAbstractItemModel::columnsMoved, this, change)
                 << connect(watched, &QAbstractItemModel::modelReset, this, change);
        if (!rowsMove)
            return;
        watched_ << connect(watched, &QAbstractItemModel::rowsInserted, this, change)
                 << connect(watched, &QAbstractItemModel::rowsRemoved, this, change)
                 << connect(watched, &QAbstractItemModel::rowsMoved, this, change)
                 << connect(watched, &QAbstractItemModel::layoutChanged, this, change);
    };
    auto *proxy = qobject_cast<QAbstractProxyModel *>(model);
    if (model)
        watch(model, !proxy);
    if (proxy && proxy->sourceModel())
        watch(proxy->sourceModel(), true);
}

int KeptViewport::sourceRow(const QModelIndex &index) const
{
    if (!index.isValid())
        return -1;
    if (const auto *proxy = qobject_cast<const QAbstractProxyModel *>(index.model()))
        return proxy->mapToSource(index).row();
    return index.row();
}

QList<QRect> KeptViewport::widgetsOver(const QRect &inWindow) const
{
    // Only a widget stacked above the viewport or one of its ancestors paints over it (its own
    // children within its rectangle); walking those is cheaper than every widget of the window.
    QList<QRect> over;
    QWidget *window = view_->window();
    for (const QWidget *below = view_->viewport(); below && below != window; below = below->parentWidget()) {
        const QObjectList &siblings = below->parentWidget()->children();
        for (qsizetype at = siblings.indexOf(below) + 1; at < siblings.size(); ++at) {
            const auto *widget = qobject_cast<const QWidget *>(siblings.at(at));
            if (!widget || widget->isWindow() || !widget->isVisible())
                continue;
            const QRect rect(widget->mapTo(window, QPoint()), widget->size());
            if (rect.intersects(inWindow))
                over << rect;
        }
    }
    return over;
}

bool KeptViewport::flatRows(const QModelIndex &first, int height, const std::function<void(const QModelIndex &, int)> &add) const
{
    // The tree view finds a laid out row by searching outward from the last one it found, and never
    // reaches the first row that way: every look at the list's top would walk all its rows (a
    // million after the filter is cleared). Rows of a flat list, all as tall, follow one another.
    const QAbstractItemModel *model = view_->model();
    if (!first.isValid() || !view_->uniformRowHeights() || first.parent().isValid()
        || !(first.flags() & Qt::ItemNeverHasChildren))
        return false;
    const int rows = model->rowCount();
    // A row other than the first one tells where the rows are and how tall.
    const int known = first.row() > 0 || rows < 2 ? first.row() : 1;
    const QRect rect = view_->visualRect(model->index(known, first.column()));
    if (rect.height() <= 0)
        return false;
    const int top = rect.top() - (known - first.row()) * rect.height();
    const int end = std::min(rows, first.row() + std::max(0, height - top + rect.height() - 1) / rect.height());
    // A hidden row breaks the count: nothing is added, the rows are looked up one by one.
    for (int row = first.row(); row < end; ++row)
        if (view_->isRowHidden(row, QModelIndex()))
            return false;
    for (int row = first.row(); row < end; ++row)
        add(model->index(row, first.column()), top + (row - first.row()) * rect.height());
    return true;
}

KeptViewport::Look KeptViewport::look() const
{
    QWidget *viewport = view_->viewport();
    const QWidget *window = view_->window();
    Look now;
    now.viewport = viewport->size();
    now.inWindow = viewport->mapTo(window, QPoint());
    if (const QBackingStore *store = window->backingStore())
        now.store = store->size();
    now.ratio = viewport->devicePixelRatioF();
    now.palette = view_->palette().cacheKey();
    now.viewportPalette = viewport->palette().cacheKey();
    now.font = view_->font();
    now.style = view_->style();
    now.delegate = view_->itemDelegate();
    now.flags = int(view_->isActiveWindow()) | int(view_->hasFocus()) << 1 | int(view_->isEnabled()) << 2
                | int(view_->alternatingRowColors()) << 3;
    now.scrolled = {view_->horizontalScrollBar()->value(), view_->verticalScrollBar()->value()};
    const QHeaderView *header = view_->header();
    for (int section = 0; section < header->count(); ++section)
        now.sections << header->sectionViewportPosition(section) << header->sectionSize(section);
    const QItemSelectionModel *selection = view_->selectionModel();
    const QModelIndex first = view_->indexAt(QPoint(0, 0));
    now.firstRow = first.row();
    const auto add = [&](const QModelIndex &row, int top) {
        now.rows << sourceRow(row) << top << int(selection && selection->isRowSelected(row.row(), row.parent()));
    };
    if (!flatRows(first, now.viewport.height(), add)) {
        for (QModelIndex row = first; row.isValid(); row = view_->indexBelow(row)) {
            const int top = view_->visualRect(row).top();
            if (top >= now.viewport.height())
                break;
            add(row, top);
        }
    }
    now.over = widgetsOver(QRect(now.inWindow, now.viewport));
    now.current = sourceRow(view_->currentIndex());
    now.hovered = sourceRow(hovered_);
    now.changes = changes_;
    return now;
}

bool KeptViewport::intoStore() const
{
    // X11 (and the offscreen platform) keep a window's pixels between paints unless the window has
    // an alpha channel, whose painted region is cleared first; others may clear or swap buffers.
    const QString platform = QGuiApplication::platformName();
    if (platform != u"xcb" && platform != u"offscreen")
        return false;
    const QWidget *window = view_->window();
    QBackingStore *store = window->backingStore();
    if (!store || !window->windowHandle() || window->windowHandle()->format().hasAlpha()
        || window->testAttribute(Qt::WA_TranslucentBackground))
        return false;
    QPainter painter(view_->viewport());
    return painter.paintEngine() && painter.paintEngine()->paintDevice() == store->paintDevice();
}

bool KeptViewport::Kept(QPaintEvent *event)
{
    QWidget *viewport = view_->viewport();
    now_ = look();
    whole_ = (QRegion(viewport->rect()) - event->region()).isEmpty();
    intoStore_ = intoStore();
    if (whole_ && intoStore_ && painted_ && *painted_ == now_ && !now_.rows.isEmpty())
        return true;
    QPainter painter(viewport);
    painter.fillRect(event->rect(), viewport->palette().brush(viewport->backgroundRole()));
    return false;
}

void KeptViewport::Painted()
{
    if (!intoStore_)
        return; // a grab: the store holds what it did
    if (whole_)
        painted_ = now_;
    else if (painted_ && *painted_ != now_)
        painted_.reset(); // the store holds pixels of two looks
}

bool KeptViewport::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        if (watched == view_->viewport())
            hovered_ = view_->indexAt(static_cast<QHoverEvent *>(event)->position().toPoint());
        break;
    case QEvent::HoverLeave:
    case QEvent::Leave:
        hovered_ = QPersistentModelIndex();
        break;
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
    case QEvent::StyleChange:
    case QEvent::ThemeChange:
    case QEvent::PaletteChange:
    case QEvent::FontChange:
    case QEvent::LayoutDirectionChange:
    case QEvent::ApplicationPaletteChange:
    case QEvent::ApplicationFontChange:
        // Shown again, the store may hold another widget's pixels where the viewport is; a new
        // theme may bring other icons for the same rows.
        painted_.reset();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace support
