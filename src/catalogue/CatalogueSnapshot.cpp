#include "catalogue/CatalogueSnapshot.h"

#include "catalogue/mIniFile.h"
#include "platform/IniDocument.h"

#include <QSet>

using platform::IniNameKey;

namespace catalogue {

namespace {

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

void CatalogueSnapshot::Clear()
{
    file_.clear();
    document_ = platform::IniDocument();
}

void CatalogueSnapshot::Take(const QString &file, const platform::IniDocument &document)
{
    file_ = file;
    document_ = document;
}

std::optional<QString> CatalogueSnapshot::Value(const QString &section, const QString &key) const
{
    const QString *stored = document_.FindValue(section, key);
    if (!stored)
        return std::nullopt;
    return mIniFile::ValueText(*stored);
}

void CatalogueSnapshot::Record(const QString &section, const QString &key, const QString &value)
{
    document_.SetValue(section, key, value);
}

void CatalogueSnapshot::Forget(const QString &section, const QString &key) { document_.RemoveKey(section, key); }

void CatalogueSnapshot::ForgetSection(const QString &section) { document_.RemoveSection(section); }

} // namespace catalogue
