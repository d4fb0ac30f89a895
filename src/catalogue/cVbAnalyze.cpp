#include "catalogue/cVbAnalyze.h"

#include "catalogue/CatalogueChanges.h"
#include "catalogue/mIniFile.h"
#include "settings/Settings.h"
#include "platform/IniStore.h"
#include "tooling/UserInterface.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include <QCoreApplication>
#include <QSet>
#include <QTimer>

#include <deque>
#include <functional>
#include <utility>

namespace catalogue {

namespace {

CatalogueState &stateInstance()
{
    static CatalogueState *state = [] {
        auto *made = new CatalogueState; // outlives every model and window that connects to it
        // Its signals go out on the user-interface thread, whoever asked for it first.
        if (QCoreApplication *app = QCoreApplication::instance())
            made->moveToThread(app->thread());
        return made;
    }();
    return *state;
}

// A key name as the file compares it (letter case ignored), without copying it. Key names
// come trimmed from the document.
struct FoldedName {
    QStringView name;
    friend bool operator==(const FoldedName &a, const FoldedName &b)
    {
        return a.name.compare(b.name, Qt::CaseInsensitive) == 0;
    }
};

size_t qHash(const FoldedName &key, size_t seed = 0)
{
    size_t h = seed;
    for (const QChar c : key.name)
        h = h * 31 + c.toCaseFolded().unicode();
    return h;
}

} // namespace

QList<KeyEntry> CategoryEntries(const platform::IniDocument &document, const QString &section)
{
    const QList<std::pair<QString, QString>> lines = document.KeyLines(section);
    QList<KeyEntry> entries;
    entries.reserve(lines.size());
    QSet<FoldedName> seen;
    seen.reserve(lines.size());
    for (const auto &[key, value] : lines) {
        // A key written twice is one project: the first line, as every read by key sees it.
        const qsizetype before = seen.size();
        seen.insert(FoldedName{key});
        if (seen.size() == before)
            continue;
        entries.append({key, mIniFile::ValueText(value)});
    }
    return entries;
}

QList<KeyText> CategoryTexts(const platform::IniDocument &document, const QString &section)
{
    return DistinctEntries(document.KeyTexts(section));
}

QList<KeyText> DistinctEntries(QList<KeyText> entries)
{
    QSet<QString> seen;
    seen.reserve(entries.size());
    qsizetype kept = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        // A key written twice is one project: the first line, as every read by key sees it.
        const qsizetype before = seen.size();
        seen.insert(platform::IniNameKey(entries[i].first.Text()));
        if (seen.size() == before)
            continue;
        entries[kept++] = {entries[i].first, entries[i].second.Unquoted()};
    }
    entries.resize(kept);
    return entries;
}

ProjectPtr LoadedRecord(const platform::StoredText &name, const platform::StoredText &value)
{
    auto record = std::make_shared<ProjectRecord>();
    // An empty value is an unset path.
    record->texts = platform::StoredPair(name, value);
    // Nothing to read for an unset path; the reader fills the others in.
    record->exeKnown = !record->HasFile();
    return record;
}

ProjectPtr LoadedRecord(const QString &name, const QString &value)
{
    return LoadedRecord(platform::StoredText(name), platform::StoredText(value));
}

QString ExecutableOf(const QString &projectFile) { return mMain::ExecutableOfExisting(projectFile); }

void cVbAnalyze::append(ProjectPtr record) { InsertRecord(Count() + 1, std::move(record)); }

void StatusChanged(ProjectRecord &record)
{
    const bool now = NeedsAttention(record.Shown());
    if (now == record.counted)
        return;
    record.counted = now;
    if (record.owner)
        record.owner->attention_ += now ? 1 : -1;
}

void cVbAnalyze::adopt(ProjectRecord &record, qint32 row)
{
    record.owner = this;
    record.row = row;
    record.counted = NeedsAttention(record.Shown());
    attention_ += record.counted ? 1 : 0;
}

void cVbAnalyze::release(ProjectRecord &record)
{
    if (record.owner != this)
        return;
    attention_ -= record.counted ? 1 : 0;
    record.owner = nullptr;
    record.row = 0;
}

void cVbAnalyze::renumber(qint32 from)
{
    for (qint32 j = qMax(1, from); j <= Count(); ++j)
        projects_[j - 1]->row = j;
}

void cVbAnalyze::changed(qint32 index) { Q_EMIT State().ProjectChanged(this, index); }

ProjectPtr AddedRecord(const QString &name, const QString &file, const QString &exe)
{
    auto record = std::make_shared<ProjectRecord>();
    record->texts = platform::StoredPair(platform::StoredText(name), platform::StoredText(file));
    record->exe = KeptPath(file, exe);
    record->exeKnown = true;
    return record;
}

void cVbAnalyze::AddProject(const QString &projectFile, QString &name)
{
    const QString exe = ExecutableOf(projectFile);
    const bool fromFile = name.isEmpty();
    if (fromFile)
        name = mMain::GetProjectName(projectFile);
    ProjectPtr record = AddedRecord(name, projectFile, exe);
    const std::weak_ptr<ProjectRecord> added = record;
    append(std::move(record));
    if (fromFile && !mFunction::FileExists(exe) && settings::Values().AutoMakeExe)
        mMain::MakeExe(projectFile, added);
}

bool cVbAnalyze::DeleteProject(qint32 index)
{
    if (!valid(index))
        return false;
    const ChangeResult result = catalogue::DeleteProject(category_, projects_[index - 1]);
    if (!result.Message.isNull())
        ui::Current().Message(result.Message);
    return result.Done;
}

QString cVbAnalyze::ProjectName(qint32 index) const { return valid(index) ? projects_[index - 1]->Name() : QString(); }

void cVbAnalyze::SetProjectName(qint32 index, const QString &name)
{
    if (!valid(index))
        return;
    projects_[index - 1]->SetName(platform::StoredText(name));
    changed(index);
}

QString cVbAnalyze::ProjectFile(qint32 index) const { return valid(index) ? projects_[index - 1]->File() : QString(); }

void cVbAnalyze::SetProjectFile(qint32 index, const QString &path)
{
    if (!valid(index))
        return;
    ProjectRecord &record = *projects_[index - 1];
    record.SetFile(platform::StoredText(path));
    record.exe = KeptPath(path, mMain::GetProjectExe(path));
    record.exeKnown = true;
    // Another file: what was found about the old one says nothing.
    record.state = ProjectState::Unknown;
    StatusChanged(record);
    record.SetStatusFile(KeptPath());
    record.sources.reset();
    record.scanPending = false;
    changed(index);
}

QString cVbAnalyze::ProjectFolder(qint32 index) const
{
    return valid(index) ? mFunction::GetFolderName(projects_[index - 1]->File()) : QString();
}

QString cVbAnalyze::ProjectExe(qint32 index) const
{
    if (!valid(index))
        return QString();
    ProjectRecord &record = *projects_[index - 1];
    if (!record.exeKnown) {
        bool readFailed = false;
        const QString file = record.File();
        const QString exe = mMain::ExecutableOfExisting(file, &readFailed);
        // A read that failed is no answer: the next ask, or the reader, reads again.
        if (readFailed)
            return QString();
        record.exe = KeptPath(file, exe);
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
    // The file as it is at this moment, without touching what the lists show of it.
    const platform::IniRead read = platform::IniStore::Read(State().CatalogueFilePath);
    inFile_ = read.document.HasSection(name);
    SetTexts(name, CategoryTexts(read.document, name));
}

void cVbAnalyze::SetCategoryName(const QString &name)
{
    if (name == category_)
        return;
    category_ = name;
    Q_EMIT State().CategoryRenamed(this);
}

void cVbAnalyze::SetEntries(const QString &name, const QList<KeyEntry> &entries, bool announce)
{
    QList<ProjectPtr> records;
    records.reserve(entries.size());
    for (const auto &[key, value] : entries)
        records.append(LoadedRecord(key, value));
    setRecords(name, std::move(records), announce);
}

void cVbAnalyze::SetTexts(const QString &name, const QList<KeyText> &entries, bool announce)
{
    QList<ProjectPtr> records;
    records.reserve(entries.size());
    for (const auto &[key, value] : entries)
        records.append(LoadedRecord(key, value));
    setRecords(name, std::move(records), announce);
}

void cVbAnalyze::setRecords(const QString &name, QList<ProjectPtr> records, bool announce)
{
    const bool renamed = name != category_;
    if (announce)
        Q_EMIT State().ProjectsAboutToBeReset(this);
    category_ = name;
    for (const ProjectPtr &record : projects_)
        release(*record);
    projects_ = std::move(records);
    for (qint32 j = 1; j <= Count(); ++j)
        adopt(*projects_[j - 1], j);
    if (!announce)
        return;
    Q_EMIT State().ProjectsReset(this);
    if (renamed)
        Q_EMIT State().CategoryRenamed(this);
}

void cVbAnalyze::AppendLoadedEntry(const QString &name, const QString &value) { append(LoadedRecord(name, value)); }

void cVbAnalyze::SetLoadedFile(qint32 index, const QString &value)
{
    if (!valid(index))
        return;
    ProjectRecord &record = *projects_[index - 1];
    record.SetFile(platform::StoredText(value));
    record.exe = KeptPath();
    record.exeKnown = !record.HasFile();
    record.state = ProjectState::Unknown;
    StatusChanged(record);
    record.SetStatusFile(KeptPath());
    record.exeModifiedNs = 0;
    record.sources.reset();
    record.scanPending = false;
    changed(index);
}

void cVbAnalyze::AppendRecord(ProjectPtr record)
{
    if (record)
        append(std::move(record));
}

bool cVbAnalyze::isCurrent() const
{
    const CatalogueState &state = State();
    return state.Current() == this;
}

void cVbAnalyze::InsertRecord(qint32 index, ProjectPtr record)
{
    if (!record || index < 1 || index > Count() + 1)
        return;
    Q_EMIT State().ProjectAboutToBeInserted(this, index);
    adopt(*record, index);
    projects_.insert(index - 1, std::move(record));
    renumber(index + 1);
    if (isCurrent() && State().CurrentProject >= index)
        State().CurrentProject += 1;
    Q_EMIT State().ProjectInserted(this, index);
}

void cVbAnalyze::ReplaceRecords(QList<ProjectPtr> records)
{
    CatalogueState &state = State();
    const ProjectRecord *current = isCurrent() ? Record(state.CurrentProject) : nullptr;
    Q_EMIT State().ProjectsAboutToBeReset(this);
    for (const ProjectPtr &record : projects_)
        release(*record);
    projects_ = std::move(records);
    for (qint32 j = 1; j <= Count(); ++j)
        adopt(*projects_[j - 1], j);
    if (isCurrent())
        state.CurrentProject = IndexOf(current);
    Q_EMIT State().ProjectsReset(this);
}

bool cVbAnalyze::TakeRecordsOf(cVbAnalyze &earlier)
{
    if (earlier.category_ != category_ || earlier.Count() != Count())
        return false;
    for (qint32 j = 0; j < Count(); ++j)
        if (!(projects_[j]->texts.First() == earlier.projects_[j]->texts.First())
            || !(projects_[j]->texts.Second() == earlier.projects_[j]->texts.Second()))
            return false;
    earlier.attention_ = 0;
    setRecords(category_, std::exchange(earlier.projects_, {}), false);
    return true;
}

qint32 cVbAnalyze::IndexOf(const ProjectRecord *record) const
{
    if (!record || record->owner != this || !valid(record->row) || projects_[record->row - 1].get() != record)
        return 0;
    return record->row;
}

void cVbAnalyze::RemoveEntry(qint32 index)
{
    if (!valid(index))
        return;
    Q_EMIT State().ProjectAboutToBeRemoved(this, index);
    release(*projects_[index - 1]);
    projects_.removeAt(index - 1);
    renumber(index);
    if (isCurrent()) {
        qint32 &current = State().CurrentProject;
        current = current == index ? 0 : current > index ? current - 1 : current;
    }
    Q_EMIT State().ProjectRemoved(this, index);
}

cVbAnalyze *CatalogueState::CategoryAt(qint32 index) const
{
    if (index < 1 || index > CategoryCount || size_t(index) >= Catalogue.size())
        return nullptr;
    return Catalogue[size_t(index)].get();
}

qint32 CatalogueState::IndexOfCategory(const QString &name) const
{
    for (qint32 i = 1; i <= CategoryCount; ++i)
        if (platform::SameIniName(CategoryAt(i)->Category(), name))
            return i;
    return 0;
}

qint32 CatalogueState::IndexOf(const cVbAnalyze *category) const
{
    return category && CategoryAt(category->index_) == category ? category->index_ : 0;
}

void CatalogueState::renumber(qint32 from)
{
    for (qint32 i = qMax(1, from); i <= CategoryCount; ++i)
        Catalogue[size_t(i)]->index_ = i;
}

void CatalogueState::ReplaceCategories(std::vector<std::unique_ptr<cVbAnalyze>> categories, const cVbAnalyze *current)
{
    if (!current)
        current = Current();
    Q_EMIT CategoriesAboutToBeReset();
    CategoryCount = categories.empty() ? 0 : qint32(categories.size()) - 1;
    DisposeInSlices(std::move(Catalogue));
    Catalogue = std::move(categories);
    renumber(1);
    // The same object still listed stays current; a new catalogue has none.
    CurrentCategory = IndexOf(current);
    if (CurrentCategory == 0)
        CurrentProject = 0;
    Q_EMIT CategoriesReset();
}

cVbAnalyze *CatalogueState::AppendCategory(std::unique_ptr<cVbAnalyze> category)
{
    return InsertCategory(CategoryCount + 1, std::move(category));
}

cVbAnalyze *CatalogueState::InsertCategory(qint32 index, std::unique_ptr<cVbAnalyze> category)
{
    if (!category || index < 1 || index > CategoryCount + 1)
        return nullptr;
    Q_EMIT CategoryAboutToBeInserted(index);
    Catalogue.resize(size_t(CategoryCount) + 1);
    Catalogue.insert(Catalogue.begin() + index, std::move(category));
    CategoryCount += 1;
    renumber(index);
    if (CurrentCategory >= index)
        CurrentCategory += 1;
    Q_EMIT CategoryInserted(index);
    return Catalogue[size_t(index)].get();
}

void CatalogueState::RemoveCategory(qint32 index)
{
    if (!CategoryAt(index))
        return;
    Q_EMIT CategoryAboutToBeRemoved(index);
    Catalogue.erase(Catalogue.begin() + index);
    CategoryCount -= 1;
    if (CategoryCount == 0)
        Catalogue.clear();
    renumber(index);
    if (CurrentCategory == index) {
        CurrentCategory = 0;
        CurrentProject = 0;
    } else if (CurrentCategory > index) {
        CurrentCategory -= 1;
    }
    Q_EMIT CategoryRemoved(index);
}

void CatalogueState::BuildStarted(const std::weak_ptr<ProjectRecord> &weak, std::optional<qint64> exeModifiedNs)
{
    const std::shared_ptr<ProjectRecord> record = weak.lock();
    if (!record)
        return;
    record->building = true;
    record->buildFailed = false;
    record->buildEnded = false;
    // A project not looked at yet has no time of its own: an old executable left by a failed build
    // would count as new.
    record->buildBaseNs = exeModifiedNs.value_or(record->exeModifiedNs);
    StatusChanged(*record);
    Q_EMIT ProjectBuildStarted(weak);
}

void CatalogueState::BuildFinished(const std::weak_ptr<ProjectRecord> &weak, bool exited)
{
    const std::shared_ptr<ProjectRecord> record = weak.lock();
    if (!record)
        return;
    record->building = false;
    record->buildEnded = true;
    record->buildExited = exited;
    StatusChanged(*record);
    Q_EMIT ProjectBuildFinished(weak);
}

void DisposeInSlices(std::vector<std::unique_ptr<cVbAnalyze>> categories)
{
    // Freed on this thread, where every record is used, but a slice at a time: a million records
    // take a while. Until then they stay whole, so a build that ends meanwhile finds its record.
    static std::deque<std::unique_ptr<cVbAnalyze>> waiting;
    static bool scheduled = false;
    for (std::unique_ptr<cVbAnalyze> &category : categories)
        if (category)
            waiting.push_back(std::move(category));
    if (scheduled || waiting.empty())
        return;
    scheduled = true;
    static const std::function<void()> slice = [] {
        qint64 freed = 0;
        while (!waiting.empty() && freed < 20'000) {
            freed += waiting.front()->Count() + 1;
            waiting.pop_front();
        }
        if (waiting.empty())
            scheduled = false;
        else
            QTimer::singleShot(0, slice);
    };
    QTimer::singleShot(0, slice);
}

CatalogueState &State() { return stateInstance(); }

void ResetState()
{
    CatalogueState &state = stateInstance();
    Q_EMIT state.CategoriesAboutToBeReset();
    state.Catalogue.clear();
    state.CategoryCount = 0;
    state.CurrentCategory = 0;
    state.CurrentProject = 0;
    state.CatalogueFilePath = QString();
    state.LoadStatus = platform::ReadStatus::Missing;
    state.Document = platform::IniDocument();
    state.Stamp = platform::FileStamp();
    state.File = CatalogueState::FileState::Mirrored;
    Q_EMIT state.CategoriesReset();
}

} // namespace catalogue
