#include "catalogue/cVbAnalyze.h"

#include "catalogue/mIniFile.h"
#include "platform/IniStore.h"
#include "mainwindow/Settings.h"
#include "tooling/UserInterface.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

namespace catalogue {

namespace {

ProjectRowSink *g_rowSink = nullptr;

CatalogueState &stateInstance()
{
    static CatalogueState state;
    return state;
}

QString exeFor(const QString &projectFile)
{
    return mFunction::FileExists(projectFile) ? mMain::GetProjectExe(projectFile) : QString();
}

} // namespace

ProjectRowSink *CurrentProjectRowSink() { return g_rowSink; }
void SetProjectRowSink(ProjectRowSink *sink) { g_rowSink = sink; }

void cVbAnalyze::AddProject(const QString &projectFile, QString &name)
{
    names_.append(QString());
    files_.append(projectFile);
    folders_.append(mFunction::GetFolderName(projectFile));
    exes_.append(exeFor(projectFile));
    const qint32 index = Count();
    if (!name.isEmpty()) {
        names_[index - 1] = name;
        return;
    }
    name = mMain::GetProjectName(projectFile);
    names_[index - 1] = name;
    if (g_rowSink)
        g_rowSink->AppendProjectRow(name, mFunction::GetFileName(projectFile), folders_[index - 1],
                                    mFunction::GetFileName(exes_[index - 1]));
    if (!mFunction::FileExists(exes_[index - 1]) && settings::Values().AutoMakeExe)
        mMain::MakeExe(projectFile);
}

bool cVbAnalyze::DeleteProject(qint32 index)
{
    if (!valid(index))
        return false;
    CatalogueState &state = State();
    if (!mIniFile::DeleteIniKey(category_, names_[index - 1], state.CatalogueFilePath)) {
        ui::Current().Message(QStringLiteral("ｷｰの削除に失敗しました。"));
        return false;
    }
    state.Snapshot.Forget(category_, names_[index - 1]);
    RemoveEntry(index);
    return true;
}

QString cVbAnalyze::ProjectName(qint32 index) const { return valid(index) ? names_[index - 1] : QString(); }

void cVbAnalyze::SetProjectName(qint32 index, const QString &name)
{
    if (valid(index))
        names_[index - 1] = name;
}

QString cVbAnalyze::ProjectFile(qint32 index) const { return valid(index) ? files_[index - 1] : QString(); }

void cVbAnalyze::SetProjectFile(qint32 index, const QString &path)
{
    if (!valid(index))
        return;
    files_[index - 1] = path;
    folders_[index - 1] = mFunction::GetFolderName(path);
    exes_[index - 1] = mMain::GetProjectExe(path);
}

QString cVbAnalyze::ProjectFolder(qint32 index) const { return valid(index) ? folders_[index - 1] : QString(); }
QString cVbAnalyze::ProjectExe(qint32 index) const { return valid(index) ? exes_[index - 1] : QString(); }

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

void cVbAnalyze::SetEntries(const QString &name, const QList<KeyEntry> &entries)
{
    category_ = name;
    names_.clear();
    files_.clear();
    folders_.clear();
    exes_.clear();
    names_.reserve(entries.size());
    files_.reserve(entries.size());
    folders_.reserve(entries.size());
    exes_.reserve(entries.size());
    for (const auto &[key, value] : entries)
        AppendLoadedEntry(key, value);
}

void cVbAnalyze::AppendLoadedEntry(const QString &name, const QString &value)
{
    // An empty value is an unset path: the next save removes its key.
    const QString path = value.isEmpty() ? QString() : value;
    AppendEntry(name, path, mFunction::GetFolderName(path), exeFor(path));
}

void cVbAnalyze::SetLoadedFile(qint32 index, const QString &value)
{
    if (!valid(index))
        return;
    const QString path = value.isEmpty() ? QString() : value;
    files_[index - 1] = path;
    folders_[index - 1] = mFunction::GetFolderName(path);
    exes_[index - 1] = exeFor(path);
}

void cVbAnalyze::AppendEntry(const QString &name, const QString &file, const QString &folder, const QString &exe)
{
    names_.append(name);
    files_.append(file);
    folders_.append(folder);
    exes_.append(exe);
}

void cVbAnalyze::RemoveEntry(qint32 index)
{
    if (!valid(index))
        return;
    names_.removeAt(index - 1);
    files_.removeAt(index - 1);
    folders_.removeAt(index - 1);
    exes_.removeAt(index - 1);
}

cVbAnalyze *CatalogueState::CategoryAt(qint32 index) const
{
    if (index < 1 || index > CategoryCount || size_t(index) >= Catalogue.size())
        return nullptr;
    return Catalogue[size_t(index)].get();
}

CatalogueState &State() { return stateInstance(); }

void ResetState() { stateInstance() = CatalogueState(); }

} // namespace catalogue
