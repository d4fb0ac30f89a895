#include "support/ui/ShapedTexts.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>

namespace support {

const QStaticText &ShapedTexts::Cut(const QString &text, const QFont &font, int width, Qt::TextElideMode mode)
{
    if (font != font_ || font.resolveMask() != font_.resolveMask()) {
        cells_.clear();
        font_ = font;
    }
    Key key{text, width, int(mode)};
    if (const auto kept = cells_.constFind(key); kept != cells_.cend())
        return *kept;
    if (cells_.size() >= kKept)
        cells_.clear();
    QStaticText shaped(QFontMetrics(font).elidedText(text, mode, width));
    shaped.setTextFormat(Qt::PlainText);
    shaped.setPerformanceHint(QStaticText::AggressiveCaching);
    shaped.prepare(QTransform(), font);
    return *cells_.insert(std::move(key), std::move(shaped));
}

namespace {

bool DrawnShaped(const QStyleOptionViewItem &option)
{
    return !option.text.isEmpty() && !(option.features & QStyleOptionViewItem::WrapText) &&
           option.direction == Qt::LeftToRight &&
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
    // A one-space text lays the cell out as the whole text would (the text takes the room left
    // of the icon) and costs nothing to shape.
    QStyleOptionViewItem blank = option;
    blank.text = QStringLiteral(" ");
    style->drawControl(QStyle::CE_ItemViewItem, &blank, painter, widget);

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect room =
        style->subElementRect(QStyle::SE_ItemViewItemText, &blank, widget).adjusted(margin, 0, -margin, 0);
    const QStaticText &shaped = texts.Cut(option.text, option.font, room.width(), option.textElideMode);
    // The pen the style takes for an item's text.
    QPalette::ColorGroup group = option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(option.state & QStyle::State_Active))
        group = QPalette::Inactive;
    const QPalette::ColorRole role =
        option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text;
    // Placed as the style places its one line: its height centred (or aligned) in the room.
    const QRect line = QStyle::alignedRect(Qt::LeftToRight, option.displayAlignment & Qt::AlignVertical_Mask,
                                           QSize(room.width(), qCeil(shaped.size().height())), room);
    painter->save();
    painter->setClipRect(option.rect, Qt::IntersectClip);
    painter->setFont(option.font);
    painter->setPen(option.palette.color(group, role));
    painter->drawStaticText(QPointF(room.x(), line.top()), shaped);
    painter->restore();
}

} // namespace support
