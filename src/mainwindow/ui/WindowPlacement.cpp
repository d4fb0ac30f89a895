#include "mainwindow/ui/WindowPlacement.h"

#include "mainwindow/ui/mWndFunction.h"
#include "platform/Centring.h"
#include "platform/Twips.h"

#include <QGuiApplication>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

using platform::KeepTwips;
using platform::PixelsToTwips;
using platform::TwipsToPixels;

namespace {

QRect ScreenArea(const QWidget &window)
{
    return window.screen() ? window.screen()->geometry() : QRect(0, 0, 1024, 768);
}

// The available area of the screen the outer rectangle lies on most; that of the window's own
// screen when it lies on none (a screen that is no longer there).
QRect AvailableAreaFor(const QWidget &window, const QRect &outer)
{
    const QScreen *best = nullptr;
    qint64 bestArea = 0;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect common = screen->geometry().intersected(outer);
        if (const qint64 area = qint64(common.width()) * common.height(); area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    if (!best)
        best = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    return best ? best->availableGeometry() : QRect();
}

// The outer rectangle moved (and, only where it does not fit, shrunk) into the area, and no
// smaller than the least outer size.
QRect PulledInside(QRect outer, const QRect &area, const QSize &least)
{
    outer.setSize(outer.size().expandedTo(least));
    if (area.isEmpty())
        return outer;
    outer.setSize(outer.size().boundedTo(area.size().expandedTo(least)));
    outer.moveLeft(qBound(area.left(), outer.left(), qMax(area.left(), area.right() + 1 - outer.width())));
    outer.moveTop(qBound(area.top(), outer.top(), qMax(area.top(), area.bottom() + 1 - outer.height())));
    return outer;
}

} // namespace

WindowPlacement::WindowPlacement(QWidget &window) : window_(window) { window_.setMinimumSize(360, 240); }

void WindowPlacement::Start(const QString &settingsFile)
{
    // Placement is in outer measures (frame included). The frame is known only once the window
    // system has put it round the shown window; until then it is taken as none, and the placement
    // is applied again when the real one is known (Settle).
    const QRect screenArea = ScreenArea(window_);
    const QMargins frame = frameMarginsNow();
    initialSize_ = window_.size();
    const QSize outer = initialSize_.grownBy(frame);
    requested_ = settings::ReadPlacement(settingsFile, qint32(PixelsToTwips(screenArea.width())),
                                         qint32(PixelsToTwips(screenArea.height())),
                                         qint32(PixelsToTwips(outer.width())), qint32(PixelsToTwips(outer.height())));
    apply(requested_, frame);
    settled_ = false;
}

void WindowPlacement::apply(settings::Placement placement, const QMargins &frame)
{
    normalFrame_ = frame;
    // A placement kept from a larger screen, or another screen, comes back where it can be seen.
    const QRect stored(TwipsToPixels(placement.Left), TwipsToPixels(placement.Top), TwipsToPixels(placement.Width),
                       TwipsToPixels(placement.Height));
    const QRect outer = PulledInside(stored, AvailableAreaFor(window_, stored),
                                     window_.minimumSize().grownBy(frame));
    placement.Left = KeepTwips(placement.Left, outer.left());
    placement.Top = KeepTwips(placement.Top, outer.top());
    placement.Width = KeepTwips(placement.Width, outer.width());
    placement.Height = KeepTwips(placement.Height, outer.height());
    const QPoint origin = outer.topLeft();
    const QSize client(qMax(1, outer.width() - frame.left() - frame.right()),
                       qMax(1, outer.height() - frame.top() - frame.bottom()));
    if (window_.testAttribute(Qt::WA_WState_Created)) {
        // Qt's record of the frame may still be that of another state; the window system's is current.
        window_.setGeometry(QRect(origin + QPoint(frame.left(), frame.top()), client));
    } else {
        window_.move(origin); // before the window exists, this places its frame
        window_.resize(client);
    }
    // The twips as read, so that an untouched window writes back the same numbers.
    NormalTop = placement.Top;
    NormalLeft = placement.Left;
    NormalHeight = placement.Height;
    NormalWidth = placement.Width;
}

void WindowPlacement::Settle()
{
    // The window manager frames a window before it shows it, so at the first exposure the frame
    // is known. A maximized start is shown normal for that moment, so that restoring it later
    // returns to the stored size and not to one that leaves the frame out.
    const QWindow *handle = window_.windowHandle();
    if (settled_ || !handle || !handle->isExposed())
        return;
    settled_ = true;
    const QMargins frame = frameMarginsNow();
    if (frame != normalFrame_) {
        settings::Placement placement = requested_;
        const QRect screenArea = ScreenArea(window_);
        const QSize outer = initialSize_.grownBy(frame);
        if (placement.TopCentred)
            placement.Top = platform::CentredOrigin(qint32(PixelsToTwips(screenArea.height())),
                                                    qint32(PixelsToTwips(outer.height())));
        if (placement.LeftCentred)
            placement.Left = platform::CentredOrigin(qint32(PixelsToTwips(screenArea.width())),
                                                     qint32(PixelsToTwips(outer.width())));
        apply(placement, frame);
    }
    if (requested_.Maximized)
        mWndFunction::MaximizeWindow(&window_);
}

void WindowPlacement::keepNormal(const QRect &frame)
{
    NormalTop = KeepTwips(NormalTop, frame.top());
    NormalLeft = KeepTwips(NormalLeft, frame.left());
    NormalHeight = KeepTwips(NormalHeight, frame.height());
    NormalWidth = KeepTwips(NormalWidth, frame.width());
}

void WindowPlacement::RecordNormal()
{
    if (window_.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    if (pullBack_)
        pullInside();
    const QRect frame = outerGeometry();
    if (window_.windowHandle() && window_.windowHandle()->isExposed())
        normalFrame_ = frameMarginsNow();
    keepNormal(frame);
}

void WindowPlacement::StateChanged(Qt::WindowStates old)
{
    const auto special = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
    if (!(old & special) && (window_.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        // The window system may resize before it reports the new state, so that resize may
        // have been taken for a normal one; Qt's own record of the normal geometry is right.
        // The frame of the normal state: a maximized window may have another.
        const QRect normal = window_.normalGeometry();
        if (normal.isValid())
            keepNormal(normal.marginsAdded(normalFrame_));
    }
    if ((old & (Qt::WindowMaximized | Qt::WindowFullScreen)) && !(window_.windowState() & special)) {
        // Restored from maximized: the normal place may lie on a screen area that has gone since.
        // The window system may give the normal size only after it reports the state.
        pullBackAWhile();
    }
    RecordNormal();
}

void WindowPlacement::pullBackAWhile()
{
    pullBack_ = true;
    QTimer::singleShot(1000, &window_, [this] { pullBack_ = false; });
}

void WindowPlacement::pullInside()
{
    const QRect outer = outerGeometry();
    const QRect pulled = PulledInside(outer, AvailableAreaFor(window_, outer), window_.minimumSize().grownBy(frameMarginsNow()));
    if (pulled == outer)
        return;
    const QScopedValueRollback<bool> once(pullBack_, false); // the move this makes is not pulled again
    window_.setGeometry(pulled.marginsRemoved(frameMarginsNow()));
}

QMargins WindowPlacement::frameMarginsNow() const
{
    const QWindow *window = window_.windowHandle();
    return window ? window->frameMargins() : QMargins();
}

QRect WindowPlacement::outerGeometry() const { return window_.geometry().marginsAdded(frameMarginsNow()); }

mainwindow::Box WindowPlacement::FrameTwips() const
{
    const QRect frame = outerGeometry();
    return {qint32(PixelsToTwips(frame.left())), qint32(PixelsToTwips(frame.top())),
            qint32(PixelsToTwips(frame.width())), qint32(PixelsToTwips(frame.height()))};
}

settings::Placement WindowPlacement::ForSettings() const
{
    settings::Placement placement;
    // A maximized start is maximized only once shown.
    placement.Maximized = mWndFunction::IsWindowMaximized(&window_) || (!settled_ && requested_.Maximized);
    if (placement.Maximized || window_.isMinimized()) {
        placement.Top = NormalTop;
        placement.Left = NormalLeft;
        placement.Height = NormalHeight;
        placement.Width = NormalWidth;
    } else {
        const QRect frame = outerGeometry();
        placement.Top = KeepTwips(NormalTop, frame.top());
        placement.Left = KeepTwips(NormalLeft, frame.left());
        placement.Height = KeepTwips(NormalHeight, frame.height());
        placement.Width = KeepTwips(NormalWidth, frame.width());
    }
    return placement;
}
