#include "platform/StoredText.h"

namespace platform {

StoredText::StoredText(const QByteArray &bytes, qsizetype offset, qsizetype size, TextEncoding encoding)
    : bytes_(bytes), offset_(quint32(offset)), size_(quint32(size)), encoding_(quint32(encoding))
{
}

StoredText::StoredText(const QString &text)
    : bytes_(text.toUtf8()), size_(quint32(bytes_.size())), encoding_(quint32(TextEncoding::Utf8))
{
}

StoredText StoredText::Unquoted() const
{
    const qsizetype unit = (Encoding() == TextEncoding::Utf16LE || Encoding() == TextEncoding::Utf16BE) ? 2 : 1;
    if (size_ < 2 * unit)
        return *this;
    const QByteArrayView bytes = Bytes();
    const auto unitAt = [&](qsizetype at) -> char16_t {
        if (unit == 1)
            return uchar(bytes[at]);
        const uchar a = uchar(bytes[at]);
        const uchar b = uchar(bytes[at + 1]);
        return Encoding() == TextEncoding::Utf16LE ? char16_t(a | b << 8) : char16_t(a << 8 | b);
    };
    const char16_t first = unitAt(0);
    if ((first != u'"' && first != u'\'') || unitAt(size_ - unit) != first)
        return *this;
    StoredText inner = *this;
    inner.offset_ += quint32(unit);
    inner.size_ = size_ - quint32(2 * unit);
    return inner;
}

QString StoredText::Text() const
{
    if (size_ == 0)
        return QString();
    return Decode(Bytes(), Encoding());
}

} // namespace platform
