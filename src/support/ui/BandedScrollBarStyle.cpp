#include "support/ui/BandedScrollBarStyle.h"

#include <QApplication>
#include <QDataStream>
#include <QIODevice>
#include <QImage>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace support {

namespace {

// Everything of the option the bar's pixels follow from, but where it lies.
QByteArray LooksOf(const QStyleOptionSlider &slider, qreal ratio)
{
    QByteArray key;
    QDataStream out(&key, QIODevice::WriteOnly);
    out << slider.rect.size() << ratio << int(slider.orientation) << int(slider.direction) << slider.minimum
        << slider.maximum << slider.pageStep << slider.singleStep << slider.sliderPosition << slider.sliderValue
        << slider.upsideDown << int(slider.state) << int(slider.subControls) << int(slider.activeSubControls)
        << slider.palette.cacheKey();
    return key;
}

// The band of bar from pixel from along it, size pixels long.
QRect BandOf(const QRect &bar, bool vertical, int from, int size)
{
    return vertical ? QRect(bar.left(), bar.top() + from, bar.width(), size)
                    : QRect(bar.left() + from, bar.top(), size, bar.height());
}

} // namespace

BandedScrollBarStyle::BandedScrollBarStyle(QObject *owner) : QProxyStyle(QApplication::style()->name())
{
    setParent(owner);
}

const QImage &BandedScrollBarStyle::drawn(const QStyleOptionSlider &slider, qreal ratio, int step,
                                          const QWidget *widget) const
{
    QByteArray looks = LooksOf(slider, ratio);
    for (const Drawn &kept : kept_)
        if (kept.looks == looks)
            return kept.image;
    const QRect bar = slider.rect;
    const bool vertical = slider.orientation == Qt::Vertical;
    const int length = vertical ? bar.height() : bar.width();
    // A band wholly within one page (the groove between the slider and an arrow) looks like any
    // other of its size there: it is drawn once and laid again, a whole draw of the bar saved.
    const auto within = [&](SubControl page) {
        const QRect rect = subControlRect(CC_ScrollBar, &slider, page, widget);
        // Short of the slider's and the arrows' edges, where their lines may blend in.
        return vertical ? rect.adjusted(0, 2, 0, -2) : rect.adjusted(2, 0, -2, 0);
    };
    const QRect pages[] = {within(SC_ScrollBarSubPage), within(SC_ScrollBarAddPage)};
    QImage pageBands[std::size(pages)];
    QImage whole(bar.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    whole.setDevicePixelRatio(ratio);
    whole.fill(Qt::transparent);
    QPainter onWhole(&whole);
    onWhole.translate(-bar.topLeft());
    QImage band;
    for (int from = 0; from < length; from += step) {
        const int size = std::min(step, length - from);
        const QRect part = BandOf(bar, vertical, from, size);
        const auto page = std::find_if(std::begin(pages), std::end(pages), [&](const QRect &r) { return r.contains(part); });
        QImage *same = page == std::end(pages) ? nullptr : &pageBands[page - std::begin(pages)];
        if (same && same->size() == part.size() * ratio) {
            onWhole.drawImage(part.topLeft(), *same);
            continue;
        }
        if (band.size() != part.size() * ratio) {
            band = QImage(part.size() * ratio, QImage::Format_ARGB32_Premultiplied);
            band.setDevicePixelRatio(ratio);
        }
        band.fill(Qt::transparent);
        QPainter banded(&band);
        banded.translate(-part.topLeft());
        QProxyStyle::drawComplexControl(CC_ScrollBar, &slider, &banded, widget);
        banded.end();
        onWhole.drawImage(part.topLeft(), band);
        if (same)
            *same = band.copy();
    }
    onWhole.end();
    Drawn &slot = kept_[next_];
    next_ = (next_ + 1) % int(kept_.size());
    slot = {std::move(looks), std::move(whole)};
    return slot.image;
}

void BandedScrollBarStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                              QPainter *painter, const QWidget *widget) const
{
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    const int step = std::max(1, int(kBandPixels / std::ceil(ratio)));
    const QRect bar = option->rect;
    const auto *slider = qstyleoption_cast<const QStyleOptionSlider *>(option);
    const bool vertical = slider && slider->orientation == Qt::Vertical;
    const int length = vertical ? bar.height() : bar.width();
    if (control != CC_ScrollBar || !slider || length <= step || bar.isEmpty()) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    // Laid over the bar a band at a time too: one image as long as the bar is one fill as well.
    const QImage &whole = drawn(*slider, ratio, step, widget);
    for (int from = 0; from < length; from += step) {
        const int size = std::min(step, length - from);
        const QRect part = BandOf(bar, vertical, from, size);
        painter->drawImage(QRectF(part), whole, QRectF((part.topLeft() - bar.topLeft()) * ratio, part.size() * ratio));
    }
}

} // namespace support
