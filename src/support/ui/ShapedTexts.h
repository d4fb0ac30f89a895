#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QSize>
#include <QList>
#include <QString>

#include <memory>

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

    ShapedTexts();
    ~ShapedTexts();
    ShapedTexts(const ShapedTexts &) = delete;
    ShapedTexts &operator=(const ShapedTexts &) = delete;

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

    // Texts a paint is about to cut (a screenful new on screen), each with the width of its room:
    // a helper thread shapes them from the last while the paint shapes from the first, the paint
    // taking what the helper has shaped and never waiting for it. The helper hands over glyphs,
    // made glyph runs here with this thread's fonts (one not met here yet: the text is shaped here
    // again). The helper shapes with a copy of the font of its own, never one this thread uses.
    struct Wanted {
        QString text;
        int width = 0;
        Qt::TextElideMode mode = Qt::ElideRight;
    };
    void ShapeAhead(const QList<Wanted> &wanted, const QFont &font);
    // Ends the helper thread: its fonts (the font files mapped again, their tables read) are let go.
    void StopAhead();
    // Whether Cut() has the text at hand for that room.
    bool Kept(const QString &text, const QFont &font, int width, Qt::TextElideMode mode) const;
    // Tests: waits until the helper is done with what it was given; the texts taken from it so far.
    void FinishAhead();
    int TakenAhead() const { return takenAhead_; }

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

    struct Ahead;
    struct Helper;

    // A font other than the texts were shaped with: none of them holds.
    void keepFont(const QFont &font);
    const Whole &whole(const QString &text);
    // Moves what the helper shaped for the text into the kept ones, if it has.
    void takeAhead(const QString &text, int width, Qt::TextElideMode mode);
    // This thread's fonts of glyph runs shaped here, by what the helper calls them.
    void keepRawFonts(const QList<QGlyphRun> &runs);

    QFont font_;
    QHash<QString, Whole> wholes_;
    // Texts cut short, by the width they were cut to and how.
    QHash<Key, Shaped> cuts_;
    // Keyed by the text and the icon's size (-1 by -1: none).
    QHash<Key, QSize> sizes_;
    QHash<QString, QRawFont> rawFonts_;
    std::shared_ptr<Ahead> ahead_;
    QHash<Key, int> aheadAt_;
    std::unique_ptr<Helper> helper_;
    int takenAhead_ = 0;
};

// Where a cell's text goes: the room the style gives it beside the icon, less the style's margin.
// The option's text cleared: the cell is laid out without it (see PaintCell).
QRect TextRoom(const QStyleOptionViewItem &option);

// Paints an item view cell as the style does, its text from texts: the style draws the background,
// selection, icon and focus, the cell's text is drawn shaped. A cell the shortcut cannot show as the
// style would (wrapped, several lines, right to left, not left aligned, its text's room not the whole
// cell beside the icon) is left to the style.
void PaintCell(QPainter *painter, const QStyleOptionViewItem &option, ShapedTexts &texts);

} // namespace support
