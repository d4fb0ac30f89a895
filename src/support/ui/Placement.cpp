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

void PlaceCentred(QWidget *window, const QRect &ownerTwips, const QSize &outerTwips)
{
    const QPoint topLeft = platform::CentreOver(ownerTwips, outerTwips);
    window->move(platform::TwipsToPixels(topLeft.x()), platform::TwipsToPixels(topLeft.y()));
}

} // namespace support
