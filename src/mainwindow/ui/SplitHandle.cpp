#include "mainwindow/ui/SplitHandle.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

SplitHandle::SplitHandle(QWidget *parent) : QWidget(parent)
{
    setCursor(Qt::SplitHCursor);
    setAttribute(Qt::WA_Hover);
    setAccessibleName(QStringLiteral("カテゴリー一覧とプロジェクト一覧の境界"));
}

void SplitHandle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    option.state |= QStyle::State_Horizontal;
    if (grip_ >= 0)
        option.state |= QStyle::State_Sunken;
    style()->drawControl(QStyle::CE_Splitter, &option, &painter, this);
}

void SplitHandle::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    grip_ = event->position().toPoint().x();
    update();
}

void SplitHandle::mouseMoveEvent(QMouseEvent *event)
{
    if (grip_ < 0 || !(event->buttons() & Qt::LeftButton))
        return QWidget::mouseMoveEvent(event);
    Q_EMIT Dragged(mapToParent(event->position().toPoint()).x() - grip_);
}

void SplitHandle::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || grip_ < 0)
        return QWidget::mouseReleaseEvent(event);
    Q_EMIT Dragged(mapToParent(event->position().toPoint()).x() - grip_);
    grip_ = -1;
    update();
}
