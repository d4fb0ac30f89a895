#pragma once

#include "platform/TextCodec.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace platform {

// How section and key names are matched: blanks at the ends ignored, letter case ignored.
QString IniNameKey(QStringView name);
// The same match of two names, without making a key of each.
bool SameIniName(QStringView a, QStringView b);

// Blanks as the INI syntax knows them: space and tab.
QStringView TrimBlanks(QStringView text);

// One INI file held in memory so that a rewrite changes only the lines it must:
// every other line keeps its exact bytes.
class IniDocument {
public:
    enum class Change { Changed, Unchanged, Refused };

    // An empty file.
    IniDocument() { sections_.append(Section{}); }

    static IniDocument Parse(QByteArrayView bytes);
    QByteArray Serialize() const;

    TextEncoding Encoding() const { return encoding_; }
    // No bytes at all.
    bool IsEmpty() const { return bom_.isEmpty() && sections_.size() == 1 && sections_.front().lines.isEmpty(); }

    // The stored value (blanks trimmed, quotes kept) of the first matching key
    // in the first matching section; nullptr when there is none.
    const QString *FindValue(QStringView section, QStringView key) const;

    // Section names in file order; a name repeated later in the file is listed once.
    QStringList SectionNames() const;

    // Every key line of the section in file order: name and stored value.
    QList<std::pair<QString, QString>> KeyLines(QStringView section) const;

    // A new key goes after the last non-blank line of its section, a new section
    // at the end of the file. Refused when the text cannot be stored faithfully.
    Change SetValue(QStringView section, QStringView key, QStringView value);
    Change RemoveKey(QStringView section, QStringView key);
    Change RemoveSection(QStringView section);
    // The section's header line names it anew; every line under it keeps its bytes and place.
    // Refused when another section already has the new name or the text cannot be stored.
    Change RenameSection(QStringView section, QStringView newName);
    bool HasSection(QStringView section) const { return findSection(section) >= 0; }

    // Whether the document's encoding can hold the text.
    bool CanHold(QStringView text) const;
    static bool IsValidSectionName(QStringView name);
    static bool IsValidKeyName(QStringView name);
    static bool IsValidValue(QStringView value);

private:
    struct Line {
        enum class Kind : quint8 { Blank, Other, Section, Key };
        QByteArray raw; // exact bytes, terminator included
        QString name;   // section or key name, blanks trimmed
        QString value;  // key value, blanks trimmed, quotes kept
        Kind kind = Kind::Other;
    };
    struct Section {
        Line header;           // empty for the lines before the first section
        QList<Line> lines;
        mutable QHash<QString, qsizetype> keyIndex; // first line of each key
        mutable bool keyIndexValid = false;
    };

    static Line parseLine(QByteArray raw, TextEncoding encoding);
    QByteArray encodeLine(QStringView text) const;
    bool hasTerminator(const QByteArray &raw) const;
    void terminate(QByteArray &raw) const;
    void terminateLastLine();
    qsizetype findSection(QStringView section) const;
    qsizetype findKey(const Section &section, const QString &folded) const;
    void rebuildSectionIndex();

    TextEncoding encoding_ = TextEncoding::Cp932;
    QByteArray bom_;
    QList<Section> sections_; // [0] holds the lines before the first section
    QHash<QString, qsizetype> sectionIndex_;
};

} // namespace platform
