#include "catalogue/CatalogueChanges.h"

#include "catalogue/CatalogueFile.h"
#include "catalogue/CatalogueNames.h"
#include "catalogue/NameRules.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include <QFileInfo>
#include <QSet>

using platform::IniDocument;
using platform::IniNameKey;

namespace catalogue {

namespace {

const QString kKeyFailed = QStringLiteral("ｷｰの削除に失敗しました。");
const QString kSectionFailed = QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの該当するｶﾃｺﾞﾘｰの削除に失敗しました。");
const QString kEditFailed = QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの該当するｷｰの削除に失敗しました。");

ChangeResult failed(const QString &what, const QString &why)
{
    return {false, what.isEmpty() ? why : what + QStringLiteral("\r\n") + why};
}

ChangeResult done(const QString &message = QString()) { return {true, message}; }

QString categoryGone(const QString &name)
{
    return QStringLiteral("ｶﾃｺﾞﾘｰ　[") + name + QStringLiteral("]　は他のﾌﾟﾛｸﾞﾗﾑで削除されています。");
}

QString projectGone(const QString &name)
{
    return QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ　[") + name + QStringLiteral("]　は他のﾌﾟﾛｸﾞﾗﾑで削除されています。");
}

// The project in the category: the same record, or the one under the same key (another program
// may have given it another path meanwhile). 0 when it is gone.
qint32 find(const cVbAnalyze &category, const ProjectPtr &project)
{
    if (!project)
        return 0;
    if (const qint32 j = category.IndexOf(project.get()))
        return j;
    for (qint32 j = 1; j <= category.Count(); ++j)
        if (platform::SameIniName(category.ProjectName(j), project->Name()))
            return j;
    return 0;
}

// Every key of the section as the file compares them, lines written twice included.
QSet<QString> keysOf(const IniDocument &document, const QString &section)
{
    QSet<QString> keys;
    for (const auto &[key, value] : document.KeyLines(section))
        keys.insert(IniNameKey(key));
    return keys;
}

QString renamedMessage(const QStringList &renamed)
{
    if (renamed.isEmpty())
        return QString();
    constexpr qsizetype kShown = 20;
    QString text = QStringLiteral("次のﾌﾟﾛｼﾞｪｸﾄ名にはﾃﾞｰﾀﾌｧｲﾙに保存できない文字があるため、名前を変えて登録しました。\r\n");
    for (qsizetype i = 0; i < renamed.size() && i < kShown; ++i)
        text += QStringLiteral("\r\n") + renamed[i];
    if (renamed.size() > kShown)
        text += QStringLiteral("\r\nほか %1 件").arg(renamed.size() - kShown);
    return text;
}

} // namespace

NewProject ReadNewProject(const QString &file)
{
    return {file, mMain::GetProjectName(file), ExecutableOf(file)};
}

ChangeResult AddProjects(const QString &categoryName, const QList<NewProject> &projects, QList<ProjectPtr> *added)
{
    const QString what = QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄは追加されていません。");
    if (projects.isEmpty())
        return done();
    CatalogueEdit edit;
    if (!edit.Begin())
        return failed(edit.Message(), what);
    CatalogueState &state = State();
    cVbAnalyze *category = state.CategoryAt(state.IndexOfCategory(categoryName));
    if (!category)
        return failed(categoryGone(categoryName), what);
    const QString section = category->Category();
    IniDocument &document = edit.Document();
    QSet<QString> taken = keysOf(document, section);
    QStringList renamed;
    QList<ProjectPtr> records;
    for (const NewProject &project : projects) {
        const QString usable = UsableProjectName(project.Name, QFileInfo(project.File).completeBaseName(), document);
        if (usable != project.Name)
            renamed.append(project.Name + QStringLiteral(" → ") + usable);
        const QString name = DistinctName(usable, category->Count() + records.size() + 1, taken);
        if (document.SetValue(section, name, project.File) == IniDocument::Change::Refused)
            return failed(ProblemMessage(state.CatalogueFilePath, FileProblem::BadText), what);
        records.append(AddedRecord(name, project.File, project.Exe));
    }
    if (!edit.Commit())
        return failed(edit.Message(), what);
    category->SetInFile(true);
    for (const ProjectPtr &record : records)
        category->AppendRecord(record);
    if (added)
        *added = records;
    return done(renamedMessage(renamed));
}

ChangeResult RenameCategory(const QString &categoryName, const QString &name)
{
    CatalogueEdit edit;
    if (!edit.Begin())
        return failed(kSectionFailed, edit.Message());
    CatalogueState &state = State();
    const qint32 index = state.IndexOfCategory(categoryName);
    cVbAnalyze *category = state.CategoryAt(index);
    if (!category)
        return failed(categoryGone(categoryName), QString());
    if (const qint32 other = state.IndexOfCategory(name); other != 0 && other != index)
        return failed(CategoryNameTaken(name, {state.CategoryAt(other)->Category()}), QString());
    const QString old = category->Category();
    if (name == old)
        return done();
    IniDocument &document = edit.Document();
    if (document.HasSection(old)) {
        if (document.RenameSection(old, name) != IniDocument::Change::Changed)
            return failed(kSectionFailed, ProblemMessage(state.CatalogueFilePath, FileProblem::BadText));
        if (!edit.Commit())
            return failed(kSectionFailed, edit.Message());
    }
    category->SetCategoryName(name);
    return done();
}

ChangeResult DeleteCategory(const QString &categoryName)
{
    CatalogueEdit edit;
    if (!edit.Begin())
        return failed(kSectionFailed, edit.Message());
    CatalogueState &state = State();
    const qint32 index = state.IndexOfCategory(categoryName);
    if (index == 0)
        return done(); // another program deleted it already
    const QString section = state.CategoryAt(index)->Category();
    IniDocument &document = edit.Document();
    if (document.HasSection(section)) {
        // A section written twice is one category: every copy goes, or the next read brings it back.
        while (document.RemoveSection(section) == IniDocument::Change::Changed) {
        }
        if (!edit.Commit())
            return failed(kSectionFailed, edit.Message());
    }
    state.RemoveCategory(index);
    return done();
}

ChangeResult DeleteProject(const QString &categoryName, const ProjectPtr &project)
{
    CatalogueEdit edit;
    if (!edit.Begin())
        return failed(kKeyFailed, edit.Message());
    CatalogueState &state = State();
    cVbAnalyze *category = state.CategoryAt(state.IndexOfCategory(categoryName));
    const qint32 j = category ? find(*category, project) : 0;
    if (j == 0)
        return done(); // another program deleted it already
    if (edit.Document().RemoveKey(category->Category(), category->ProjectName(j)) == IniDocument::Change::Changed
        && !edit.Commit())
        return failed(kKeyFailed, edit.Message());
    category->RemoveEntry(j);
    return done();
}

ChangeResult EditProject(const QString &categoryName, const ProjectPtr &project, const QString &name,
                         const QString &file)
{
    CatalogueEdit edit;
    if (!edit.Begin())
        return failed(kEditFailed, edit.Message());
    CatalogueState &state = State();
    cVbAnalyze *category = state.CategoryAt(state.IndexOfCategory(categoryName));
    if (!category)
        return failed(categoryGone(categoryName), QString());
    const qint32 j = find(*category, project);
    if (j == 0)
        return failed(projectGone(project ? project->Name() : QString()), QString());
    const QString section = category->Category();
    const QString old = category->ProjectName(j);
    IniDocument &document = edit.Document();
    // A key another program added meanwhile is as taken as a sibling's.
    QStringList others;
    for (const auto &[key, value] : document.KeyLines(section))
        if (!platform::SameIniName(key, old))
            others.append(key);
    if (const QString taken = ProjectNameTaken(name, others); !taken.isNull())
        return failed(taken, QString());
    document.RemoveKey(section, old);
    if (document.SetValue(section, name, file) == IniDocument::Change::Refused)
        return failed(kEditFailed, ProblemMessage(state.CatalogueFilePath, FileProblem::BadText));
    if (!edit.Commit())
        return failed(kEditFailed, edit.Message());
    // The key is written anew, at the end of its section: so is the row.
    const bool wasCurrent = state.Current() == category && state.CurrentProject == j;
    ProjectPtr record = category->Shared(j).lock();
    category->RemoveEntry(j);
    category->AppendRecord(record);
    const qint32 last = category->Count();
    category->SetProjectName(last, name);
    if (category->ProjectFile(last) != file)
        category->SetProjectFile(last, file);
    if (wasCurrent)
        state.CurrentProject = last;
    return done();
}

ChangeResult MoveProject(const QString &fromName, const ProjectPtr &project, const QString &toName)
{
    const QString what = QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄは移動されていません。");
    CatalogueEdit edit;
    if (!edit.Begin())
        return failed(kKeyFailed, edit.Message());
    CatalogueState &state = State();
    cVbAnalyze *from = state.CategoryAt(state.IndexOfCategory(fromName));
    cVbAnalyze *to = state.CategoryAt(state.IndexOfCategory(toName));
    if (!from || !to)
        return failed(categoryGone(from ? toName : fromName), what);
    const qint32 j = find(*from, project);
    if (j == 0)
        return failed(projectGone(project ? project->Name() : QString()), what);
    if (from == to)
        return done();
    IniDocument &document = edit.Document();
    QSet<QString> taken = keysOf(document, to->Category());
    const QString name = DistinctName(from->ProjectName(j), to->Count() + 1, taken);
    document.RemoveKey(from->Category(), from->ProjectName(j));
    if (document.SetValue(to->Category(), name, from->ProjectFile(j)) == IniDocument::Change::Refused)
        return failed(kKeyFailed, ProblemMessage(state.CatalogueFilePath, FileProblem::BadText));
    if (!edit.Commit())
        return failed(kKeyFailed, edit.Message());
    // The project goes over exactly as it was: nothing is read again or built.
    ProjectPtr record = from->Shared(j).lock();
    from->RemoveEntry(j);
    to->SetInFile(true);
    to->AppendRecord(record);
    if (record->Name() != name)
        to->SetProjectName(to->Count(), name);
    return done();
}

} // namespace catalogue
