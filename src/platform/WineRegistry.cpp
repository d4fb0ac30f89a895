#include "platform/WineRegistry.h"

#include <QDir>

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

// Far larger than any prefix's registry; a file past it is not read.
constexpr qint64 kMaxRegistryBytes = 512 * 1024 * 1024;

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(c | 0x20);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<quint16> hexNumber(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 4)
        return std::nullopt;
    quint16 value = 0;
    for (const char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = quint16(value << 4 | digit);
    }
    return value;
}

bool startsWithIgnoringCase(QByteArrayView text, QByteArrayView start)
{
    return text.size() >= start.size() && text.first(start.size()).compare(start, Qt::CaseInsensitive) == 0;
}

// The key names as the file writes them, every "\" doubled. The classes root of 32-bit programs
// (Wow6432Node) is taken as well: a 64-bit prefix may keep their type libraries there.
constexpr QByteArrayView kTypeLibKeys[] = {
    "Software\\\\Classes\\\\Typelib\\\\",
    "Software\\\\Classes\\\\Wow6432Node\\\\Typelib\\\\",
    "Software\\\\Wow6432Node\\\\Classes\\\\Typelib\\\\",
};
constexpr QByteArrayView kSeparator = "\\\\";

struct KeyOfLib {
    QString guid;
    quint16 major = 0;
    quint16 minor = 0;
};

// "[Software\\Classes\\Typelib\\{GUID}\\2.0\\0\\win32] 1700000000": the library and version, for
// that key only (not its parents, not its subkeys).
std::optional<KeyOfLib> win32KeyOf(QByteArrayView line)
{
    line = line.sliced(1);
    qsizetype at = -1;
    for (const QByteArrayView key : kTypeLibKeys) {
        if (startsWithIgnoringCase(line, key)) {
            at = key.size();
            break;
        }
    }
    if (at < 0)
        return std::nullopt;
    line = line.sliced(at);
    constexpr qsizetype kGuid = 38;
    if (line.size() < kGuid || line[0] != '{' || line[kGuid - 1] != '}' || !line.sliced(kGuid).startsWith(kSeparator))
        return std::nullopt;
    KeyOfLib key;
    key.guid.resize(kGuid - 2);
    for (qsizetype i = 1; i < kGuid - 1; ++i) {
        const char c = line[i];
        if (c != '-' && hexDigit(c) < 0)
            return std::nullopt;
        key.guid[i - 1] = QChar(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
    }
    line = line.sliced(kGuid + kSeparator.size());
    const qsizetype versionEnd = line.indexOf(kSeparator);
    if (versionEnd < 0)
        return std::nullopt;
    const QByteArrayView version = line.first(versionEnd);
    const qsizetype dot = version.indexOf('.');
    const auto major = dot < 0 ? std::nullopt : hexNumber(version.first(dot));
    const auto minor = dot < 0 ? std::nullopt : hexNumber(version.sliced(dot + 1));
    if (!major || !minor)
        return std::nullopt;
    key.major = *major;
    key.minor = *minor;
    line = line.sliced(versionEnd + kSeparator.size());
    // The neutral locale, then the platform.
    if (!startsWithIgnoringCase(line, "0\\\\win32]"))
        return std::nullopt;
    return key;
}

// A string value as the file writes it, from its opening quote: Wine's escapes undone (\\, \",
// \n ..., \x followed by up to four hex digits, up to three octal digits), the rest UTF-8.
std::optional<QString> unquoted(QByteArrayView text)
{
    if (!text.startsWith('"'))
        return std::nullopt;
    QString value;
    qsizetype run = 1; // start of the bytes not taken yet
    const auto flush = [&](qsizetype end) {
        if (end > run)
            value += QString::fromUtf8(text.sliced(run, end - run));
    };
    for (qsizetype i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            flush(i);
            return value;
        }
        if (c != '\\')
            continue;
        flush(i);
        if (++i == text.size())
            return std::nullopt;
        const char e = text[i];
        run = i + 1;
        switch (e) {
        case 'a': value += u'\a'; break;
        case 'b': value += u'\b'; break;
        case 'e': value += QChar(0x1b); break;
        case 'f': value += u'\f'; break;
        case 'n': value += u'\n'; break;
        case 'r': value += u'\r'; break;
        case 't': value += u'\t'; break;
        case 'v': value += u'\v'; break;
        case 'x': {
            char16_t code = 0;
            qsizetype j = i + 1;
            for (; j < text.size() && j < i + 5 && hexDigit(text[j]) >= 0; ++j)
                code = char16_t(code << 4 | hexDigit(text[j]));
            value += QChar(code);
            i = j - 1;
            run = j;
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                char16_t code = 0;
                qsizetype j = i;
                for (; j < text.size() && j < i + 3 && text[j] >= '0' && text[j] <= '7'; ++j)
                    code = char16_t(code << 3 | (text[j] - '0'));
                value += QChar(code);
                i = j - 1;
                run = j;
            } else {
                run = i; // the character itself: \\ and \" among them
            }
        }
    }
    return std::nullopt;
}

// The folders Wine always gives these names, for a value of type str(2).
QString expanded(QString value)
{
    static const struct {
        QLatin1StringView name;
        QLatin1StringView folder;
    } kVariables[] = {{QLatin1StringView("%SystemRoot%"), QLatin1StringView("C:\\windows")},
                      {QLatin1StringView("%windir%"), QLatin1StringView("C:\\windows")},
                      {QLatin1StringView("%SystemDrive%"), QLatin1StringView("C:")}};
    for (const auto &v : kVariables)
        value.replace(v.name, v.folder, Qt::CaseInsensitive);
    return value;
}

// The default value of a key: @="..." or @=str(2):"..." (expanded); none for other types.
std::optional<QString> defaultValue(QByteArrayView line)
{
    QByteArrayView value = line.sliced(2);
    bool expand = false;
    if (value.startsWith("str(")) {
        const qsizetype close = value.indexOf("):");
        if (close < 0)
            return std::nullopt;
        const QByteArrayView type = value.sliced(4, close - 4);
        if (type != "1" && type != "2")
            return std::nullopt;
        expand = type == "2";
        value = value.sliced(close + 2);
    }
    auto text = unquoted(value);
    if (text && expand)
        *text = expanded(*text);
    return text;
}

} // namespace

void TypeLibTable::Add(QByteArrayView text)
{
    std::optional<KeyOfLib> current;
    const char *const begin = text.data();
    const qsizetype size = text.size();
    qsizetype start = 0;
    // One pass; a line is looked at past its first byte only when it opens a key, or is the
    // default value of a key that is wanted.
    while (start < size) {
        const void *lf = std::memchr(begin + start, '\n', size_t(size - start));
        qsizetype end = lf ? static_cast<const char *>(lf) - begin : size;
        const qsizetype next = end + 1;
        if (end > start && begin[end - 1] == '\r')
            --end;
        if (end > start) {
            const char first = begin[start];
            if (first == '[') {
                current = win32KeyOf(text.sliced(start, end - start));
            } else if (current && first == '@' && end - start > 1 && begin[start + 1] == '=') {
                if (auto file = defaultValue(text.sliced(start, end - start))) {
                    std::vector<RegisteredTypeLib> &versions = libs_[current->guid];
                    const auto same = std::find_if(versions.begin(), versions.end(), [&](const RegisteredTypeLib &v) {
                        return v.major == current->major && v.minor == current->minor;
                    });
                    if (same != versions.end())
                        same->win32 = std::move(*file);
                    else
                        versions.push_back({current->major, current->minor, std::move(*file)});
                }
            }
        }
        start = next;
    }
}

std::optional<RegisteredTypeLib> TypeLibTable::Match(QStringView guid, quint16 major, quint16 minor) const
{
    const auto found = libs_.constFind(guid.toString().toUpper());
    if (found == libs_.constEnd())
        return std::nullopt;
    const RegisteredTypeLib *best = nullptr;
    for (const RegisteredTypeLib &v : *found)
        if (v.major == major && v.minor >= minor && (!best || v.minor > best->minor))
            best = &v;
    if (!best)
        return std::nullopt;
    return *best;
}

std::vector<RegisteredTypeLib> TypeLibTable::Versions(QStringView guid) const
{
    return libs_.value(guid.toString().toUpper());
}

std::shared_ptr<const TypeLibTable> WineRegistry::TypeLibs()
{
    const QDir prefix(prefix_);
    const QString systemFile = prefix.filePath(QStringLiteral("system.reg"));
    const QString userFile = prefix.filePath(QStringLiteral("user.reg"));
    const FileStamp system = StatFile(systemFile);
    const FileStamp user = StatFile(userFile);
    QMutexLocker lock(&mutex_);
    if (table_ && system == system_ && user == user_)
        return table_;
    auto table = std::make_shared<TypeLibTable>();
    // What was stat-ed is what is kept: a change during the read is seen by the next call.
    for (const QString &file : {systemFile, userFile}) {
        QByteArray bytes;
        if (ReadWholeFile(file, kMaxRegistryBytes, &bytes) == ReadStatus::Ok)
            table->Add(bytes);
    }
    // FNV-1a over the prefix and both stamps: what a look kept from an earlier run was checked against.
    quint32 tag = 2166136261u;
    const auto mix = [&tag](const void *data, size_t size) {
        for (size_t i = 0; i < size; ++i)
            tag = (tag ^ static_cast<const uchar *>(data)[i]) * 16777619u;
    };
    mix(prefix_.constData(), size_t(prefix_.size()) * sizeof(QChar));
    for (const FileStamp &stamp : {system, user})
        for (const qint64 field : {stamp.size, stamp.modifiedNs, stamp.changedNs, qint64(stamp.inode), qint64(stamp.device)})
            mix(&field, sizeof field);
    table->SetTag(tag == 0 ? 1 : tag);
    ++reads_;
    system_ = system;
    user_ = user;
    table_ = std::move(table);
    return table_;
}

int WineRegistry::Reads() const
{
    QMutexLocker lock(&mutex_);
    return reads_;
}

} // namespace platform
