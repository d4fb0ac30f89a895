// Bytes -> the .vbp readers (a QBuffer, the text in memory and a real file must agree with a plain whole-text
// reading), and the code page 932 conversions on the same bytes.
#include "FuzzChecks.h"

#include "platform/TextCodec.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include <QBuffer>
#include <QFile>

using mMain::ProjectKey;

namespace {

// The readers take the file in pieces of this size; a line may be cut between two pieces.
constexpr qsizetype kReaderChunk = 64 * 1024;

// The whole text at once: lines end at CR LF, a lone CR or a lone LF; the first line with the key wins.
std::optional<QString> plainReading(const QByteArray &bytes, ProjectKey key)
{
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const QByteArrayView line = QByteArrayView(bytes).sliced(start, end - start);
        // Decoded only when needed: ASCII survives decoding byte for byte, so the key must be in the bytes.
        const bool candidate = key == ProjectKey::Name ? line.startsWith("Name") : line.contains("ExeName32");
        const QString text = candidate ? platform::DecodeCp932(line.toByteArray()) : QString();
        if (candidate && (key == ProjectKey::Name || text.contains(u"ExeName32"))) {
            const qsizetype equals = text.indexOf(u'=');
            return mFunction::UnquotePath(equals < 0 ? text : text.mid(equals + 1));
        }
        if (end == bytes.size())
            break;
        start = end + 1;
        if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n')
            ++start;
    }
    return std::nullopt;
}

std::optional<QString> fromBuffer(const QByteArray &bytes, ProjectKey key)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return mMain::ReadProjectValue(buffer, key);
}

void checkReaders(const QByteArray &bytes, bool onDisk)
{
    const std::optional<QString> name = plainReading(bytes, ProjectKey::Name);
    const std::optional<QString> exe = plainReading(bytes, ProjectKey::ExeName32);
    FUZZ_CHECK(fromBuffer(bytes, ProjectKey::Name) == name, "Name through a QBuffer");
    FUZZ_CHECK(fromBuffer(bytes, ProjectKey::ExeName32) == exe, "ExeName32 through a QBuffer");
    FUZZ_CHECK(mMain::ProjectValueIn(bytes, ProjectKey::Name) == name, "Name of a .vbp held in memory");
    FUZZ_CHECK(mMain::ProjectValueIn(bytes, ProjectKey::ExeName32) == exe, "ExeName32 of a .vbp held in memory");

    if (!onDisk)
        return;
    const QString file = fuzz::ScratchFolder() + QStringLiteral("/Project 1.vbp");
    QFile out(file);
    FUZZ_CHECK(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size(), "temp file");
    out.close();
    FUZZ_CHECK(mMain::ReadProjectValue(file, ProjectKey::Name) == name, "Name through a file");
    FUZZ_CHECK(mMain::GetProjectName(file) == (name ? *name : QStringLiteral("Project 1.vbp")), "GetProjectName");
    // Only the value's file name counts: the executable stays in the project's folder.
    QString exeName = exe ? exe->mid(qMax(qMax(exe->lastIndexOf(u'\\'), exe->lastIndexOf(u'/')), exe->lastIndexOf(u':')) + 1)
                          : QString();
    if (exeName == u"." || exeName == u"..")
        exeName.clear();
    const QString expectedExe = exe ? fuzz::ScratchFolder() + u'/' + exeName : fuzz::ScratchFolder() + QStringLiteral("/Project 1.exe");
    FUZZ_CHECK(mMain::GetProjectExe(file) == expectedExe, "GetProjectExe");
}

void checkCodePage(const QByteArray &bytes)
{
    // Decoding: every byte is accounted for, and what decoded (substitutes aside) encodes and comes back.
    const QString decoded = platform::DecodeCp932(bytes);
    FUZZ_CHECK(decoded.size() <= bytes.size(), "decoding invented characters");
    QString clean = decoded;
    clean.remove(QChar(0x001A));
    const std::optional<QByteArray> encoded = platform::EncodeCp932(clean);
    FUZZ_CHECK(encoded.has_value(), "a decoded character cannot be encoded");
    FUZZ_CHECK(platform::DecodeCp932(*encoded) == clean, "decode(encode(decode(x)))");
    FUZZ_CHECK(platform::Cp932Length(clean) == encoded->size(), "Cp932Length disagrees with the encoding");
    if (!decoded.contains(QChar(0x001A)))
        FUZZ_CHECK(platform::EncodeCp932(decoded).has_value(), "encode(decode(x)) undefined");

    // The bytes as UTF-16 text: whatever encodes comes back exactly.
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text[i / 2] = QChar(char16_t(uchar(bytes[i]) | uchar(bytes[i + 1]) << 8));
    if (const auto e = platform::EncodeCp932(text)) {
        FUZZ_CHECK(platform::DecodeCp932(*e) == text, "decode(encode(t))");
        FUZZ_CHECK(platform::Cp932Length(text) == e->size(), "Cp932Length of encodable text");
    }
    for (platform::TextEncoding encoding : {platform::TextEncoding::Utf8, platform::TextEncoding::Utf16LE,
                                            platform::TextEncoding::Utf16BE}) {
        if (const auto e = platform::Encode(text, encoding))
            FUZZ_CHECK(platform::Decode(*e, encoding) == text, "UTF round trip");
    }

    // Truncation: a prefix within the limit, as long as possible, never half a surrogate pair.
    const qsizetype limit = bytes.isEmpty() ? 0 : uchar(bytes[0]) % 64;
    const QStringView cut = platform::TruncateToCp932Bytes(text, limit);
    FUZZ_CHECK(cut.size() <= text.size() && platform::Cp932Length(cut) <= limit, "truncation over the limit");
    FUZZ_CHECK(cut.isEmpty() || !cut.back().isHighSurrogate() || cut.size() == text.size()
                   || !text[cut.size()].isLowSurrogate(),
               "truncation split a surrogate pair");
    if (cut.size() < text.size()) {
        const qsizetype next = text[cut.size()].isHighSurrogate() && cut.size() + 1 < text.size()
                                       && text[cut.size() + 1].isLowSurrogate()
                                   ? 2
                                   : 1;
        FUZZ_CHECK(platform::Cp932Length(QStringView(text).first(cut.size() + next)) > limit, "truncation too short");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // First byte: one in four values puts the rest across the reader's piece boundary, at an
    // offset from the second byte. Those runs read 64 KiB each, so they are kept the fewer.
    const QByteArray bytes = fuzz::Bytes(data + 1, size - 1);
    if ((data[0] & 3) == 1 && !bytes.isEmpty()) {
        const qsizetype before = kReaderChunk - uchar(bytes[0]);
        // Built once: most of the time per input would otherwise go into this filler.
        static const QByteArray filler =
            QByteArray("xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\r\n").repeated(1400).first(kReaderChunk);
        QByteArray text;
        text.reserve(before + bytes.size());
        text.append(filler.constData(), before - 1).append('\r').append(bytes.constData() + 1, bytes.size() - 1);
        checkReaders(text, false);
    } else {
        checkReaders(bytes, true);
    }
    checkCodePage(fuzz::Bytes(data + 1, size - 1));
    return 0;
}
