#pragma once

#include <QLabel>
#include <QTimer>

// A short notice over the bottom of its parent that goes by itself: for what the user should know
// but need not answer (the catalogue was changed by another program).
class NoticeBar : public QLabel {
    Q_OBJECT
public:
    static constexpr int kShownMs = 5000;

    explicit NoticeBar(QWidget *parent);

    void Show(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void place();
    QTimer hide_;
};
