#include "catalogue/CatalogueSnapshot.h"

#include "catalogue/mIniFile.h"
#include "platform/IniDocument.h"

#include <QSet>

using platform::IniNameKey;

namespace catalogue {

QList<KeyEntry> CategoryEntries(const platform::IniDocument &document, const QString &section)
{
    QList<KeyEntry> entries;
    QSet<QString> seen;
    for (const auto &[key, value] : document.KeyLines(section)) {
        // A key written twice is one project: the first line, as every read by key sees it.
        const QString folded = IniNameKey(key);
        if (seen.contains(folded))
            continue;
        seen.insert(folded);
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
