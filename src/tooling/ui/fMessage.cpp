#include "tooling/ui/fMessage.h"

#include "platform/Twips.h"
#include "tooling/Centring.h"

#include <QCoreApplication>
#include <QScreen>

namespace {

QRect toTwips(const QRect &pixels)
{
    return QRect(int(platform::PixelsToTwips(pixels.x())), int(platform::PixelsToTwips(pixels.y())),
                 int(platform::PixelsToTwips(pixels.width())), int(platform::PixelsToTwips(pixels.height())));
}

} // namespace

fMessage::fMessage(QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("fMessage"));
    // A window without any client area is never mapped, so the title bar gets one pixel below it.
    setFixedSize(platform::TwipsToPixels(kClientWidthTwips), qMax(1, platform::TwipsToPixels(kClientHeightTwips)));
}

void fMessage::SetCaption(const QString &caption) { setWindowTitle(caption); }

QString fMessage::Caption() const { return windowTitle(); }

void fMessage::CentreOver(const QWidget *owner)
{
    QRect ownerFrame;
    QSize frameExtra;
    if (owner && owner->isVisible()) {
        ownerFrame = owner->frameGeometry();
        frameExtra = ownerFrame.size() - owner->geometry().size();
    } else {
        const QScreen *s = screen();
        ownerFrame = s ? s->availableGeometry() : QRect();
    }
    // Before it is shown the window has no frame yet: assume the owner's decorations.
    const QSize outer = isVisible() ? frameGeometry().size() : size() + frameExtra;
    const QPoint topLeft = mMain::CentreOver(
        toTwips(ownerFrame), QSize(int(platform::PixelsToTwips(outer.width())),
                                   int(platform::PixelsToTwips(outer.height()))));
    move(platform::TwipsToPixels(topLeft.x()), platform::TwipsToPixels(topLeft.y()));
}

void fMessage::ShowNow()
{
    show();
    raise();
    // The caller keeps the thread busy; let the window appear first, but take no input meanwhile.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
