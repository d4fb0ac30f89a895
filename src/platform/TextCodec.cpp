#include "platform/TextCodec.h"

#include <QStringDecoder>
#include <QList>
#include <QStringEncoder>

#include <utility>
#include <vector>

namespace platform {

namespace {

// Microsoft's variant of Shift_JIS (0x8160 <-> U+FF5E, 0x815F <-> U+FF3C).
constexpr const char *kCp932Name = "windows-31j";
constexpr char16_t kSubstitute = 0x001A;

// What Windows makes of the single bytes its table leaves undefined.
constexpr std::pair<quint16, char16_t> kWindowsSingleBytes[] = {
    {0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3}};

bool isCp932Lead(uchar b) { return IsCp932LeadByte(b); }
bool isCp932Trail(uchar b) { return IsCp932TrailByte(b); }

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

namespace {

// Microsoft's table, read once from the converter: opening a converter costs far more
// than the text it converts, and files are decoded line by line. Only the converter's
// answers for printable characters are taken; control bytes are ASCII as in Microsoft's
// table (the converter swaps 0x1A, 0x1C and 0x7F the IBM way), and invalid bytes follow
// the rules below rather than the converter's.
struct Cp932Tables {
    // decode[lead << 8 | trail] for pairs, decode[byte] for single bytes; 0 = not mapped.
    std::vector<char16_t> decode = std::vector<char16_t>(0x10000, 0);
    // encode[unit]: the code (a single byte when < 0x100); 0 = not encodable.
    std::vector<quint16> encode = std::vector<quint16>(0x10000, 0);
};

const Cp932Tables &tables()
{
    static const Cp932Tables built = [] {
        Cp932Tables t;
        // Each non-ASCII single byte and each lead/trail pair on a line of its own; no trail byte is '\n'.
        QByteArray probe;
        QList<quint16> codes;
        for (int b = 0x80; b < 0x100; ++b) {
            if (isCp932Lead(uchar(b)))
                continue;
            probe += char(b);
            probe += '\n';
            codes.append(quint16(b));
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isCp932Lead(uchar(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (!isCp932Trail(uchar(trail)))
                    continue;
                probe += char(lead);
                probe += char(trail);
                probe += '\n';
                codes.append(quint16(lead << 8 | trail));
            }
        }
        QStringDecoder decoder(kCp932Name, QStringConverter::Flag::Stateless);
        const QString decoded = decoder.decode(probe);
        const QList<QStringView> pieces = QStringView(decoded).split(u'\n');
        if (pieces.size() != codes.size() + 1)
            qFatal("code page 932 converter unusable");
        QString mapped;
        for (qsizetype i = 0; i < codes.size(); ++i) {
            const QStringView piece = pieces[i];
            if (piece.size() != 1 || piece[0].unicode() < 0x80 || piece[0] == QChar::ReplacementCharacter
                || piece[0].isSurrogate())
                continue;
            t.decode[codes[i]] = piece[0].unicode();
            mapped += piece[0];
        }
        // Several codes decode to the same character (NEC and IBM rows); encode as the
        // converter does, which is Microsoft's choice.
        QStringEncoder encoder(kCp932Name, QStringConverter::Flag::Stateless);
        const QByteArray encoded = encoder.encode(mapped);
        qsizetype at = 0;
        for (qsizetype i = 0; i < mapped.size(); ++i) {
            if (at >= encoded.size())
                qFatal("code page 932 converter unusable");
            const uchar first = uchar(encoded[at]);
            quint16 code = first;
            if (isCp932Lead(first) && at + 1 < encoded.size()) {
                code = quint16(first << 8 | uchar(encoded[at + 1]));
                at += 2;
            } else {
                at += 1;
            }
            if (t.decode[code] == mapped[i].unicode())
                t.encode[mapped[i].unicode()] = code;
        }
        // Single bytes the converter leaves unmapped but Windows maps: a line written by another
        // editor must come back byte for byte when its entry is written again.
        for (const auto &[byte, unit] : kWindowsSingleBytes) {
            t.decode[byte] = unit;
            t.encode[unit] = byte;
        }
        return t;
    }();
    return built;
}

} // namespace

// Invalid input: a lead byte without a valid trail byte or a pair the table does not
// map: each gives U+001A; a byte that cannot be a trail byte is read again on its own,
// so ASCII after a broken lead byte survives.
QString DecodeCp932(QByteArrayView bytes)
{
    const std::vector<char16_t> &decode = tables().decode;
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    qsizetype n = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar b = uchar(bytes[i]);
        if (b < 0x80) {
            out[n++] = b;
            ++i;
            continue;
        }
        char16_t u = 0;
        if (isCp932Lead(b)) {
            if (i + 1 < bytes.size() && isCp932Trail(uchar(bytes[i + 1]))) {
                u = decode[b << 8 | uchar(bytes[i + 1])];
                i += 2;
            } else {
                i += 1;
            }
        } else {
            u = decode[b];
            i += 1;
        }
        out[n++] = u ? u : kSubstitute;
    }
    text.truncate(n);
    return text;
}

const char16_t *Cp932Characters() { return tables().decode.data(); }

std::optional<QByteArray> EncodeCp932(QStringView text)
{
    const std::vector<quint16> &encode = tables().encode;
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    char *out = bytes.data();
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            *out++ = char(u);
            continue;
        }
        const quint16 code = encode[u];
        if (code == 0)
            return std::nullopt; // also what the converter would only approximate
        if (code > 0xFF)
            *out++ = char(code >> 8);
        *out++ = char(code & 0xFF);
    }
    bytes.truncate(out - bytes.data());
    return bytes;
}

bool Cp932CanHold(QStringView text) { return EncodeCp932(text).has_value(); }

QString Decode(QByteArrayView bytes, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Cp932:
        return DecodeCp932(bytes);
    case TextEncoding::Utf8: {
        // The file's mark is gone already: a U+FEFF at the start of a line is text (fromUtf8 would drop it).
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        return decoder.decode(bytes);
    }
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
    for (const auto &single : kWindowsSingleBytes)
        if (ch == single.second)
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
