#include "catalogue/cVbAnalyze.h"

#include "catalogue/mIniFile.h"
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
    if (!mIniFile::DeleteIniKey(category_, names_[index - 1], State().CatalogueFilePath)) {
        ui::Current().Message(QStringLiteral("ｷｰの削除に失敗しました。"));
        return false;
    }
    names_.removeAt(index - 1);
    files_.removeAt(index - 1);
    folders_.removeAt(index - 1);
    exes_.removeAt(index - 1);
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
    category_ = name;
    names_.clear();
    files_.clear();
    folders_.clear();
    exes_.clear();
    const QString &file = State().CatalogueFilePath;
    QStringList keys;
    const qint32 n = mIniFile::ReadIniSection(name, keys, file);
    for (qint32 i = 0; i < n && i < keys.size(); ++i) {
        const QString path = mIniFile::ReadIniString(name, keys[i], QString(), file);
        names_.append(keys[i]);
        files_.append(path);
        folders_.append(mFunction::GetFolderName(path));
        exes_.append(exeFor(path));
    }
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
