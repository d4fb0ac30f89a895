#include "mainwindow/ui/ProjectListView.h"

#include "catalogue/CatalogueModels.h"
#include "catalogue/ProjectStatus.h"
#include "support/ui/BandedScrollBarStyle.h"
#include "support/ui/ReadableColour.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QPointer>
#include <QStyle>
#include <QToolTip>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QScrollBar>
#include <QPainter>
#include <QTimer>
#include <QUrl>

#include <iterator>

ReportListView::ReportListView(QWidget *parent) : QTreeView(parent), kept_(new support::KeptViewport(this))
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
    // The last column takes the free width, so that no scroll bar appears that scrolls nothing.
    header()->setStretchLastSection(true);
    auto *bars = new support::BandedScrollBarStyle(this);
    verticalScrollBar()->setStyle(bars);
    horizontalScrollBar()->setStyle(bars);
}

int ReportListView::UniformRowHeight() const
{
    // What the tree view lays every row out by when their heights are uniform.
    return model() && model()->rowCount() > 0 ? indexRowSizeHint(model()->index(0, 0)) : 0;
}

QStyleOptionViewItem ReportListView::ViewItemOption() const
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    return option;
}

bool ReportListView::viewportEvent(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QTreeView::viewportEvent(event);
    auto *help = static_cast<QHelpEvent *>(event);
    const QModelIndex index = indexAt(help->pos());
    QStringList lines;
    const QString text = index.data().toString();
    const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 4;
    if (index.isValid() && fontMetrics().horizontalAdvance(text) + margins > visualRect(index).width())
        lines.append(text);
    if (const QString own = index.data(Qt::ToolTipRole).toString(); !own.isEmpty())
        lines.append(own);
    if (lines.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), lines.join(u'\n'), viewport(), visualRect(index));
    return true;
}

void ReportListView::setModel(QAbstractItemModel *model)
{
    QTreeView::setModel(model);
    kept_->Watch(model);
    if (!model)
        return;
    const auto soon = [this] { layOutSoon_.Request(); };
    connect(model, &QAbstractItemModel::modelReset, this, soon);
    connect(model, &QAbstractItemModel::layoutChanged, this, soon);
    connect(model, &QAbstractItemModel::rowsInserted, this, soon);
    connect(model, &QAbstractItemModel::rowsRemoved, this, soon);
}

void ReportListView::layOut()
{
    executeDelayedItemsLayout();
    // The scroll bars shown or hidden now as well: the scroll area does it in a queued call,
    // which would come after the paint.
    QEvent request(QEvent::LayoutRequest);
    QCoreApplication::sendEvent(this, &request);
}

qint32 ReportListView::RowCount() const { return model() ? model()->rowCount() : 0; }

qint32 ReportListView::SelectedRow() const
{
    if (!selectionModel())
        return 0;
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : rows.first().row() + 1;
}

void ReportListView::ShowSelected(qint32 row)
{
    if (!model() || !selectionModel())
        return;
    const QSignalBlocker blocker(selectionModel());
    const QModelIndex index = row >= 1 ? model()->index(row - 1, 0) : QModelIndex();
    if (showsSelected(index)) {
        // Nothing to paint again: a filter's every key asks for the row it already shows.
        if (index.isValid())
            scrollTo(index);
        return;
    }
    if (index.isValid()) {
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(index);
    } else {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    viewport()->update();
}

bool ReportListView::showsSelected(const QModelIndex &index) const
{
    const QItemSelectionModel *selection = selectionModel();
    if (selection->currentIndex() != index)
        return false;
    if (!index.isValid())
        return !selection->hasSelection();
    const QModelIndexList rows = selection->selectedRows();
    return rows.size() == 1 && rows.first().row() == index.row();
}

QString ReportListView::Text(qint32 row, int column) const
{
    if (!model())
        return QString();
    const QModelIndex index = model()->index(row - 1, column);
    const QVariant plain = index.data(catalogue::PlainTextRole);
    return plain.isValid() ? plain.toString() : index.data().toString();
}

qint32 ReportListView::RowAt(const QPoint &viewportPos) const
{
    const QModelIndex index = indexAt(viewportPos);
    return index.isValid() ? index.row() + 1 : 0;
}

QColor ReportListView::HintColour(const QPalette &palette)
{
    return support::ReadableOn(palette.color(QPalette::PlaceholderText), palette.color(QPalette::Base),
                               {palette.color(QPalette::Disabled, QPalette::Text)});
}

void ReportListView::paintEvent(QPaintEvent *event)
{
    if (kept_->Kept(event))
        return;
    if (const auto *delegate = qobject_cast<const ProjectStatusDelegate *>(itemDelegate()))
        delegate->ShapeAhead(this, event->rect());
    QTreeView::paintEvent(event);
    kept_->Painted();
    if (RowCount() > 0)
        return;
    const QString text = EmptyText();
    if (text.isEmpty())
        return;
    QPainter painter(viewport());
    painter.setPen(HintColour(palette()));
    const int margin = fontMetrics().height();
    painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
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

void ReportListView::AcceptFiles()
{
    acceptsFiles_ = true;
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

void ReportListView::dragEnterEvent(QDragEnterEvent *event)
{
    if (acceptsFiles_ && HoldsFileList(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ReportListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (acceptsFiles_ && HoldsFileList(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ReportListView::dropEvent(QDropEvent *event)
{
    if (!acceptsFiles_ || !HoldsFileList(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Adding may ask questions and start builds: not inside the drag's own event loop.
    QTimer::singleShot(0, this, [this, files = LocalFiles(event->mimeData())] { Q_EMIT FilesDropped(files); });
}

ProjectStatusDelegate::ProjectStatusDelegate(int statusColumn, QObject *parent)
    : QStyledItemDelegate(parent), statusColumn_(statusColumn)
{
}

QIcon ProjectStatusDelegate::IconFor(int status, const QStyle *style)
{
    using catalogue::ProjectState;
    switch (ProjectState(status)) {
    case ProjectState::VbpMissing:
        return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case ProjectState::ExeMissing:
        return style->standardIcon(QStyle::SP_MessageBoxInformation);
    case ProjectState::OutOfDate:
        return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case ProjectState::UpToDate:
        return style->standardIcon(QStyle::SP_DialogApplyButton);
    case ProjectState::Building:
        return style->standardIcon(QStyle::SP_BrowserReload);
    case ProjectState::Failed:
        return style->standardIcon(QStyle::SP_DialogCancelButton);
    case ProjectState::ReferenceMissing:
    case ProjectState::SourceMissing:
        return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case ProjectState::Unknown:
        break;
    }
    return QIcon();
}

const QIcon &ProjectStatusDelegate::cachedIcon(int status, const QStyle *style) const
{
    if (style != iconStyle_ || QIcon::themeName() != iconTheme_) {
        icons_.clear();
        iconStyle_ = style;
        iconTheme_ = QIcon::themeName();
    }
    auto icon = icons_.find(status);
    if (icon == icons_.end())
        icon = icons_.insert(status, IconFor(status, style));
    return *icon;
}

void ProjectStatusDelegate::WarmIcons(const QWidget *view, int step) const
{
    using catalogue::ProjectState;
    static constexpr ProjectState kCommonestFirst[] = {
        ProjectState::UpToDate,      ProjectState::OutOfDate,        ProjectState::ExeMissing,
        ProjectState::VbpMissing,    ProjectState::SourceMissing,    ProjectState::ReferenceMissing,
        ProjectState::Building,      ProjectState::Failed,
    };
    if (!view || step >= int(std::size(kCommonestFirst)))
        return;
    const QStyle *style = view->style();
    const int side = style->pixelMetric(QStyle::PM_SmallIconSize, nullptr, view);
    if (const QIcon &icon = cachedIcon(int(kCommonestFirst[step]), style); !icon.isNull())
        icon.pixmap(QSize(side, side), view->devicePixelRatioF());
    // Each lookup takes a few milliseconds: spaced out, so that a key or a menu opened meanwhile
    // meets one at most.
    QTimer::singleShot(10, this, [this, view = QPointer<const QWidget>(view), step] { WarmIcons(view, step + 1); });
}

void ProjectStatusDelegate::SetShapingAhead(bool on)
{
    shapingAhead_ = on;
    if (!on)
        texts_.StopAhead();
}

void ProjectStatusDelegate::ShapeAhead(const ReportListView *view, const QRect &rect) const
{
    // Fewer are shaped here sooner than handed over.
    constexpr qsizetype kFewest = 8;
    if (!shapingAhead_)
        return;
    const QAbstractItemModel *model = view->model();
    const int rowHeight = view->UniformRowHeight();
    const QModelIndex first = view->indexAt(QPoint(0, qMax(0, rect.top())));
    if (!model || rowHeight <= 0 || !first.isValid())
        return;
    const int rows = qMin(model->rowCount() - first.row(), (rect.bottom() - qMax(0, rect.top())) / rowHeight + 2);
    const QHeaderView *header = view->header();
    const QStyleOptionViewItem viewOption = view->ViewItemOption();
    QList<support::ShapedTexts::Wanted> wanted;
    for (int column = 0; column < header->count(); ++column) {
        const int x = header->sectionViewportPosition(column);
        const int width = header->sectionSize(column);
        if (header->isSectionHidden(column) || x > rect.right() || x + width <= rect.left())
            continue;
        // The column's cells laid out as its first row's: those below differ in their texts only. A
        // column of icons (the status) has its few words kept anyway.
        QStyleOptionViewItem option = viewOption;
        option.rect = QRect(x, 0, width, rowHeight);
        option.showDecorationSelected = true;
        initStyleOption(&option, first.sibling(first.row(), column));
        if (option.features & (QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::WrapText)
            || option.font != viewOption.font)
            continue;
        option.text.clear();
        const int room = support::TextRoom(option).width();
        for (int row = first.row(); row < first.row() + rows; ++row) {
            QString text = model->index(row, column).data().toString();
            if (!text.isEmpty() && !texts_.Kept(text, option.font, room, option.textElideMode))
                wanted.append({std::move(text), room, option.textElideMode});
        }
    }
    if (wanted.size() >= kFewest)
        texts_.ShapeAhead(wanted, viewOption.font);
}

void ProjectStatusDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    support::PaintCell(painter, opt, texts_);
}

QSize ProjectStatusDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // Columns that fit their rows ask this of every row on screen whenever the rows change.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    return texts_.SizeOf(opt);
}

void ProjectStatusDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // A folder cut short keeps its end, where paths differ.
    if (index.column() == catalogue::ProjectListModel::FolderColumn)
        option->textElideMode = Qt::ElideMiddle;
    const QVariant status = index.data(catalogue::StatusRole);
    if (!status.isValid())
        return;
    if (catalogue::ProjectState(status.toInt()) == catalogue::ProjectState::VbpMissing)
        option->palette.setBrush(QPalette::Text, option->palette.brush(QPalette::Disabled, QPalette::Text));
    if (index.column() != statusColumn_)
        return;
    const QStyle *style = option->widget ? option->widget->style() : QApplication::style();
    if (const QIcon &icon = cachedIcon(status.toInt(), style); !icon.isNull()) {
        option->icon = icon;
        option->features |= QStyleOptionViewItem::HasDecoration;
        const int side = style->pixelMetric(QStyle::PM_SmallIconSize, option, option->widget);
        option->decorationSize = QSize(side, side);
    }
}

namespace {

// The part of a category's text set apart: "要3" after two spaces, or nothing.
qsizetype MarkStart(const QString &text)
{
    const qsizetype at = text.lastIndexOf(QStringLiteral("  要"));
    return at < 0 ? -1 : at + 2;
}

} // namespace

QColor CategoryCountDelegate::MarkColour(const QPalette &palette)
{
    // Orange-red as warnings are, darkened or lightened until it reads on the base.
    return support::ReadableOn(QColor(0xc0, 0x40, 0x00), palette.color(QPalette::Base));
}

void CategoryCountDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const qsizetype at = MarkStart(opt.text);
    if (at < 0) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QString mark = opt.text.mid(at);
    QFont bold = opt.font;
    bold.setBold(true);
    const QFontMetrics boldMetrics(bold);
    const QStyle *style = opt.widget ? opt.widget->style() : QApplication::style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, opt.widget) + 1;
    const int markWidth = boldMetrics.horizontalAdvance(mark);
    const int gap = opt.fontMetrics.horizontalAdvance(QStringLiteral("  "));
    // The name and its count, cut short where needed, then the mark in the room kept for it.
    const QString front = opt.fontMetrics.elidedText(opt.text.left(at - 2), Qt::ElideRight,
                                                     qMax(0, textRect.width() - 2 * margin - gap - markWidth));
    opt.text = front;
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    painter->save();
    painter->setFont(bold);
    const bool selected = opt.state.testFlag(QStyle::State_Selected);
    painter->setPen(selected ? opt.palette.color(QPalette::HighlightedText) : MarkColour(opt.palette));
    const QRect markRect(textRect.left() + margin + opt.fontMetrics.horizontalAdvance(front) + gap, textRect.top(),
                         markWidth, textRect.height());
    painter->setClipRect(textRect);
    painter->drawText(markRect, Qt::AlignLeft | Qt::AlignVCenter, mark);
    painter->restore();
}

QSize CategoryCountDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // The name and its count, then room for the widest mark it can show (every project needing
    // attention): the marks come in as the projects are looked at and never widen the list then,
    // moving the project list under the pointer.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    if (const qsizetype at = MarkStart(opt.text); at >= 0)
        opt.text.truncate(at - 2);
    const QStyle *style = opt.widget ? opt.widget->style() : QApplication::style();
    QSize size = style->sizeFromContents(QStyle::CT_ItemViewItem, &opt, QSize(), opt.widget);
    if (const int count = index.data(catalogue::CountRole).toInt(); count > 0) {
        QFont bold = opt.font;
        bold.setBold(true);
        size.rwidth() += opt.fontMetrics.horizontalAdvance(QStringLiteral("  "))
                         + QFontMetrics(bold).horizontalAdvance(QStringLiteral("要%1").arg(count));
    }
    return size;
}
