#pragma once

#include "platform/TextCodec.h"

#include <QByteArray>
#include <QString>

namespace platform {

// Text kept as the bytes it was read as, shared with the file's bytes it came from, and decoded
// when asked for: a catalogue of a million projects keeps each name and path once, in the file's
// own bytes, instead of once more as UTF-16. Text made in the program keeps its own UTF-8 bytes.
class StoredText {
public:
    StoredText() = default;
    // A piece of bytes (shared, not copied) in the encoding given.
    StoredText(const QByteArray &bytes, qsizetype offset, qsizetype size, TextEncoding encoding);
    // Text of its own.
    explicit StoredText(const QString &text);

    // A null string when empty, as an unset value reads.
    QString Text() const;
    // Without one pair of matching quotes around it, as a value is read.
    StoredText Unquoted() const;
    bool IsEmpty() const { return size_ == 0; }
    QByteArrayView Bytes() const { return QByteArrayView(bytes_).sliced(offset_, size_); }
    TextEncoding Encoding() const { return TextEncoding(encoding_); }

    // Whether these are bytes of that block, within [begin, begin + size).
    bool Within(const QByteArray &bytes, qsizetype begin, qsizetype size) const
    {
        return size_ > 0 && bytes_.constData() == bytes.constData() && offset_ >= begin
               && qsizetype(offset_) + size_ <= begin + size;
    }
    // The same bytes where they lie in another block, shift bytes further on.
    StoredText Moved(const QByteArray &bytes, qsizetype shift) const
    {
        return StoredText(bytes, offset_ + shift, size_, Encoding());
    }

    // The same bytes in the same encoding: no text to make.
    friend bool operator==(const StoredText &a, const StoredText &b)
    {
        return a.encoding_ == b.encoding_ && a.Bytes() == b.Bytes();
    }

private:
    friend class StoredPair;
    QByteArray bytes_;
    quint32 offset_ = 0;
    quint32 size_ : 30 = 0;
    quint32 encoding_ : 2 = 0;
};

// Two texts kept as StoredText keeps one, in one block of bytes: a project's name and path, both
// from its key line, hold the file's bytes once instead of twice (24 bytes a project).
class StoredPair {
public:
    StoredPair() = default;
    // Texts of two blocks are copied into one of their own.
    StoredPair(const StoredText &first, const StoredText &second);

    StoredText First() const { return text(first_); }
    StoredText Second() const { return text(second_); }
    bool SecondIsEmpty() const { return second_.size == 0; }
    // Both texts as StoredText::Within and Moved have one.
    bool Within(const QByteArray &bytes, qsizetype begin, qsizetype size) const
    {
        const auto inside = [&](const Piece &piece) {
            return piece.size > 0 && qsizetype(piece.offset) >= begin
                   && qsizetype(piece.offset) + piece.size <= begin + size;
        };
        return bytes_.constData() == bytes.constData() && inside(first_) && inside(second_);
    }
    StoredPair Moved(const QByteArray &bytes, qsizetype shift) const
    {
        StoredPair moved = *this;
        moved.bytes_ = bytes;
        moved.first_.offset += quint32(shift);
        moved.second_.offset += quint32(shift);
        return moved;
    }

private:
    struct Piece {
        quint32 offset = 0;
        quint32 size : 30 = 0;
        quint32 encoding : 2 = 0;
    };
    StoredText text(const Piece &piece) const
    {
        return StoredText(bytes_, piece.offset, piece.size, TextEncoding(piece.encoding));
    }
    QByteArray bytes_;
    Piece first_;
    Piece second_;
};

} // namespace platform
