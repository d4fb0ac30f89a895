#pragma once

#include <QImage>
#include <QProxyStyle>

#include <array>

class QStyleOptionSlider;

namespace support {

// A scroll bar's style that paints a long bar in bands of at most 40 pixels along it. Qt's raster
// engine hands a fill of 96 spans or more to the global thread pool and waits for it, and a bar's
// lines and gradients make a span or two for each pixel of its length: a horizontal bar 1,000
// pixels long took 0.7 ms a paint that way against 0.3 in bands, far more on a busy machine, and a
// list's bars repaint on every filter key as their ranges change. Each band is drawn whole into an
// image of its own size (an edge the style's own clips cannot pass) and laid over the bar; the
// pixels are the style's, but for a shade at a few where a line meets a band's edge. A band wholly
// within a page of the groove is drawn once and laid again wherever the page has another, and the
// last few bars drawn are kept: a list's bars repaint on every filter key, mostly unchanged.
class BandedScrollBarStyle : public QProxyStyle {
    Q_OBJECT
public:
    static constexpr int kBandPixels = 40;

    // Over a new instance of the application's style.
    explicit BandedScrollBarStyle(QObject *owner);

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget = nullptr) const override;

private:
    struct Drawn {
        QByteArray looks; // what the pixels follow from
        QImage image;
    };
    // The bar as the style draws it, from those kept or drawn now in bands of step pixels.
    const QImage &drawn(const QStyleOptionSlider &slider, qreal ratio, int step, const QWidget *widget) const;

    mutable std::array<Drawn, 4> kept_;
    mutable int next_ = 0;
};

} // namespace support
