#pragma once

#include "catalogue/CatalogueWatch.h"
#include "platform/IniStore.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace catalogue {
enum class Followed;
class cVbAnalyze;
struct PreparedCatalogue;
class ProjectReader;
struct ProjectRecord;
}
namespace tooling {
class BuildQueue;
}

// The commands of the main window on the shared catalogue, without the window: the data menu's
// load and save, the category commands, adding and deleting projects, and which row is
// selected. The window shows the catalogue through the item models and asks for file names;
// everything else goes through ui::Current() (messages, questions, the progress window).
//
// Every change is on disk when its command returns (catalogue/CatalogueChanges), and what other
// programs change in the file comes into the lists within a second.
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
    // The reader of the catalogue's files: a category chosen has its projects looked at first.
    // Without one (nullptr) nothing is hurried.
    void SetReader(catalogue::ProjectReader *reader);
    catalogue::ProjectReader *Reader() const;

    // The queue of the window's builds: a project added with its executable to be made joins a
    // run under way there (one IDE at a time); otherwise, or without one, it is built at once.
    void SetBuildQueue(tooling::BuildQueue *queue);

    // ---- selection ----
    // Disables every selection-dependent entry and zeroes the counters.
    void ResetSelection();
    // A category row chosen (1-based): its projects are listed, none of them selected; 0 (no row
    // highlighted) leaves no category current and disables the entries that need one.
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
    // The same with a catalogue prepared on a worker.
    void LoadCatalogue(catalogue::PreparedCatalogue prepared);
    // The first category of the catalogue named already, shown while the whole is read.
    void ShowFirstCategory(std::unique_ptr<catalogue::cVbAnalyze> category);
    // Writes the catalogue back when the file no longer holds it; false when that failed (the user has
    // been told) or no file is set.
    bool SaveCatalogue();
    void NewCatalogue();
    // The file chosen in the open dialog.
    void OpenCatalogue(const QString &path);
    // The file chosen in the save-as dialog: the catalogue is written into it, and only then is it
    // the catalogue file.
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
    // After the edit dialog: the edited project, now the last row, stays selected.
    void ProjectEdited();

    // ---- the file changed elsewhere ----
    // Looks at the file now and brings its changes in (also what the watch does by itself).
    void FollowFile();
    // While held (a dialog that names entries of the lists is open), changes found in the file wait.
    void HoldFollowing();
    void ReleaseFollowing();

Q_SIGNALS:
    void EntryStatesChanged();
    // The selected category or project changed; the lists highlight State().CurrentCategory and
    // State().CurrentProject.
    void SelectionChanged();
    // The catalogue file in use changed (New, Open, Save As).
    void CaptionChanged();
    // For the user, without a question: text for a short notice, or (important) for a message box
    // once nothing else is asked.
    void Notice(const QString &text, bool important);

private:
    void setStates(const EntryStates &states);
    QString askCategoryName(const QString &title, const QString &current);
    void addProjects(const QStringList &paths);
    // A first change without a catalogue file asks for one; false when none was given.
    bool ensureFile();
    void loaded(qint32 categories, bool sayEmpty);
    void followRead(platform::IniRead read);
    void followForCommand();
    // After the lists followed the file: the selection as it stands now.
    void afterFollowing(catalogue::Followed followed, bool tellLost = true);
    void watchFile();

    EntryStates states_;
    QPointer<catalogue::ProjectReader> reader_;
    QPointer<tooling::BuildQueue> buildQueue_;
    catalogue::CatalogueWatch watch_;
    int holds_ = 0;
    std::optional<platform::IniRead> waiting_;
};
