#include "support/ui/NoticeBar.h"

#include <QEvent>

NoticeBar::NoticeBar(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("NoticeBar"));
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setMargin(6);
    // The tooltip colours are the palette's own for text that floats over the window.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
    setFrameShape(QFrame::StyledPanel);
    hide();
    hide_.setSingleShot(true);
    hide_.setInterval(kShownMs);
    connect(&hide_, &QTimer::timeout, this, &QWidget::hide);
    parent->installEventFilter(this);
}

void NoticeBar::Show(const QString &text)
{
    setText(text);
    setAccessibleName(text);
    place();
    show();
    raise();
    hide_.start();
}

void NoticeBar::place()
{
    const QWidget *owner = parentWidget();
    const int margin = 8;
    const int width = qMax(100, owner->width() - 2 * margin);
    const int height = heightForWidth(width);
    setGeometry(margin, owner->height() - height - margin, width, height);
}

bool NoticeBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
        place();
    return QLabel::eventFilter(watched, event);
}

void NoticeBar::mousePressEvent(QMouseEvent *) { hide(); }
