#include "support/ui/ShapedTexts.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTextLayout>

namespace support {

namespace {

struct LaidOut {
    QList<QGlyphRun> glyphs;
    int height = 0;
    qreal width = 0;
};

// Laid out as the style lays out a cell's text: one line, its height that of the tallest letter.
LaidOut LaidOutLine(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    // Kept past endLayout(): otherwise it lets the shaped glyphs go and glyphRuns() shapes the text again.
    layout.setCacheEnabled(true);
    QTextOption option;
    option.setWrapMode(QTextOption::ManualWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid())
        return {};
    return {layout.glyphRuns(), layout.boundingRect().size().toSize().height(), line.naturalTextWidth()};
}

} // namespace

void ShapedTexts::keepFont(const QFont &font)
{
    if (font == font_ && font.resolveMask() == font_.resolveMask())
        return;
    wholes_.clear();
    cuts_.clear();
    sizes_.clear();
    font_ = font;
}

const ShapedTexts::Whole &ShapedTexts::whole(const QString &text)
{
    if (const auto kept = wholes_.constFind(text); kept != wholes_.cend())
        return *kept;
    if (wholes_.size() >= kKept)
        wholes_.clear();
    const LaidOut laid = LaidOutLine(text, font_);
    return *wholes_.insert(text, Whole{{laid.glyphs, laid.height}, laid.width});
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
    Shaped cut{LaidOutLine(QFontMetrics(font_).elidedText(text, mode, width), font_).glyphs, all.shaped.lineHeight};
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
    painter->save();
    painter->setClipRect(option.rect, Qt::IntersectClip);
    painter->setPen(option.palette.color(group, role));
    const QPointF origin(room.x(), line.top());
    for (const QGlyphRun &run : shaped.glyphs)
        painter->drawGlyphRun(origin, run);
    painter->restore();
}

} // namespace support
