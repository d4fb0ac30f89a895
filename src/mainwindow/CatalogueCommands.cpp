#include "mainwindow/CatalogueCommands.h"

#include "catalogue/CatalogueChanges.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/NameRules.h"
#include "catalogue/ProjectGroup.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/cVbAnalyze.h"
#include "settings/Settings.h"
#include "platform/Backups.h"
#include "tooling/BuildQueue.h"
#include "tooling/UserInterface.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include <QFileInfo>

using catalogue::FileProblem;
using catalogue::Followed;
using catalogue::State;

namespace {

QString ProgramName() { return QStringLiteral("ZARUN"); }

QString SaveFailureMessage(const QString &path, FileProblem problem)
{
    switch (problem) {
    case FileProblem::None:
        return QString();
    case FileProblem::ReadOnly:
        return path + QStringLiteral(" は書き込みできないため、保存できませんでした。");
    case FileProblem::NotAFile:
        return path + QStringLiteral(" はﾌｧｲﾙではないため、保存できませんでした。");
    case FileProblem::BadText:
        return path + QStringLiteral(" に保存できない文字を含む項目があるため、保存できませんでした。");
    case FileProblem::Unreadable:
    case FileProblem::TooLarge:
        return path + QStringLiteral(" は読み込めなかったため、上書きしませんでした。名前を付けて保存してください。");
    case FileProblem::Busy:
    case FileProblem::LockFailed:
        return catalogue::ProblemMessage(path, problem);
    case FileProblem::Reading: // the catalogue still being read is named, not the file saved into
        return catalogue::ProblemMessage(State().CatalogueFilePath, problem);
    case FileProblem::NoFile:
    case FileProblem::Missing:
    case FileProblem::Replaced:
    case FileProblem::IoError:
        break;
    }
    return path + QStringLiteral(" に保存できませんでした。ﾃﾞｨｽｸの空きや書き込み権限を確認してください。");
}

// A folder that ZARUN.ini could not give back whole (or hold at all) is not remembered.
void RememberFolder(QString &slot, const QString &folder)
{
    if (catalogue::PathProblem(folder, settings::Values().SettingsFilePath).isNull())
        slot = folder;
}

void Tell(const QString &message)
{
    if (!message.isNull())
        ui::Current().Message(message);
}

// Said once in a run: the change itself was made.
void TellBackupFailure()
{
    const QString folder = platform::TakeBackupFailure();
    if (!folder.isNull())
        ui::Current().Message(folder + QStringLiteral(" にﾃﾞｰﾀﾌｧｲﾙのﾊﾞｯｸｱｯﾌﾟを保存できません。"
                                                      "変更は保存しましたが、変更前の内容は残りません。"));
}

// Keeps changes found in the file waiting while a question is on screen: the command asking it
// works on what it was shown.
class Hold {
public:
    explicit Hold(CatalogueCommands &commands) : commands_(commands) { commands_.HoldFollowing(); }
    ~Hold() { commands_.ReleaseFollowing(); }
    Hold(const Hold &) = delete;
    Hold &operator=(const Hold &) = delete;

private:
    CatalogueCommands &commands_;
};

} // namespace

CatalogueCommands::CatalogueCommands(QObject *parent) : QObject(parent)
{
    connect(&watch_, &catalogue::CatalogueWatch::Differs, this,
            [this](platform::IniRead read) { followRead(std::move(read)); });
}

void CatalogueCommands::SetReader(catalogue::ProjectReader *reader) { reader_ = reader; }

void CatalogueCommands::setStates(const EntryStates &states)
{
    if (states == states_)
        return;
    states_ = states;
    Q_EMIT EntryStatesChanged();
}

// ---- selection ----

void CatalogueCommands::ResetSelection()
{
    setStates({});
    catalogue::CatalogueState &state = State();
    state.CurrentCategory = 0;
    state.CurrentProject = 0;
    Q_EMIT SelectionChanged();
}

void CatalogueCommands::SelectCategory(qint32 category)
{
    catalogue::CatalogueState &state = State();
    // Only a highlighted row is current: none highlighted, no category commands.
    if (category == 0) {
        ResetSelection();
        return;
    }
    if (!state.CategoryAt(category))
        return;
    state.CurrentProject = 0;
    state.CurrentCategory = category;
    setStates({true, true, false});
    // Its executables first: those are the rows on screen.
    if (reader_)
        reader_->Queue(state.Current(), true);
    Q_EMIT SelectionChanged();
}

void CatalogueCommands::SelectProject(qint32 project)
{
    catalogue::CatalogueState &state = State();
    const catalogue::cVbAnalyze *category = state.Current();
    if (!category || project < 1 || project > category->Count())
        project = 0;
    // Only a selected row is current: no project, no project entries.
    state.CurrentProject = project;
    EntryStates states = states_;
    states.ProjectEntries = project != 0;
    setStates(states);
    Q_EMIT SelectionChanged();
}

void CatalogueCommands::SelectEntry(qint32 category, qint32 project)
{
    catalogue::CatalogueState &state = State();
    if (category != state.CurrentCategory && state.CategoryAt(category)) {
        state.CurrentCategory = category;
        state.CurrentProject = 0;
        setStates({true, true, false});
        if (reader_)
            reader_->Queue(state.Current(), true);
    }
    SelectProject(project);
}

void CatalogueCommands::ProjectListFocusChanged(bool focused)
{
    EntryStates states = states_;
    states.ProjectEntries = focused && State().CurrentProject != 0;
    setStates(states);
}

// ---- data menu ----

void CatalogueCommands::loaded(qint32 categories, bool sayEmpty)
{
    ui::UserInterface &ui = ui::Current();
    catalogue::CatalogueState &state = State();
    const QString failure = catalogue::LoadFailureMessage(state.CatalogueFilePath, catalogue::LastLoadStatus());
    if (!failure.isNull()) {
        // Not "no content": the file may hold a whole catalogue, and it is left as it is.
        ui.HideProgress();
        ui.Message(failure);
    } else if (categories > 0) {
        SelectCategory(1);
    } else if (sayEmpty) {
        ui.HideProgress();
        ui.Message(QStringLiteral("中身がありません。"));
    }
    watchFile();
    Q_EMIT CaptionChanged();
    ui.HideProgress();
}

void CatalogueCommands::LoadCatalogue(bool showProgress)
{
    ui::UserInterface &ui = ui::Current();
    if (showProgress)
        ui.ShowProgress(mFunction::GetFileName(State().CatalogueFilePath) + QStringLiteral(" を読み込み中"));
    ResetSelection();
    loaded(catalogue::LoadCategories(), true);
}

void CatalogueCommands::ShowFirstCategory(std::unique_ptr<catalogue::cVbAnalyze> category)
{
    ResetSelection();
    catalogue::ShowFirstCategory(std::move(category));
    SelectCategory(1);
    Q_EMIT CaptionChanged();
}

void CatalogueCommands::LoadCatalogue(catalogue::PreparedCatalogue prepared)
{
    // A project chosen in the first category shown meanwhile stays chosen when its record is kept.
    const catalogue::CatalogueState &state = State();
    const std::weak_ptr<catalogue::ProjectRecord> chosen =
        state.File == catalogue::CatalogueState::FileState::Reading && state.Current()
            ? state.Current()->Shared(state.CurrentProject)
            : std::weak_ptr<catalogue::ProjectRecord>();
    ResetSelection();
    loaded(catalogue::LoadCategories(std::move(prepared)), true);
    if (const std::shared_ptr<catalogue::ProjectRecord> record = chosen.lock(); record && state.Current())
        if (const qint32 project = state.Current()->IndexOf(record.get()); project != 0)
            SelectProject(project);
}

bool CatalogueCommands::SaveCatalogue()
{
    catalogue::CatalogueState &state = State();
    if (state.CatalogueFilePath.isEmpty())
        return false;
    ui::UserInterface &ui = ui::Current();
    const QString path = state.CatalogueFilePath;
    // A file gone is what Save is for: no word about it beyond the save's own.
    followForCommand();
    ui.ShowProgress(mFunction::GetFileName(path) + QStringLiteral(" を保存中"));
    const FileProblem problem = catalogue::SaveWholeCatalogue();
    Q_EMIT CaptionChanged();
    ui.HideProgress();
    TellBackupFailure();
    if (problem != FileProblem::None) {
        ui.Message(SaveFailureMessage(path, problem));
        return false;
    }
    return true;
}

void CatalogueCommands::NewCatalogue()
{
    catalogue::ClearCategories();
    ResetSelection();
    catalogue::CatalogueState &state = State();
    state.CatalogueFilePath = catalogue::NewCatalogueFilePath();
    // The lists show what the file holds: a NewFile.zrd an earlier New left is shown, not added to
    // behind the user's back.
    if (QFileInfo::exists(state.CatalogueFilePath))
        loaded(catalogue::LoadCategories(), false);
    watchFile();
    Q_EMIT CaptionChanged();
}

void CatalogueCommands::OpenCatalogue(const QString &path)
{
    State().CatalogueFilePath = path;
    RememberFolder(settings::Values().LastCatalogueFolder, mFunction::GetFolderName(path));
    LoadCatalogue();
}

bool CatalogueCommands::SaveCatalogueAs(const QString &path)
{
    if (path.isEmpty())
        return false;
    ui::UserInterface &ui = ui::Current();
    ui.ShowProgress(mFunction::GetFileName(path) + QStringLiteral(" を保存中"));
    const FileProblem problem = catalogue::SaveCatalogueInto(path);
    ui.HideProgress();
    TellBackupFailure();
    if (problem != FileProblem::None) {
        ui.Message(SaveFailureMessage(path, problem));
        return false;
    }
    RememberFolder(settings::Values().LastCatalogueFolder, mFunction::GetFolderName(path));
    afterFollowing(Followed::Same);
    watchFile();
    Q_EMIT CaptionChanged();
    return true;
}

QString CatalogueCommands::WindowCaption() const
{
    return catalogue::WindowCaption(ProgramName(), State().CatalogueFilePath);
}

bool CatalogueCommands::ensureFile()
{
    if (!State().CatalogueFilePath.isEmpty())
        return true;
    const QString path = ui::Current().AskCatalogueFileToSave();
    return !path.isEmpty() && SaveCatalogueAs(path);
}

// ---- category menu ----

QString CatalogueCommands::askCategoryName(const QString &title, const QString &current)
{
    const catalogue::CatalogueState &state = State();
    QString text = current;
    for (;;) {
        const QString name = ui::Current().InputBox(QStringLiteral("ｶﾃｺﾞﾘｰ名を入力してください。"), title, text);
        if (name.isEmpty() || (!current.isNull() && name == current))
            return name;
        QStringList others;
        for (qint32 i = 1; i <= state.CategoryCount; ++i)
            if (current.isNull() || i != state.CurrentCategory)
                others.append(state.CategoryAt(i)->Category());
        QString problem = catalogue::CategoryNameProblem(name, state.CatalogueFilePath);
        if (problem.isNull())
            problem = catalogue::CategoryNameTaken(name, others);
        if (problem.isNull())
            return name;
        ui::Current().Message(problem);
        text = name; // asked again with what was typed, so nothing typed is lost
    }
}

void CatalogueCommands::AddCategory()
{
    const Hold hold(*this);
    if (!ensureFile())
        return;
    followForCommand();
    const QString name = askCategoryName(QStringLiteral("ｶﾃｺﾞﾘｰ追加"), QString());
    if (name.isEmpty())
        return;
    // Nothing is written yet: a section exists only with a key, so the category reaches the file
    // with its first project.
    auto category = std::make_unique<catalogue::cVbAnalyze>();
    category->SetEntries(name, {}, false);
    category->SetInFile(false);
    State().AppendCategory(std::move(category));
    SelectCategory(State().CategoryCount);
}

void CatalogueCommands::RenameCategory()
{
    const Hold hold(*this);
    followForCommand();
    catalogue::CatalogueState &state = State();
    const catalogue::cVbAnalyze *category = state.Current();
    if (!category)
        return;
    const QString old = category->Category();
    const QString name = askCategoryName(QStringLiteral("ｶﾃｺﾞﾘｰ編集"), old);
    if (name.isEmpty() || name == old)
        return;
    const catalogue::ChangeResult result = catalogue::RenameCategory(old, name);
    Tell(result.Message);
    TellBackupFailure();
    if (result.Done)
        SelectProject(0);
}

void CatalogueCommands::DeleteCategory()
{
    const Hold hold(*this);
    followForCommand();
    catalogue::CatalogueState &state = State();
    const catalogue::cVbAnalyze *category = state.Current();
    if (!category)
        return;
    const QString name = category->Category();
    const qint32 deleted = state.CurrentCategory;
    const QString text = QStringLiteral("ｶﾃｺﾞﾘｰ　[") + name + QStringLiteral("]　を削除します。\r\n\r\n")
                         + QStringLiteral("登録したﾌﾟﾛｼﾞｪｸﾄﾘｽﾄも一緒に削除されますがよろしいですか。");
    if (!ui::Current().Confirm(text, QStringLiteral("ｶﾃｺﾞﾘｰ削除")))
        return;
    const catalogue::ChangeResult result = catalogue::DeleteCategory(name);
    Tell(result.Message);
    TellBackupFailure();
    if (!result.Done)
        return;
    if (state.CategoryCount == 0) {
        ResetSelection();
        return;
    }
    // The category above becomes current, as if clicked (the first when the first went).
    SelectCategory(qBound(1, deleted - 1, state.CategoryCount));
}

// ---- projects ----

namespace {

// The files to add, a project group (.vbg) giving every project it lists in its place. A group
// that cannot be read, or lists a project with no place here, is told.
QStringList withGroupsOpened(const QStringList &paths)
{
    QStringList files;
    for (const QString &path : paths) {
        if (mFunction::GetExtension(path).compare(QLatin1String("vbg"), Qt::CaseInsensitive) != 0
            || !QFileInfo(path).isFile()) {
            files.append(path);
            continue;
        }
        const catalogue::ProjectGroup group = catalogue::ReadProjectGroup(path);
        if (!group.valid) {
            ui::Current().Message(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄｸﾞﾙｰﾌﾟ　") + path + QStringLiteral("　を読めません。"));
            continue;
        }
        for (const QString &unplaced : group.unplaced)
            ui::Current().Message(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ　") + unplaced + QStringLiteral("　が見つかりません。"));
        files.append(group.projects);
    }
    return files;
}

} // namespace

void CatalogueCommands::addProjects(const QStringList &paths)
{
    const Hold hold(*this);
    followForCommand();
    catalogue::CatalogueState &state = State();
    if (!state.Current())
        return;
    const QString category = state.Current()->Category();
    QList<catalogue::NewProject> projects;
    for (const QString &path : withGroupsOpened(paths)) {
        // A typed name, or a folder named like a project, is no project file.
        if (!QFileInfo(path).isFile()) {
            ui::Current().Message(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ　") + path + QStringLiteral("　が見つかりません。"));
            continue;
        }
        if (const QString problem = catalogue::PathProblem(path, state.CatalogueFilePath); !problem.isNull()) {
            ui::Current().Message(problem);
            continue;
        }
        projects.append(catalogue::ReadNewProject(path));
    }
    QList<catalogue::ProjectPtr> added;
    const catalogue::ChangeResult result = catalogue::AddProjects(category, projects, &added);
    Tell(result.Message);
    TellBackupFailure();
    if (!settings::Values().AutoMakeExe)
        return;
    for (const catalogue::ProjectPtr &record : added)
        if (!mFunction::FileExists(record->Exe()) && !(buildQueue_ && buildQueue_->Join(record, record->File())))
            mMain::MakeExe(record->File(), record);
}

catalogue::ProjectReader *CatalogueCommands::Reader() const { return reader_; }

void CatalogueCommands::SetBuildQueue(tooling::BuildQueue *queue) { buildQueue_ = queue; }

void CatalogueCommands::AddProjectFiles(const QStringList &paths, const QString &chosenFolder)
{
    if (!State().Current())
        return;
    addProjects(paths);
    RememberFolder(settings::Values().LastProjectFolder, chosenFolder);
}

void CatalogueCommands::AddDroppedFiles(const QStringList &paths)
{
    if (!settings::Values().DragDropEnabled || !State().Current())
        return;
    QStringList projects;
    for (const QString &path : paths)
        if (mFunction::GetExtension(path) == QLatin1String("vbp") || mFunction::GetExtension(path) == QLatin1String("vbg"))
            projects.append(path);
    addProjects(projects);
}

void CatalogueCommands::DeleteSelectedProject()
{
    const Hold hold(*this);
    followForCommand();
    catalogue::CatalogueState &state = State();
    catalogue::cVbAnalyze *category = state.Current();
    const qint32 project = state.CurrentProject;
    if (!category || project < 1 || project > category->Count())
        return;
    const QString text = QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ　[") + category->ProjectName(project) + QStringLiteral("]　を削除しますか?");
    if (!ui::Current().Confirm(text, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ削除")))
        return;
    // The row goes only with its entry, so rows and entries keep matching.
    const bool deleted = category->DeleteProject(project);
    TellBackupFailure();
    if (!deleted)
        return;
    SelectProject(0);
}

void CatalogueCommands::ProjectMovedAway()
{
    TellBackupFailure();
    SelectProject(0);
}

void CatalogueCommands::ProjectEdited()
{
    TellBackupFailure();
    SelectProject(State().CurrentProject);
}

// ---- the file changed elsewhere ----

void CatalogueCommands::watchFile() { watch_.Watch(State().CatalogueFilePath); }

void CatalogueCommands::FollowFile()
{
    if (holds_ > 0) {
        watch_.CheckSoon();
        return;
    }
    afterFollowing(catalogue::FollowFile());
}

void CatalogueCommands::followForCommand()
{
    // The command says itself what it cannot do with a file gone.
    afterFollowing(catalogue::FollowFile(), false);
}

void CatalogueCommands::followRead(platform::IniRead read)
{
    if (holds_ > 0) {
        waiting_ = std::move(read);
        return;
    }
    afterFollowing(catalogue::FollowRead(std::move(read)));
}

void CatalogueCommands::HoldFollowing() { holds_ += 1; }

void CatalogueCommands::ReleaseFollowing()
{
    if (--holds_ > 0 || !waiting_)
        return;
    platform::IniRead read = std::move(*waiting_);
    waiting_.reset();
    followRead(std::move(read));
}

void CatalogueCommands::afterFollowing(Followed followed, bool tellLost)
{
    catalogue::CatalogueState &state = State();
    switch (followed) {
    case Followed::Same:
    case Followed::StillLost:
        break;
    case Followed::Changed:
        Q_EMIT Notice(QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙが他のﾌﾟﾛｸﾞﾗﾑで変更されたため、表示を更新しました。"), false);
        break;
    case Followed::Lost:
        if (tellLost)
            Q_EMIT Notice(catalogue::ProblemMessage(state.CatalogueFilePath, state.Stamp.exists ? FileProblem::Replaced
                                                                                              : FileProblem::Missing),
                      true);
        return;
    }
    if (followed != Followed::Changed && states_.CategoryEntries == (state.Current() != nullptr))
        return;
    // The current entries stayed current if they are still there; a category or project gone takes
    // its entries with it.
    EntryStates states = states_;
    if (!state.Current())
        states = {};
    else
        states.ProjectEntries = states.ProjectEntries && state.CurrentProject != 0;
    setStates(states);
    Q_EMIT SelectionChanged();
}
