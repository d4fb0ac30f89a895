#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QSize>
#include <QList>
#include <QString>

class QPainter;
class QStyleOptionViewItem;

namespace support {

// Item texts cut to their cell and shaped once. A list repaints the same cells on every move of the
// selection, status or filter, and shaping a long Japanese path is most of what a cell costs; the
// style shapes it four or five times a paint. A text new on screen (a filter key brings a screenful)
// is shaped once whole, and once more cut short if it does not fit.
class ShapedTexts {
public:
    // The texts kept, whole and cut short each; past it the kept ones are let go (a few screens of
    // a report list).
    static constexpr qsizetype kKept = 1024;

    struct Shaped {
        // What the style draws: the text cut short with "…" by the mode when it is wider than the
        // cell; its glyphs placed from the line's top left.
        QList<QGlyphRun> glyphs;
        // The height the style places the line by: the whole text's, whose letters may come from a
        // taller font than those left after the cut.
        int lineHeight = 0;
    };
    const Shaped &Cut(const QString &text, const QFont &font, int width, Qt::TextElideMode mode);
    // The size the style asks for a cell showing the option's text (and icon), the text shaped once.
    QSize SizeOf(const QStyleOptionViewItem &option);

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

    struct Whole {
        Shaped shaped;
        qreal width = 0; // as the style measures it against the cell
    };

    // A font other than the texts were shaped with: none of them holds.
    void keepFont(const QFont &font);
    const Whole &whole(const QString &text);

    QFont font_;
    QHash<QString, Whole> wholes_;
    // Texts cut short, by the width they were cut to and how.
    QHash<Key, Shaped> cuts_;
    // Keyed by the text and the icon's size (-1 by -1: none).
    QHash<Key, QSize> sizes_;
};

// Paints an item view cell as the style does, its text from texts: the style draws the background,
// selection, icon and focus, the cell's text is drawn shaped. A cell the shortcut cannot show as the
// style would (wrapped, several lines, right to left, not left aligned, its text's room not the whole
// cell beside the icon) is left to the style.
void PaintCell(QPainter *painter, const QStyleOptionViewItem &option, ShapedTexts &texts);

} // namespace support
