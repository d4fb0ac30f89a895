#pragma once

#include <QDialog>
#include <QPointer>

class QComboBox;
class QPushButton;

// The move-project dialog: moves project CurrentProject of category CurrentCategory to the end
// of the category chosen in cmbCategory. The source key leaves the catalogue file at once; the
// project reaches the destination's section at the next save. After a move CurrentProject is 0,
// so the main window must disable its project commands. One instance per opening; the main
// window calls fMove::Run(this) from mnuProjectMove_Click.
class fMove : public QDialog {
    Q_OBJECT
public:
    // mainWindow: the window the dialog is centred over; may be null.
    explicit fMove(QWidget *mainWindow = nullptr);
    ~fMove() override;

    // Shows a fresh dialog modally; true when the project was moved.
    static bool Run(QWidget *mainWindow);

    QComboBox *cmbCategory = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

    bool Moved() const { return moved_; }

    void cmdOK_Click();
    void cmdCancel_Click();

private:
    enum class Outcome { SameCategory, Mismatch, Refused, Moved };

    void BuildControls();
    void Form_Load(QWidget *mainWindow);
    Outcome MoveProject();

    bool moved_ = false;
};
