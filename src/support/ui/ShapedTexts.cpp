#include "support/ui/ShapedTexts.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPaintEngine>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTextLayout>

#include <array>

namespace support {

void ShapedTexts::keepFont(const QFont &font)
{
    if (font == font_ && font.resolveMask() == font_.resolveMask())
        return;
    wholes_.clear();
    cuts_.clear();
    sizes_.clear();
    cells_.clear();
    seen_.clear();
    keptBytes_ = 0;
    font_ = font;
}

const ShapedTexts::Whole &ShapedTexts::whole(const QString &text)
{
    if (const auto kept = wholes_.constFind(text); kept != wholes_.cend())
        return *kept;
    if (wholes_.size() >= kKept)
        wholes_.clear();
    // Laid out as the style lays out a cell's text: one line, its height that of the tallest letter.
    QTextLayout layout(text, font_);
    QTextOption option;
    option.setWrapMode(QTextOption::ManualWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    Whole made{{prepared(text), layout.boundingRect().size().toSize().height()},
               line.isValid() ? line.naturalTextWidth() : 0};
    return *wholes_.insert(text, std::move(made));
}

QStaticText ShapedTexts::prepared(const QString &text) const
{
    QStaticText shaped(text);
    shaped.setTextFormat(Qt::PlainText);
    shaped.setPerformanceHint(QStaticText::AggressiveCaching);
    shaped.prepare(QTransform(), font_);
    return shaped;
}

const ShapedTexts::Shaped &ShapedTexts::Cut(const QString &text, const QFont &font, int width,
                                             Qt::TextElideMode mode)
{
    keepFont(font);
    // A text that fits is the same in any cell it fits: columns sized anew find it kept.
    const Whole &all = whole(text);
    if (all.width <= width)
        return all.shaped;
    Key key{text, width, int(mode)};
    if (const auto kept = cuts_.constFind(key); kept != cuts_.cend())
        return *kept;
    if (cuts_.size() >= kKept)
        cuts_.clear();
    Shaped cut{prepared(QFontMetrics(font_).elidedText(text, mode, width)), all.shaped.lineHeight};
    return *cuts_.insert(std::move(key), std::move(cut));
}

QSize ShapedTexts::SizeOf(const QStyleOptionViewItem &option)
{
    const QWidget *widget = option.widget;
    const QStyle *style = widget ? widget->style() : QApplication::style();
    // Wrapped text and check boxes size by more than the text and the icon.
    if (option.features & (QStyleOptionViewItem::WrapText | QStyleOptionViewItem::HasCheckIndicator))
        return style->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), widget);
    keepFont(option.font);
    const bool icon = option.features & QStyleOptionViewItem::HasDecoration;
    Key key{option.text, icon ? option.decorationSize.width() : -1, icon ? option.decorationSize.height() : -1};
    if (const auto kept = sizes_.constFind(key); kept != sizes_.cend())
        return *kept;
    if (sizes_.size() >= kKept)
        sizes_.clear();
    return *sizes_.insert(std::move(key), style->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), widget));
}

namespace {

// Whether every pixel of an image in rect is colour (no early way out: the loop is vectorised).
bool AllOf(const QImage &image, const QRect &rect, quint32 colour)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const auto line = reinterpret_cast<const quint32 *>(image.constScanLine(y)) + rect.left();
        quint32 differs = 0;
        for (int x = 0; x < rect.width(); ++x)
            differs |= line[x] ^ colour;
        if (differs)
            return false;
    }
    return true;
}

// The smallest rectangle holding every pixel of image other than ground (empty for none).
QRect Changed(const QImage &image, quint32 ground)
{
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto line = reinterpret_cast<const quint32 *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] != ground) {
                left = qMin(left, x);
                right = qMax(right, x);
                top = qMin(top, y);
                bottom = y;
            }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

ShapedTexts::Kept ShapedTexts::keep(const QImage &drawn, quint32 ground)
{
    const QRect letters = Changed(drawn, ground);
    Kept kept{QImage(), {ground}, letters.topLeft()};
    if (letters.isEmpty())
        return kept;
    // Colours numbered through a small open table: a cell's letters blend a few hundred at most.
    constexpr int kSlots = 1024;
    std::array<quint32, kSlots> slotColour{};
    std::array<int, kSlots> slotNumber;
    slotNumber.fill(-1);
    const auto numberOf = [&](quint32 colour) -> int {
        for (quint32 slot = (colour * 2654435761u) >> 22;; slot = (slot + 1) % kSlots) {
            if (slotNumber[slot] < 0) {
                if (kept.colours.size() == 256)
                    return -1;
                slotColour[slot] = colour;
                slotNumber[slot] = int(kept.colours.size());
                kept.colours.push_back(colour);
                return slotNumber[slot];
            }
            if (slotColour[slot] == colour)
                return slotNumber[slot];
        }
    };
    numberOf(ground);
    kept.pixels = QImage(letters.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < letters.height(); ++y) {
        const auto from = reinterpret_cast<const quint32 *>(drawn.constScanLine(letters.top() + y)) + letters.left();
        uchar *to = kept.pixels.scanLine(y);
        for (int x = 0; x < letters.width(); ++x) {
            const int number = from[x] == ground ? 0 : numberOf(from[x]);
            if (number < 0) // letters blended into more colours than a byte numbers: kept as drawn
                return Kept{drawn.copy(letters), {}, letters.topLeft()};
            to[x] = uchar(number);
        }
    }
    return kept;
}

bool ShapedTexts::DrawKept(QPainter *painter, const QRect &cell, QPoint at, const QStaticText &text,
                           const QColor &pen)
{
    // Only the raster engine drawing one to one onto 32-bit pixels is read back and copied to.
    QPaintEngine *engine = painter->paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !engine->paintDevice()
        || engine->paintDevice()->devType() != QInternal::Image)
        return false;
    const auto &image = *static_cast<const QImage *>(engine->paintDevice());
    const QTransform transform = painter->deviceTransform();
    if (transform.type() > QTransform::TxTranslate || transform.dx() != qRound(transform.dx())
        || transform.dy() != qRound(transform.dy()) || image.devicePixelRatio() != 1.0)
        return false;
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        break;
    default:
        return false;
    }
    const QPoint offset(qRound(transform.dx()), qRound(transform.dy()));
    if (cell.isEmpty() || !cell.contains(at) || !image.rect().contains(cell.translated(offset)))
        return false;
    // The colour where the text starts; the pixels the letters change must all be of it.
    const QPoint start = at + offset;
    const quint32 ground = reinterpret_cast<const quint32 *>(image.constScanLine(start.y()))[start.x()];
    if (qAlpha(ground) != 255 && image.format() != QImage::Format_RGB32)
        return false;
    CellKey key{text.text(), pen.rgba(), ground, cell.size(), at - cell.topLeft()};
    auto kept = cells_.constFind(key);
    if (kept == cells_.cend()) {
        // Kept from its second time on: a cell drawn once (a list filling, scrolled) costs no more.
        const size_t hash = qHash(key, 0);
        if (!seen_.contains(hash)) {
            if (seen_.size() >= kSeen)
                seen_.clear();
            seen_.insert(hash);
            return false;
        }
        // A screenful kept at once would make one repaint half as long again: a few at a time.
        if (!keeping_.isValid() || keeping_.hasExpired(kKeepingMs)) {
            keeping_.start();
            keptLately_ = 0;
        }
        if (keptLately_ >= kKeptAtOnce)
            return false;
        ++keptLately_;
        QImage drawn(cell.size(), image.format());
        drawn.fill(ground);
        QPainter onCell(&drawn);
        onCell.setFont(font_);
        onCell.setPen(pen);
        onCell.drawStaticText(key.at, text);
        onCell.end();
        Kept made = keep(drawn, ground);
        const qsizetype bytes = made.pixels.sizeInBytes() + qsizetype(made.colours.size() * sizeof(quint32));
        // About what the list shows at once, however large the catalogue.
        const QSize screen = painter->device()->width() > 0 ? QSize(painter->device()->width(), painter->device()->height())
                                                            : cell.size();
        if (keptBytes_ + bytes > kKeptScreens * qsizetype(screen.width()) * screen.height()) {
            cells_.clear();
            seen_.clear();
            keptBytes_ = 0;
        }
        keptBytes_ += bytes;
        kept = cells_.insert(std::move(key), std::move(made));
    }
    if (kept->pixels.isNull())
        return true;
    const QRect letters(cell.topLeft() + kept->at, kept->pixels.size());
    // Outside the letters' rectangle drawing them changes no pixel, whatever is there.
    if (!AllOf(image, letters.translated(offset), ground))
        return false;
    if (kept->colours.empty()) {
        painter->drawImage(letters.topLeft(), kept->pixels);
        return true;
    }
    if (unpacked_.format() != image.format() || unpacked_.width() < letters.width()
        || unpacked_.height() < letters.height())
        unpacked_ = QImage(qMax(letters.width(), unpacked_.width()), qMax(letters.height(), unpacked_.height()),
                           image.format());
    const quint32 *colours = kept->colours.data();
    for (int y = 0; y < letters.height(); ++y) {
        const uchar *from = kept->pixels.constScanLine(y);
        auto to = reinterpret_cast<quint32 *>(unpacked_.scanLine(y));
        for (int x = 0; x < letters.width(); ++x)
            to[x] = colours[from[x]];
    }
    painter->drawImage(letters.topLeft(), unpacked_, QRect(QPoint(0, 0), letters.size()));
    return true;
}

namespace {

bool DrawnShaped(const QStyleOptionViewItem &option)
{
    return !option.text.isEmpty() && option.showDecorationSelected &&
           !(option.features & QStyleOptionViewItem::WrapText) && option.direction == Qt::LeftToRight &&
           (option.displayAlignment & Qt::AlignHorizontal_Mask) == Qt::AlignLeft &&
           !(option.state & QStyle::State_Editing) && !option.text.contains(QChar::LineSeparator);
}

} // namespace

void PaintCell(QPainter *painter, const QStyleOptionViewItem &option, ShapedTexts &texts)
{
    const QWidget *widget = option.widget;
    const QStyle *style = widget ? widget->style() : QApplication::style();
    if (!DrawnShaped(option)) {
        style->drawControl(QStyle::CE_ItemViewItem, &option, painter, widget);
        return;
    }
    // With the decoration shown as selected (a whole row selected) the text takes the room right
    // of the icon whatever it says: the cell is laid out and drawn without it.
    QStyleOptionViewItem blank = option;
    blank.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &blank, painter, widget);

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect room =
        style->subElementRect(QStyle::SE_ItemViewItemText, &blank, widget).adjusted(margin, 0, -margin, 0);
    const ShapedTexts::Shaped &shaped = texts.Cut(option.text, option.font, room.width(), option.textElideMode);
    // The pen the style takes for an item's text.
    QPalette::ColorGroup group = option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(option.state & QStyle::State_Active))
        group = QPalette::Inactive;
    const QPalette::ColorRole role =
        option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text;
    // Placed as the style places its one line: its height centred (or aligned) in the room.
    const QRect line = QStyle::alignedRect(Qt::LeftToRight, option.displayAlignment & Qt::AlignVertical_Mask,
                                           QSize(room.width(), shaped.lineHeight), room);
    const QColor pen = option.palette.color(group, role);
    if (texts.DrawKept(painter, option.rect, QPoint(room.x(), line.top()), shaped.text, pen))
        return;
    painter->save();
    painter->setClipRect(option.rect, Qt::IntersectClip);
    painter->setFont(option.font);
    painter->setPen(pen);
    painter->drawStaticText(QPointF(room.x(), line.top()), shaped.text);
    painter->restore();
}

} // namespace support
