#include "catalogue/CatalogueMirror.h"

#include "catalogue/cVbAnalyze.h"

#include <QHash>
#include <QSet>

#include <algorithm>

using platform::IniNameKey;

namespace catalogue {

namespace {

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

// The same text, whatever bytes keep it (the file's, or the program's own).
bool sameText(const platform::StoredText &a, const platform::StoredText &b)
{
    return a == b || a.Text() == b.Text();
}

// The same entries in the same order, byte for byte: nothing to tell, only the records moved onto
// the new file's bytes. Most categories are so after another program's change; comparing bytes
// spares decoding every name of a large catalogue. The records hold no key twice, so lines equal
// to them hold none either. The entries are the section's key lines, values as written.
bool unchanged(cVbAnalyze &category, const QList<KeyText> &entries)
{
    if (entries.size() != category.Count())
        return false;
    for (qint32 j = 1; j <= category.Count(); ++j) {
        const ProjectRecord *record = category.Record(j);
        const auto &[key, value] = entries[j - 1];
        if (!(record->StoredName() == key) || !(record->StoredFile() == value.Unquoted()))
            return false;
    }
    for (qint32 j = 1; j <= category.Count(); ++j) {
        const ProjectPtr shared = category.Shared(j).lock();
        shared->texts = platform::StoredPair(entries[j - 1].first, entries[j - 1].second.Unquoted());
    }
    return true;
}

// The section reads byte for byte as before, shift bytes further on, and each record holds the
// bytes of its own key line there (row j, key line j; lines: before's): the records move onto the
// new file's bytes, nothing decoded or compared line by line. Anything else goes the long way.
bool moved(cVbAnalyze &category, const platform::IniDocument &document, const platform::IniDocument &before,
           qsizetype shift, const QList<std::pair<qsizetype, qsizetype>> &lines)
{
    if (lines.size() != category.Count())
        return false;
    // One pass: a record moved before a later one fails holds the same bytes, which the long way
    // finds equal.
    const QByteArray &old = before.ReadBytes();
    const QByteArray &bytes = document.ReadBytes();
    for (qint32 j = 1; j <= category.Count(); ++j) {
        ProjectRecord *record = category.Record(j);
        const auto [begin, size] = lines[j - 1];
        if (!record->texts.Within(old, begin, size))
            return false;
        record->texts = record->texts.Moved(bytes, shift);
    }
    return true;
}

bool mirrorProjects(cVbAnalyze &category, const QList<KeyText> &entries)
{
    // The records the category holds, by key as the file compares them.
    QHash<QString, ProjectPtr> held;
    held.reserve(category.Count());
    for (qint32 j = 1; j <= category.Count(); ++j) {
        const QString key = IniNameKey(category.ProjectName(j));
        if (!held.contains(key))
            held.insert(key, category.Shared(j).lock());
    }
    QList<ProjectPtr> wanted;
    wanted.reserve(entries.size());
    QSet<const ProjectRecord *> kept; // records there before that stay
    kept.reserve(entries.size());
    for (const auto &[key, value] : entries) {
        ProjectPtr record = held.take(IniNameKey(key.Text()));
        if (!record) {
            wanted.append(LoadedRecord(key, value));
            continue;
        }
        kept.insert(record.get());
        wanted.append(record);
    }
    bool changed = false;
    // What is gone, from the last row up so that indices stay right.
    for (qint32 j = category.Count(); j >= 1; --j) {
        if (!kept.contains(category.Record(j))) {
            category.RemoveEntry(j);
            changed = true;
        }
    }
    QList<ProjectRecord *> before;
    before.reserve(category.Count());
    for (qint32 j = 1; j <= category.Count(); ++j)
        before.append(const_cast<ProjectRecord *>(category.Record(j)));
    QList<ProjectRecord *> keptAfter;
    keptAfter.reserve(before.size());
    for (const ProjectPtr &record : wanted)
        if (kept.contains(record.get()))
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
    // Row j is entry j now.
    for (qint32 j = 1; j <= category.Count(); ++j) {
        const ProjectRecord *record = category.Record(j);
        if (!kept.contains(record))
            continue;
        const auto &[key, value] = entries[j - 1];
        if (!sameText(record->StoredName(), key)) {
            // The same key in another spelling: the file's is the one shown.
            category.SetProjectName(j, key.Text());
            changed = true;
        }
        if (!sameText(record->StoredFile(), value)) {
            category.SetLoadedFile(j, value.Text());
            changed = true;
        }
        // The same text kept in the new file's bytes: the old bytes can go.
        const ProjectPtr shared = category.Shared(j).lock();
        shared->texts = platform::StoredPair(key, value);
    }
    return changed;
}

} // namespace

bool MirrorDocument(const platform::IniDocument &document, const platform::IniDocument *mirrored,
                    const platform::IniSectionsCompared *compared)
{
    CatalogueState &state = State();
    if (!mirrored)
        compared = nullptr;
    const QStringList sections = compared ? compared->names : document.SectionNames();
    QHash<QString, qsizetype> sectionAt;
    sectionAt.reserve(sections.size());
    for (qsizetype s = 0; s < sections.size(); ++s)
        sectionAt.insert(compared ? compared->keys[s] : IniNameKey(sections[s]), s);

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
        category->SetTexts(sections[s], CategoryTexts(document, sections[s]), false);
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
        if (mirrored) {
            const size_t s = size_t(sectionOf[k]);
            const std::optional<qsizetype> shift =
                compared ? compared->shifts[s] : document.SectionMovedFrom(*mirrored, section);
            if (shift && moved(*category, document, *mirrored, *shift,
                               compared ? compared->keyLinesBefore[s] : mirrored->ReadKeyLines(section)))
                continue;
        }
        // The lines as they are first: with no key written twice they are the entries.
        const QList<KeyText> lines = document.KeyTexts(section);
        if (!unchanged(*category, lines) && mirrorProjects(*category, DistinctEntries(lines)))
            changed = true;
    }
    return changed;
}

} // namespace catalogue
