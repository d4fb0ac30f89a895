#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace platform {

// The encodings a settings or catalogue file can be in. Files without a
// byte-order mark are code page 932; a mark selects UTF-8 or UTF-16.
enum class TextEncoding { Cp932, Utf8, Utf16LE, Utf16BE };

// Detects the encoding from a leading byte-order mark and returns the mark's length through bomLength.
TextEncoding DetectEncoding(QByteArrayView bytes, qsizetype *bomLength);
QByteArray ByteOrderMark(TextEncoding encoding);

// Invalid byte sequences decode to U+001A; nothing is dropped silently.
QString Decode(QByteArrayView bytes, TextEncoding encoding);

// Empty optional when the encoding cannot hold the text exactly.
std::optional<QByteArray> Encode(QStringView text, TextEncoding encoding);

// Code page 932 helpers: the program's default text encoding for files. The single bytes
// 0x80, 0xA0, 0xFD, 0xFE and 0xFF read as Windows reads them (U+0080, U+F8F0 to U+F8F3)
// and are written back as the same bytes.
QString DecodeCp932(QByteArrayView bytes);
// The characters DecodeCp932 reads, by a lead byte shifted 8 left with its trail byte, or by a
// single byte; 0 for none. For loops that look at each character without making the text.
const char16_t *Cp932Characters();
std::optional<QByteArray> EncodeCp932(QStringView text);
bool Cp932CanHold(QStringView text);

// How code page 932 pairs bytes: a lead byte and a trail byte after it are one character, as the
// decoder reads them.
// Inline: asked for every byte of a catalogue that is read or searched.
inline bool IsCp932LeadByte(uchar b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
inline bool IsCp932TrailByte(uchar b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// Bytes a character takes in code page 932 (1 or 2). Characters the code page
// cannot hold count as 2, so limits stay defined for UTF-8 and UTF-16 files.
int Cp932CharBytes(char32_t ch);

// The longest prefix of text that fits in maxBytes bytes of code page 932,
// never ending inside a character (surrogate pairs stay whole).
QStringView TruncateToCp932Bytes(QStringView text, qsizetype maxBytes);
qsizetype Cp932Length(QStringView text);

} // namespace platform
