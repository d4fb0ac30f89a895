#include "support/ui/cILink.h"

#include "support/ui/ReadableColour.h"

#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>

namespace {

void DesktopOpen(const QString &target)
{
    if (target.isEmpty())
        return; // would open the current folder
    QUrl url(target);
    // A bare path (or a drive letter taken for a scheme) is a local file.
    if (url.scheme().size() < 2)
        url = QUrl::fromLocalFile(QDir(QDir::currentPath()).absoluteFilePath(target));
    QDesktopServices::openUrl(url); // a target nothing can open is ignored
}

cILink::Opener &opener()
{
    static cILink::Opener instance = DesktopOpen;
    return instance;
}

} // namespace

void cILink::SetOpener(Opener newOpener) { opener() = newOpener ? std::move(newOpener) : Opener(DesktopOpen); }

void cILink::ResetOpener() { opener() = DesktopOpen; }

void cILink::Open(const QString &target) { opener()(target); }

cILink::cILink(QObject *parent) : QObject(parent) {}

void cILink::SetInternetLink(QLabel *label)
{
    if (mctlLabel)
        mctlLabel->removeEventFilter(this);
    mctlLabel = label;
    if (!label)
        return;
    label->installEventFilter(this);
    label->setMouseTracking(true);
    label->setTextFormat(Qt::PlainText);
    label->setCursor(Qt::PointingHandCursor);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    SetColour(LinkColour());
    label->setText(caption_);
    label->setToolTip(toolTipText_);
    label->adjustSize();
    url_ = label->text();
}

void cILink::SetCaption(const QString &caption)
{
    caption_ = caption;
    if (QLabel *attached = label()) {
        attached->setText(caption);
        attached->adjustSize();
    }
}

void cILink::SetToolTipText(const QString &text)
{
    toolTipText_ = text;
    if (QLabel *attached = label())
        attached->setToolTip(text);
}

void cILink::SetColour(const QColor &colour)
{
    QLabel *attached = label();
    if (!attached)
        return;
    QPalette palette = attached->palette();
    // On a dark colour scheme the fixed link colours would hardly show: lighter ones of the same hue.
    palette.setColor(QPalette::WindowText,
                     support::ReadableOn(colour, palette.color(attached->backgroundRole())));
    attached->setPalette(palette);
}

bool cILink::eventFilter(QObject *watched, QEvent *event)
{
    // Compared as objects: a label being destroyed still sends events (QEvent::Destroy) but is no
    // longer a label, and is left alone.
    QLabel *attached = label();
    if (!attached || watched != attached)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
        mctlLabel_MouseMove();
        break;
    case QEvent::MouseButtonPress:
        pressed_ = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
        break;
    case QEvent::MouseButtonRelease: {
        // A click is a left press and release both on the label.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const bool click = pressed_ && mouse->button() == Qt::LeftButton
                           && attached->rect().contains(mouse->position().toPoint());
        pressed_ = false;
        if (click)
            mctlLabel_Click();
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void cILink::mctlLabel_Click() { Open(url_); }

void cILink::mctlLabel_MouseMove() { SetColour(HoverColour()); }
