#include "dialogs/fEdit.h"

#include "catalogue/CatalogueChanges.h"
#include "catalogue/NameRules.h"
#include "catalogue/cVbAnalyze.h"
#include "catalogue/mIniFile.h"
#include "dialogs/DialogLayout.h"
#include "support/ui/AccessibleNames.h"
#include "support/FileDialogRules.h"
#include "support/ui/cCommonDlg.h"
#include "tooling/UserInterface.h"
#include "tooling/mFunction.h"

#include <QDir>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using dialogs::MakeButton;
using dialogs::Placed;
using dialogs::TwipsRect;

namespace {

constexpr qint32 kClientWidth = 6135;
constexpr qint32 kClientHeight = 1605;

// Whenever the box gains the focus, the selection runs from where it starts (or the caret) to
// the end of the text: the whole text while the caret stands at its start.
void SelectToEnd(QLineEdit *box)
{
    const int start = box->hasSelectedText() ? box->selectionStart() : box->cursorPosition();
    box->setSelection(start, int(box->text().size()) - start);
}

class SelectingLineEdit final : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        QLineEdit::focusInEvent(event);
        SelectToEnd(this);
    }
};

QLabel *MakeLabel(QWidget *parent, const QString &name, const QString &text, const QRect &geometry)
{
    auto *label = Placed(new QLabel(text, parent), name, geometry);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLineEdit *MakeTextBox(QWidget *parent, const QString &name, const QRect &geometry)
{
    return Placed<QLineEdit>(new SelectingLineEdit(parent), name, geometry);
}

void FocusBox(QLineEdit *box)
{
    box->setFocus();
    // Also when the box had the focus already (it gets no focus event then).
    SelectToEnd(box);
}

} // namespace

fEdit::fEdit(QWidget *mainWindow) : QDialog(mainWindow)
{
    BuildControls();
    Form_Load();
    // Placed at the width the file's path gave it. The frame is not known before the dialog is
    // shown: the main window's stands for it.
    support::PlaceCentred(this, support::ScreenTwips(mainWindow), support::OuterSizeTwips(this, mainWindow));
}

fEdit::~fEdit() = default;

bool fEdit::Run(QWidget *mainWindow)
{
    fEdit dialog(mainWindow);
    dialog.exec();
    return dialog.Edited();
}

void fEdit::BuildControls()
{
    setObjectName(QStringLiteral("fEdit"));
    setWindowTitle(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ編集"));
    setFont(dialogs::DialogFont());
    dialogs::SetFixedDialogFrame(this, kClientWidth, kClientHeight);

    lblProject = MakeLabel(this, QStringLiteral("lblProject"), QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名"),
                           TwipsRect(120, 225, 855, 180));
    txtProjectName = MakeTextBox(this, QStringLiteral("txtProjectName"), TwipsRect(1545, 150, 3690, 315));
    lblProjectFile = MakeLabel(this, QStringLiteral("lblProjectFile"), QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ名"),
                               TwipsRect(120, 750, 1275, 180));
    txtProjectFile = MakeTextBox(this, QStringLiteral("txtProjectFile"), TwipsRect(1545, 675, 3690, 315));
    cmdComDlg = MakeButton(this, QStringLiteral("cmdComDlg"), QStringLiteral("参照"), TwipsRect(5370, 675, 615, 315));
    cmdOK = MakeButton(this, QStringLiteral("cmdOK"), QStringLiteral("OK"), TwipsRect(3120, 1110, 1215, 375));
    cmdOK->setDefault(true);
    cmdCancel = MakeButton(this, QStringLiteral("cmdCancel"), QStringLiteral("ｷｬﾝｾﾙ"), TwipsRect(4740, 1110, 1215, 375));

    setTabOrder(txtProjectName, txtProjectFile);
    setTabOrder(txtProjectFile, cmdComDlg);
    setTabOrder(cmdComDlg, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    connect(cmdComDlg, &QPushButton::clicked, this, &fEdit::cmdComDlg_Click);
    connect(cmdOK, &QPushButton::clicked, this, &fEdit::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &fEdit::cmdCancel_Click);
    dialogs::FitTexts(this);
    lblProject->setBuddy(txtProjectName);
    lblProjectFile->setBuddy(txtProjectFile);
    support::NameControls(this);
}

void fEdit::Form_Load()
{
    const catalogue::CatalogueState &state = catalogue::State();
    if (const catalogue::cVbAnalyze *category = state.Current()) {
        txtProjectName->setText(category->ProjectName(state.CurrentProject));
        txtProjectFile->setText(category->ProjectFile(state.CurrentProject));
    }
    // A long path shows whole, its file name at the end included.
    txtProjectFile->setToolTip(txtProjectFile->text());
    dialogs::WidenToShow(this, txtProjectFile, {txtProjectName, txtProjectFile}, {cmdComDlg, cmdOK, cmdCancel});
    // As after an assignment: the caret at the start, so that gaining the focus selects all.
    txtProjectName->setCursorPosition(0);
    txtProjectFile->setCursorPosition(0);
    // A path longer than the screen allows: the caret at its end, so that the file name shows.
    const QString path = txtProjectFile->text();
    if (txtProjectFile->fontMetrics().horizontalAdvance(path) + 2 * txtProjectFile->fontMetrics().averageCharWidth()
        > txtProjectFile->width())
        txtProjectFile->setCursorPosition(int(path.size()));
    FocusBox(txtProjectName);
}

void fEdit::cmdComDlg_Click()
{
    cCommonDlg dialog;
    dialog.Prepare(this, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄの選択"), QStringLiteral("VB Project Files (*.vbp)|*.vbp"), 1,
                   support::ofn::HideReadOnly | support::ofn::PathMustExist | support::ofn::Explorer
                       | support::ofn::LongNames,
                   QDir::currentPath());
    dialog.ShowOpen();
    if (!dialog.CancelButton())
        txtProjectFile->setText(dialog.FileName());
}

void fEdit::cmdOK_Click()
{
    QString message;
    QLineEdit *box = nullptr;
    if (EntryProblem(&message, &box)) {
        ui::Current().Message(message);
        FocusBox(box);
        return;
    }
    if (!SaveProject(txtProjectName->text(), txtProjectFile->text()))
        return; // the user has been told; the dialog stays open with what was typed
    edited_ = true;
    accept();
}

void fEdit::cmdCancel_Click() { reject(); }

bool fEdit::EntryProblem(QString *message, QLineEdit **box) const
{
    const QString &catalogueFile = catalogue::State().CatalogueFilePath;
    const QString name = txtProjectName->text();
    const QString file = txtProjectFile->text();
    // Exactly empty: blanks count as text here; the name rules refuse them at the ends.
    if (name.isEmpty()) {
        *message = QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名が入力されていません。");
        *box = txtProjectName;
        return true;
    }
    if (const QString problem = catalogue::ProjectNameProblem(name, catalogueFile); !problem.isNull()) {
        *message = problem;
        *box = txtProjectName;
        return true;
    }
    // A sibling's name would overwrite the sibling's key line in the file at once.
    if (const QString taken = catalogue::ProjectNameTaken(name, siblingNames()); !taken.isNull()) {
        *message = taken;
        *box = txtProjectName;
        return true;
    }
    if (file.isEmpty()) {
        *message = QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ名が入力されていません。");
        *box = txtProjectFile;
        return true;
    }
    if (!mFunction::FileExists(file)) {
        *message = file + QStringLiteral(" が存在しません。");
        *box = txtProjectFile;
        return true;
    }
    if (const QString problem = catalogue::PathProblem(file, catalogueFile); !problem.isNull()) {
        *message = problem;
        *box = txtProjectFile;
        return true;
    }
    return false;
}

bool fEdit::SaveProject(const QString &name, const QString &file)
{
    catalogue::CatalogueState &state = catalogue::State();
    const catalogue::cVbAnalyze *category = state.Current();
    const qint32 index = state.CurrentProject;
    if (!category || index < 1 || index > category->Count())
        return false;
    const catalogue::ChangeResult result =
        catalogue::EditProject(category->Category(), category->Shared(index).lock(), name, file);
    if (!result.Message.isNull())
        ui::Current().Message(result.Message);
    return result.Done;
}

QStringList fEdit::siblingNames() const
{
    const catalogue::CatalogueState &state = catalogue::State();
    QStringList names;
    if (const catalogue::cVbAnalyze *category = state.Current())
        for (qint32 j = 1; j <= category->Count(); ++j)
            if (j != state.CurrentProject)
                names.append(category->ProjectName(j));
    return names;
}

