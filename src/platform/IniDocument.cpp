#include "platform/IniDocument.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

bool hasLineBreakOrNul(QStringView text)
{
    for (QChar c : text)
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return true;
    return false;
}

qsizetype unitSize(TextEncoding encoding)
{
    return (encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE) ? 2 : 1;
}

char16_t unitAt(const char *p, TextEncoding encoding)
{
    const uchar a = uchar(p[0]);
    switch (encoding) {
    case TextEncoding::Utf16LE:
        return char16_t(a | uchar(p[1]) << 8);
    case TextEncoding::Utf16BE:
        return char16_t(a << 8 | uchar(p[1]));
    default:
        return a;
    }
}

// Calls visit(position, length, ascii) for each character of the bytes as the decoder reads
// them; ascii is the character when it is one of ASCII, else 0. Only ASCII characters matter to
// the syntax, and code page 932 can hide '[' and ']' in the second byte of a character.
template <typename Visit>
void forEachCharacter(QByteArrayView bytes, TextEncoding encoding, Visit visit)
{
    const char *data = bytes.data();
    const qsizetype n = bytes.size();
    switch (encoding) {
    case TextEncoding::Cp932:
        for (qsizetype i = 0; i < n;) {
            const uchar b = uchar(data[i]);
            if (b < 0x80) {
                visit(i, 1, char16_t(b));
                ++i;
            } else if (IsCp932LeadByte(b) && i + 1 < n && IsCp932TrailByte(uchar(data[i + 1]))) {
                visit(i, 2, char16_t(0));
                i += 2;
            } else {
                visit(i, 1, char16_t(0));
                ++i;
            }
        }
        return;
    case TextEncoding::Utf8:
        // No byte of a longer sequence is below 0x80.
        for (qsizetype i = 0; i < n; ++i)
            visit(i, 1, uchar(data[i]) < 0x80 ? char16_t(uchar(data[i])) : char16_t(0));
        return;
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        qsizetype i = 0;
        for (; i + 1 < n; i += 2) {
            const char16_t u = unitAt(data + i, encoding);
            visit(i, 2, u < 0x80 ? u : char16_t(0));
        }
        if (i < n)
            visit(i, 1, char16_t(0)); // an odd byte at the end
        return;
    }
    }
}

} // namespace

QStringView TrimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QString IniNameKey(QStringView name) { return TrimBlanks(name).toString().toCaseFolded(); }

bool SameIniName(QStringView a, QStringView b)
{
    return TrimBlanks(a).compare(TrimBlanks(b), Qt::CaseInsensitive) == 0;
}

IniDocument::Parsed IniDocument::parse(QByteArrayView raw) const
{
    const qsizetype unit = unitSize(encoding_);
    qsizetype contentSize = raw.size() - raw.size() % unit;
    while (contentSize >= unit) {
        const char16_t u = unitAt(raw.data() + contentSize - unit, encoding_);
        if (u != u'\r' && u != u'\n')
            break;
        contentSize -= unit;
    }
    if (raw.size() % unit)
        contentSize = raw.size(); // odd byte of a UTF-16 file: keep it as text

    // One walk finds the text without its blanks, its first "=" and its last "]".
    qsizetype first = -1;
    qsizetype end = 0;
    qsizetype equals = -1;
    qsizetype close = -1;
    char16_t opening = 0;
    forEachCharacter(raw.first(contentSize), encoding_, [&](qsizetype at, qsizetype length, char16_t ascii) {
        if (ascii == u' ' || ascii == u'\t')
            return;
        if (first < 0) {
            first = at;
            opening = ascii;
        }
        end = at + length;
        if (ascii == u'=' && equals < 0)
            equals = at;
        if (ascii == u']')
            close = at;
    });

    // Blanks are single ASCII units in every encoding here and never part of another character.
    const auto trimmed = [&](qsizetype begin, qsizetype stop) {
        while (begin < stop && (unitAt(raw.data() + begin, encoding_) == u' ' || unitAt(raw.data() + begin, encoding_) == u'\t'))
            begin += unit;
        while (stop - unit >= begin
               && (unitAt(raw.data() + stop - unit, encoding_) == u' ' || unitAt(raw.data() + stop - unit, encoding_) == u'\t'))
            stop -= unit;
        return Range{begin, stop - begin};
    };

    Parsed parsed;
    if (first < 0) {
        parsed.kind = Line::Kind::Blank;
    } else if (opening == u';') {
        parsed.kind = Line::Kind::Other;
    } else if (opening == u'[' && close > first) {
        // Only a closing "]" makes a header. Without one the line belongs to the section above.
        parsed.kind = Line::Kind::Section;
        parsed.name = trimmed(first + unit, close);
    } else if (equals >= 0) {
        parsed.kind = Line::Kind::Key;
        parsed.name = trimmed(first, equals);
        parsed.value = trimmed(equals + unit, end);
    }
    return parsed;
}

IniDocument::Parsed IniDocument::parseKey(QByteArrayView raw) const
{
    // In the byte encodings "=", blanks and line breaks are never part of another character: found
    // without walking the characters, as every line of a large catalogue is when it is followed.
    if (encoding_ != TextEncoding::Cp932 && encoding_ != TextEncoding::Utf8)
        return parse(raw);
    const char *data = raw.data();
    qsizetype size = raw.size();
    while (size > 0 && (data[size - 1] == '\r' || data[size - 1] == '\n'))
        --size;
    const auto *equals = static_cast<const char *>(std::memchr(data, '=', size_t(size)));
    if (!equals)
        return parse(raw);
    const auto trimmed = [data](qsizetype begin, qsizetype stop) {
        while (begin < stop && (data[begin] == ' ' || data[begin] == '\t'))
            ++begin;
        while (stop > begin && (data[stop - 1] == ' ' || data[stop - 1] == '\t'))
            --stop;
        return Range{begin, stop - begin};
    };
    Parsed parsed;
    parsed.kind = Line::Kind::Key;
    parsed.name = trimmed(0, equals - data);
    parsed.value = trimmed(equals - data + 1, size);
    return parsed;
}

QByteArrayView IniDocument::bytesOf(const Line &line) const
{
    return QByteArrayView(line.written ? written_ : read_).sliced(line.begin, line.size);
}

QString IniDocument::decode(QByteArrayView raw, Range range) const
{
    return Decode(raw.sliced(range.begin, range.size), encoding_);
}

QString IniDocument::keyName(const Line &line) const
{
    const QByteArrayView raw = bytesOf(line);
    return decode(raw, parse(raw).name);
}

IniDocument IniDocument::Parse(const QByteArray &bytes)
{
    IniDocument doc;
    qsizetype bomLength = 0;
    doc.encoding_ = DetectEncoding(bytes, &bomLength);
    doc.bom_ = bytes.first(bomLength);
    doc.read_ = bytes;

    const qsizetype unit = unitSize(doc.encoding_);
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype start = bomLength;
    while (start < size) {
        qsizetype end = size; // one past the line's terminator
        if (unit == 1) {
            const auto *newline = static_cast<const char *>(std::memchr(data + start, '\n', size_t(size - start)));
            const qsizetype lf = newline ? newline - data : size;
            const auto *cr = static_cast<const char *>(std::memchr(data + start, '\r', size_t(lf - start)));
            if (cr)
                end = (cr - data) + 1 < size && data[(cr - data) + 1] == '\n' ? (cr - data) + 2 : (cr - data) + 1;
            else if (newline)
                end = lf + 1;
        } else {
            for (qsizetype i = start; i + unit <= size; i += unit) {
                const char16_t u = unitAt(data + i, doc.encoding_);
                if (u == u'\n') {
                    end = i + unit;
                    break;
                }
                if (u == u'\r') {
                    end = i + unit;
                    if (end + unit <= size && unitAt(data + end, doc.encoding_) == u'\n')
                        end += unit;
                    break;
                }
            }
        }
        const QByteArrayView raw(data + start, end - start);
        const Parsed parsed = doc.parse(raw);
        const Line line{quint32(start), quint32(end - start), parsed.kind, false};
        if (parsed.kind == Line::Kind::Section) {
            doc.sections_.back().lines.squeeze(); // grown by appending; a line per project is kept
            Section section;
            section.header = line;
            section.name = doc.decode(raw, parsed.name);
            doc.sections_.append(std::move(section));
        } else {
            doc.sections_.back().lines.append(line);
        }
        start = end;
    }
    doc.sections_.back().lines.squeeze();
    doc.rebuildSectionIndex();
    return doc;
}

std::vector<QByteArrayView> IniDocument::Pieces() const
{
    std::vector<QByteArrayView> pieces;
    const auto put = [&pieces](QByteArrayView bytes) {
        if (bytes.isEmpty())
            return;
        // Lines read and left alone lie one after another: a catalogue is a few runs, not a line each.
        if (!pieces.empty() && pieces.back().data() + pieces.back().size() == bytes.data())
            pieces.back() = QByteArrayView(pieces.back().data(), pieces.back().size() + bytes.size());
        else
            pieces.push_back(bytes);
    };
    put(bom_);
    for (const Section &section : sections_) {
        put(bytesOf(section.header));
        for (const Line &line : section.lines)
            put(bytesOf(line));
    }
    return pieces;
}

QByteArray IniDocument::Serialize() const
{
    const std::vector<QByteArrayView> pieces = Pieces();
    qsizetype total = 0;
    for (QByteArrayView piece : pieces)
        total += piece.size();
    if (total == 0)
        return QByteArray();
    QByteArray out(total, Qt::Uninitialized);
    char *at = out.data();
    for (QByteArrayView piece : pieces)
        at = std::copy(piece.begin(), piece.end(), at);
    return out;
}

void IniDocument::rebuildSectionIndex()
{
    sectionIndex_.clear();
    for (qsizetype i = 1; i < sections_.size(); ++i) {
        const QString key = IniNameKey(sections_[i].name);
        if (!sectionIndex_.contains(key))
            sectionIndex_.insert(key, i);
    }
}

qsizetype IniDocument::findSection(QStringView section) const
{
    return sectionIndex_.value(IniNameKey(section), -1);
}

qsizetype IniDocument::findKey(const Section &section, const QString &folded) const
{
    if (!section.keyIndexValid) {
        section.keyIndex.clear();
        for (qsizetype i = 0; i < section.lines.size(); ++i) {
            if (section.lines[i].kind != Line::Kind::Key)
                continue;
            const QString key = IniNameKey(keyName(section.lines[i]));
            if (!section.keyIndex.contains(key))
                section.keyIndex.insert(key, i);
        }
        section.keyIndexValid = true;
    }
    return section.keyIndex.value(folded, -1);
}

std::optional<QString> IniDocument::FindValue(QStringView section, QStringView key) const
{
    const qsizetype s = findSection(section);
    if (s < 0)
        return std::nullopt;
    const qsizetype k = findKey(sections_[s], IniNameKey(key));
    if (k < 0)
        return std::nullopt;
    const QByteArrayView raw = bytesOf(sections_[s].lines[k]);
    return decode(raw, parse(raw).value);
}

QStringList IniDocument::SectionNames() const
{
    QStringList names;
    for (qsizetype i = 1; i < sections_.size(); ++i)
        if (sectionIndex_.value(IniNameKey(sections_[i].name)) == i)
            names.append(sections_[i].name);
    return names;
}

QList<std::pair<QString, QString>> IniDocument::KeyLines(QStringView section) const
{
    QList<std::pair<QString, QString>> result;
    const qsizetype s = findSection(section);
    if (s < 0)
        return result;
    for (const Line &line : sections_[s].lines) {
        if (line.kind != Line::Kind::Key)
            continue;
        const QByteArrayView raw = bytesOf(line);
        const Parsed parsed = parse(raw);
        result.append({decode(raw, parsed.name), decode(raw, parsed.value)});
    }
    return result;
}

QList<std::pair<StoredText, StoredText>> IniDocument::KeyTexts(QStringView section) const
{
    QList<std::pair<StoredText, StoredText>> result;
    const qsizetype s = findSection(section);
    if (s < 0)
        return result;
    result.reserve(sections_[s].lines.size());
    for (const Line &line : sections_[s].lines) {
        if (line.kind != Line::Kind::Key)
            continue;
        const QByteArray &bytes = line.written ? written_ : read_;
        const Parsed parsed = parseKey(bytesOf(line));
        result.append({StoredText(bytes, line.begin + parsed.name.begin, parsed.name.size, encoding_),
                       StoredText(bytes, line.begin + parsed.value.begin, parsed.value.size, encoding_)});
    }
    return result;
}

std::optional<QByteArrayView> IniDocument::readSpan(qsizetype section) const
{
    const Section &at = sections_[section];
    if (section == 0 || at.header.written)
        return std::nullopt;
    qsizetype end = qsizetype(at.header.begin) + at.header.size;
    for (const Line &line : at.lines) {
        if (line.written || line.begin != end)
            return std::nullopt;
        end += line.size;
    }
    return QByteArrayView(read_).sliced(at.header.begin, end - at.header.begin);
}

std::optional<qsizetype> IniDocument::SectionMovedFrom(const IniDocument &before, QStringView section) const
{
    const qsizetype here = findSection(section);
    const qsizetype there = before.findSection(section);
    if (here < 0 || there < 0 || encoding_ != before.encoding_)
        return std::nullopt;
    const std::optional<QByteArrayView> now = readSpan(here);
    const std::optional<QByteArrayView> then = before.readSpan(there);
    if (!now || !then || *now != *then)
        return std::nullopt;
    return now->data() - read_.constData() - (then->data() - before.read_.constData());
}

QList<std::pair<qsizetype, qsizetype>> IniDocument::ReadKeyLines(QStringView section) const
{
    QList<std::pair<qsizetype, qsizetype>> lines;
    const qsizetype s = findSection(section);
    if (s < 0)
        return lines;
    lines.reserve(sections_[s].lines.size());
    for (const Line &line : sections_[s].lines)
        if (line.kind == Line::Kind::Key && !line.written)
            lines.append({line.begin, line.size});
    return lines;
}

IniSectionsCompared IniDocument::CompareSections(const IniDocument &before) const
{
    IniSectionsCompared compared;
    compared.before = before;
    compared.names = SectionNames();
    compared.keys.reserve(compared.names.size());
    compared.shifts.reserve(size_t(compared.names.size()));
    compared.keyLinesBefore.resize(size_t(compared.names.size()));
    for (qsizetype i = 0; i < compared.names.size(); ++i) {
        const QString &name = compared.names[i];
        compared.keys.append(IniNameKey(name));
        compared.shifts.push_back(SectionMovedFrom(before, name));
        if (compared.shifts.back())
            compared.keyLinesBefore[size_t(i)] = before.ReadKeyLines(name);
    }
    return compared;
}

bool IniDocument::CanHold(QStringView text) const { return Encode(text, encoding_).has_value(); }

bool IniDocument::IsValidSectionName(QStringView name) { return !hasLineBreakOrNul(name); }

bool IniDocument::IsValidKeyName(QStringView name)
{
    if (hasLineBreakOrNul(name) || name.contains(u'='))
        return false;
    const QStringView trimmed = TrimBlanks(name);
    return trimmed.isEmpty() || (trimmed.front() != u';' && trimmed.front() != u'[');
}

bool IniDocument::IsValidValue(QStringView value) { return !hasLineBreakOrNul(value); }

QByteArray IniDocument::encodeLine(QStringView text) const
{
    // Callers check CanHold first, so the conversion cannot fail here.
    return Encode(text.toString() + QStringLiteral("\r\n"), encoding_).value_or(QByteArray());
}

IniDocument::Line IniDocument::append(const QByteArray &raw, Line::Kind kind)
{
    Line line{quint32(written_.size()), quint32(raw.size()), kind, true};
    written_ += raw;
    return line;
}

bool IniDocument::hasTerminator(QByteArrayView raw) const
{
    const qsizetype unit = unitSize(encoding_);
    if (raw.size() < unit || raw.size() % unit)
        return false;
    const char16_t u = unitAt(raw.data() + raw.size() - unit, encoding_);
    return u == u'\r' || u == u'\n';
}

void IniDocument::terminate(Line &line)
{
    if (hasTerminator(bytesOf(line)))
        return;
    QByteArray raw = bytesOf(line).toByteArray();
    // An odd byte at the end of a UTF-16 file reads as U+001A. It becomes that character in
    // full before a line break follows, or every later unit would be read one byte off.
    if (const qsizetype odd = raw.size() % unitSize(encoding_)) {
        raw.chop(odd);
        raw.append(Encode(QStringView(u"\u001A"), encoding_).value_or(QByteArray()));
    }
    raw.append(encodeLine(u""));
    line = append(raw, line.kind);
}

void IniDocument::terminateLastLine()
{
    for (qsizetype s = sections_.size() - 1; s >= 0; --s) {
        Section &section = sections_[s];
        Line *last = !section.lines.isEmpty() ? &section.lines.back() : (s > 0 ? &section.header : nullptr);
        if (!last)
            continue;
        terminate(*last);
        return;
    }
}

IniDocument::Change IniDocument::SetValue(QStringView sectionName, QStringView key, QStringView value)
{
    if (!IsValidSectionName(sectionName) || !IsValidValue(value) || !CanHold(sectionName) || !CanHold(key)
        || !CanHold(value))
        return Change::Refused;

    const QString folded = IniNameKey(key);
    qsizetype s = findSection(sectionName);
    if (s >= 0) {
        Section &section = sections_[s];
        const qsizetype k = findKey(section, folded);
        if (k >= 0) {
            Line &line = section.lines[k];
            const QByteArrayView raw = bytesOf(line);
            if (decode(raw, parse(raw).value) == value)
                return Change::Unchanged;
            // Keep the line's own bytes up to its "=": spelling and blanks stay as they were.
            const qsizetype unit = unitSize(encoding_);
            qsizetype eq = 0;
            while (eq + unit <= raw.size() && unitAt(raw.data() + eq, encoding_) != u'=')
                eq += unit;
            // A key this program would not write (a hand-edited "[x=..." line) keeps its line only
            // while the new one still reads back as the same key with the new value.
            const QByteArray rebuilt = raw.first(qMin(eq + unit, raw.size())).toByteArray() + encodeLine(value);
            const Parsed parsed = parse(rebuilt);
            if (parsed.kind != Line::Kind::Key || IniNameKey(decode(rebuilt, parsed.name)) != folded
                || decode(rebuilt, parsed.value) != TrimBlanks(value))
                return Change::Refused;
            line = append(rebuilt, Line::Kind::Key);
            return Change::Changed;
        }
        if (!IsValidKeyName(key))
            return Change::Refused;
        qsizetype at = section.lines.size();
        while (at > 0 && section.lines[at - 1].kind == Line::Kind::Blank)
            --at;
        terminate(at > 0 ? section.lines[at - 1] : section.header);
        section.lines.insert(at, append(encodeLine(key.toString() + u'=' + value.toString()), Line::Kind::Key));
        // Only blank lines follow the insertion point, so no key's index moves.
        if (section.keyIndexValid)
            section.keyIndex.insert(folded, at);
        return Change::Changed;
    }

    if (!IsValidKeyName(key))
        return Change::Refused;
    terminateLastLine();
    Section section;
    const QByteArray header = encodeLine(u'[' + sectionName.toString() + u']');
    section.header = append(header, Line::Kind::Section);
    section.name = decode(header, parse(header).name);
    section.lines.append(append(encodeLine(key.toString() + u'=' + value.toString()), Line::Kind::Key));
    sections_.append(std::move(section));
    sectionIndex_.insert(IniNameKey(sectionName), sections_.size() - 1);
    return Change::Changed;
}

IniDocument::Change IniDocument::RemoveKey(QStringView sectionName, QStringView key)
{
    const qsizetype s = findSection(sectionName);
    if (s < 0)
        return Change::Unchanged;
    Section &section = sections_[s];
    const qsizetype k = findKey(section, IniNameKey(key));
    if (k < 0)
        return Change::Unchanged;
    section.lines.removeAt(k);
    section.keyIndexValid = false;
    return Change::Changed;
}

IniDocument::Change IniDocument::RemoveSection(QStringView sectionName)
{
    const qsizetype s = findSection(sectionName);
    if (s < 0)
        return Change::Unchanged;
    // Every section has a name of its own unless the index holds fewer names than there are sections.
    const bool repeated = sectionIndex_.size() < sections_.size() - 1;
    sections_.removeAt(s);
    // Only the first section of each name is indexed: a later one of the same name takes its place.
    const QString key = IniNameKey(sectionName);
    sectionIndex_.remove(key);
    for (auto it = sectionIndex_.begin(); it != sectionIndex_.end(); ++it)
        if (it.value() > s)
            it.value() -= 1;
    for (qsizetype later = s; repeated && later < sections_.size(); ++later) {
        if (IniNameKey(sections_[later].name) == key) {
            sectionIndex_.insert(key, later);
            break;
        }
    }
    return Change::Changed;
}

IniDocument::Change IniDocument::RenameSection(QStringView sectionName, QStringView newName)
{
    const qsizetype s = findSection(sectionName);
    if (s < 0)
        return Change::Unchanged;
    if (TrimBlanks(newName).isEmpty() || !IsValidSectionName(newName) || newName.contains(u']') || !CanHold(newName))
        return Change::Refused;
    const qsizetype other = findSection(newName);
    if (other >= 0 && other != s)
        return Change::Refused;
    Section &section = sections_[s];
    if (section.name == newName)
        return Change::Unchanged;
    // The header's own line break stays: a file of LF lines keeps them.
    const QByteArrayView old = bytesOf(section.header);
    const qsizetype unit = unitSize(encoding_);
    qsizetype end = old.size() - old.size() % unit;
    while (end >= unit) {
        const char16_t u = unitAt(old.data() + end - unit, encoding_);
        if (u != u'\r' && u != u'\n')
            break;
        end -= unit;
    }
    QByteArray raw = Encode(u'[' + newName.toString() + u']', encoding_).value_or(QByteArray());
    raw += old.sliced(end);
    const QString oldKey = IniNameKey(section.name);
    const bool repeated = sectionIndex_.size() < sections_.size() - 1;
    section.header = append(raw, Line::Kind::Section);
    section.name = decode(raw, parse(raw).name);
    sectionIndex_.remove(oldKey);
    sectionIndex_.insert(IniNameKey(section.name), s);
    // A later section of the old name now comes first under it.
    for (qsizetype later = s + 1; repeated && later < sections_.size(); ++later) {
        if (IniNameKey(sections_[later].name) == oldKey) {
            sectionIndex_.insert(oldKey, later);
            break;
        }
    }
    return Change::Changed;
}

} // namespace platform
