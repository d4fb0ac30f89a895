#pragma once

#include "catalogue/CatalogueFile.h"
#include "catalogue/CatalogueModels.h"
#include "catalogue/FolderWatch.h"
#include "catalogue/ProjectFilter.h"
#include "catalogue/cVbAnalyze.h"
#include "mainwindow/CatalogueCommands.h"
#include "mainwindow/MainLayout.h"
#include "mainwindow/ReturnFromElsewhere.h"
#include "mainwindow/Settings.h"
#include "platform/IniStore.h"
#include "support/WidgetUserInterface.h"
#include "tooling/fMessage.h"

#include <QMainWindow>
#include <QMargins>
#include <QPointer>
#include <QTimer>

class BuildCommands;
class QAction;
class QCheckBox;
class QLineEdit;
class cCommonDlg;
class NoticeBar;
class QMenu;
class QTimer;
class ReportListView;
class SplitHandle;

// The main window: categories on the left, the selected category's projects on the right. It lays
// out, wires the menus and forwards: the commands live in CatalogueCommands, the lists show the
// catalogue through its item models.
class fMain : public QMainWindow {
    Q_OBJECT
public:
    explicit fMain(QWidget *parent = nullptr);
    ~fMain() override;

    // Start-up after the single-instance check: settings, placement, the start-up catalogue
    // (or the catalogue given on the command line, set before).
    void Form_Load();
    void SetCommandLineCatalogue(const QString &path) { commandLineCatalogue_ = path; }
    // Form_Load then leaves the start-up catalogue to a worker thread and opens it once read,
    // so that the window shows and answers while a large file is parsed.
    void DeferStartCatalogue() { deferStart_ = true; }

    // Opens a catalogue file as Open does; tells the user when it is not there.
    void OpenCatalogueFile(const QString &path, bool showProgress = true);
    // A later start of the program handed over a catalogue (or none): the window comes to the
    // front and opens it as soon as no dialog or menu is open.
    void OpenRequested(const QString &path);

    // List procedures shared with the commands and dialogs.
    void ShowProjectList();
    void ResetSelection();
    void LoadCatalogue(bool showProgress = true);
    // False when the file could not be written (the user has been told).
    bool SaveCatalogue();

    // Catalogue commands.
    void NewCatalogue();
    void OpenCatalogue();
    // False when cancelled or not written.
    bool SaveCatalogueAs();

    // Category and project commands.
    void AddCategory();
    void RenameCategory();
    void DeleteCategory();
    void AddProjects();
    void DeleteSelectedProject();
    void EditSelectedProject();
    void MoveSelectedProject();
    void ShowOptions();
    void OpenReadMe();
    void ShowVersion();
    void RunDoubleClickAction();
    // Selects a row as a click on it does (1-based).
    void ClickCategoryRow(qint32 row);
    void ClickProjectRow(qint32 row);
    void AddDroppedFiles(const QStringList &files);

    // The two lists; rows are 1-based. A category row is the category of that index; a project
    // row lists the entry the filter model maps it to.
    ReportListView *lvwCategory = nullptr;
    ReportListView *lvwProjectList = nullptr;
    // Above the project list: narrows it to the projects whose name, file name or folder holds
    // the text; ticked, it lists every category's projects.
    QLineEdit *txtFilter = nullptr;
    QCheckBox *chkAllCategories = nullptr;
    // Between the lists: dragged, it makes the category list wider or narrower.
    SplitHandle *splLists = nullptr;

    QMenu *mnuData = nullptr;
    QAction *mnuDataNew = nullptr;
    QAction *mnuDataOpen = nullptr;
    QAction *mnuDataSave = nullptr;
    QAction *mnuDataSaveName = nullptr;
    QAction *mnuQuit = nullptr;
    QMenu *mnuCategory = nullptr;
    QAction *mnuCtgAdd = nullptr;
    QAction *mnuCtgEdit = nullptr;
    QAction *mnuCtgDel = nullptr;
    QMenu *mnuProject = nullptr;
    QAction *mnuProjectAdd = nullptr;
    QAction *mnuProjectEdit = nullptr;
    QAction *mnuProjectDel = nullptr;
    QAction *mnuProjectMove = nullptr;
    QAction *mnuProjectOpen = nullptr;
    QAction *mnuProjectFolder = nullptr;
    QAction *mnuProjectExe = nullptr;
    QAction *mnuProjectMakeExe = nullptr;
    QAction *mnuOption = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuReadMe = nullptr;
    QAction *mnuVersion = nullptr;

    // The last placement in the normal state, in twips.
    qint32 NormalTop = 0;
    qint32 NormalLeft = 0;
    qint32 NormalHeight = 0;
    qint32 NormalWidth = 0;

    // Position and size of the window frame in twips.
    mainwindow::Box FrameTwips() const;
    // Current placement for ZARUN.ini: the normal one while maximized or minimized.
    settings::Placement PlacementForSettings() const;
    // The progress window while shown (tests).
    fMessage *ProgressWindow() const { return progress_; }

    // The message boxes and input box of the program, parented to this window.
    ui::UserInterface &UserInterface();

    CatalogueCommands &Commands() { return commands_; }
    // The category build and the build log entries.
    BuildCommands &Builds() { return *builds_; }
    catalogue::ProjectListModel &ProjectModel() { return projectModel_; }
    catalogue::ProjectFilterModel &FilterModel() { return filterModel_; }
    // The folders watched for changes to the listed projects' files.
    QStringList WatchedFolders() const { return folderWatch_.Watched(); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class MainUserInterface;

    void buildMenus();
    void buildLists();
    void wireEvents();
    void applyPlacement(const settings::Placement &placement, const QMargins &frame);
    void settlePlacement();
    QMargins frameMarginsNow() const;
    // The window's rectangle with the frame the window system has put round it.
    QRect outerGeometry() const;
    void layoutLists();
    // The project list's columns at their widths, all but the last one, which takes the free width.
    void applyColumnWidths();
    // The widths the user changed since start-up, for ZARUN.ini.
    settings::ListWidths changedWidths() const;
    void recordNormalPlacement();
    void updateCaption();
    void updateEntryStates();
    void showSelection();
    // A row of the project list (1-based, 0 for none) chosen: the entry it lists becomes current.
    void selectListedRow(qint32 row);
    void applyFilter();
    void keepCurrentListed();
    void showAllCategories(bool all);
    void updateWatch();
    void refreshShown();
    void prepareCatalogueDialog(cCommonDlg &dialog, const QString &title);
    void showContextMenu(ReportListView *list, const QPoint &viewportPos);

    void Form_Unload();
    void openStartCatalogue(bool showProgress);
    void startCatalogueRead(catalogue::PreparedCatalogue prepared);

    void showProgress(const QString &caption);
    void hideProgress();
    // The save dialog for a catalogue file; empty when cancelled.
    QString askCatalogueFileToSave();

    void openPendingRequest();

    std::unique_ptr<MainUserInterface> userInterface_;
    catalogue::CategoryListModel categoryModel_;
    catalogue::ProjectListModel projectModel_;
    catalogue::ProjectFilterModel filterModel_{&projectModel_};
    catalogue::FolderWatch folderWatch_;
    ReturnFromElsewhere returnFromElsewhere_;
    QTimer watchUpdate_;
    CatalogueCommands commands_;
    QString commandLineCatalogue_;
    QString pendingRequest_;
    // Messages that wait until no dialog or menu is open.
    QStringList pendingMessages_;
    NoticeBar *notice_ = nullptr;
    QTimer *pendingTimer_ = nullptr;
    QPointer<fMessage> progress_;
    BuildCommands *builds_ = nullptr;
    bool unloaded_ = false;
    bool deferStart_ = false;
    // The placement read at start-up, the window's size before it and the frame it was applied
    // with; applied again once the window system has put its frame round the window.
    settings::Placement requestedPlacement_;
    QSize initialSize_;
    QMargins normalFrame_;
    bool placementSettled_ = true;
    // The category list's and the project list's column widths in twips (settings::ListWidth
    // order): as read at start-up, or the default, and as the user has set them since.
    std::array<qint32, settings::kListWidthCount> widthsAtStart_{};
    std::array<qint32, settings::kListWidthCount> widths_{};
    // Set while the program itself sizes the columns: that is no choice of the user's.
    bool sizingColumns_ = false;
};
