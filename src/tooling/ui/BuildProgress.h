#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

class QLabel;
class QProgressBar;
class QPushButton;

// The progress window of a build over a category: the project being built, how far the run is,
// and a button that cancels it. It leaves the main window usable.
class BuildProgress : public QDialog {
    Q_OBJECT
public:
    explicit BuildProgress(QWidget *parent = nullptr);

    // The projects of the category are being looked at.
    void ShowLooking(const QString &category, int projects);
    // The order the projects will be built in, and those that depend on each other in a circle.
    void ShowOrder(const QStringList &order, const QList<QStringList> &cycles);
    // The number-th build (1-based) of total starts.
    void ShowBuilding(int number, int total, const QString &project);
    // Cancel was asked for: the IDE is being ended.
    void ShowCancelling();

    QLabel *lblProject = nullptr;
    QLabel *lblCount = nullptr;
    QLabel *lblOrder = nullptr;
    QProgressBar *prgBuild = nullptr;
    QPushButton *cmdCancel = nullptr;

Q_SIGNALS:
    // The cancel button, Esc or the window's close button.
    void CancelRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;
};
