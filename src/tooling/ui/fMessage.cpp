#include "tooling/ui/fMessage.h"

#include "platform/Twips.h"
#include "support/ui/Placement.h"

#include <QCoreApplication>
#include <QScreen>

namespace {

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
    support::PlaceCentred(this, platform::PixelsToTwips(ownerFrame), platform::PixelsToTwips(QRect(QPoint(), outer)).size());
}

void fMessage::ShowNow()
{
    show();
    raise();
    // The caller keeps the thread busy; let the window appear first, but take no input meanwhile.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
