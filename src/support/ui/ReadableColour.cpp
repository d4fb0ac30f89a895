#include "support/ui/ReadableColour.h"

#include <algorithm>
#include <cmath>

namespace support {

namespace {

double Linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) + 0.0722 * Linear(rgb.blueF());
}

QColor Mixed(const QColor &from, const QColor &to, double share)
{
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * share),
                            float(a.greenF() + (b.greenF() - a.greenF()) * share),
                            float(a.blueF() + (b.blueF() - a.blueF()) * share));
}

} // namespace

double ContrastRatio(const QColor &a, const QColor &b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor &wanted, const QColor &background, std::initializer_list<QColor> alternatives)
{
    if (ContrastRatio(wanted, background) >= kReadableContrast)
        return wanted;
    for (const QColor &alternative : alternatives)
        if (alternative.isValid() && ContrastRatio(alternative, background) >= kReadableContrast)
            return alternative;
    // Keeps the hue as far as it can: the least mix with the extreme that reaches the contrast.
    const QColor extreme = ContrastRatio(Qt::white, background) >= ContrastRatio(Qt::black, background)
                               ? QColor(Qt::white)
                               : QColor(Qt::black);
    for (int step = 1; step < 20; ++step) {
        const QColor mixed = Mixed(wanted, extreme, step / 20.0);
        if (ContrastRatio(mixed, background) >= kReadableContrast)
            return mixed;
    }
    return extreme;
}

} // namespace support
