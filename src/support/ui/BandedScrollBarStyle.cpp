#include "support/ui/BandedScrollBarStyle.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>
#include <cmath>

namespace support {

BandedScrollBarStyle::BandedScrollBarStyle(QObject *owner) : QProxyStyle(QApplication::style()->name())
{
    setParent(owner);
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
    QImage band;
    for (int from = 0; from < length; from += step) {
        const int size = std::min(step, length - from);
        const QRect part = vertical ? QRect(bar.left(), bar.top() + from, bar.width(), size)
                                    : QRect(bar.left() + from, bar.top(), size, bar.height());
        if (band.size() != part.size() * ratio) {
            band = QImage(part.size() * ratio, QImage::Format_ARGB32_Premultiplied);
            band.setDevicePixelRatio(ratio);
        }
        band.fill(Qt::transparent);
        QPainter banded(&band);
        banded.translate(-part.topLeft());
        QProxyStyle::drawComplexControl(control, option, &banded, widget);
        banded.end();
        painter->drawImage(part.topLeft(), band);
    }
}

} // namespace support
