#include "platform/IniDocument.h"

#include <algorithm>

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

IniDocument::Line IniDocument::parseLine(QByteArray raw, TextEncoding encoding)
{
    Line line;
    const qsizetype unit = unitSize(encoding);
    qsizetype contentSize = raw.size() - raw.size() % unit;
    while (contentSize >= unit) {
        const char16_t u = unitAt(raw.constData() + contentSize - unit, encoding);
        if (u != u'\r' && u != u'\n')
            break;
        contentSize -= unit;
    }
    if (raw.size() % unit)
        contentSize = raw.size(); // odd byte of a UTF-16 file: keep it as text
    const QString content = Decode(QByteArrayView(raw).first(contentSize), encoding);
    line.raw = std::move(raw);

    const QStringView text = TrimBlanks(content);
    if (text.isEmpty()) {
        line.kind = Line::Kind::Blank;
    } else if (text.front() == u';') {
        line.kind = Line::Kind::Other;
    } else if (const qsizetype close = text.front() == u'[' ? text.lastIndexOf(u']') : -1; close > 0) {
        // Only a closing "]" makes a header; the text is decoded, so a "]" byte inside a
        // double-byte character is no bracket. Without one the line belongs to the section above.
        line.kind = Line::Kind::Section;
        line.name = TrimBlanks(text.sliced(1, close - 1)).toString();
    } else if (const qsizetype eq = text.indexOf(u'='); eq >= 0) {
        line.kind = Line::Kind::Key;
        line.name = TrimBlanks(text.first(eq)).toString();
        line.value = TrimBlanks(text.sliced(eq + 1)).toString();
    }
    return line;
}

IniDocument IniDocument::Parse(QByteArrayView bytes)
{
    IniDocument doc;
    qsizetype bomLength = 0;
    doc.encoding_ = DetectEncoding(bytes, &bomLength);
    doc.bom_ = bytes.first(bomLength).toByteArray();

    const qsizetype unit = unitSize(doc.encoding_);
    const char *data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype start = bomLength;
    qsizetype i = start;
    while (start < size) {
        qsizetype end = size; // one past the line's terminator
        for (i = start; i + unit <= size; i += unit) {
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
        Line line = parseLine(QByteArray(data + start, end - start), doc.encoding_);
        if (line.kind == Line::Kind::Section) {
            Section section;
            section.header = std::move(line);
            doc.sections_.append(std::move(section));
        } else {
            doc.sections_.back().lines.append(std::move(line));
        }
        start = end;
    }
    doc.rebuildSectionIndex();
    return doc;
}

QByteArray IniDocument::Serialize() const
{
    qsizetype total = bom_.size();
    for (const Section &section : sections_) {
        total += section.header.raw.size();
        for (const Line &line : section.lines)
            total += line.raw.size();
    }
    if (total == 0)
        return QByteArray();
    // Sized once and copied into: a catalogue has a line per project.
    QByteArray out(total, Qt::Uninitialized);
    char *at = out.data();
    const auto put = [&at](const QByteArray &bytes) {
        if (!bytes.isEmpty())
            at = std::copy(bytes.cbegin(), bytes.cend(), at);
    };
    put(bom_);
    for (const Section &section : sections_) {
        put(section.header.raw);
        for (const Line &line : section.lines)
            put(line.raw);
    }
    return out;
}

void IniDocument::rebuildSectionIndex()
{
    sectionIndex_.clear();
    for (qsizetype i = 1; i < sections_.size(); ++i) {
        const QString key = IniNameKey(sections_[i].header.name);
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
            const QString key = IniNameKey(section.lines[i].name);
            if (!section.keyIndex.contains(key))
                section.keyIndex.insert(key, i);
        }
        section.keyIndexValid = true;
    }
    return section.keyIndex.value(folded, -1);
}

const QString *IniDocument::FindValue(QStringView section, QStringView key) const
{
    const qsizetype s = findSection(section);
    if (s < 0)
        return nullptr;
    const qsizetype k = findKey(sections_[s], IniNameKey(key));
    return k < 0 ? nullptr : &sections_[s].lines[k].value;
}

QStringList IniDocument::SectionNames() const
{
    QStringList names;
    for (qsizetype i = 1; i < sections_.size(); ++i)
        if (sectionIndex_.value(IniNameKey(sections_[i].header.name)) == i)
            names.append(sections_[i].header.name);
    return names;
}

QList<std::pair<QString, QString>> IniDocument::KeyLines(QStringView section) const
{
    QList<std::pair<QString, QString>> result;
    const qsizetype s = findSection(section);
    if (s < 0)
        return result;
    for (const Line &line : sections_[s].lines)
        if (line.kind == Line::Kind::Key)
            result.append({line.name, line.value});
    return result;
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

bool IniDocument::hasTerminator(const QByteArray &raw) const
{
    const qsizetype unit = unitSize(encoding_);
    if (raw.size() < unit || raw.size() % unit)
        return false;
    const char16_t u = unitAt(raw.constData() + raw.size() - unit, encoding_);
    return u == u'\r' || u == u'\n';
}

void IniDocument::terminate(QByteArray &raw) const
{
    if (hasTerminator(raw))
        return;
    // An odd byte at the end of a UTF-16 file reads as U+001A. It becomes that character in
    // full before a line break follows, or every later unit would be read one byte off.
    if (const qsizetype odd = raw.size() % unitSize(encoding_)) {
        raw.chop(odd);
        raw.append(Encode(QStringView(u"\u001A"), encoding_).value_or(QByteArray()));
    }
    raw.append(encodeLine(u""));
}

void IniDocument::terminateLastLine()
{
    for (qsizetype s = sections_.size() - 1; s >= 0; --s) {
        Section &section = sections_[s];
        Line *last = !section.lines.isEmpty() ? &section.lines.back()
                                              : (s > 0 ? &section.header : nullptr);
        if (!last)
            continue;
        terminate(last->raw);
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
            if (line.value == value)
                return Change::Unchanged;
            // Keep the line's own bytes up to its "=": spelling and blanks stay as they were.
            const qsizetype unit = unitSize(encoding_);
            qsizetype eq = 0;
            while (eq + unit <= line.raw.size() && unitAt(line.raw.constData() + eq, encoding_) != u'=')
                eq += unit;
            // A key this program would not write (a hand-edited "[x=..." line) keeps its line only
            // while the new one still reads back as the same key with the new value.
            Line rebuilt = parseLine(line.raw.left(eq + unit) + encodeLine(value), encoding_);
            if (rebuilt.kind != Line::Kind::Key || IniNameKey(rebuilt.name) != folded
                || rebuilt.value != TrimBlanks(value))
                return Change::Refused;
            line = std::move(rebuilt);
            return Change::Changed;
        }
        if (!IsValidKeyName(key))
            return Change::Refused;
        qsizetype at = section.lines.size();
        while (at > 0 && section.lines[at - 1].kind == Line::Kind::Blank)
            --at;
        Line *before = at > 0 ? &section.lines[at - 1] : &section.header;
        terminate(before->raw);
        Line line = parseLine(encodeLine(key.toString() + u'=' + value.toString()), encoding_);
        section.lines.insert(at, std::move(line));
        // Only blank lines follow the insertion point, so no key's index moves.
        if (section.keyIndexValid)
            section.keyIndex.insert(folded, at);
        return Change::Changed;
    }

    if (!IsValidKeyName(key))
        return Change::Refused;
    terminateLastLine();
    Section section;
    section.header = parseLine(encodeLine(u'[' + sectionName.toString() + u']'), encoding_);
    section.lines.append(parseLine(encodeLine(key.toString() + u'=' + value.toString()), encoding_));
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
        if (IniNameKey(sections_[later].header.name) == key) {
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
    Line &header = sections_[s].header;
    if (header.name == newName)
        return Change::Unchanged;
    // The header's own line break stays: a file of LF lines keeps them.
    const qsizetype unit = unitSize(encoding_);
    qsizetype end = header.raw.size() - header.raw.size() % unit;
    while (end >= unit) {
        const char16_t u = unitAt(header.raw.constData() + end - unit, encoding_);
        if (u != u'\r' && u != u'\n')
            break;
        end -= unit;
    }
    QByteArray raw = Encode(u'[' + newName.toString() + u']', encoding_).value_or(QByteArray());
    raw += header.raw.sliced(end);
    const QString oldKey = IniNameKey(header.name);
    header = parseLine(std::move(raw), encoding_);
    const bool repeated = sectionIndex_.size() < sections_.size() - 1;
    sectionIndex_.remove(oldKey);
    sectionIndex_.insert(IniNameKey(header.name), s);
    // A later section of the old name now comes first under it.
    for (qsizetype later = s + 1; repeated && later < sections_.size(); ++later) {
        if (IniNameKey(sections_[later].header.name) == oldKey) {
            sectionIndex_.insert(oldKey, later);
            break;
        }
    }
    return Change::Changed;
}

} // namespace platform
