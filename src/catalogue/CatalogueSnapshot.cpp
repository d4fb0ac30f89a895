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
    sections_.clear();
}

void CatalogueSnapshot::Take(const QString &file, const platform::IniDocument &document)
{
    Clear();
    file_ = file;
    for (const QString &section : document.SectionNames()) {
        QHash<QString, QString> &keys = sections_[IniNameKey(section)];
        for (const auto &[key, value] : CategoryEntries(document, section))
            keys.insert(IniNameKey(key), value);
    }
}

const QString *CatalogueSnapshot::Value(const QString &section, const QString &key) const
{
    const auto s = sections_.constFind(IniNameKey(section));
    if (s == sections_.cend())
        return nullptr;
    const auto k = s->constFind(IniNameKey(key));
    return k == s->cend() ? nullptr : &*k;
}

void CatalogueSnapshot::Record(const QString &section, const QString &key, const QString &value)
{
    sections_[IniNameKey(section)].insert(IniNameKey(key), value);
}

void CatalogueSnapshot::Forget(const QString &section, const QString &key)
{
    const auto s = sections_.find(IniNameKey(section));
    if (s != sections_.end())
        s->remove(IniNameKey(key));
}

void CatalogueSnapshot::ForgetSection(const QString &section) { sections_.remove(IniNameKey(section)); }

} // namespace catalogue
