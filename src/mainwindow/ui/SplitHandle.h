#pragma once

#include <QWidget>

// The strip between the two lists of the main window: dragged sideways, it moves where they meet.
class SplitHandle : public QWidget {
    Q_OBJECT
public:
    explicit SplitHandle(QWidget *parent = nullptr);

Q_SIGNALS:
    // Where the user dragged the strip's left edge to, in the parent's pixels.
    void Dragged(int left);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // Where in the strip it was taken hold of; negative while not held.
    int grip_ = -1;
};
