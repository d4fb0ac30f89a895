#pragma once

#include <QRect>

namespace platform {

// Window positions and sizes are kept in twips: 15 twips to one device-independent pixel.
inline constexpr int kTwipsPerPixel = 15;

constexpr qint64 PixelsToTwips(qint64 pixels) { return pixels * kTwipsPerPixel; }

// Nearest pixel, halves away from zero, so negative positions round like positive ones.
constexpr int TwipsToPixels(qint64 twips)
{
    return int(twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                          : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel));
}

// A measure in twips for a position or size now in pixels: the twips value it came from while it
// still gives the same pixels, so a value read and not changed is written back as read.
constexpr qint32 KeepTwips(qint32 twips, qint64 pixels)
{
    return TwipsToPixels(twips) == pixels ? twips : qint32(PixelsToTwips(pixels));
}

// A rectangle given in twips, in pixels.
inline QRect TwipsRect(qint64 left, qint64 top, qint64 width, qint64 height)
{
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

// A rectangle in pixels, in twips.
inline QRect PixelsToTwips(const QRect &pixels)
{
    return QRect(int(PixelsToTwips(pixels.x())), int(PixelsToTwips(pixels.y())), int(PixelsToTwips(pixels.width())),
                 int(PixelsToTwips(pixels.height())));
}

} // namespace platform
