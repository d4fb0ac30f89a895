#include "catalogue/CatalogueMirror.h"

#include "catalogue/cVbAnalyze.h"

#include <QHash>
#include <QSet>

#include <algorithm>

using platform::IniNameKey;

namespace catalogue {

namespace {

bool samePath(const QString &a, const QString &b) { return (a.isEmpty() && b.isEmpty()) || a == b; }

// Whether the kept items appear in the same order in both lists.
template <typename T>
bool sameOrder(const QList<T *> &before, const QList<T *> &after)
{
    qsizetype at = 0;
    for (T *item : after) {
        while (at < before.size() && before[at] != item)
            ++at;
        if (at == before.size())
            return false;
        ++at;
    }
    return true;
}

bool mirrorProjects(cVbAnalyze &category, const QList<KeyEntry> &entries)
{
    // The records the category holds, by key as the file compares them.
    QHash<QString, ProjectPtr> held;
    for (qint32 j = 1; j <= category.Count(); ++j) {
        const QString key = IniNameKey(category.ProjectName(j));
        if (!held.contains(key))
            held.insert(key, category.Shared(j).lock());
    }
    QList<ProjectPtr> wanted;
    wanted.reserve(entries.size());
    QList<std::pair<ProjectPtr, QString>> moved; // kept records whose path the file changed
    for (const auto &[key, value] : entries) {
        ProjectPtr record = held.take(IniNameKey(key));
        if (!record) {
            wanted.append(LoadedRecord(key, value));
            continue;
        }
        if (!samePath(record->file, value))
            moved.append({record, value});
        wanted.append(record);
    }
    bool changed = false;
    QSet<const ProjectRecord *> staying;
    staying.reserve(wanted.size());
    for (const ProjectPtr &record : wanted)
        staying.insert(record.get());
    // What is gone, from the last row up so that indices stay right.
    for (qint32 j = category.Count(); j >= 1; --j) {
        if (!staying.contains(category.Record(j))) {
            category.RemoveEntry(j);
            changed = true;
        }
    }
    QList<ProjectRecord *> before;
    for (qint32 j = 1; j <= category.Count(); ++j)
        before.append(const_cast<ProjectRecord *>(category.Record(j)));
    QList<ProjectRecord *> keptAfter;
    for (const ProjectPtr &record : wanted)
        if (category.IndexOf(record.get()))
            keptAfter.append(record.get());
    if (!sameOrder(before, keptAfter)) {
        category.ReplaceRecords(wanted);
        changed = true;
    } else {
        for (qint32 j = 1; j <= qint32(wanted.size()); ++j) {
            if (category.Record(j) != wanted[j - 1].get()) {
                category.InsertRecord(j, wanted[j - 1]);
                changed = true;
            }
        }
    }
    for (qint32 j = 1; j <= category.Count(); ++j) {
        const QString &key = entries[j - 1].first;
        if (category.ProjectName(j) != key) {
            // The same key in another spelling: the file's is the one shown.
            category.SetProjectName(j, key);
            changed = true;
        }
    }
    for (const auto &[record, value] : moved) {
        if (const qint32 j = category.IndexOf(record.get())) {
            category.SetLoadedFile(j, value);
            changed = true;
        }
    }
    return changed;
}

} // namespace

bool MirrorDocument(const platform::IniDocument &document)
{
    CatalogueState &state = State();
    const QStringList sections = document.SectionNames();
    QHash<QString, qsizetype> sectionAt;
    for (qsizetype s = 0; s < sections.size(); ++s)
        sectionAt.insert(IniNameKey(sections[s]), s);

    // The order wanted: the file's sections, each category of this run without a section after the
    // category it follows now.
    QList<cVbAnalyze *> bySection(sections.size(), nullptr);
    QList<cVbAnalyze *> unwritten;
    bool changed = false;
    for (qint32 i = state.CategoryCount; i >= 1; --i) {
        cVbAnalyze *category = state.CategoryAt(i);
        const auto at = sectionAt.constFind(IniNameKey(category->Category()));
        if (at != sectionAt.constEnd() && !bySection[*at]) {
            bySection[*at] = category;
        } else if (!category->InFile() && category->Count() == 0) {
            unwritten.prepend(category);
        } else {
            state.RemoveCategory(i);
            changed = true;
        }
    }
    QList<cVbAnalyze *> before;
    for (qint32 i = 1; i <= state.CategoryCount; ++i)
        before.append(state.CategoryAt(i));
    QList<cVbAnalyze *> wanted; // null: a category to make for that section
    QList<qsizetype> sectionOf;
    for (qsizetype s = 0; s < sections.size(); ++s) {
        wanted.append(bySection[s]);
        sectionOf.append(s);
    }
    for (cVbAnalyze *category : unwritten) {
        const qsizetype was = before.indexOf(category);
        qsizetype at = 0;
        for (qsizetype k = was - 1; k >= 0 && at == 0; --k)
            if (const qsizetype found = wanted.indexOf(before[k]); found >= 0)
                at = found + 1;
        wanted.insert(at, category);
        sectionOf.insert(at, -1);
    }
    QList<cVbAnalyze *> keptAfter;
    for (cVbAnalyze *category : wanted)
        if (category)
            keptAfter.append(category);

    QSet<const cVbAnalyze *> made; // their projects came straight from the file
    const auto make = [&](qsizetype s) {
        auto category = std::make_unique<cVbAnalyze>();
        category->SetEntries(sections[s], CategoryEntries(document, sections[s]), false);
        made.insert(category.get());
        return category;
    };
    if (!sameOrder(before, keptAfter)) {
        // Another program put the sections in another order: the list is told anew.
        const cVbAnalyze *current = state.Current();
        std::vector<std::unique_ptr<cVbAnalyze>> all(size_t(wanted.size()) + 1);
        for (qsizetype k = 0; k < wanted.size(); ++k) {
            if (!wanted[k]) {
                all[size_t(k) + 1] = make(sectionOf[k]);
                wanted[k] = all[size_t(k) + 1].get();
                continue;
            }
            const qint32 i = state.IndexOf(wanted[k]);
            all[size_t(k) + 1] = std::move(state.Catalogue[size_t(i)]);
        }
        state.ReplaceCategories(std::move(all), current);
        changed = true;
    } else {
        for (qsizetype k = 0; k < wanted.size(); ++k) {
            if (!wanted[k]) {
                wanted[k] = state.InsertCategory(qint32(k) + 1, make(sectionOf[k]));
                changed = true;
            }
        }
    }
    for (qsizetype k = 0; k < wanted.size(); ++k) {
        cVbAnalyze *category = wanted[k];
        if (sectionOf[k] < 0 || made.contains(category))
            continue;
        const QString &section = sections[sectionOf[k]];
        category->SetInFile(true);
        if (category->Category() != section) {
            category->SetCategoryName(section);
            changed = true;
        }
        if (mirrorProjects(*category, CategoryEntries(document, section)))
            changed = true;
    }
    return changed;
}

} // namespace catalogue
