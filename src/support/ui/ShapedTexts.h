#pragma once

#include <QElapsedTimer>
#include <QFont>
#include <QHash>
#include <QSet>
#include <QImage>
#include <QSize>
#include <QStaticText>
#include <QString>

#include <vector>

class QPainter;
class QStyleOptionViewItem;

namespace support {

// Item texts cut to their cell and shaped once. A list repaints the same cells on every move of the
// selection, status or filter, and shaping a long Japanese path is most of what a cell costs; the
// style shapes it four or five times a paint.
class ShapedTexts {
public:
    // The texts kept, whole and cut short each; past it the kept ones are let go (a few screens of
    // a report list).
    static constexpr qsizetype kKept = 1024;

    struct Shaped {
        // What the style draws: the text cut short with "…" by the mode when it is wider than the cell.
        QStaticText text;
        // The height the style places the line by: the whole text's, whose letters may come from a
        // taller font than those left after the cut.
        int lineHeight = 0;
    };
    const Shaped &Cut(const QString &text, const QFont &font, int width, Qt::TextElideMode mode);
    // The size the style asks for a cell showing the option's text (and icon), the text shaped once.
    QSize SizeOf(const QStyleOptionViewItem &option);
    // Draws the shaped text at a point of the cell (clipped to it) in the pen's colour as the
    // painter would, copying the pixels it changed the last time it was drawn there on the same
    // colour: a path's letters one by one cost twenty times the copy. False, drawing nothing, the
    // first time, and where the copy cannot be told exact: the painter not straight onto an
    // image's pixels one to one, or the ground under the letters not one colour.
    bool DrawKept(QPainter *painter, const QRect &cell, QPoint at, const QStaticText &text, const QColor &pen);

    // The bytes of letters kept, as many as the pixels of the list they are drawn in times this:
    // past it the kept ones are let go (a screen's letters take about two thirds of it).
    static constexpr qsizetype kKeptScreens = 1;

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
    QStaticText prepared(const QString &text) const;

    struct CellKey {
        QString text;
        QRgb pen;
        QRgb ground;
        QSize size;
        QPoint at;
        bool operator==(const CellKey &other) const
        {
            return pen == other.pen && ground == other.ground && size == other.size && at == other.at &&
                   text == other.text;
        }
    };
    friend size_t qHash(const CellKey &key, size_t seed)
    {
        return qHashMulti(seed, key.text, key.pen, key.ground, key.size.width(), key.size.height(), key.at.x(),
                          key.at.y());
    }

    QFont font_;
    QHash<QString, Whole> wholes_;
    // Texts cut short, by the width they were cut to and how.
    QHash<Key, Shaped> cuts_;
    // Keyed by the text and the icon's size (-1 by -1: none).
    QHash<Key, QSize> sizes_;
    // Cells drawn on one colour, to be copied where that colour is under them again: only the part
    // the letters changed is kept, and where it lies in the cell. Its pixels are kept as numbers
    // in a table of the colours they take (a byte a pixel rather than four), or as they are when
    // they take more colours than a byte numbers.
    struct Kept {
        QImage pixels; // Format_Grayscale8 numbering colours, else the painter's own format; null: none
        std::vector<quint32> colours;
        QPoint at;
    };
    static Kept keep(const QImage &drawn, quint32 ground);
    QHash<CellKey, Kept> cells_;
    qsizetype keptBytes_ = 0;
    // The cells drawn once, by their key's hash (one mistaken for another is only kept early).
    static constexpr qsizetype kSeen = 8192;
    QSet<size_t> seen_;
    // Cells kept lately: at most so many in so long.
    static constexpr int kKeptAtOnce = 48;
    static constexpr qint64 kKeepingMs = 50;
    QElapsedTimer keeping_;
    int keptLately_ = 0;
    // The kept pixels of a cell put back in colour before they are copied to the painter.
    QImage unpacked_;
};

// Paints an item view cell as the style does, its text from texts: the style draws the background,
// selection, icon and focus, the cell's text is drawn shaped. A cell the shortcut cannot show as the
// style would (wrapped, several lines, right to left, not left aligned, its text's room not the whole
// cell beside the icon) is left to the style.
void PaintCell(QPainter *painter, const QStyleOptionViewItem &option, ShapedTexts &texts);

} // namespace support
