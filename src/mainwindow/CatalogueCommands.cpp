#include "mainwindow/CatalogueCommands.h"

#include "catalogue/CatalogueFile.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/NameRules.h"
#include "catalogue/cVbAnalyze.h"
#include "mainwindow/Settings.h"
#include "tooling/UserInterface.h"
#include "tooling/mFunction.h"

#include <QFileInfo>

using catalogue::State;

namespace {

QString ProgramName() { return QStringLiteral("ZARUN"); }

QString SaveFailureMessage(const QString &path, platform::IniStatus status)
{
    switch (status) {
    case platform::IniStatus::Ok:
        return QString();
    case platform::IniStatus::ReadOnly:
        return path + QStringLiteral(" は書き込みできないため、保存できませんでした。");
    case platform::IniStatus::NotAFile:
        return path + QStringLiteral(" はﾌｧｲﾙではないため、保存できませんでした。");
    case platform::IniStatus::BadText:
        return path + QStringLiteral(" に保存できない文字を含む項目があり、その項目は保存されませんでした。");
    case platform::IniStatus::Unreadable:
        return path + QStringLiteral(" は読み込めなかったため、上書きしませんでした。名前を付けて保存してください。");
    case platform::IniStatus::EmptyPath:
    case platform::IniStatus::IoError:
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

} // namespace

CatalogueCommands::CatalogueCommands(QObject *parent) : QObject(parent) {}

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
    state.CategoryCount = state.CategoryCount; // the list keeps its categories; nothing is selected
    state.CurrentCategory = 0;
    state.CurrentProject = 0;
    Q_EMIT SelectionChanged();
}

void CatalogueCommands::SelectCategory(qint32 category)
{
    catalogue::CatalogueState &state = State();
    if (!state.CategoryAt(category))
        return;
    state.CurrentProject = 0;
    state.CurrentCategory = category;
    setStates({true, true, false});
    // Its executables first: those are the rows on screen.
    catalogue::ProjectReader::Instance().Queue(state.Current(), true);
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
        catalogue::ProjectReader::Instance().Queue(state.Current(), true);
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

void CatalogueCommands::LoadCatalogue(bool showProgress)
{
    ui::UserInterface &ui = ui::Current();
    catalogue::CatalogueState &state = State();
    if (showProgress)
        ui.ShowProgress(mFunction::GetFileName(state.CatalogueFilePath) + QStringLiteral(" を読み込み中"));
    ResetSelection();
    const qint32 n = catalogue::LoadCategories();
    const QString failure = catalogue::LoadFailureMessage(state.CatalogueFilePath, catalogue::LastLoadStatus());
    if (!failure.isNull()) {
        // Not "no content": the file may hold a whole catalogue, and it is left as it is.
        ui.HideProgress();
        ui.Message(failure);
    } else if (n > 0) {
        SelectCategory(1);
    } else {
        ui.HideProgress();
        ui.Message(QStringLiteral("中身がありません。"));
    }
    Q_EMIT CaptionChanged();
    ui.HideProgress();
}

bool CatalogueCommands::SaveCatalogue()
{
    catalogue::CatalogueState &state = State();
    if (state.CatalogueFilePath.isEmpty())
        return false;
    ui::UserInterface &ui = ui::Current();
    const QString path = state.CatalogueFilePath;
    ui.ShowProgress(mFunction::GetFileName(path) + QStringLiteral(" を保存中"));
    catalogue::SaveReport report;
    const platform::IniStatus status = catalogue::SaveCategories({}, &report);
    if (report.CatalogueChanged) {
        // Another program's changes came in: no project stays selected, so that no command
        // acts on a row that moved.
        SelectProject(0);
    }
    Q_EMIT CaptionChanged();
    ui.HideProgress();
    if (!report.Overwritten.isEmpty())
        ui.Message(catalogue::OverwrittenMessage(path, report.Overwritten));
    if (status != platform::IniStatus::Ok) {
        ui.Message(SaveFailureMessage(path, status));
        return false;
    }
    return true;
}

void CatalogueCommands::NewCatalogue()
{
    catalogue::ClearCategories();
    ResetSelection();
    State().CatalogueFilePath = catalogue::NewCatalogueFilePath();
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
    State().CatalogueFilePath = path;
    RememberFolder(settings::Values().LastCatalogueFolder, mFunction::GetFolderName(path));
    return SaveCatalogue();
}

QString CatalogueCommands::WindowCaption() const
{
    return catalogue::WindowCaption(ProgramName(), State().CatalogueFilePath);
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
    const QString name = askCategoryName(QStringLiteral("ｶﾃｺﾞﾘｰ追加"), QString());
    if (name.isEmpty())
        return;
    auto category = std::make_unique<catalogue::cVbAnalyze>();
    category->SetCategory(name); // a section of that name in the file brings its projects
    State().AppendCategory(std::move(category));
    SelectCategory(State().CategoryCount);
}

void CatalogueCommands::RenameCategory()
{
    catalogue::CatalogueState &state = State();
    catalogue::cVbAnalyze *category = state.Current();
    if (!category)
        return;
    const QString old = category->Category();
    const QString name = askCategoryName(QStringLiteral("ｶﾃｺﾞﾘｰ編集"), old);
    if (name.isEmpty() || name == old)
        return;
    if (!catalogue::RemoveCategorySection(old)) {
        ui::Current().Message(QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの該当するｶﾃｺﾞﾘｰの削除に失敗しました。"));
        return;
    }
    // Every project exactly as held in memory: nothing is read again, named anew or built.
    QList<catalogue::ProjectPtr> carried;
    for (qint32 j = 1; j <= category->Count(); ++j)
        carried.append(category->Shared(j).lock());
    category->SetCategory(name);
    for (catalogue::ProjectPtr &record : carried)
        category->AppendRecord(std::move(record));
    SelectProject(0);
}

void CatalogueCommands::DeleteCategory()
{
    catalogue::CatalogueState &state = State();
    const catalogue::cVbAnalyze *category = state.Current();
    if (!category)
        return;
    const QString name = category->Category();
    const QString text = QStringLiteral("ｶﾃｺﾞﾘｰ　[") + name + QStringLiteral("]　を削除します。\r\n\r\n")
                         + QStringLiteral("登録したﾌﾟﾛｼﾞｪｸﾄﾘｽﾄも一緒に削除されますがよろしいですか。");
    if (!ui::Current().Confirm(text, QStringLiteral("ｶﾃｺﾞﾘｰ削除")))
        return;
    if (!catalogue::RemoveCategorySection(name)) {
        ui::Current().Message(QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの該当するｶﾃｺﾞﾘｰの削除に失敗しました。"));
        return;
    }
    const qint32 deleted = state.CurrentCategory;
    state.CurrentProject = 0;
    state.RemoveCategory(deleted);
    if (state.CategoryCount == 0) {
        ResetSelection();
        return;
    }
    // The category above becomes current, as if clicked (the first when the first went).
    SelectCategory(deleted > 1 ? deleted - 1 : 1);
}

// ---- projects ----

void CatalogueCommands::addProjects(const QStringList &paths)
{
    catalogue::cVbAnalyze *category = State().Current();
    if (!category)
        return;
    for (const QString &path : paths) {
        // A typed name, or a folder named like a project, is no project file.
        if (!QFileInfo(path).isFile()) {
            ui::Current().Message(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ　") + path + QStringLiteral("　が見つかりません。"));
            continue;
        }
        if (const QString problem = catalogue::PathProblem(path, State().CatalogueFilePath); !problem.isNull()) {
            ui::Current().Message(problem);
            continue;
        }
        // A build started for an earlier file may have let the user switch categories.
        if (State().Current() != category)
            return;
        QString name;
        category->AddProject(path, name);
    }
}

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
        if (mFunction::GetExtension(path) == QLatin1String("vbp"))
            projects.append(path);
    addProjects(projects);
}

void CatalogueCommands::DeleteSelectedProject()
{
    catalogue::CatalogueState &state = State();
    catalogue::cVbAnalyze *category = state.Current();
    const qint32 project = state.CurrentProject;
    if (!category || project < 1 || project > category->Count())
        return;
    const QString text = QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ　[") + category->ProjectName(project) + QStringLiteral("]　を削除しますか?");
    if (!ui::Current().Confirm(text, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ削除")))
        return;
    // The row goes only with its entry, so rows and entries keep matching.
    if (!category->DeleteProject(project))
        return;
    SelectProject(0);
}

void CatalogueCommands::ProjectMovedAway() { SelectProject(0); }
