#pragma once

#include <QProxyStyle>

namespace support {

// A scroll bar's style that paints a long bar in bands of at most 40 pixels along it. Qt's raster
// engine hands a fill of 96 spans or more to the global thread pool and waits for it, and a bar's
// lines and gradients make a span or two for each pixel of its length: a horizontal bar 1,000
// pixels long took 0.7 ms a paint that way against 0.3 in bands, far more on a busy machine, and a
// list's bars repaint on every filter key as their ranges change. Each band is drawn whole into an
// image of its own size (an edge the style's own clips cannot pass) and laid over the bar; the
// pixels are the style's, but for a shade at a few where a line meets a band's edge.
class BandedScrollBarStyle : public QProxyStyle {
    Q_OBJECT
public:
    static constexpr int kBandPixels = 40;

    // Over a new instance of the application's style.
    explicit BandedScrollBarStyle(QObject *owner);

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget = nullptr) const override;
};

} // namespace support
