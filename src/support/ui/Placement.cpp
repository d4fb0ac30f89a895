#include "support/ui/Placement.h"

#include "platform/Centring.h"
#include "platform/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace support {

QRect ScreenTwips(const QWidget *owner)
{
    const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    return screen ? platform::PixelsToTwips(screen->geometry()) : QRect();
}

QRect OuterTwips(const QWidget *window) { return platform::PixelsToTwips(window->frameGeometry()); }

QSize OuterSizeTwips(const QWidget *window, const QWidget *framedLike)
{
    QSize frame = window->frameGeometry().size() - window->geometry().size();
    if (frame.isNull() && framedLike && framedLike->isVisible())
        frame = framedLike->frameGeometry().size() - framedLike->geometry().size();
    return platform::PixelsToTwips(QRect(QPoint(), window->size() + frame)).size();
}

void PlaceCentred(QWidget *window, const QRect &ownerTwips, const QSize &outerTwips)
{
    const QPoint topLeft = platform::CentreOver(ownerTwips, outerTwips);
    window->move(platform::TwipsToPixels(topLeft.x()), platform::TwipsToPixels(topLeft.y()));
}

} // namespace support
