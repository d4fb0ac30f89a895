#pragma once

#include "mainwindow/CatalogueCommands.h"

#include <QObject>

class BuildCommands;
class QAction;
class QMainWindow;
class QMenu;
class QWidget;
class cCommonDlg;

// The main window's menu bar, its actions and what they run. The commands that ask through a dialog
// first (open, save as, add, edit, move) ask here and leave the rest to CatalogueCommands.
class MainMenus : public QObject {
    Q_OBJECT
public:
    MainMenus(QMainWindow *window, CatalogueCommands &commands);

    // Keys act on the list that has the focus: Delete deletes, F2 edits or renames.
    void BindListKeys(QWidget *categoryList, QWidget *projectList);
    void UpdateEntryStates();
    // The double-click action of the options on the selected project.
    void RunDoubleClickAction();

    // Falls back to Save As without a catalogue file; false when cancelled or not written.
    bool SaveCatalogue();
    bool SaveCatalogueAs();
    void OpenCatalogue();
    void AddProjects();
    // The save dialog for a catalogue file; empty when cancelled.
    QString AskCatalogueFileToSave();

    // The category build and the build log entries.
    BuildCommands &Builds() { return *builds_; }

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
    QAction *mnuProjectReferences = nullptr;
    QAction *mnuOption = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuReadMe = nullptr;
    QAction *mnuVersion = nullptr;

private:
    void build();
    void wire();
    void prepareCatalogueDialog(cCommonDlg &dialog, const QString &title);
    void editSelectedProject();
    void moveSelectedProject();

    QMainWindow *window_;
    CatalogueCommands &commands_;
    BuildCommands *builds_ = nullptr;
};
