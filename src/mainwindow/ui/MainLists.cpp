#include "mainwindow/ui/MainLists.h"

#include "catalogue/cVbAnalyze.h"
#include "catalogue/CatalogueModels.h"
#include "catalogue/ProjectFilter.h"
#include "mainwindow/CatalogueCommands.h"
#include "mainwindow/ui/ColumnWidths.h"
#include "mainwindow/MainLayout.h"
#include "mainwindow/ui/ProjectListView.h"
#include "mainwindow/ui/SplitHandle.h"
#include "platform/Twips.h"
#include "settings/Settings.h"
#include "support/ui/NoticeBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>

using catalogue::State;
using platform::PixelsToTwips;
using platform::TwipsToPixels;

namespace {

QFont ListFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(9.75);
    return font;
}

} // namespace

MainLists::MainLists(QWidget *parent, catalogue::CategoryListModel &categories, catalogue::ProjectListModel &projects,
                     catalogue::ProjectFilterModel &filter, CatalogueCommands &commands)
    : QWidget(parent), categoryModel_(categories), projectModel_(projects), filterModel_(filter), commands_(commands)
{
    build();
    wire();
}

void MainLists::build()
{
    notice_ = new NoticeBar(this);

    lvwCategory_ = new ReportListView(this);
    lvwCategory_->setObjectName(QStringLiteral("lvwCategory"));
    // Connected before the view's selection model is, so that the selection a removed row takes
    // with it is told apart from one the user cleared.
    connect(&categoryModel_, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { categoryRowsGoing_ = true; });
    connect(&categoryModel_, &QAbstractItemModel::rowsRemoved, this, [this] { categoryRowsGoing_ = false; });
    lvwCategory_->setModel(&categoryModel_);
    // Its one column is as wide as the list, so that no scroll bar scrolls a few pixels of
    // nothing; a name cut short shows whole in its tooltip, and the split widens the list.
    lvwCategory_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    // Stretched as the last section it would never be narrower than the default section.
    lvwCategory_->header()->setStretchLastSection(false);
    lvwCategory_->setAccessibleName(QStringLiteral("カテゴリー一覧"));
    lvwCategory_->setItemDelegate(new CategoryCountDelegate(lvwCategory_));

    lvwProjectList_ = new ReportListView(this);
    lvwProjectList_->setObjectName(QStringLiteral("lvwProjectList"));
    lvwProjectList_->setModel(&filterModel_);
    statusDelegate_ = new ProjectStatusDelegate(catalogue::ProjectListModel::StatusColumn, lvwProjectList_);
    lvwProjectList_->setItemDelegate(statusDelegate_);
    lvwProjectList_->setAccessibleName(QStringLiteral("プロジェクト一覧"));
    lvwProjectList_->AcceptFiles();
    lvwProjectList_->SetEmptyText([this] { return emptyListText(); });

    txtFilter_ = new QLineEdit(this);
    txtFilter_->setObjectName(QStringLiteral("txtFilter"));
    txtFilter_->setPlaceholderText(QStringLiteral("プロジェクト名・ファイル名・パスで絞り込み (Ctrl+F)"));
    txtFilter_->setClearButtonEnabled(true);
    txtFilter_->setAccessibleName(QStringLiteral("プロジェクトの絞り込み"));
    txtFilter_->installEventFilter(this);
    readableHint();
    chkAllCategories_ = new QCheckBox(QStringLiteral("全カテゴリー"), this);
    chkAllCategories_->setObjectName(QStringLiteral("chkAllCategories"));
    chkAllCategories_->setAccessibleName(QStringLiteral("全カテゴリーから探す"));
    chkAllCategories_->setToolTip(QStringLiteral("すべてのカテゴリーのプロジェクトを一覧に表示します。"));
    splLists_ = new SplitHandle(this);
    splLists_->setObjectName(QStringLiteral("splLists"));

    for (ReportListView *list : {lvwCategory_, lvwProjectList_}) {
        list->setFont(ListFont());
        list->viewport()->installEventFilter(this);
    }
    lvwProjectList_->installEventFilter(this);
    widths_ = new ColumnWidths(lvwProjectList_);
    widths_->Apply();

    // Enter on a project runs the double-click action.
    for (const QKeySequence &key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto *enter = new QShortcut(key, lvwProjectList_, nullptr, nullptr, Qt::WidgetShortcut);
        connect(enter, &QShortcut::activated, this, &MainLists::DoubleClickAction);
    }
    // Ctrl+F goes to the filter box from anywhere in the window; Esc there empties it.
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        txtFilter_->setFocus(Qt::ShortcutFocusReason);
        txtFilter_->selectAll();
    });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), txtFilter_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(escape, &QShortcut::activated, txtFilter_, &QLineEdit::clear);
}

void MainLists::wire()
{
    // Only a selected row is current: a click, the keyboard or a right click select; focus alone
    // never does, and clearing the selection clears the current project.
    connect(lvwCategory_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (const qint32 row = lvwCategory_->SelectedRow())
            commands_.SelectCategory(row);
        else if (!categoryRowsGoing_ && State().CurrentCategory != 0)
            commands_.SelectCategory(0);
    });
    // A click on the row already selected lists its projects again, as any category click does.
    connect(lvwCategory_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { commands_.SelectCategory(index.row() + 1); });
    // A project row names an entry through the filter: never the row number itself.
    connect(lvwProjectList_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selectListedRow(lvwProjectList_->SelectedRow()); });
    connect(lvwProjectList_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { selectListedRow(index.row() + 1); });
    // A catalogue opened, or a category added or renamed: the category list may fit its names anew.
    layTimer_ = new QTimer(this);
    layTimer_->setSingleShot(true);
    connect(layTimer_, &QTimer::timeout, this, &MainLists::Lay);
    const auto measureAllSoon = [this] {
        categoryWidths_.clear();
        laySoon(0);
    };
    connect(&categoryModel_, &QAbstractItemModel::modelReset, this, measureAllSoon);
    connect(&categoryModel_, &QAbstractItemModel::rowsInserted, this, measureAllSoon);
    connect(&categoryModel_, &QAbstractItemModel::rowsRemoved, this, measureAllSoon);
    connect(&categoryModel_, &QAbstractItemModel::layoutChanged, this, measureAllSoon);
    // A count changed (every delete, every status known while a catalogue fills): that row only.
    connect(&categoryModel_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                for (int row = topLeft.row(); row <= bottomRight.row() && row < int(categoryWidths_.size()); ++row)
                    categoryWidths_[size_t(row)] = 0;
                laySoon(250);
            });
    connect(txtFilter_, &QLineEdit::textChanged, this, [this] { applyFilter(); });
    connect(&filterModel_, &catalogue::ProjectFilterModel::Narrowed, this, [this] { keepCurrentListed(); });
    connect(chkAllCategories_, &QCheckBox::toggled, this, [this](bool all) { showAllCategories(all); });
    // Ticking every category is a search about to be typed, as much as the focus in the box.
    focusFollowed_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        const bool inUse = now == txtFilter_ || now == chkAllCategories_;
        filterModel_.SetInUse(inUse);
        // Like the filter's index: kept while the box holds a text.
        if (inUse || txtFilter_->text().isEmpty())
            statusDelegate_->SetShapingAhead(inUse);
    });
    connect(lvwProjectList_, &QAbstractItemView::doubleClicked, this, &MainLists::DoubleClickAction);
    connect(lvwProjectList_, &ReportListView::FilesDropped, &commands_, &CatalogueCommands::AddDroppedFiles);
    connect(splLists_, &SplitHandle::Dragged, this, [this](int left) {
        widths_->SplitDragged(width(), left);
        Lay();
    });
}

void MainLists::SetContextMenus(QMenu *category, QMenu *project)
{
    categoryMenu_ = category;
    projectMenu_ = project;
}

void MainLists::ShowNotice(const QString &text) { notice_->Show(text); }

void MainLists::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Lay();
}

void MainLists::laySoon(int delay)
{
    if (delay == 0) {
        // Before the lists paint their new rows: rows are never shown at a width about to change.
        layTimer_->stop();
        layNow_.Request();
        return;
    }
    // A pending lay-out comes no later than asked; an earlier one is not put off.
    if (layNow_.Pending())
        return;
    if (!layTimer_->isActive() || layTimer_->remainingTime() > delay)
        layTimer_->start(delay);
}

void MainLists::Lay()
{
    if (window()->isMinimized())
        return;
    if (!widths_->CategoryWidthSet()) {
        // The names with their counts as wide as they are, between the usual width and a third of
        // the window; a few hundred categories at most are measured, each again only once changed.
        int names = 0;
        categoryWidths_.resize(size_t(qMin(categoryModel_.rowCount(), 500)), 0);
        for (size_t row = 0; row < categoryWidths_.size(); ++row) {
            int &measured = categoryWidths_[row];
            if (measured == 0)
                measured = lvwCategory_->sizeHintForIndex(categoryModel_.index(int(row))).width();
            names = qMax(names, measured);
        }
        names += 2 * lvwCategory_->frameWidth() + lvwCategory_->verticalScrollBar()->sizeHint().width();
        const int usual = TwipsToPixels(mainwindow::kCategoryWidthTwips);
        widths_->FitCategoryWidth(qint32(PixelsToTwips(qBound(usual, names, qMax(usual, width() / 3)))));
    }
    const int filterHeight = qMax(txtFilter_->sizeHint().height(), chkAllCategories_->sizeHint().height());
    const auto layout = mainwindow::LayoutLists(qint32(PixelsToTwips(width())), qint32(PixelsToTwips(height())),
                                                qint32(PixelsToTwips(filterHeight)), widths_->CategoryWidth());
    if (!layout)
        return;
    auto boxOf = [](const mainwindow::Box &box) {
        return QRect(TwipsToPixels(box.Left), TwipsToPixels(box.Top), TwipsToPixels(box.Width),
                     TwipsToPixels(box.Height));
    };
    lvwCategory_->setGeometry(boxOf(layout->Category));
    splLists_->setGeometry(boxOf(layout->Split));
    lvwProjectList_->setGeometry(boxOf(layout->Projects));
    // The check box keeps its own width at the right end of the filter row; the box takes the rest.
    const QRect row = boxOf(layout->Filter);
    const int boxWidth = qMin(row.width(), chkAllCategories_->sizeHint().width());
    const int gap = TwipsToPixels(90);
    chkAllCategories_->setGeometry(row.right() + 1 - boxWidth, row.top(), boxWidth, row.height());
    txtFilter_->setGeometry(row.left(), row.top(), qMax(0, row.width() - boxWidth - gap), row.height());
}

void MainLists::StopWatching()
{
    for (QObject *watched : {static_cast<QObject *>(txtFilter_), static_cast<QObject *>(lvwProjectList_),
                             static_cast<QObject *>(lvwCategory_->viewport()),
                             static_cast<QObject *>(lvwProjectList_->viewport())})
        watched->removeEventFilter(this);
    disconnect(focusFollowed_);
}

bool MainLists::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress
        && (watched == lvwCategory_->viewport() || watched == lvwProjectList_->viewport())) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            showContextMenu(watched == lvwCategory_->viewport() ? lvwCategory_ : lvwProjectList_,
                            mouse->position().toPoint());
            return true;
        }
    } else if (watched == txtFilter_ && event->type() == QEvent::KeyPress
               && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Down && lvwProjectList_->RowCount() > 0) {
        // Down from the filter box goes to the rows found, the first one chosen when none is.
        lvwProjectList_->setFocus(Qt::TabFocusReason);
        if (lvwProjectList_->SelectedRow() == 0)
            selectListedRow(1);
        return true;
    } else if (watched == lvwProjectList_->viewport() && event->type() == QEvent::Paint && !iconsWarmed_) {
        // Once the empty list is on screen, while a large catalogue is still being read.
        iconsWarmed_ = true;
        QTimer::singleShot(0, statusDelegate_, [this] { statusDelegate_->WarmIcons(lvwProjectList_); });
    } else if (watched == txtFilter_ && event->type() == QEvent::PaletteChange) {
        readableHint();
    } else if (watched == lvwProjectList_
               && (event->type() == QEvent::FocusOut || event->type() == QEvent::FocusIn)) {
        // Menus and dialogs borrow the focus; only a move to another control counts.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason
            && reason != Qt::ActiveWindowFocusReason)
            commands_.ProjectListFocusChanged(event->type() == QEvent::FocusIn);
    }
    return QWidget::eventFilter(watched, event);
}

void MainLists::readableHint()
{
    // Some schemes give the hint a colour hardly seen on the box: one that reads takes its place.
    const QColor wanted = ReportListView::HintColour(QApplication::palette(txtFilter_));
    if (txtFilter_->palette().color(QPalette::PlaceholderText) == wanted)
        return;
    QPalette palette = txtFilter_->palette();
    palette.setColor(QPalette::PlaceholderText, wanted);
    txtFilter_->setPalette(palette);
}

QString MainLists::emptyListText() const
{
    const catalogue::CatalogueState &state = State();
    if (filterModel_.Narrowing())
        return QString(); // the rows found are not known yet
    if (!txtFilter_->text().trimmed().isEmpty())
        return QStringLiteral("「%1」に合うプロジェクトはありません。").arg(txtFilter_->text().trimmed());
    if (state.CategoryCount == 0)
        return QStringLiteral("%1\nﾃﾞｰﾀ → 開く で作ってあるカタログを開くか、ｶﾃｺﾞﾘｰ → 追加 で最初のカテゴリーを作ります。\n"
                              "カテゴリーができたら、ﾌﾟﾛｼﾞｪｸﾄ → 追加 か .vbp ファイルのドロップでプロジェクトを加えます。")
            .arg(state.CatalogueFilePath.isEmpty() ? QStringLiteral("カタログがまだありません。")
                                                   : QStringLiteral("このカタログにはカテゴリーがありません。"));
    if (projectModel_.ShowsAllCategories())
        return QStringLiteral("どのカテゴリーにもプロジェクトがありません。");
    if (!state.Current())
        return QStringLiteral("左の一覧でカテゴリーを選ぶと、そのプロジェクトがここに並びます。");
    if (settings::Values().DragDropEnabled)
        return QStringLiteral("このカテゴリーにはプロジェクトがありません。\n"
                              "ﾌﾟﾛｼﾞｪｸﾄ → 追加 で .vbp ファイルを選ぶか、ここへドロップして加えます。");
    return QStringLiteral("このカテゴリーにはプロジェクトがありません。\nﾌﾟﾛｼﾞｪｸﾄ → 追加 で .vbp ファイルを加えます。");
}

void MainLists::ShowSelection()
{
    const catalogue::CatalogueState &state = State();
    if (!projectModel_.ShowsAllCategories() && projectModel_.ShownCategory() != state.Current())
        projectModel_.ShowCategory(state.Current());
    lvwCategory_->ShowSelected(state.CurrentCategory);
    lvwProjectList_->ShowSelected(filterModel_.RowOf({state.CurrentCategory, state.CurrentProject}));
}

void MainLists::ShowProjectList()
{
    if (!projectModel_.ShowsAllCategories())
        projectModel_.ShowCategory(State().Current());
    lvwProjectList_->ShowSelected(0);
}

void MainLists::selectListedRow(qint32 row)
{
    const catalogue::ProjectListModel::Entry entry = filterModel_.EntryAt(row);
    if (entry.Category != 0 && entry.Category != State().CurrentCategory)
        commands_.SelectEntry(entry.Category, entry.Project);
    else
        commands_.SelectProject(entry.Project);
}

void MainLists::applyFilter()
{
    filterModel_.SetText(txtFilter_->text());
    // The empty list's text names the filter; rows shown repaint as they change.
    if (filterModel_.rowCount() == 0)
        lvwProjectList_->viewport()->update();
    // A long list is narrowed on a worker: its rows are judged when they are known.
    if (!filterModel_.Narrowing())
        keepCurrentListed();
}

void MainLists::keepCurrentListed()
{
    // Only a highlighted row is current: a project the text hides is current no more.
    const catalogue::CatalogueState &state = State();
    const qint32 row = filterModel_.RowOf({state.CurrentCategory, state.CurrentProject});
    if (state.CurrentProject != 0 && row == 0)
        commands_.SelectProject(0);
    else
        lvwProjectList_->ShowSelected(row);
    if (filterModel_.rowCount() == 0)
        lvwProjectList_->viewport()->update(); // the empty list's text follows the search
}

void MainLists::showAllCategories(bool all)
{
    {
        // The status column stops or starts being the last one: the view sizes it anew.
        const auto sizing = widths_->ProgramSizing();
        if (all)
            projectModel_.ShowAllCategories();
        else
            projectModel_.ShowCategory(State().Current());
    }
    widths_->Apply();
    applyFilter();
}

void MainLists::showContextMenu(ReportListView *list, const QPoint &viewportPos)
{
    // The row under the pointer is selected first, as every list does; empty space selects none.
    const qint32 row = list->RowAt(viewportPos);
    if (list == lvwCategory_) {
        commands_.SelectCategory(row);
        categoryMenu_->exec(list->viewport()->mapToGlobal(viewportPos));
    } else {
        selectListedRow(row);
        projectMenu_->exec(list->viewport()->mapToGlobal(viewportPos));
    }
}
