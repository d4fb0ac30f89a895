#include "catalogue/ProjectReferences.h"

#include "platform/TextCodec.h"
#include "tooling/mMain.h"

namespace catalogue {

namespace {

bool startsWithKey(QByteArrayView line, QByteArrayView key)
{
    return line.size() > key.size() && line[key.size()] == '='
           && line.first(key.size()).compare(key, Qt::CaseInsensitive) == 0;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A hex number of at most maxDigits digits, the whole of text.
std::optional<quint32> hexNumber(QByteArrayView text, int maxDigits)
{
    text = text.trimmed();
    if (text.isEmpty() || text.size() > maxDigits)
        return std::nullopt;
    quint32 value = 0;
    for (const char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | quint32(digit);
    }
    return value;
}

// "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}" at the start of text: the GUID in upper case, and what follows.
bool guidAt(QByteArrayView text, std::array<char, 36> &guid, QByteArrayView *rest)
{
    constexpr qsizetype kSize = 36;
    if (text.size() < kSize + 2 || text[0] != '{' || text[kSize + 1] != '}')
        return false;
    for (qsizetype i = 0; i < kSize; ++i) {
        const char c = text[i + 1];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : hexDigit(c) < 0)
            return false;
        guid[i] = c >= 'a' && c <= 'f' ? char(c - 'a' + 'A') : c;
    }
    *rest = text.sliced(kSize + 2);
    return true;
}

// "#major.minor#lcid" after the GUID; what follows the lcid is left in rest (its separator included).
bool versionAt(QByteArrayView text, ReferenceKey &key, quint32 &lcidOut, QByteArrayView *rest, char lcidEnd)
{
    if (!text.startsWith('#'))
        return false;
    text = text.sliced(1);
    const qsizetype hash = text.indexOf('#');
    if (hash < 0)
        return false;
    const QByteArrayView version = text.first(hash);
    const qsizetype dot = version.indexOf('.');
    const auto major = dot < 0 ? std::nullopt : hexNumber(version.first(dot), 4);
    const auto minor = dot < 0 ? std::nullopt : hexNumber(version.sliced(dot + 1), 4);
    if (!major || !minor)
        return false;
    text = text.sliced(hash + 1);
    qsizetype end = text.indexOf(lcidEnd);
    if (end < 0)
        end = text.size();
    const auto lcid = hexNumber(text.first(end), 8);
    if (!lcid)
        return false;
    key.major = quint16(*major);
    key.minor = quint16(*minor);
    lcidOut = *lcid;
    *rest = text.sliced(end);
    return true;
}

QString decoded(QByteArrayView bytes) { return platform::DecodeCp932(bytes); }

// "*\A..\Lib\Lib.vbp": a project of the same group.
bool projectAt(QByteArrayView value, ProjectReference &ref)
{
    if (value.size() < 3 || value[0] != '*' || value[1] != '\\' || (value[2] | 0x20) != 'a')
        return false;
    ref.kind = ProjectReference::Kind::Project;
    ref.file = decoded(value.sliced(3)).trimmed();
    ref.malformed = ref.file.isEmpty();
    return true;
}

// A library's reference: *\G{GUID}#2.0#0 for a type library, {GUID}#2.0#0 for a control; rest is
// what follows the locale.
bool libraryAt(QByteArrayView value, ProjectReference::Kind kind, ReferenceKey &key, quint32 &lcid, QByteArrayView *rest)
{
    if (kind == ProjectReference::Kind::TypeLib) {
        if (value.size() < 3 || value[0] != '*' || value[1] != '\\' || (value[2] | 0x20) != 'g')
            return false;
        value = value.sliced(3);
    }
    return guidAt(value, key.guid, rest)
           && versionAt(*rest, key, lcid, rest, kind == ProjectReference::Kind::TypeLib ? '#' : ';');
}

void read(QByteArrayView value, ProjectReference &ref)
{
    ref.malformed = true;
    if (projectAt(value, ref))
        return;
    ReferenceKey key;
    QByteArrayView rest;
    if (!libraryAt(value, ref.kind, key, ref.lcid, &rest))
        return;
    ref.malformed = false;
    ref.guid = QString::fromLatin1(key.guid.data(), qsizetype(key.guid.size()));
    ref.major = key.major;
    ref.minor = key.minor;
    if (ref.kind == ProjectReference::Kind::Control) {
        if (rest.startsWith(';'))
            ref.file = decoded(rest.sliced(1)).trimmed();
        return;
    }
    // The path, then the description, which may hold "#" itself (a path seldom does).
    if (rest.startsWith('#'))
        rest = rest.sliced(1);
    const qsizetype hash = rest.indexOf('#');
    ref.file = decoded(hash < 0 ? rest : rest.first(hash));
    if (hash >= 0)
        ref.description = decoded(rest.sliced(hash + 1));
}

// The value of a Reference= or Object= line and its kind; a null value for other lines.
QByteArrayView valueOf(QByteArrayView line, ProjectReference::Kind *kind)
{
    if (line.isEmpty())
        return {};
    const char first = char(line.front() | 0x20);
    if (first == 'r' && startsWithKey(line, "Reference")) {
        *kind = ProjectReference::Kind::TypeLib;
        return line.sliced(10);
    }
    if (first == 'o' && startsWithKey(line, "Object")) {
        *kind = ProjectReference::Kind::Control;
        return line.sliced(7);
    }
    return {};
}

} // namespace

QString ProjectReference::Label() const
{
    if (!file.isEmpty()) {
        const qsizetype cut = std::max({file.lastIndexOf(u'\\'), file.lastIndexOf(u'/'), file.lastIndexOf(u':')});
        if (cut + 1 < file.size())
            return file.mid(cut + 1);
    }
    if (!description.isEmpty())
        return description;
    if (!guid.isEmpty())
        return u'{' + guid + u'}';
    return text;
}

std::optional<ProjectReference> ReferenceOfLine(QByteArrayView line)
{
    ProjectReference ref;
    const QByteArrayView value = valueOf(line, &ref.kind);
    if (value.isNull())
        return std::nullopt;
    read(value.trimmed(), ref);
    // What the fields say is enough to show a reference that could be read.
    if (ref.malformed)
        ref.text = decoded(value);
    return ref;
}

std::optional<ReferenceKey> ReferenceKeyOfLine(QByteArrayView line)
{
    ProjectReference::Kind kind;
    const QByteArrayView value = valueOf(line, &kind);
    if (value.isNull())
        return std::nullopt;
    ReferenceKey key;
    quint32 lcid = 0;
    QByteArrayView rest;
    if (!libraryAt(value.trimmed(), kind, key, lcid, &rest))
        return std::nullopt;
    return key;
}

void ForEachReferenceLine(QByteArrayView vbp, const std::function<void(QByteArrayView line)> &take)
{
    const QByteArrayView text = vbp.first(qMin<qsizetype>(vbp.size(), mMain::kMaxProjectFileBytes));
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype end = start + mMain::ProjectLineSize(text.sliced(start));
        const QByteArrayView line = text.sliced(start, end - start);
        ProjectReference::Kind kind;
        if (!valueOf(line, &kind).isNull())
            take(line);
        start = end + 1;
    }
}

QList<ProjectReference> ReferencesIn(QByteArrayView vbp)
{
    QList<ProjectReference> references;
    ForEachReferenceLine(vbp, [&references](QByteArrayView line) { references.append(*ReferenceOfLine(line)); });
    return references;
}

} // namespace catalogue
