#include "dialogs/fMove.h"

#include "catalogue/CatalogueChanges.h"
#include "catalogue/cVbAnalyze.h"
#include "tooling/UserInterface.h"
#include "dialogs/DialogLayout.h"
#include "support/ui/AccessibleNames.h"

#include <QComboBox>
#include <QPushButton>

using dialogs::MakeButton;
using dialogs::TwipsRect;

namespace {

constexpr qint32 kClientWidth = 3420;
constexpr qint32 kClientHeight = 1290;

} // namespace

fMove::fMove(QWidget *mainWindow) : QDialog(mainWindow)
{
    BuildControls();
    Form_Load(mainWindow);
}

fMove::~fMove() = default;

bool fMove::Run(QWidget *mainWindow)
{
    fMove dialog(mainWindow);
    dialog.exec();
    return dialog.Moved();
}

void fMove::BuildControls()
{
    setObjectName(QStringLiteral("fMove"));
    setWindowTitle(QStringLiteral("ｶﾃｺﾞﾘｰの移動"));
    setFont(dialogs::DialogFont());
    dialogs::SetFixedDialogFrame(this, kClientWidth, kClientHeight);

    cmbCategory = new QComboBox(this);
    cmbCategory->setObjectName(QStringLiteral("cmbCategory"));
    cmbCategory->setEditable(false);
    cmbCategory->setGeometry(TwipsRect(210, 180, 3030, 300));

    cmdOK = MakeButton(this, QStringLiteral("cmdOK"), QStringLiteral("OK"), TwipsRect(240, 735, 1215, 375));
    // Not the default: Enter presses the focused button, Cancel when the dialog opens.
    cmdOK->setDefault(false);
    cmdCancel = MakeButton(this, QStringLiteral("cmdCancel"), QStringLiteral("ｷｬﾝｾﾙ"), TwipsRect(2010, 720, 1215, 375));

    setTabOrder(cmdCancel, cmdOK);
    setTabOrder(cmdOK, cmbCategory);

    connect(cmdOK, &QPushButton::clicked, this, &fMove::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &fMove::cmdCancel_Click);
    dialogs::FitTexts(this);
    // The drop-down has no label of its own; the dialog's title says what it is for.
    cmbCategory->setAccessibleName(QStringLiteral("移動先のカテゴリー"));
    support::NameControls(this);
}

void fMove::Form_Load(QWidget *mainWindow)
{
    const catalogue::CatalogueState &state = catalogue::State();
    // Every category in list order, the project's own included: position p is category p + 1.
    for (qint32 i = 1; i <= state.CategoryCount; ++i) {
        const catalogue::cVbAnalyze *category = state.CategoryAt(i);
        cmbCategory->addItem(category ? category->Category() : QString());
    }
    cmbCategory->setCurrentIndex(cmbCategory->count() > 0 ? 0 : -1);

    const QRect owner = mainWindow ? support::OuterTwips(mainWindow) : support::ScreenTwips(nullptr);
    support::PlaceCentred(this, owner, support::OuterSizeTwips(this, mainWindow));
    cmdCancel->setFocus();
}

void fMove::cmdOK_Click()
{
    switch (MoveProject()) {
    case Outcome::SameCategory:
        accept();
        break;
    case Outcome::Moved:
        moved_ = true;
        accept();
        break;
    case Outcome::Mismatch:
    case Outcome::Refused:
        break; // the dialog stays open; nothing has changed
    }
}

void fMove::cmdCancel_Click() { reject(); }

fMove::Outcome fMove::MoveProject()
{
    catalogue::CatalogueState &state = catalogue::State();
    const qint32 position = cmbCategory->currentIndex();
    if (position + 1 == state.CurrentCategory)
        return Outcome::SameCategory;

    const QString shown = cmbCategory->currentText();
    catalogue::cVbAnalyze *source = state.Current();
    catalogue::cVbAnalyze *target = state.CategoryAt(position + 1);
    const qint32 index = state.CurrentProject;
    if (!source || !target || index < 1 || index > source->Count())
        return Outcome::Mismatch;
    if (target->Category() != shown)
        return Outcome::Mismatch;

    // One write takes it out of one section and into the other; when the file refuses, nothing
    // has moved, in the file or on screen.
    const catalogue::ChangeResult result =
        catalogue::MoveProject(source->Category(), source->Shared(index).lock(), shown);
    if (!result.Message.isNull())
        ui::Current().Message(result.Message);
    if (!result.Done)
        return Outcome::Refused;
    // The number named the moved project's row; no project is selected now.
    state.CurrentProject = 0;
    return Outcome::Moved;
}
