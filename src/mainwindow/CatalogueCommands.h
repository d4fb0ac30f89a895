#pragma once

#include "platform/IniStore.h"

#include <QObject>
#include <QString>
#include <QStringList>

// The commands of the main window on the shared catalogue, without the window: the data menu's
// load and save, the category commands, adding and deleting projects, and which row is
// selected. The window shows the catalogue through the item models and asks for file names;
// everything else goes through ui::Current() (messages, questions, the progress window).
class CatalogueCommands : public QObject {
    Q_OBJECT
public:
    // Which entries of the menus the selection allows.
    struct EntryStates {
        bool CategoryEntries = false; // category edit and delete
        bool ProjectAdd = false;
        bool ProjectEntries = false; // edit, delete, move, open source, open folder, run, build
        friend bool operator==(const EntryStates &, const EntryStates &) = default;
    };

    explicit CatalogueCommands(QObject *parent = nullptr);

    EntryStates States() const { return states_; }

    // ---- selection ----
    // Disables every selection-dependent entry and zeroes the counters.
    void ResetSelection();
    // A category row chosen (1-based): its projects are listed, none of them selected.
    void SelectCategory(qint32 category);
    // A project row chosen (1-based); 0 clears the selection and disables the project entries.
    void SelectProject(qint32 project);
    // A project chosen in a list of every category's projects: its category becomes current too.
    void SelectEntry(qint32 category, qint32 project);
    // The project list lost or regained the keyboard focus (menus do not count).
    void ProjectListFocusChanged(bool focused);

    // ---- data menu ----
    // Without progress: the start-up catalogue, parsed already, arriving under a shown window
    // (a progress window then would only flash up and close an open menu).
    void LoadCatalogue(bool showProgress = true);
    // False when the file could not be written (the user has been told) or no file is set.
    bool SaveCatalogue();
    void NewCatalogue();
    // The file chosen in the open dialog.
    void OpenCatalogue(const QString &path);
    // The file chosen in the save-as dialog.
    bool SaveCatalogueAs(const QString &path);
    // Caption of the main window for the catalogue file in use.
    QString WindowCaption() const;

    // ---- category menu ----
    void AddCategory();
    void RenameCategory();
    void DeleteCategory();

    // ---- projects ----
    // Files chosen in the add dialog (the folder they were chosen in is remembered).
    void AddProjectFiles(const QStringList &paths, const QString &chosenFolder);
    // Files dropped on the project list.
    void AddDroppedFiles(const QStringList &paths);
    void DeleteSelectedProject();
    // After the move dialog moved the selected project away: nothing is selected.
    void ProjectMovedAway();

Q_SIGNALS:
    void EntryStatesChanged();
    // The selected category or project changed; the lists highlight State().CurrentCategory and
    // State().CurrentProject.
    void SelectionChanged();
    // The catalogue file in use changed (New, Open, Save As).
    void CaptionChanged();

private:
    void setStates(const EntryStates &states);
    QString askCategoryName(const QString &title, const QString &current);
    void addProjects(const QStringList &paths);

    EntryStates states_;
};
