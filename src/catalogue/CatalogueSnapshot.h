#pragma once

#include "platform/IniDocument.h"

#include <QList>
#include <QString>

#include <optional>

#include <utility>

namespace catalogue {

// One key line as the catalogue reads it: the project's name and its .vbp path.
using KeyEntry = std::pair<QString, QString>;

// The projects of one section as the catalogue loads them: the first line of each key only
// (the file compares keys without letter case), values whole and without their quotes.
QList<KeyEntry> CategoryEntries(const platform::IniDocument &document, const QString &section);

// What this run last read from or wrote to its catalogue file, key by key: the base against
// which a save tells this run's own changes from those another program made meanwhile.
class CatalogueSnapshot {
public:
    // Knows nothing of any file (after New, or a file that could not be read).
    void Clear();
    // The whole document is what the file holds now.
    void Take(const QString &file, const platform::IniDocument &document);
    // Whether the snapshot describes this file.
    bool Holds(const QString &file) const { return !file_.isEmpty() && file_ == file; }

    // The value last seen for the key; none when the file did not hold it.
    std::optional<QString> Value(const QString &section, const QString &key) const;
    void Record(const QString &section, const QString &key, const QString &value);
    void Forget(const QString &section, const QString &key);
    void ForgetSection(const QString &section);

private:
    QString file_;
    // Shares the parsed file with the store until either changes.
    platform::IniDocument document_;
};

} // namespace catalogue
