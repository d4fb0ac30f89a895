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
std::optional<QString> guidAt(QByteArrayView text, QByteArrayView *rest)
{
    constexpr qsizetype kSize = 36;
    if (text.size() < kSize + 2 || text[0] != '{' || text[kSize + 1] != '}')
        return std::nullopt;
    QString guid(kSize, Qt::Uninitialized);
    for (qsizetype i = 0; i < kSize; ++i) {
        const char c = text[i + 1];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : hexDigit(c) < 0)
            return std::nullopt;
        guid[i] = QChar(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
    }
    *rest = text.sliced(kSize + 2);
    return guid;
}

// "#major.minor#lcid" after the GUID; what follows the lcid is left in rest (its separator included).
bool versionAt(QByteArrayView text, ProjectReference &ref, QByteArrayView *rest, char lcidEnd)
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
    ref.major = quint16(*major);
    ref.minor = quint16(*minor);
    ref.lcid = *lcid;
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

void readTypeLib(QByteArrayView value, ProjectReference &ref)
{
    ref.kind = ProjectReference::Kind::TypeLib;
    ref.malformed = true;
    if (projectAt(value, ref))
        return;
    if (value.size() < 3 || value[0] != '*' || value[1] != '\\' || (value[2] | 0x20) != 'g')
        return;
    QByteArrayView rest;
    const auto guid = guidAt(value.sliced(3), &rest);
    if (!guid || !versionAt(rest, ref, &rest, '#'))
        return;
    ref.guid = *guid;
    ref.malformed = false;
    // The path, then the description, which may hold "#" itself (a path seldom does).
    if (rest.startsWith('#'))
        rest = rest.sliced(1);
    const qsizetype hash = rest.indexOf('#');
    ref.file = decoded(hash < 0 ? rest : rest.first(hash));
    if (hash >= 0)
        ref.description = decoded(rest.sliced(hash + 1));
}

void readControl(QByteArrayView value, ProjectReference &ref)
{
    ref.kind = ProjectReference::Kind::Control;
    ref.malformed = true;
    if (projectAt(value, ref))
        return;
    QByteArrayView rest;
    const auto guid = guidAt(value, &rest);
    if (!guid || !versionAt(rest, ref, &rest, ';'))
        return;
    ref.guid = *guid;
    ref.malformed = false;
    if (rest.startsWith(';'))
        ref.file = decoded(rest.sliced(1)).trimmed();
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
    if (line.isEmpty())
        return std::nullopt;
    const char first = line.front() | 0x20;
    ProjectReference ref;
    if (first == 'r' && startsWithKey(line, "Reference")) {
        const QByteArrayView value = line.sliced(10);
        ref.text = decoded(value);
        readTypeLib(value.trimmed(), ref);
    } else if (first == 'o' && startsWithKey(line, "Object")) {
        const QByteArrayView value = line.sliced(7);
        ref.text = decoded(value);
        readControl(value.trimmed(), ref);
    } else {
        return std::nullopt;
    }
    return ref;
}

QList<ProjectReference> ReferencesIn(QByteArrayView vbp)
{
    QList<ProjectReference> references;
    const QByteArrayView text = vbp.first(qMin<qsizetype>(vbp.size(), mMain::kMaxProjectFileBytes));
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype end = start + mMain::ProjectLineSize(text.sliced(start));
        if (auto ref = ReferenceOfLine(text.sliced(start, end - start)))
            references.append(std::move(*ref));
        start = end + 1;
    }
    return references;
}

} // namespace catalogue
