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

StoredPair::StoredPair(const StoredText &first, const StoredText &second)
{
    const auto piece = [](const StoredText &text, qsizetype offset) {
        Piece kept;
        kept.offset = quint32(offset);
        kept.size = text.size_;
        kept.encoding = text.encoding_;
        return kept;
    };
    // An empty text needs no bytes: the other's block serves both.
    const bool oneBlock =
        first.size_ == 0 || second.size_ == 0 || first.bytes_.constData() == second.bytes_.constData();
    if (oneBlock) {
        bytes_ = first.size_ > 0 ? first.bytes_ : second.bytes_;
        first_ = piece(first, first.size_ > 0 ? first.offset_ : 0);
        second_ = piece(second, second.size_ > 0 ? second.offset_ : 0);
        return;
    }
    bytes_.reserve(qsizetype(first.size_) + second.size_);
    bytes_.append(first.Bytes());
    bytes_.append(second.Bytes());
    first_ = piece(first, 0);
    second_ = piece(second, first.size_);
}

} // namespace platform
