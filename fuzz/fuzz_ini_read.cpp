// Bytes -> IniDocument: the bytes come back unchanged, the readers agree with each other,
// and an edit with names from the input gives a document that reads back as it was kept.
#include "FuzzChecks.h"

#include "platform/IniDocument.h"

#include <QHash>

using platform::IniDocument;
using platform::IniNameKey;

namespace {

void checkReparse(const IniDocument &edited, const char *what)
{
    FUZZ_CHECK(fuzz::SameDocument(IniDocument::Parse(edited.Serialize()), edited), what);
}

void checkWrite(const IniDocument &doc, const QString &section, const QString &key, const QString &value)
{
    IniDocument edited = doc;
    const IniDocument::Change change = edited.SetValue(section, key, value);
    if (change != IniDocument::Change::Changed) {
        FUZZ_CHECK(edited.Serialize() == doc.Serialize(), "a refused or unchanged write changed the bytes");
        if (change == IniDocument::Change::Refused)
            return;
    }
    const std::optional<QString> stored = edited.FindValue(section, key);
    FUZZ_CHECK(stored && *stored == platform::TrimBlanks(value).toString(), "write then read");
    if (change == IniDocument::Change::Changed)
        checkReparse(edited, "re-read after a write");
}

// Once per section and key: the outcome does not depend on any value.
void checkRemovals(const IniDocument &doc, const QString &section, const QString &key)
{
    {
        IniDocument edited = doc;
        const qsizetype before = edited.KeyLines(section).size();
        if (edited.RemoveKey(section, key) == IniDocument::Change::Changed) {
            FUZZ_CHECK(edited.KeyLines(section).size() == before - 1, "a removal took other lines with it");
            checkReparse(edited, "re-read after a key removal");
        } else {
            FUZZ_CHECK(edited.Serialize() == doc.Serialize(), "removing an absent key changed the bytes");
        }
    }
    {
        IniDocument edited = doc;
        edited.RemoveSection(section);
        checkReparse(edited, "re-read after a section removal");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzz::Bytes(data, size);
    const IniDocument doc = IniDocument::Parse(bytes);
    FUZZ_CHECK(doc.Serialize() == bytes, "byte-exact round trip");

    const QStringList sections = doc.SectionNames();
    QStringList folded;
    for (const QString &section : sections) {
        FUZZ_CHECK(!folded.contains(IniNameKey(section)), "a section listed twice");
        folded.append(IniNameKey(section));
    }

    // Lookups, with the names as the file spells them and in other spellings that must match.
    for (const QString &section : sections) {
        const auto lines = doc.KeyLines(section);
        FUZZ_CHECK(lines == doc.KeyLines(QStringLiteral(" \t") + IniNameKey(section) + u'\t'), "section match ignores case and blanks");
        QHash<QString, QString> firstValue; // folded key -> the value of its first line
        for (const auto &line : lines) {
            const QString folded = IniNameKey(line.first);
            if (!firstValue.contains(folded))
                firstValue.insert(folded, line.second);
            const std::optional<QString> value = doc.FindValue(section, line.first);
            FUZZ_CHECK(value && value == doc.FindValue(IniNameKey(section), u' ' + folded + u' '),
                       "key match ignores case and blanks");
            FUZZ_CHECK(*value == firstValue.value(folded), "the first key line wins");
        }
    }

    // Edits with the input's own names: one section and one key line of it, picked by the
    // input's hash so that different inputs edit different places (and a run stays short).
    if (!sections.isEmpty()) {
        const size_t pick = qHashBits(data, size);
        const QString &section = sections[qsizetype(pick % size_t(sections.size()))];
        const auto lines = doc.KeyLines(section);
        if (!lines.isEmpty()) {
            const auto &line = lines[qsizetype((pick / 7) % size_t(lines.size()))];
            checkWrite(doc, section, line.first, line.second);                         // the stored value again
            checkWrite(doc, section, line.first, line.second + QStringLiteral(" x")); // a new value
            checkRemovals(doc, section, line.first);
        }
        checkWrite(doc, section, QStringLiteral("NewKey"), lines.isEmpty() ? QStringLiteral("v") : lines[0].second);
        if (lines.isEmpty())
            checkRemovals(doc, section, QStringLiteral("NewKey"));
    }
    checkWrite(doc, QStringLiteral("NewSection"), QStringLiteral("k"), QStringLiteral("v"));
    if (!sections.isEmpty())
        checkWrite(doc, QStringLiteral("NewSection"), sections.back(), sections.front());
    return 0;
}
