#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// The options dialog: edits the settings values in memory (they reach ZARUN.ini at shut-down).
// One instance per opening; the main window calls fOption::Run(this) from mnuOption_Click.
class fOption : public QDialog {
    Q_OBJECT
public:
    // Loads the dialog from the settings values; mainWindow only keeps it on the main window's
    // screen and above it (may be null).
    explicit fOption(QWidget *mainWindow = nullptr);
    ~fOption() override;

    // Shows a fresh dialog modally and returns when it is closed.
    static void Run(QWidget *mainWindow);

    QListWidget *lstOption = nullptr;
    QLabel *lblList = nullptr;
    QFrame *fraMain = nullptr;
    QLabel *lblDataFile = nullptr;
    QLineEdit *txtDataFile = nullptr;
    QPushButton *cmdComDlg = nullptr;
    QCheckBox *chkDataSort = nullptr;
    QFrame *fraProject = nullptr;
    QGroupBox *fraWClick = nullptr;
    std::array<QRadioButton *, 3> optWClick{}; // 0 open folder, 1 open source, 2 run executable
    QCheckBox *chkExeAutomatic = nullptr;
    QCheckBox *chkDragDrop = nullptr;
    QCheckBox *chkProjectSort = nullptr;
    // The IDE page: the command for open source and build, and the one in effect now.
    QFrame *fraIde = nullptr;
    QLabel *lblIdeCommand = nullptr;
    QLineEdit *txtIdeCommand = nullptr;
    QLabel *lblIdeSource = nullptr;
    QPlainTextEdit *txtIdeInEffect = nullptr; // wrapped, whole in its tool tip
    QLabel *lblIdeNotes = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdApply = nullptr;
    QPushButton *cmdCancel = nullptr;

    // Set when the apply of an OK was refused; it keeps that OK from closing the dialog.
    bool ApplyRefused() const { return applyRefused_; }

    void cmdOK_Click();
    void cmdApply_Click();
    void cmdCancel_Click();
    void cmdComDlg_Click();

    void done(int result) override;
    void reject() override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void BuildControls();
    void BuildMainPage();
    void BuildProjectPage();
    void BuildIdePage();
    void ShowIdeInEffect();
    // Sizes the command in use to its lines and puts the notes below it.
    void placeIdeInEffect();
    void SetTabOrder();
    void Form_Load();
    void lstOption_Click();
    void txtDataFile_Change();
    void optWClick_Click();
    void CheckBox_Click(bool checked, bool setting);
    void ShowPage(int index);
    // Copies the controls into the settings values; false (and the refusal shown) when the
    // start-up file does not exist or cannot be stored.
    bool ApplySettings();
    // Shows the message, then the page and the text box to correct (the start-up file by default).
    void RefuseApply(const QString &message, int page = 0, QLineEdit *field = nullptr);

    bool applyRefused_ = false;
};
