#pragma once

#include <QWidget>

// The progress window: a title bar only, whose caption says what is being done
// while the work runs in the user-interface thread.
class fMessage : public QWidget {
    Q_OBJECT
public:
    // Client area in twips: wide enough for a caption, no height at all.
    static constexpr int kClientWidthTwips = 3285;
    static constexpr int kClientHeightTwips = 0;

    explicit fMessage(QWidget *parent = nullptr);

    void SetCaption(const QString &caption);
    QString Caption() const;

    // Centres the window (frame included) over owner's frame, in twips with the
    // halves truncated; over the screen when there is no owner. Sets the position only.
    void CentreOver(const QWidget *owner);

    // Shows the window and lets it draw before the caller goes on working.
    void ShowNow();
};
