#include "support/ui/ShapedTexts.h"

#include "platform/FontRendering.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTextLayout>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

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

// What a font is called across threads: a raw font belongs to the thread that made it.
QString FontKey(const QRawFont &font)
{
    return QStringLiteral("%1|%2|%3|%4|%5")
        .arg(font.familyName(), font.styleName())
        .arg(font.pixelSize())
        .arg(font.weight())
        .arg(int(font.style()));
}

// A laid out line as plain glyphs, to be handed to another thread.
struct PlainRun {
    QString font;
    QList<quint32> glyphs;
    QList<QPointF> positions;
    QGlyphRun::GlyphRunFlags flags;
    QRectF bounds;
};
struct PlainLine {
    QList<PlainRun> runs;
    int height = 0;
    qreal width = 0;
};

PlainLine Plain(const LaidOut &laid)
{
    PlainLine plain{{}, laid.height, laid.width};
    for (const QGlyphRun &run : laid.glyphs)
        plain.runs.append({FontKey(run.rawFont()), run.glyphIndexes(), run.positions(), run.flags(), run.boundingRect()});
    return plain;
}

} // namespace

// What a paint asked the helper for, and what it shaped. A text's state: 0 not begun, 1 the helper
// is at it, 2 shaped by the helper, 3 left to the paint.
struct ShapedTexts::Ahead {
    QFont font; // a copy with a private part of its own, taken by the helper
    std::vector<Wanted> wanted;
    std::unique_ptr<std::atomic<int>[]> state;
    struct Result {
        PlainLine whole;
        PlainLine cut;
        bool cutShort = false;
    };
    std::vector<Result> results;
    // Tests wait for the helper to be done.
    std::mutex mutex;
    std::condition_variable shaped;
    bool finished = false;
    std::atomic<bool> dropped{false};
};

struct ShapedTexts::Helper {
    std::mutex mutex;
    std::condition_variable wake;
    std::shared_ptr<Ahead> next;
    bool stop = false;
    std::unique_ptr<QThread> thread;

    void run()
    {
        // Its glyphs placed as the window's thread would place them.
        platform::DrawCffFontsPlainly();
        for (;;) {
            std::shared_ptr<Ahead> ahead;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return stop || next; });
                if (stop)
                    return;
                ahead = std::move(next);
            }
            // Used, and let go, on this thread only (a copy would share it): the job is left the
            // application's font, whose engines this thread never looks up.
            QFont font;
            font.swap(ahead->font);
            for (size_t at = ahead->wanted.size(); at-- > 0 && !ahead->dropped.load();) {
                int expected = 0;
                if (!ahead->state[at].compare_exchange_strong(expected, 1))
                    continue;
                const Wanted &wanted = ahead->wanted[at];
                Ahead::Result &result = ahead->results[at];
                const LaidOut whole = LaidOutLine(wanted.text, font);
                result.whole = Plain(whole);
                // As Cut() does.
                if (whole.width > wanted.width) {
                    result.cutShort = true;
                    result.cut = Plain(LaidOutLine(QFontMetrics(font).elidedText(wanted.text, wanted.mode, wanted.width), font));
                }
                ahead->state[at].store(2);
            }
            {
                const std::lock_guard lock(ahead->mutex);
                ahead->finished = true;
            }
            ahead->shaped.notify_all();
        }
    }
};

ShapedTexts::ShapedTexts() = default;

ShapedTexts::~ShapedTexts() { StopAhead(); }

void ShapedTexts::StopAhead()
{
    if (ahead_)
        ahead_->dropped = true;
    ahead_.reset();
    aheadAt_.clear();
    if (!helper_)
        return;
    {
        const std::lock_guard lock(helper_->mutex);
        helper_->stop = true;
    }
    helper_->wake.notify_all();
    helper_->thread->wait();
    helper_.reset();
}

void ShapedTexts::ShapeAhead(const QList<Wanted> &wanted, const QFont &font)
{
    keepFont(font);
    if (ahead_)
        ahead_->dropped = true;
    ahead_.reset();
    aheadAt_.clear();
    if (wanted.isEmpty())
        return;
    auto ahead = std::make_shared<Ahead>();
    // A copy with its own private part: the helper looks its font engines up through it.
    ahead->font = font;
    ahead->font.setStyleName(font.styleName() + QChar(1));
    ahead->font.setStyleName(font.styleName());
    ahead->wanted.assign(wanted.cbegin(), wanted.cend());
    ahead->state = std::make_unique<std::atomic<int>[]>(ahead->wanted.size());
    ahead->results.resize(ahead->wanted.size());
    for (qsizetype at = 0; at < wanted.size(); ++at)
        aheadAt_.insert(Key{wanted[at].text, wanted[at].width, int(wanted[at].mode)}, int(at));
    ahead_ = ahead;
    if (!helper_) {
        helper_ = std::make_unique<Helper>();
        helper_->thread.reset(QThread::create([helper = helper_.get()] { helper->run(); }));
        helper_->thread->setObjectName(QStringLiteral("shaping"));
        helper_->thread->start();
    }
    {
        const std::lock_guard lock(helper_->mutex);
        helper_->next = std::move(ahead);
    }
    helper_->wake.notify_all();
}

void ShapedTexts::FinishAhead()
{
    if (!ahead_)
        return;
    std::unique_lock lock(ahead_->mutex);
    ahead_->shaped.wait(lock, [this] { return ahead_->finished; });
}

bool ShapedTexts::Kept(const QString &text, const QFont &font, int width, Qt::TextElideMode mode) const
{
    if (font != font_ || font.resolveMask() != font_.resolveMask())
        return false;
    const auto all = wholes_.constFind(text);
    return all != wholes_.cend() && (all->width <= width || cuts_.contains(Key{text, width, int(mode)}));
}

void ShapedTexts::keepRawFonts(const QList<QGlyphRun> &runs)
{
    for (const QGlyphRun &run : runs) {
        const QRawFont font = run.rawFont();
        QString key = FontKey(font);
        if (!rawFonts_.contains(key))
            rawFonts_.insert(std::move(key), font);
    }
}

void ShapedTexts::takeAhead(const QString &text, int width, Qt::TextElideMode mode)
{
    if (!ahead_)
        return;
    const Key key{text, width, int(mode)};
    const auto at = aheadAt_.constFind(key);
    if (at == aheadAt_.cend() || Kept(text, font_, width, mode))
        return;
    // Not begun: shaped here. Begun and not done: shaped here as well, rather than waiting on a
    // thread that another process may hold off its core.
    int expected = 0;
    if (ahead_->state[size_t(*at)].compare_exchange_strong(expected, 3) || expected != 2)
        return;
    const Ahead::Result &result = ahead_->results[size_t(*at)];
    const auto runs = [this](const PlainLine &plain, QList<QGlyphRun> &into) {
        for (const PlainRun &one : plain.runs) {
            const auto font = rawFonts_.constFind(one.font);
            if (font == rawFonts_.cend())
                return false;
            QGlyphRun run;
            run.setRawFont(*font);
            run.setGlyphIndexes(one.glyphs);
            run.setPositions(one.positions);
            run.setFlags(one.flags);
            run.setBoundingRect(one.bounds);
            into.append(run);
        }
        return true;
    };
    QList<QGlyphRun> whole;
    QList<QGlyphRun> cut;
    if (!runs(result.whole, whole) || (result.cutShort && !runs(result.cut, cut)))
        return;
    if (!wholes_.contains(text)) {
        if (wholes_.size() >= kKept)
            wholes_.clear();
        wholes_.insert(text, Whole{{whole, result.whole.height}, result.whole.width});
    }
    if (result.cutShort) {
        if (cuts_.size() >= kKept)
            cuts_.clear();
        cuts_.insert(key, Shaped{cut, result.whole.height});
    }
    ++takenAhead_;
}

void ShapedTexts::keepFont(const QFont &font)
{
    if (font == font_ && font.resolveMask() == font_.resolveMask())
        return;
    wholes_.clear();
    cuts_.clear();
    sizes_.clear();
    rawFonts_.clear();
    if (ahead_)
        ahead_->dropped = true;
    ahead_.reset();
    aheadAt_.clear();
    font_ = font;
}

const ShapedTexts::Whole &ShapedTexts::whole(const QString &text)
{
    if (const auto kept = wholes_.constFind(text); kept != wholes_.cend())
        return *kept;
    if (wholes_.size() >= kKept)
        wholes_.clear();
    const LaidOut laid = LaidOutLine(text, font_);
    keepRawFonts(laid.glyphs);
    return *wholes_.insert(text, Whole{{laid.glyphs, laid.height}, laid.width});
}

const ShapedTexts::Shaped &ShapedTexts::Cut(const QString &text, const QFont &font, int width,
                                             Qt::TextElideMode mode)
{
    keepFont(font);
    takeAhead(text, width, mode);
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
    keepRawFonts(cut.glyphs);
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

QRect TextRoom(const QStyleOptionViewItem &option)
{
    const QWidget *widget = option.widget;
    const QStyle *style = widget ? widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    return style->subElementRect(QStyle::SE_ItemViewItemText, &option, widget).adjusted(margin, 0, -margin, 0);
}

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

    const QRect room = TextRoom(blank);
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
