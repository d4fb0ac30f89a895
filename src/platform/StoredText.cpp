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

QString StoredText::Text() const
{
    if (size_ == 0)
        return QString();
    return Decode(Bytes(), Encoding());
}

} // namespace platform
