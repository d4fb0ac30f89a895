#include "platform/TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {

namespace {

// Microsoft's variant of Shift_JIS (0x8160 <-> U+FF5E, 0x815F <-> U+FF3C).
constexpr const char *kCp932Name = "windows-31j";
constexpr char16_t kSubstitute = 0x001A;

bool isCp932Lead(uchar b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool isCp932Trail(uchar b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

} // namespace

TextEncoding DetectEncoding(QByteArrayView bytes, qsizetype *bomLength)
{
    auto starts = [&](std::initializer_list<uchar> mark) {
        if (bytes.size() < qsizetype(mark.size()))
            return false;
        qsizetype i = 0;
        for (uchar m : mark)
            if (uchar(bytes[i++]) != m)
                return false;
        return true;
    };
    TextEncoding result = TextEncoding::Cp932;
    qsizetype length = 0;
    if (starts({0xEF, 0xBB, 0xBF})) {
        result = TextEncoding::Utf8;
        length = 3;
    } else if (starts({0xFF, 0xFE})) {
        result = TextEncoding::Utf16LE;
        length = 2;
    } else if (starts({0xFE, 0xFF})) {
        result = TextEncoding::Utf16BE;
        length = 2;
    }
    if (bomLength)
        *bomLength = length;
    return result;
}

QByteArray ByteOrderMark(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return QByteArray("\xEF\xBB\xBF", 3);
    case TextEncoding::Utf16LE:
        return QByteArray("\xFF\xFE", 2);
    case TextEncoding::Utf16BE:
        return QByteArray("\xFE\xFF", 2);
    case TextEncoding::Cp932:
        break;
    }
    return {};
}

QString DecodeCp932(QByteArrayView bytes)
{
    // ASCII is by far the most common content; skip the converter for it.
    bool ascii = true;
    for (char c : bytes) {
        if (uchar(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(bytes);

    // The converter drops a lead byte cut off at the end; keep a visible trace of it.
    qsizetype i = 0;
    bool danglingLead = false;
    while (i < bytes.size()) {
        const uchar b = uchar(bytes[i]);
        if (isCp932Lead(b) && i + 1 < bytes.size() && isCp932Trail(uchar(bytes[i + 1]))) {
            i += 2;
            continue;
        }
        danglingLead = isCp932Lead(b) && i + 1 == bytes.size();
        ++i;
    }
    QStringDecoder decoder(kCp932Name, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(danglingLead ? bytes.chopped(1) : bytes);
    if (danglingLead)
        text.append(QChar(kSubstitute));
    return text;
}

std::optional<QByteArray> EncodeCp932(QStringView text)
{
    bool ascii = true;
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return text.toLatin1();

    QStringEncoder encoder(kCp932Name, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}

bool Cp932CanHold(QStringView text) { return EncodeCp932(text).has_value(); }

QString Decode(QByteArrayView bytes, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Cp932:
        return DecodeCp932(bytes);
    case TextEncoding::Utf8:
        return QString::fromUtf8(bytes);
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        QString text;
        text.reserve(bytes.size() / 2 + 1);
        const bool le = encoding == TextEncoding::Utf16LE;
        qsizetype i = 0;
        for (; i + 1 < bytes.size(); i += 2) {
            const uchar a = uchar(bytes[i]);
            const uchar b = uchar(bytes[i + 1]);
            text.append(QChar(char16_t(le ? (a | b << 8) : (a << 8 | b))));
        }
        if (i < bytes.size())
            text.append(QChar(kSubstitute)); // odd trailing byte
        return text;
    }
    }
    return {};
}

std::optional<QByteArray> Encode(QStringView text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Cp932:
        return EncodeCp932(text);
    case TextEncoding::Utf8:
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        // Unpaired surrogates cannot be written as valid UTF text.
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                ++i;
                continue;
            }
            if (c.isSurrogate())
                return std::nullopt;
        }
        if (encoding == TextEncoding::Utf8)
            return text.toUtf8();
        QByteArray bytes;
        bytes.resize(text.size() * 2);
        const bool le = encoding == TextEncoding::Utf16LE;
        char *out = bytes.data();
        for (QChar c : text) {
            const char16_t u = c.unicode();
            *out++ = char(le ? (u & 0xFF) : (u >> 8));
            *out++ = char(le ? (u >> 8) : (u & 0xFF));
        }
        return bytes;
    }
    }
    return std::nullopt;
}

int Cp932CharBytes(char32_t ch)
{
    if (ch < 0x80)
        return 1;
    if (ch >= 0xFF61 && ch <= 0xFF9F) // half-width katakana
        return 1;
    return 2;
}

QStringView TruncateToCp932Bytes(QStringView text, qsizetype maxBytes)
{
    qsizetype used = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        qsizetype units = 1;
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            units = 2;
            code = QChar::surrogateToUcs4(c, text[i + 1]);
        }
        const int cost = Cp932CharBytes(code);
        if (used + cost > maxBytes)
            break;
        used += cost;
        i += units;
    }
    return text.first(i);
}

qsizetype Cp932Length(QStringView text)
{
    qsizetype used = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            used += Cp932CharBytes(QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            used += Cp932CharBytes(c.unicode());
        }
    }
    return used;
}

} // namespace platform
