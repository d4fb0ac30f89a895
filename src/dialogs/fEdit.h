#pragma once

#include <QDialog>
#include <QPointer>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;

// The project edit dialog: the name and .vbp file of project CurrentProject of category
// CurrentCategory. OK writes the change through to the catalogue file at once and changes the
// entry, which the main window's project list shows. One instance per opening; the main window
// calls fEdit::Run(this) from mnuProjectEdit_Click.
class fEdit : public QDialog {
    Q_OBJECT
public:
    explicit fEdit(QWidget *mainWindow = nullptr);
    ~fEdit() override;

    // Shows a fresh dialog modally; true when the project was changed.
    static bool Run(QWidget *mainWindow);

    QLabel *lblProject = nullptr;
    QLineEdit *txtProjectName = nullptr;
    QLabel *lblProjectFile = nullptr;
    QLineEdit *txtProjectFile = nullptr;
    QPushButton *cmdComDlg = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

    // Whether OK changed the project (and closed the dialog).
    bool Edited() const { return edited_; }

    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdComDlg_Click();

private:
    void BuildControls();
    void Form_Load();
    // The first entry OK must refuse: its message, and the box that takes the focus. False when none.
    bool EntryProblem(QString *message, QLineEdit **box) const;
    // Replaces the old key by the new one in one write of the file, then changes the entry.
    // False, with nothing changed in the file or in memory, when the file cannot take it.
    bool SaveProject(const QString &name, const QString &file);
    // The names of the other projects of the category.
    QStringList siblingNames() const;

    bool edited_ = false;
};
