#pragma once

#include "catalogue/CatalogueModels.h"
#include "catalogue/FolderWatch.h"
#include "catalogue/ProjectFilter.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/cVbAnalyze.h"
#include "mainwindow/CatalogueCommands.h"
#include "mainwindow/ReturnFromElsewhere.h"
#include "mainwindow/ui/WindowPlacement.h"
#include "tooling/UserInterface.h"
#include "tooling/ui/fMessage.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <memory>

class BuildCommands;
class CatalogueHandOver;
class MainLists;
class MainMenus;

// The main window: categories on the left, the selected category's projects on the right. It lays
// out and forwards: the lists and their keys are MainLists, the menus MainMenus, the commands
// CatalogueCommands, where the window stands WindowPlacement, the catalogue it opens at start-up
// or is handed later CatalogueHandOver.
class fMain : public QMainWindow {
    Q_OBJECT
public:
    explicit fMain(QWidget *parent = nullptr);
    ~fMain() override;

    // Start-up after the single-instance check: settings, placement, the start-up catalogue
    // (or the catalogue given on the command line, set before).
    void Form_Load();
    void SetCommandLineCatalogue(const QString &path);
    // Form_Load then leaves the start-up catalogue to a worker thread and opens it once read,
    // so that the window shows and answers while a large file is parsed.
    void DeferStartCatalogue();
    // A later start of the program handed over a catalogue (or none): the window comes to the
    // front and opens it as soon as no dialog or menu is open.
    void OpenRequested(const QString &path);
    // False when the file could not be written (the user has been told); Save As without a file.
    bool SaveCatalogue();

    MainLists &Lists() const { return *lists_; }
    MainMenus &Menus() const { return *menus_; }
    WindowPlacement &Placement() { return placement_; }
    const WindowPlacement &Placement() const { return placement_; }
    // The progress window while shown (tests).
    fMessage *ProgressWindow() const { return progress_; }

    // The message boxes and input box of the program, parented to this window.
    ui::UserInterface &UserInterface();

    CatalogueCommands &Commands() { return commands_; }
    // The category build and the build log entries.
    BuildCommands &Builds();
    catalogue::ProjectListModel &ProjectModel() { return projectModel_; }
    catalogue::ProjectFilterModel &FilterModel() { return filterModel_; }
    catalogue::ProjectReader &Reader() { return reader_; }
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

    void wireEvents();
    void Form_Unload();
    void updateWatch();
    void refreshShown();
    void showProgress(const QString &caption);
    void hideProgress();

    std::unique_ptr<MainUserInterface> userInterface_;
    catalogue::CategoryListModel categoryModel_{catalogue::State()};
    catalogue::ProjectListModel projectModel_{catalogue::State()};
    catalogue::ProjectFilterModel filterModel_{&projectModel_};
    // Reads the executables and statuses of every catalogue this window opens, off this thread;
    // after the models, which hear of a change before it.
    catalogue::ProjectReader reader_{catalogue::State()};
    catalogue::FolderWatch folderWatch_;
    ReturnFromElsewhere returnFromElsewhere_;
    QTimer watchUpdate_;
    CatalogueCommands commands_;
    WindowPlacement placement_{*this};
    QPointer<fMessage> progress_;
    MainMenus *menus_ = nullptr;
    MainLists *lists_ = nullptr;
    CatalogueHandOver *handOver_ = nullptr;
    bool unloaded_ = false;
};
