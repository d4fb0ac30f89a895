#include "catalogue/cVbAnalyze.h"

#include "catalogue/mIniFile.h"
#include "mainwindow/Settings.h"
#include "platform/IniStore.h"
#include "tooling/UserInterface.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

namespace catalogue {

namespace {

CatalogueState &stateInstance()
{
    static CatalogueState state;
    return state;
}

ProjectPtr loadedRecord(const QString &name, const QString &value)
{
    auto record = std::make_shared<ProjectRecord>();
    record->name = name;
    // An empty value is an unset path: the next save removes its key.
    record->file = value.isEmpty() ? QString() : value;
    // Nothing to read for an unset path; the reader fills the others in.
    record->exeKnown = record->file.isEmpty();
    return record;
}

} // namespace

CatalogueEvents &Events()
{
    static CatalogueEvents *events = new CatalogueEvents; // outlives every model and window
    return *events;
}

QString ExecutableOf(const QString &projectFile) { return mMain::ExecutableOfExisting(projectFile); }

void cVbAnalyze::append(ProjectPtr record)
{
    const int index = Count() + 1;
    Q_EMIT Events().ProjectAboutToBeInserted(this, index);
    projects_.append(std::move(record));
    Q_EMIT Events().ProjectInserted(this, index);
}

void cVbAnalyze::changed(qint32 index) { Q_EMIT Events().ProjectChanged(this, index); }

void cVbAnalyze::AddProject(const QString &projectFile, QString &name)
{
    auto record = std::make_shared<ProjectRecord>();
    record->file = projectFile;
    const QString exe = ExecutableOf(projectFile);
    record->exe = KeptPath(projectFile, exe);
    record->exeKnown = true;
    const bool fromFile = name.isEmpty();
    if (fromFile)
        name = mMain::GetProjectName(projectFile);
    record->name = name;
    const std::weak_ptr<ProjectRecord> added = record;
    append(std::move(record));
    if (fromFile && !mFunction::FileExists(exe) && settings::Values().AutoMakeExe)
        mMain::MakeExe(projectFile, added);
}

bool cVbAnalyze::DeleteProject(qint32 index)
{
    if (!valid(index))
        return false;
    CatalogueState &state = State();
    const QString name = projects_[index - 1]->name;
    if (!mIniFile::DeleteIniKey(category_, name, state.CatalogueFilePath)) {
        ui::Current().Message(QStringLiteral("ｷｰの削除に失敗しました。"));
        return false;
    }
    state.Snapshot.Forget(category_, name);
    RemoveEntry(index);
    return true;
}

QString cVbAnalyze::ProjectName(qint32 index) const { return valid(index) ? projects_[index - 1]->name : QString(); }

void cVbAnalyze::SetProjectName(qint32 index, const QString &name)
{
    if (!valid(index))
        return;
    projects_[index - 1]->name = name;
    projects_[index - 1]->searchKey.clear();
    projects_[index - 1]->searchKeyKnown = false;
    changed(index);
}

QString cVbAnalyze::ProjectFile(qint32 index) const { return valid(index) ? projects_[index - 1]->file : QString(); }

void cVbAnalyze::SetProjectFile(qint32 index, const QString &path)
{
    if (!valid(index))
        return;
    ProjectRecord &record = *projects_[index - 1];
    record.file = path;
    record.exe = KeptPath(path, mMain::GetProjectExe(path));
    record.exeKnown = true;
    // Another file: what was found about the old one says nothing.
    record.state = ProjectState::Unknown;
    record.newerFile.clear();
    record.sources.reset();
    record.scanPending = false;
    record.searchKey.clear();
    record.searchKeyKnown = false;
    changed(index);
}

QString cVbAnalyze::ProjectFolder(qint32 index) const
{
    return valid(index) ? mFunction::GetFolderName(projects_[index - 1]->file) : QString();
}

QString cVbAnalyze::ProjectExe(qint32 index) const
{
    if (!valid(index))
        return QString();
    ProjectRecord &record = *projects_[index - 1];
    if (!record.exeKnown) {
        record.exe = KeptPath(record.file, ExecutableOf(record.file));
        record.exeKnown = true;
    }
    return record.Exe();
}

QString cVbAnalyze::KnownProjectExe(qint32 index) const
{
    if (!valid(index) || !projects_[index - 1]->exeKnown)
        return QString();
    const QString exe = projects_[index - 1]->Exe();
    return exe.isNull() ? QStringLiteral("") : exe;
}

void cVbAnalyze::SetCategory(const QString &name)
{
    CatalogueState &state = State();
    const QString &file = state.CatalogueFilePath;
    QList<KeyEntry> entries;
    if (!file.isEmpty())
        entries = CategoryEntries(platform::IniStore::Instance().Document(file), name);
    // What was read is what this run knows of the file.
    if (state.Snapshot.Holds(file))
        for (const auto &[key, value] : entries)
            state.Snapshot.Record(name, key, value);
    SetEntries(name, entries);
}

void cVbAnalyze::SetEntries(const QString &name, const QList<KeyEntry> &entries, bool announce)
{
    const bool renamed = name != category_;
    if (announce)
        Q_EMIT Events().ProjectsAboutToBeReset(this);
    category_ = name;
    projects_.clear();
    projects_.reserve(entries.size());
    for (const auto &[key, value] : entries)
        projects_.append(loadedRecord(key, value));
    if (!announce)
        return;
    Q_EMIT Events().ProjectsReset(this);
    if (renamed)
        Q_EMIT Events().CategoryRenamed(this);
}

void cVbAnalyze::AppendLoadedEntry(const QString &name, const QString &value) { append(loadedRecord(name, value)); }

void cVbAnalyze::SetLoadedFile(qint32 index, const QString &value)
{
    if (!valid(index))
        return;
    ProjectPtr record = loadedRecord(projects_[index - 1]->name, value);
    projects_[index - 1] = std::move(record);
    changed(index);
}

void cVbAnalyze::AppendRecord(ProjectPtr record)
{
    if (record)
        append(std::move(record));
}

void cVbAnalyze::RemoveEntry(qint32 index)
{
    if (!valid(index))
        return;
    Q_EMIT Events().ProjectAboutToBeRemoved(this, index);
    projects_.removeAt(index - 1);
    Q_EMIT Events().ProjectRemoved(this, index);
}

cVbAnalyze *CatalogueState::CategoryAt(qint32 index) const
{
    if (index < 1 || index > CategoryCount || size_t(index) >= Catalogue.size())
        return nullptr;
    return Catalogue[size_t(index)].get();
}

void CatalogueState::ReplaceCategories(std::vector<std::unique_ptr<cVbAnalyze>> categories)
{
    Q_EMIT Events().CategoriesAboutToBeReset();
    CategoryCount = categories.empty() ? 0 : qint32(categories.size()) - 1;
    Catalogue = std::move(categories);
    Q_EMIT Events().CategoriesReset();
}

cVbAnalyze *CatalogueState::AppendCategory(std::unique_ptr<cVbAnalyze> category)
{
    const int index = CategoryCount + 1;
    Q_EMIT Events().CategoryAboutToBeInserted(index);
    Catalogue.resize(size_t(index) + 1);
    Catalogue[size_t(index)] = std::move(category);
    CategoryCount = index;
    Q_EMIT Events().CategoryInserted(index);
    return Catalogue[size_t(index)].get();
}

void CatalogueState::RemoveCategory(qint32 index)
{
    if (!CategoryAt(index))
        return;
    Q_EMIT Events().CategoryAboutToBeRemoved(index);
    Catalogue.erase(Catalogue.begin() + index);
    CategoryCount -= 1;
    if (CategoryCount == 0)
        Catalogue.clear();
    Q_EMIT Events().CategoryRemoved(index);
}

CatalogueState &State() { return stateInstance(); }

void ResetState()
{
    Q_EMIT Events().CategoriesAboutToBeReset();
    stateInstance() = CatalogueState();
    Q_EMIT Events().CategoriesReset();
}

} // namespace catalogue
