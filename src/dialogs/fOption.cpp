#include "dialogs/fOption.h"

#include "catalogue/NameRules.h"
#include "dialogs/DialogLayout.h"
#include "settings/Settings.h"
#include "platform/Twips.h"
#include "support/ui/AccessibleNames.h"
#include "support/FileDialogRules.h"
#include "support/ui/ReadableColour.h"
#include "support/ui/cCommonDlg.h"
#include "tooling/IdeCommand.h"
#include "tooling/UserInterface.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

using dialogs::MakeButton;
using dialogs::Placed;
using dialogs::TwipsRect;
using platform::TwipsToPixels;

namespace {

constexpr qint32 kClientWidth = 6660;
constexpr qint32 kClientHeight = 3870;
// The outer size the dialog is given when it opens, frame included.
constexpr qint32 kOuterWidth = 6720;
constexpr qint32 kOuterHeight = 4425;
constexpr qint32 kPageLeft = 1800;
constexpr qint32 kPageTop = 480;

const QString kMainCaption = QStringLiteral("　メイン設定");
const QString kProjectCaption = QStringLiteral("　プロジェクト設定");
const QString kIdeCaption = QStringLiteral("　IDE設定");
constexpr int kIdePage = 2;

QCheckBox *MakeCheckBox(QWidget *parent, const QString &name, const QString &text, const QRect &geometry)
{
    return Placed(new QCheckBox(text, parent), name, geometry);
}

// A page: a frame without border or caption.
QFrame *MakePage(QWidget *parent, const QString &name, const QRect &geometry)
{
    auto *frame = Placed(new QFrame(parent), name, geometry);
    frame->setFrameShape(QFrame::NoFrame);
    return frame;
}

} // namespace

fOption::fOption(QWidget *mainWindow) : QDialog(mainWindow)
{
    BuildControls();
    Form_Load();
    // The dialog opens on the main window's screen, centred by its own outer size.
    support::PlaceCentred(this, support::ScreenTwips(mainWindow), QSize(kOuterWidth, kOuterHeight));
}

fOption::~fOption() = default;

void fOption::Run(QWidget *mainWindow)
{
    fOption dialog(mainWindow);
    dialog.exec();
}

void fOption::BuildControls()
{
    setObjectName(QStringLiteral("fOption"));
    setWindowTitle(QStringLiteral("ZARUN 設定"));
    setFont(dialogs::DialogFont());
    dialogs::SetFixedDialogFrame(this, kClientWidth, kClientHeight);

    lstOption = new QListWidget(this);
    lstOption->setObjectName(QStringLiteral("lstOption"));
    lstOption->setGeometry(TwipsRect(120, 90, 1485, 2955));
    lstOption->setFont(dialogs::DialogFont());
    connect(lstOption, &QListWidget::currentRowChanged, this, [this] { lstOption_Click(); });

    lblList = new QLabel(kMainCaption, this);
    lblList->setObjectName(QStringLiteral("lblList"));
    lblList->setTextFormat(Qt::PlainText);
    lblList->setGeometry(TwipsRect(1830, 120, 4695, 255));
    lblList->setFont(dialogs::DialogFont(true));
    lblList->setAutoFillBackground(true);
    QPalette strip = lblList->palette();
    // White on the system's menu-text colour: a title strip that follows the desktop's colours.
    // On a dark scheme that colour is light, and the dialog's own background colour reads on it.
    const QColor stripColour = palette().color(QPalette::Active, QPalette::WindowText);
    strip.setColor(QPalette::Window, stripColour);
    strip.setColor(QPalette::WindowText,
                   support::ReadableOn(Qt::white, stripColour, {palette().color(QPalette::Active, QPalette::Window)}));
    lblList->setPalette(strip);

    BuildMainPage();
    BuildProjectPage();
    BuildIdePage();

    cmdOK = MakeButton(this, QStringLiteral("cmdOK"), QStringLiteral("O  K"), TwipsRect(2940, 3390, 975, 375));
    cmdOK->setDefault(true);
    cmdApply = MakeButton(this, QStringLiteral("cmdApply"), QStringLiteral("適用"), TwipsRect(4170, 3390, 975, 375));
    cmdCancel = MakeButton(this, QStringLiteral("cmdCancel"), QStringLiteral("ｷｬﾝｾﾙ"), TwipsRect(5430, 3390, 975, 375));
    connect(cmdOK, &QPushButton::clicked, this, &fOption::cmdOK_Click);
    connect(cmdApply, &QPushButton::clicked, this, &fOption::cmdApply_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &fOption::cmdCancel_Click);

    SetTabOrder();
    dialogs::FitTexts(this);
    // The option buttons in the middle of their frame, below its caption, whatever the font's height.
    const QRect inside = fraWClick->contentsRect();
    for (QRadioButton *option : optWClick)
        option->move(option->x(), inside.top() + (inside.height() - option->height()) / 2);
    lstOption->setAccessibleName(QStringLiteral("設定項目"));
    support::NameControls(this);
}

void fOption::BuildMainPage()
{
    fraMain = MakePage(this, QStringLiteral("fraMain"), TwipsRect(kPageLeft, kPageTop, 4845, 2655));

    lblDataFile = new QLabel(QStringLiteral("起動時に開くデータファイル"), fraMain);
    lblDataFile->setObjectName(QStringLiteral("lblDataFile"));
    lblDataFile->setTextFormat(Qt::PlainText);
    lblDataFile->setGeometry(TwipsRect(120, 240, 2100, 180));

    txtDataFile = new QLineEdit(fraMain);
    txtDataFile->setObjectName(QStringLiteral("txtDataFile"));
    txtDataFile->setGeometry(TwipsRect(120, 540, 3975, 315));
    connect(txtDataFile, &QLineEdit::textChanged, this, [this] { txtDataFile_Change(); });
    lblDataFile->setBuddy(txtDataFile);

    cmdComDlg = MakeButton(fraMain, QStringLiteral("cmdComDlg"), QStringLiteral("参照"), TwipsRect(4200, 570, 495, 285));
    connect(cmdComDlg, &QPushButton::clicked, this, &fOption::cmdComDlg_Click);

    // Twice a line high: the caption wraps.
    chkDataSort = new dialogs::WrappingCheckBox(
        QStringLiteral("データファイルを開いたときカテゴリー及びプロジェクトリストをソートする"), fraMain);
    chkDataSort->setObjectName(QStringLiteral("chkDataSort"));
    chkDataSort->setGeometry(TwipsRect(150, 1020, 3525, 435));
    chkDataSort->setEnabled(false);
}

void fOption::BuildProjectPage()
{
    fraProject = MakePage(this, QStringLiteral("fraProject"), TwipsRect(kPageLeft, kPageTop, 4785, 2655));

    fraWClick = new QGroupBox(QStringLiteral("ダブルクリック時の割り当て"), fraProject);
    fraWClick->setObjectName(QStringLiteral("fraWClick"));
    fraWClick->setGeometry(TwipsRect(120, 60, 4485, 780));

    const std::array<QString, 3> captions = {QStringLiteral("フォルダを開く"), QStringLiteral("ソースを開く"),
                                             QStringLiteral("実行ﾌｧｲﾙを開く")};
    const std::array<QRect, 3> places = {TwipsRect(90, 270, 1425, 315), TwipsRect(1560, 270, 1245, 315),
                                         TwipsRect(2850, 270, 1515, 315)};
    for (size_t i = 0; i < optWClick.size(); ++i) {
        optWClick[i] = new QRadioButton(captions[i], fraWClick);
        optWClick[i]->setObjectName(QStringLiteral("optWClick%1").arg(i));
        optWClick[i]->setGeometry(places[i]);
        connect(optWClick[i], &QRadioButton::clicked, this, [this] { optWClick_Click(); });
    }

    chkExeAutomatic = MakeCheckBox(fraProject, QStringLiteral("chkExeAutomatic"),
                                   QStringLiteral("追加時、実行ファイルが無ければ自動作成する"),
                                   TwipsRect(150, 900, 4215, 285));
    chkDragDrop = MakeCheckBox(fraProject, QStringLiteral("chkDragDrop"),
                               QStringLiteral("リストにドラッグアンドドロップで追加するのを可能にする"),
                               TwipsRect(150, 1290, 4515, 285));
    chkProjectSort = MakeCheckBox(fraProject, QStringLiteral("chkProjectSort"),
                                  QStringLiteral("カラムをクリックしたときソートする"), TwipsRect(150, 1710, 4515, 285));
    chkProjectSort->setEnabled(false);
    connect(chkExeAutomatic, &QCheckBox::clicked, this,
            [this](bool checked) { CheckBox_Click(checked, settings::Values().AutoMakeExe); });
    connect(chkDragDrop, &QCheckBox::clicked, this,
            [this](bool checked) { CheckBox_Click(checked, settings::Values().DragDropEnabled); });
}

void fOption::BuildIdePage()
{
    fraIde = MakePage(this, QStringLiteral("fraIde"), TwipsRect(kPageLeft, kPageTop, 4845, 2655));
    const auto label = [this](const QString &name, const QString &text, const QRect &geometry) {
        auto *l = Placed(new QLabel(text, fraIde), name, geometry);
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    };
    lblIdeCommand = label(QStringLiteral("lblIdeCommand"), QStringLiteral("IDEのｺﾏﾝﾄﾞ（空欄: .vbp の関連付けを使う）"),
                          TwipsRect(120, 120, 4575, 225));
    lblIdeCommand->setWordWrap(false);
    txtIdeCommand = Placed(new QLineEdit(fraIde), QStringLiteral("txtIdeCommand"), TwipsRect(120, 420, 4575, 315));
    txtIdeCommand->setPlaceholderText(QStringLiteral("例: wine \"C:\\VB98\\VB6.EXE\""));
    connect(txtIdeCommand, &QLineEdit::textChanged, this, [this](const QString &text) {
        cmdApply->setEnabled(true);
        // A command longer than the box is read whole here.
        txtIdeCommand->setToolTip(text);
    });
    lblIdeSource = label(QStringLiteral("lblIdeSource"), QString(), TwipsRect(120, 870, 4575, 255));
    lblIdeSource->setWordWrap(false);
    // The command in use is shown whole: wrapped anywhere (a path has no blanks to break at), on
    // as many lines as it needs while the notes below have room, then scrolled; whole in its
    // tool tip too. The page's lines sit higher than on the other pages to give it that room.
    txtIdeInEffect = Placed(new QPlainTextEdit(fraIde), QStringLiteral("txtIdeInEffect"), TwipsRect(240, 1125, 4455, 285));
    txtIdeInEffect->setReadOnly(true);
    txtIdeInEffect->setFrameShape(QFrame::NoFrame);
    txtIdeInEffect->setFocusPolicy(Qt::NoFocus);
    txtIdeInEffect->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtIdeInEffect->setWordWrapMode(QTextOption::WrapAnywhere);
    txtIdeInEffect->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtIdeInEffect->document()->setDocumentMargin(0);
    txtIdeInEffect->viewport()->setBackgroundRole(QPalette::Window);
    txtIdeInEffect->setBackgroundRole(QPalette::Window);
    lblIdeNotes = label(QStringLiteral("lblIdeNotes"), QString(), TwipsRect(120, 1575, 4575, 1050));
    // Screen readers name the boxes by their labels.
    lblIdeCommand->setBuddy(txtIdeCommand);
    lblIdeSource->setBuddy(txtIdeInEffect);
}

void fOption::ShowIdeInEffect()
{
    const QString &command = mMain::VbIdePath;
    if (command.isEmpty()) {
        lblIdeSource->setText(QStringLiteral("使用中のｺﾏﾝﾄﾞ: なし"));
        txtIdeInEffect->setPlainText(QStringLiteral(".vbp に関連付けられたﾌﾟﾛｸﾞﾗﾑがありません。"));
        txtIdeInEffect->setToolTip(QString());
        lblIdeNotes->setText(QStringLiteral("ｿｰｽはﾃﾞｽｸﾄｯﾌﾟの既定のﾌﾟﾛｸﾞﾗﾑで開きます。実行ﾌｧｲﾙ作成はできません。"));
        placeIdeInEffect();
        return;
    }
    lblIdeSource->setText(settings::Values().IdeCommand.isEmpty()
                              ? QStringLiteral("使用中のｺﾏﾝﾄﾞ（.vbp の関連付けから）:")
                              : QStringLiteral("使用中のｺﾏﾝﾄﾞ（この設定から）:"));
    txtIdeInEffect->setPlainText(command);
    txtIdeInEffect->setToolTip(command);
    const idecommand::Command parsed = idecommand::Parse(command);
    QStringList notes;
    if (!idecommand::WineWords(parsed).isEmpty()) {
        // Whether the path goes in Windows form, asked without converting anything.
        bool windowsForm = false;
        idecommand::OpenArguments(parsed, QStringLiteral("/"), [&windowsForm](const QString &path) {
            windowsForm = true;
            return path;
        });
        notes << (windowsForm ? QStringLiteral("Wine 経由: ﾊﾟｽは Windows 形式で渡します。")
                              : QStringLiteral("Wine 経由: ﾊﾟｽは start が変換します。"));
    }
    switch (idecommand::BuildRefusal(parsed)) {
    case idecommand::Refusal::None:
        notes << QStringLiteral("実行ﾌｧｲﾙ作成: ﾊﾟｽと /make、/out ﾛｸﾞを渡します。");
        break;
    case idecommand::Refusal::ShellScript:
        notes << QStringLiteral("ｼｪﾙｽｸﾘﾌﾟﾄ経由のため /make を渡せません（実行ﾌｧｲﾙ作成不可）。");
        break;
    case idecommand::Refusal::WineStart:
        notes << QStringLiteral("wine start では /make を渡せません（実行ﾌｧｲﾙ作成不可）。"
                                "IDE の EXE を直接指定してください。");
        break;
    case idecommand::Refusal::Substitution:
        notes << QStringLiteral("ﾊﾟｽを $(…) や `…` の中に置くｼｪﾙｽｸﾘﾌﾟﾄのため、安全に起動できません。"
                                "上の欄にIDEのｺﾏﾝﾄﾞを設定してください。");
        break;
    case idecommand::Refusal::NoCommand:
    case idecommand::Refusal::Malformed:
        notes << QStringLiteral("ｺﾏﾝﾄﾞとして読めないため、起動できません。");
        break;
    }
    lblIdeNotes->setText(notes.join(u'\n'));
    placeIdeInEffect();
}

void fOption::placeIdeInEffect()
{
    const QFontMetrics metrics(txtIdeInEffect->font());
    const int line = metrics.lineSpacing();
    const QRect box = txtIdeInEffect->geometry();
    const QRect notes = lblIdeNotes->geometry();
    const int gap = TwipsToPixels(45);
    const int foot = fraIde->height();
    // The command takes the lines it needs, as far as the notes leave room; past that it scrolls.
    const int needed = metrics.boundingRect(QRect(0, 0, box.width() - 4, 1 << 20), Qt::TextWrapAnywhere,
                                            txtIdeInEffect->toPlainText())
                           .height();
    const int room = (foot - box.y() - gap - lblIdeNotes->heightForWidth(notes.width()) - 2) / line;
    const int lines = qMax(1, qMin((needed + line - 1) / line, room));
    txtIdeInEffect->setGeometry(box.x(), box.y(), box.width(), lines * line + 2);
    // The notes follow right below, to the page's foot.
    const int top = txtIdeInEffect->geometry().bottom() + 1 + gap;
    lblIdeNotes->setGeometry(notes.x(), top, notes.width(), foot - top);
}

void fOption::SetTabOrder()
{
    // Tab goes through the controls by their tab index, whichever page holds them.
    const QList<QWidget *> order = {cmdOK,          chkDataSort,     cmdCancel,    cmdApply,       optWClick[2],
                                    optWClick[1],   optWClick[0],    chkExeAutomatic, chkDragDrop, chkProjectSort,
                                    cmdComDlg,      txtDataFile,     txtIdeCommand, lstOption};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void fOption::Form_Load()
{
    applyRefused_ = false;
    lstOption->addItem(QStringLiteral("メイン"));
    lstOption->addItem(QStringLiteral("プロジェクト"));
    lstOption->addItem(QStringLiteral("IDE"));
    lstOption->setCurrentRow(0);

    const settings::SettingsValues &values = settings::Values();
    txtDataFile->setText(values.StartupCatalogue);
    txtDataFile->setCursorPosition(0);
    chkDataSort->setChecked(values.SortOnOpen);
    // A value without a button (read from an edited ZARUN.ini) leaves all three unselected.
    if (values.DoubleClickAction >= 0 && values.DoubleClickAction < qint32(optWClick.size()))
        optWClick[size_t(values.DoubleClickAction)]->setChecked(true);
    chkExeAutomatic->setChecked(values.AutoMakeExe);
    chkDragDrop->setChecked(values.DragDropEnabled);
    chkProjectSort->setChecked(values.SortOnColumnClick);
    txtIdeCommand->setText(values.IdeCommand);
    txtIdeCommand->setCursorPosition(0);
    ShowIdeInEffect();

    // Last, so that the dialog always opens with nothing to apply.
    cmdApply->setEnabled(false);
    cmdOK->setFocus();
}

void fOption::lstOption_Click() { ShowPage(lstOption->currentRow()); }

void fOption::ShowPage(int index)
{
    if (index == 0) {
        fraMain->move(TwipsToPixels(kPageLeft), TwipsToPixels(kPageTop));
        fraMain->setVisible(true);
        fraProject->setVisible(false);
        lblList->setText(kMainCaption);
    } else if (index == 1) {
        fraMain->setVisible(false);
        fraProject->move(TwipsToPixels(kPageLeft), TwipsToPixels(kPageTop));
        fraProject->setVisible(true);
        lblList->setText(kProjectCaption);
    }
    fraIde->setVisible(index == kIdePage);
    if (index == kIdePage) {
        fraMain->setVisible(false);
        fraProject->setVisible(false);
        lblList->setText(kIdeCaption);
    }
}

void fOption::txtDataFile_Change() { cmdApply->setEnabled(true); }

void fOption::optWClick_Click() { cmdApply->setEnabled(true); }

void fOption::CheckBox_Click(bool checked, bool setting)
{
    // Only a change away from the stored value enables Apply; going back does not disable it.
    if (checked != setting)
        cmdApply->setEnabled(true);
}

void fOption::cmdComDlg_Click()
{
    cCommonDlg dialog;
    dialog.Prepare(this, QStringLiteral("起動時に開くﾃﾞｰﾀﾌｧｲﾙ"), QStringLiteral("ZARUN ﾃﾞｰﾀﾌｧｲﾙ (*.zrd)|*.zrd"), 1,
                   support::ofn::HideReadOnly | support::ofn::PathMustExist | support::ofn::Explorer
                       | support::ofn::LongNames,
                   QDir::currentPath());
    dialog.ShowOpen();
    if (!dialog.CancelButton())
        txtDataFile->setText(dialog.FileName());
}

void fOption::cmdApply_Click() { ApplySettings(); }

void fOption::cmdOK_Click()
{
    // Only a refusal of this OK's own apply keeps the dialog open; with nothing pending there is
    // nothing to apply, so OK closes even while no start-up file is set.
    applyRefused_ = false;
    if (cmdApply->isEnabled())
        ApplySettings();
    accept();
}

void fOption::cmdCancel_Click() { reject(); }

void fOption::reject()
{
    // Cancel, Esc and the close box always close: a refusal only holds the OK that met it.
    applyRefused_ = false;
    QDialog::reject();
}

void fOption::done(int result)
{
    if (applyRefused_) {
        applyRefused_ = false;
        return;
    }
    QDialog::done(result);
}

bool fOption::ApplySettings()
{
    const QString path = txtDataFile->text();
    // An empty path means no start-up file, which is how the program starts out.
    if (!path.isEmpty() && !mFunction::FileExists(path)) {
        RefuseApply(path + QStringLiteral(" が存在しません。"));
        return false;
    }
    // ZARUN.ini must be able to hold the path, or the whole settings write at shut-down would fail.
    if (const QString problem = catalogue::PathProblem(path, settings::Values().SettingsFilePath);
        !path.isEmpty() && !problem.isNull()) {
        RefuseApply(problem);
        return false;
    }

    // The IDE command is read as a desktop entry's Exec line; it must be one, and fit ZARUN.ini.
    const QString ideCommand = txtIdeCommand->text().trimmed();
    if (const QString problem = catalogue::PathProblem(ideCommand, settings::Values().SettingsFilePath);
        !problem.isNull()) {
        RefuseApply(problem, kIdePage, txtIdeCommand);
        return false;
    }
    if (idecommand::Parse(ideCommand).malformed) {
        RefuseApply(ideCommand + QStringLiteral(" は引用符が閉じていないため、ｺﾏﾝﾄﾞとして読めません。"), kIdePage,
                    txtIdeCommand);
        return false;
    }
    if (idecommand::Parse(ideCommand).substitution) {
        RefuseApply(ideCommand + QStringLiteral(" はﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙのﾊﾟｽをｼｪﾙｽｸﾘﾌﾟﾄの $(…)・`…`・${…} の中に置くため、"
                                                "安全に起動できません。"),
                    kIdePage, txtIdeCommand);
        return false;
    }

    settings::SettingsValues &values = settings::Values();
    values.StartupCatalogue = path;
    values.SortOnOpen = chkDataSort->isChecked();
    for (size_t i = 0; i < optWClick.size(); ++i) {
        if (optWClick[i]->isChecked()) {
            values.DoubleClickAction = qint32(i);
            break;
        }
    }
    values.AutoMakeExe = chkExeAutomatic->isChecked();
    values.SortOnColumnClick = chkProjectSort->isChecked();
    values.DragDropEnabled = chkDragDrop->isChecked();
    if (ideCommand != values.IdeCommand) {
        // Acts at once: an emptied command hands over to the .vbp association again.
        values.IdeCommand = ideCommand;
        mMain::VbIdePath = ideCommand.isEmpty() ? mMain::GetVbIdePath() : ideCommand;
        ShowIdeInEffect();
    }
    cmdApply->setEnabled(false);
    return true;
}

void fOption::RefuseApply(const QString &message, int page, QLineEdit *field)
{
    if (!field)
        field = txtDataFile;
    ui::Current().Message(message);
    lstOption->setCurrentRow(page);
    field->setFocus();
    field->setSelection(0, int(field->text().size()));
    cmdApply->setEnabled(false);
    applyRefused_ = true;
}

void fOption::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    // Two lines, dark above light: the etched rule above the buttons.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(TwipsToPixels(90), TwipsToPixels(3210), TwipsToPixels(6540), TwipsToPixels(3210));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(TwipsToPixels(90), TwipsToPixels(3225), TwipsToPixels(6510), TwipsToPixels(3225));
}
