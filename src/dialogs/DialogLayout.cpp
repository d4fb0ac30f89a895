#include "dialogs/DialogLayout.h"

#include "platform/Twips.h"
#include "tooling/Centring.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

using platform::PixelsToTwips;
using platform::TwipsToPixels;

namespace dialogs {

QRect TwipsRect(qint32 left, qint32 top, qint32 width, qint32 height)
{
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

QFont DialogFont(bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(9.75);
    font.setBold(bold);
    return font;
}

void SetFixedDialogFrame(QDialog *dialog, qint32 clientWidth, qint32 clientHeight)
{
    dialog->setFixedSize(TwipsToPixels(clientWidth), TwipsToPixels(clientHeight));
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    dialog->setSizeGripEnabled(false);
}

void PlaceCentred(QWidget *window, const QRect &ownerTwips, const QSize &outerTwips)
{
    const QPoint topLeft = mMain::CentreOver(ownerTwips, outerTwips);
    window->move(TwipsToPixels(topLeft.x()), TwipsToPixels(topLeft.y()));
}

QRect ScreenTwips(const QWidget *mainWindow)
{
    const QScreen *screen = mainWindow ? mainWindow->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return QRect();
    const QRect area = screen->geometry();
    return QRect(int(PixelsToTwips(area.left())), int(PixelsToTwips(area.top())), int(PixelsToTwips(area.width())),
                 int(PixelsToTwips(area.height())));
}

QRect OuterTwips(const QWidget *window)
{
    const QRect frame = window->frameGeometry();
    return QRect(int(PixelsToTwips(frame.left())), int(PixelsToTwips(frame.top())), int(PixelsToTwips(frame.width())),
                 int(PixelsToTwips(frame.height())));
}

} // namespace dialogs
