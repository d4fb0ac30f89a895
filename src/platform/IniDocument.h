#pragma once

#include "platform/StoredText.h"
#include "platform/TextCodec.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace platform {

// How section and key names are matched: blanks at the ends ignored, letter case ignored.
QString IniNameKey(QStringView name);
// The same match of two names, without making a key of each.
bool SameIniName(QStringView a, QStringView b);

// Blanks as the INI syntax knows them: space and tab.
QStringView TrimBlanks(QStringView text);

struct IniSectionsCompared;

// One INI file held in memory so that a rewrite changes only the lines it must: every other line
// keeps its exact bytes. The file's bytes are kept once, as read; a line is where it lies in them
// (or in the bytes of lines written since), and a key's name and value are decoded when asked for,
// so that a catalogue of a million lines costs little more than its size.
class IniDocument {
public:
    enum class Change { Changed, Unchanged, Refused };

    // An empty file.
    IniDocument() { sections_.append(Section{}); }

    // The bytes are kept as they are (shared, not copied).
    static IniDocument Parse(const QByteArray &bytes);
    static IniDocument Parse(QByteArrayView bytes) { return Parse(bytes.toByteArray()); }
    QByteArray Serialize() const;
    // The same bytes as the runs of what the document holds, neighbouring runs joined: a file is
    // written from them without a copy of the whole. Valid until the document changes.
    std::vector<QByteArrayView> Pieces() const;

    TextEncoding Encoding() const { return encoding_; }
    // No bytes at all.
    bool IsEmpty() const { return bom_.isEmpty() && sections_.size() == 1 && sections_.front().lines.isEmpty(); }

    // The stored value (blanks trimmed, quotes kept) of the first matching key in the first
    // matching section; none when there is none.
    std::optional<QString> FindValue(QStringView section, QStringView key) const;

    // Section names in file order; a name repeated later in the file is listed once.
    QStringList SectionNames() const;

    // Every key line of the section in file order: name and stored value.
    QList<std::pair<QString, QString>> KeyLines(QStringView section) const;
    // The same as the file's bytes, decoded only when asked for.
    QList<std::pair<StoredText, StoredText>> KeyTexts(QStringView section) const;

    // The bytes as read, which StoredTexts of the lines not written since share.
    const QByteArray &ReadBytes() const { return read_; }
    // How far the section's bytes moved since the other document (here minus there), when every
    // line of it lies, byte for byte the same and unwritten, in the bytes each read; none else.
    std::optional<qsizetype> SectionMovedFrom(const IniDocument &before, QStringView section) const;
    // Where each key line of the section lies in the bytes read, in file order: begin and size.
    QList<std::pair<qsizetype, qsizetype>> ReadKeyLines(QStringView section) const;

    // What SectionNames, SectionMovedFrom and the earlier document's ReadKeyLines tell of every
    // section, worked out at once: on the thread that read a large file, not the one that shows it.
    // Reads this document and before only, changing neither (safe while another thread reads before).
    IniSectionsCompared CompareSections(const IniDocument &before) const;
    // The same document: a copy of it not changed since, on either side.
    bool SharesWith(const IniDocument &other) const
    {
        return sections_.constData() == other.sections_.constData() && read_.constData() == other.read_.constData()
               && written_.constData() == other.written_.constData();
    }

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
    // Where a line's bytes lie: in the file's bytes as read, or in those of lines written since.
    struct Line {
        enum class Kind : quint8 { Blank, Other, Section, Key };
        quint32 begin = 0;
        quint32 size = 0; // terminator included
        Kind kind = Kind::Other;
        bool written = false;
    };
    struct Section {
        Line header;  // empty for the lines before the first section
        QString name; // blanks trimmed
        QList<Line> lines;
        mutable QHash<QString, qsizetype> keyIndex; // first line of each key, made when first asked
        mutable bool keyIndexValid = false;
    };
    // Positions in a line's bytes.
    struct Range {
        qsizetype begin = 0;
        qsizetype size = 0;
    };
    struct Parsed {
        Line::Kind kind = Line::Kind::Other;
        Range name;  // section or key name, blanks trimmed
        Range value; // key value, blanks trimmed, quotes kept
    };

    QByteArrayView bytesOf(const Line &line) const;
    Parsed parse(QByteArrayView raw) const;
    // The name and value of a line known to be a key, as parse gives them.
    Parsed parseKey(QByteArrayView raw) const;
    QString decode(QByteArrayView raw, Range range) const;
    QString keyName(const Line &line) const;
    Line append(const QByteArray &raw, Line::Kind kind);
    QByteArray encodeLine(QStringView text) const;
    bool hasTerminator(QByteArrayView raw) const;
    void terminate(Line &line);
    void terminateLastLine();
    qsizetype findSection(QStringView section) const;
    // The section's bytes in read_ (header to its last line), when none was written since.
    std::optional<QByteArrayView> readSpan(qsizetype section) const;
    qsizetype findKey(const Section &section, const QString &folded) const;
    void rebuildSectionIndex();

    TextEncoding encoding_ = TextEncoding::Cp932;
    QByteArray bom_;
    QByteArray read_;    // the file's bytes as read
    QByteArray written_; // the bytes of every line written since, one after the other
    QList<Section> sections_; // [0] holds the lines before the first section
    QHash<QString, qsizetype> sectionIndex_;
};

// A document's sections against an earlier document's (IniDocument::CompareSections).
struct IniSectionsCompared {
    IniDocument before; // shared: which document this was worked out against
    QStringList names;  // SectionNames()
    QStringList keys;   // IniNameKey of each name
    // Per name: SectionMovedFrom(before), and where there, before's ReadKeyLines of it.
    std::vector<std::optional<qsizetype>> shifts;
    std::vector<QList<std::pair<qsizetype, qsizetype>>> keyLinesBefore;
};

} // namespace platform
