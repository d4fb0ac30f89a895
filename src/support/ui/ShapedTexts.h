#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QString>

class QPainter;
class QStyleOptionViewItem;

namespace support {

// Item texts cut to their cell and shaped once. A list repaints the same cells on every move of the
// selection, status or filter, and shaping a long Japanese path is most of what a cell costs; the
// style shapes it four or five times a paint.
class ShapedTexts {
public:
    // The cells kept; past it the kept ones are let go (a few screens of a report list).
    static constexpr qsizetype kKept = 1024;

    // The text as the style draws it in a cell of that width: cut short with "…" by the mode.
    const QStaticText &Cut(const QString &text, const QFont &font, int width, Qt::TextElideMode mode);
    qsizetype Size() const { return cells_.size(); }

private:
    struct Key {
        QString text;
        int width;
        int mode;
        bool operator==(const Key &other) const
        {
            return width == other.width && mode == other.mode && text == other.text;
        }
    };
    friend size_t qHash(const Key &key, size_t seed) { return qHashMulti(seed, key.text, key.width, key.mode); }

    QFont font_;
    QHash<Key, QStaticText> cells_;
};

// Paints an item view cell as the style does, its text from texts: the style draws the background,
// selection, icon and focus, the cell's text is drawn shaped. A cell the shortcut cannot show as the
// style would (wrapped, several lines, right to left, not left aligned) is left to the style.
void PaintCell(QPainter *painter, const QStyleOptionViewItem &option, ShapedTexts &texts);

} // namespace support
