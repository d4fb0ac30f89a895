#pragma once

#include "support/ui/BeforePaint.h"
#include "support/ui/KeptViewport.h"
#include "support/ui/ShapedTexts.h"

#include <QHash>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <functional>

// The list views of the main window: report style, no editing in place, one whole row selected.
// Rows are 1-based as the catalogue's indices; 0 is none.
class ReportListView : public QTreeView {
    Q_OBJECT
public:
    explicit ReportListView(QWidget *parent = nullptr);

    // Takes files dropped from the shell (FilesDropped); until then no drops are accepted.
    void AcceptFiles();

    qint32 RowCount() const;
    // The selected row, 0 when none.
    qint32 SelectedRow() const;
    // Highlights the row (0: none) without telling anyone.
    void ShowSelected(qint32 row);
    // A cell's own text: a category's name without the count shown beside it.
    QString Text(qint32 row, int column = 0) const;
    qint32 RowAt(const QPoint &viewportPos) const;
    // Every row's height (the rows are all as tall), 0 with no rows. Unlike a row's visual rect it
    // does not look the row up among the laid out ones: a walk of a million after a relayout.
    int UniformRowHeight() const;
    // The options a cell of the list is painted with before its own are set.
    QStyleOptionViewItem ViewItemOption() const;
    // Painted over an empty list: what to do to fill it, asked when painted. Empty: nothing.
    void SetEmptyText(std::function<QString()> text) { emptyText_ = std::move(text); }
    QString EmptyText() const { return emptyText_ ? emptyText_() : QString(); }
    // Hint texts (the empty list's, a box's placeholder): the scheme's own colour where it reads
    // well on the base, else one near it that does.
    static QColor HintColour(const QPalette &palette);

    // A file list is what the project list takes; anything else gets the no-drop cursor.
    static bool HoldsFileList(const QMimeData *data);
    static QStringList LocalFiles(const QMimeData *data);

    // Other rows lay the list out (and show or hide its scroll bars) before it paints them, not in
    // that paint: the rows would show once at a width about to change.
    void setModel(QAbstractItemModel *model) override;

Q_SIGNALS:
    // Files dropped from the shell, in the order of the dropped list. Sent after the drop has
    // returned, so that the source of the drag never waits on it.
    void FilesDropped(const QStringList &files);

protected:
    // A cell cut short shows its whole text, above the cell's own tooltip when it has one.
    bool viewportEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void layOut();
    support::BeforePaint layOutSoon_{this, [this] { layOut(); }};
    support::KeptViewport *kept_;
    // The row is current and the only one selected already (none: nothing is).
    bool showsSelected(const QModelIndex &index) const;

    bool acceptsFiles_ = false;
    std::function<QString()> emptyText_;
};

// Draws a category row with the count of projects that need attention ("要3") set apart from the
// name and the number of projects: bold, in a colour of its own that reads on the scheme's base.
class CategoryCountDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static QColor MarkColour(const QPalette &palette);
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// Draws a project row by its status: the status column with its icon, a row whose .vbp is
// missing greyed.
class ProjectStatusDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // statusColumn: the column that shows the status.
    ProjectStatusDelegate(int statusColumn, QObject *parent = nullptr);

    // The icon of a status (int of catalogue::ProjectState); none for one not known yet.
    static QIcon IconFor(int status, const QStyle *style);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    // Looks the status icons up and renders them at view's size before any row needs them, the
    // commonest first, one every few milliseconds from step on: the first lookup reads the icon
    // theme from disk, which would otherwise fall on the paint that first shows a catalogue's rows.
    void WarmIcons(const QWidget *view, int step = 0) const;
    // Before the view paints the rows within the rectangle: their texts not shaped yet are handed
    // to a helper thread, which shapes them while the paint draws the rows (a filter key brings a
    // screenful of texts not seen before).
    void ShapeAhead(const ReportListView *view, const QRect &rect) const;
    // Whether texts are shaped ahead: while the filter is used (its keys bring screens of new texts).
    // Off, the helper thread ends and lets its fonts go.
    void SetShapingAhead(bool on);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    // Asking the style looks the icon theme up on disk every time.
    const QIcon &cachedIcon(int status, const QStyle *style) const;

    int statusColumn_;
    mutable QHash<int, QIcon> icons_;
    mutable const QStyle *iconStyle_ = nullptr;
    mutable QString iconTheme_;
    mutable support::ShapedTexts texts_;
    bool shapingAhead_ = false;
};
