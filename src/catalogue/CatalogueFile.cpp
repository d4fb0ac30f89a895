#include "catalogue/CatalogueFile.h"

#include "catalogue/CatalogueNames.h"
#include "catalogue/cVbAnalyze.h"
#include "catalogue/mIniFile.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "tooling/mFunction.h"

#include <optional>

using platform::IniDocument;
using platform::IniNameKey;
using platform::IniStatus;
using platform::IniStore;
using platform::ReadStatus;

namespace catalogue {

namespace {

bool unreadable(ReadStatus status) { return status == ReadStatus::Unreadable || status == ReadStatus::TooLarge; }

// Paths compare as the catalogue reads them: an empty value is an unset path.
bool samePath(const QString &a, const QString &b) { return (a.isEmpty() && b.isEmpty()) || a == b; }

std::optional<QString> diskValue(const IniDocument &disk, const QString &section, const QString &key)
{
    const QString *stored = disk.FindValue(section, key);
    if (!stored)
        return std::nullopt;
    return mIniFile::ValueText(*stored);
}

struct KeyWrite {
    QString section;
    QString key;
    QString value; // null removes the key
};

// Keys another program added to the file since this run last read or wrote it join the catalogue:
// in the category of their section, or in a new category at the end.
bool takeAddedKeys(const IniDocument &disk, QStringList &sectionNames)
{
    CatalogueState &state = State();
    bool changed = false;
    for (const QString &section : disk.SectionNames()) {
        const QString folded = IniNameKey(section);
        qint32 index = 0;
        for (qint32 i = 1; i <= state.CategoryCount && !index; ++i)
            if (IniNameKey(sectionNames.value(i - 1)) == folded)
                index = i;
        for (const auto &[key, value] : CategoryEntries(disk, section)) {
            if (state.Snapshot.Value(section, key))
                continue;
            cVbAnalyze *category = state.CategoryAt(index);
            bool held = false;
            for (qint32 j = 1; category && j <= category->Count() && !held; ++j)
                held = IniNameKey(category->ProjectName(j)) == IniNameKey(key);
            if (held)
                continue;
            if (!category) {
                auto added = std::make_unique<cVbAnalyze>();
                added->SetEntries(section, {});
                category = state.AppendCategory(std::move(added));
                sectionNames.resize(state.CategoryCount - 1);
                sectionNames.append(section);
                index = state.CategoryCount;
            }
            category->AppendLoadedEntry(key, value);
            changed = true;
        }
    }
    return changed;
}

IniStatus emptyCatalogue(const QString &file)
{
    CatalogueState &state = State();
    IniStore &store = IniStore::Instance();
    const platform::FileStamp stamp = platform::StatFile(file);
    if (state.UnreadableFile == file)
        return IniStatus::Ok; // nothing of this run's to keep, and the file is never touched
    // Only the user's removal of the last category empties a file; otherwise nothing is written.
    if (stamp.exists && state.EmptiedFile != file)
        return IniStatus::Ok;
    const IniStatus status = store.Clear(file);
    if (status == IniStatus::Ok)
        state.Snapshot.Take(file, store.Document(file));
    return status;
}

} // namespace

qint32 LoadCategories()
{
    CatalogueState &state = State();
    IniStore &store = IniStore::Instance();
    const QString file = state.CatalogueFilePath;
    mIniFile::KeepBackups(file);
    state.UnreadableFile.clear();
    state.EmptiedFile.clear();
    state.Snapshot.Clear();
    state.LoadStatus = file.isEmpty() ? ReadStatus::Missing : store.LastRead(file);
    const IniDocument &document = store.Document(file);
    const QStringList names = unreadable(state.LoadStatus) ? QStringList() : document.SectionNames();
    if (unreadable(state.LoadStatus))
        state.UnreadableFile = file;
    else if (!file.isEmpty())
        state.Snapshot.Take(file, document);
    const qint32 n = qint32(names.size());
    if (n <= 0) {
        // Nothing to show; the objects stay until they are replaced.
        Q_EMIT Events().CategoriesAboutToBeReset();
        state.CategoryCount = 0;
        Q_EMIT Events().CategoriesReset();
        return 0;
    }
    std::vector<std::unique_ptr<cVbAnalyze>> categories(size_t(n) + 1);
    for (qint32 i = 1; i <= n; ++i) {
        categories[size_t(i)] = std::make_unique<cVbAnalyze>();
        categories[size_t(i)]->SetEntries(names[i - 1], CategoryEntries(document, names[i - 1]), false);
    }
    state.ReplaceCategories(std::move(categories));
    return n;
}

platform::ReadStatus LastLoadStatus() { return State().LoadStatus; }

QString LoadFailureMessage(const QString &path, ReadStatus status)
{
    switch (status) {
    case ReadStatus::TooLarge:
        return path + QStringLiteral(" は大きすぎるため読み込めません。ﾌｧｲﾙは変更しません。");
    case ReadStatus::Unreadable:
        return path + QStringLiteral(" を読み込めません。ﾌｧｲﾙは変更しません。");
    case ReadStatus::Ok:
    case ReadStatus::Missing:
        break;
    }
    return QString();
}

void ClearCategories()
{
    CatalogueState &state = State();
    state.ReplaceCategories({});
    state.CurrentCategory = 0;
    state.CurrentProject = 0;
    state.UnreadableFile.clear();
    state.EmptiedFile.clear();
    state.Snapshot.Clear();
    state.LoadStatus = ReadStatus::Missing;
}

IniStatus SaveCategories(const QStringList &shownNames, SaveReport *report)
{
    CatalogueState &state = State();
    IniStore &store = IniStore::Instance();
    const QString file = state.CatalogueFilePath;
    if (file.isEmpty())
        return IniStatus::EmptyPath;
    mIniFile::KeepBackups(file);
    if (state.CategoryCount <= 0)
        return emptyCatalogue(file);
    if (state.UnreadableFile == file)
        return IniStatus::Unreadable;

    QStringList sectionNames;
    for (qint32 i = 1; i <= state.CategoryCount; ++i)
        sectionNames.append(shownNames.value(i - 1, state.CategoryAt(i) ? state.CategoryAt(i)->Category() : QString()));

    const ReadStatus read = store.LastRead(file);
    if (unreadable(read))
        return store.Writable(file);
    const IniDocument &disk = store.Document(file);
    // Another program's edits are told from this run's own against what this run last saw of the
    // file. A file that has gone or lost every section was replaced, not edited: write it whole.
    const bool tracked = state.Snapshot.Holds(file) && read == ReadStatus::Ok && !disk.SectionNames().isEmpty();

    QList<KeyWrite> writes;
    QStringList overwritten;
    bool changed = false;
    for (qint32 i = 1; i <= state.CategoryCount; ++i) {
        cVbAnalyze *category = state.CategoryAt(i);
        if (!category)
            continue;
        const QString &section = sectionNames[i - 1];
        QStringList names;
        for (qint32 j = 1; j <= category->Count(); ++j)
            names.append(category->ProjectName(j));
        const QStringList distinct = DistinctProjectNames(names);
        QList<qint32> deletedElsewhere;
        for (qint32 j = 1; j <= category->Count(); ++j) {
            const QString &key = distinct[j - 1];
            if (key != names[j - 1])
                category->SetProjectName(j, key);
            const QString mine = category->ProjectFile(j);
            if (tracked) {
                const std::optional<QString> seen = state.Snapshot.Value(section, key);
                const std::optional<QString> now = diskValue(disk, section, key);
                const bool changedHere = !seen || !samePath(mine, *seen);
                const bool changedThere = seen ? (!now || !samePath(*now, *seen)) : now.has_value();
                if (!changedHere) {
                    if (!now) {
                        deletedElsewhere.append(j);
                        changed = true;
                        continue;
                    }
                    if (changedThere) {
                        category->SetLoadedFile(j, *now);
                        changed = true;
                        continue;
                    }
                    if (!mine.isEmpty())
                        continue; // the file already holds it
                } else if (changedThere && !(now && samePath(*now, mine))) {
                    overwritten.append(u'[' + section + QStringLiteral("] ") + key);
                }
            }
            writes.append({section, key, mine.isEmpty() ? QString() : mine});
        }
        for (auto it = deletedElsewhere.crbegin(); it != deletedElsewhere.crend(); ++it)
            category->RemoveEntry(*it);
    }
    if (tracked && takeAddedKeys(disk, sectionNames))
        changed = true;

    mIniFile::IniBatch batch(file);
    for (const KeyWrite &write : writes)
        mIniFile::WriteIniString(write.section, write.key, write.value, file);
    const IniStatus status = batch.Commit();
    if (status == IniStatus::Ok || status == IniStatus::BadText)
        state.Snapshot.Take(file, store.Document(file));
    if (report) {
        report->Overwritten = overwritten;
        report->CatalogueChanged = changed;
    }
    return status;
}

bool RemoveCategorySection(const QString &name)
{
    CatalogueState &state = State();
    if (!mIniFile::DeleteIniSection(name, state.CatalogueFilePath))
        return false;
    state.Snapshot.ForgetSection(name);
    if (state.CategoryCount == 1)
        state.EmptiedFile = state.CatalogueFilePath;
    return true;
}

bool ReplaceProjectKey(const QString &section, const QString &oldKey, const QString &newKey, const QString &value)
{
    CatalogueState &state = State();
    const QString &file = state.CatalogueFilePath;
    // One replace of the file: were the second write to fail on its own (a full disk), the
    // file would be left without the project.
    mIniFile::IniBatch batch(file);
    if (!mIniFile::DeleteIniKey(section, oldKey, file))
        return false;
    // A refused write must not let the removal reach the file alone.
    if (mIniFile::TryWriteIniString(section, newKey, value, file) != IniStatus::Ok) {
        batch.Abandon();
        return false;
    }
    if (batch.Commit() != IniStatus::Ok)
        return false;
    state.Snapshot.Forget(section, oldKey);
    state.Snapshot.Record(section, newKey, value);
    return true;
}

QString OverwrittenMessage(const QString &path, const QStringList &entries)
{
    constexpr qsizetype kShown = 20;
    QString text = path + QStringLiteral(" は他のﾌﾟﾛｸﾞﾗﾑでも変更されていました。次の項目はこちらの内容で保存しました。\r\n");
    for (qsizetype i = 0; i < entries.size() && i < kShown; ++i)
        text += QStringLiteral("\r\n") + entries[i];
    if (entries.size() > kShown)
        text += QStringLiteral("\r\nほか %1 件").arg(entries.size() - kShown);
    return text;
}

QString WindowCaption(const QString &programName, const QString &catalogueFile)
{
    if (catalogueFile.isEmpty())
        return programName;
    return programName + QStringLiteral(" - (") + mFunction::GetFileName(catalogueFile) + QLatin1Char(')');
}

QString NewCatalogueFilePath() { return platform::JoinPath(platform::ProgramFolder(), QStringLiteral("NewFile.zrd")); }

} // namespace catalogue
