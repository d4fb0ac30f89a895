#pragma once

#include "support/ui/BeforePaint.h"

#include <QTimer>
#include <QWidget>

#include <vector>

class CatalogueCommands;
class ColumnWidths;
class ProjectStatusDelegate;
class NoticeBar;
class QCheckBox;
class QLineEdit;
class QMenu;
class ReportListView;
class SplitHandle;
namespace catalogue {
class CategoryListModel;
class ProjectFilterModel;
class ProjectListModel;
}

// The main window's client area: the category list on the left, the selected category's projects
// on the right under the filter row, the split between them, and a notice over the bottom. A row
// chosen here becomes the current one through the commands; the lists highlight what is current.
class MainLists : public QWidget {
    Q_OBJECT
public:
    MainLists(QWidget *parent, catalogue::CategoryListModel &categories, catalogue::ProjectListModel &projects,
              catalogue::ProjectFilterModel &filter, CatalogueCommands &commands);

    // The menus a right click on a list opens.
    void SetContextMenus(QMenu *category, QMenu *project);
    // The current category and project as the lists show them.
    void ShowSelection();
    // The current category's projects, none highlighted.
    void ShowProjectList();
    void ShowNotice(const QString &text);
    // Places the lists in the client area (nothing while the window is minimized).
    void Lay();

    // The two lists; rows are 1-based. A category row is the category of that index; a project
    // row lists the entry the filter model maps it to.
    ReportListView *lvwCategory() const { return lvwCategory_; }
    ReportListView *lvwProjectList() const { return lvwProjectList_; }
    // Above the project list: narrows it to the projects whose name, file name or folder holds
    // the text; ticked, it lists every category's projects.
    QLineEdit *txtFilter() const { return txtFilter_; }
    QCheckBox *chkAllCategories() const { return chkAllCategories_; }
    // Between the lists: dragged, it makes the category list wider or narrower.
    SplitHandle *splLists() const { return splLists_; }
    ColumnWidths &Widths() { return *widths_; }
    // The window is going: its models and commands go before these controls, which may still be
    // told of focus moving away as the window closes.
    void StopWatching();

Q_SIGNALS:
    // A double click or Enter on a project row.
    void DoubleClickAction();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void wire();
    // A row of the project list (1-based, 0 for none) chosen: the entry it lists becomes current.
    void selectListedRow(qint32 row);
    void applyFilter();
    void keepCurrentListed();
    void showAllCategories(bool all);
    void showContextMenu(ReportListView *list, const QPoint &viewportPos);
    // What the empty project list says to do.
    QString emptyListText() const;
    void readableHint();
    // Lays out before the next paint (delay 0), or within delay ms: counts of a filling catalogue change
    // many times a second, and fitting the category list measures its names.
    void laySoon(int delay);

    catalogue::CategoryListModel &categoryModel_;
    catalogue::ProjectListModel &projectModel_;
    catalogue::ProjectFilterModel &filterModel_;
    CatalogueCommands &commands_;
    NoticeBar *notice_ = nullptr;
    ReportListView *lvwCategory_ = nullptr;
    ReportListView *lvwProjectList_ = nullptr;
    QLineEdit *txtFilter_ = nullptr;
    QCheckBox *chkAllCategories_ = nullptr;
    SplitHandle *splLists_ = nullptr;
    ColumnWidths *widths_ = nullptr;
    QMenu *categoryMenu_ = nullptr;
    QMenu *projectMenu_ = nullptr;
    bool categoryRowsGoing_ = false; // a category row is being removed
    ProjectStatusDelegate *statusDelegate_ = nullptr;
    bool iconsWarmed_ = false; // asked for once the list has first painted
    QTimer *layTimer_ = nullptr;
    support::BeforePaint layNow_{this, [this] { Lay(); }};
    // The width each of the first categories' rows was measured at, 0 until it is (again).
    std::vector<int> categoryWidths_;
    QMetaObject::Connection focusFollowed_; // the filter in use while the box or its tick box has the focus
};
