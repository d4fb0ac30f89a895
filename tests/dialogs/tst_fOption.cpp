#include "dialogs/fOption.h"

#include "CatalogueFixture.h"
#include "common/AccessibleNames.h"
#include "common/Palettes.h"
#include "common/ScriptedUserInterface.h"
#include "platform/ProgramFolder.h"
#include "platform/Twips.h"
#include "support/ui/ReadableColour.h"
#include "tooling/mMain.h"
#include "common/ResetGlobals.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <memory>

class tst_fOption : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();
    void layout();
    void textsInsideTheirControls();
    void headingReadable_data();
    void headingReadable();
    void centredOnScreen();
    void tabOrder();
    void opening_data();
    void opening();
    void pages();
    void applyEnabling_data();
    void applyEnabling();
    void checkBoxComparesWithSetting();
    void apply_data();
    void apply();
    void applyRefused_data();
    void applyRefused();
    void okRefusedStaysOpen();
    void okWithNothingPendingCloses();
    void cancelAfterRefusedApplyCloses();
    void cancelKeepsEarlierApply();
    void outOfRangeAction();
    void browse_data();
    void browse();
    void keys_data();
    void keys();
    void ideInEffect_data();
    void ideInEffect();
    void ideCommand_data();
    void ideCommand();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedUserInterface> ui_;
    QString startup_;
};

void tst_fOption::init()
{
    ResetGlobals();
    cCommonDlg::ResetAnswerer();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    startup_ = dir_->filePath(QStringLiteral("Tools.zrd"));
    QFile file(startup_);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    // The dialog never touches ZARUN.ini itself.
    settings::Values().SettingsFilePath = dir_->filePath(QStringLiteral("ZARUN.ini"));
    platform::SetProgramFolderForTesting(dir_->path());
    ui_ = std::make_unique<ScriptedUserInterface>();
}

void tst_fOption::cleanup()
{
    QVERIFY(!QFile::exists(settings::Values().SettingsFilePath));
    ui_.reset();
    platform::SetProgramFolderForTesting(QString());
    dir_.reset();
    ResetGlobals();
    cCommonDlg::ResetAnswerer();
}

void tst_fOption::layout()
{
    fOption dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("ZARUN 設定"));
    QCOMPARE(dialog.size(), QSize(444, 258));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(dialog.lblList->font().bold());
    QCOMPARE(dialog.lblList->palette().color(QPalette::WindowText), QColor(Qt::white));
    QCOMPARE(dialog.fraMain->frameShape(), QFrame::NoFrame);
    QCOMPARE(dialog.fraProject->frameShape(), QFrame::NoFrame);

    const QList<std::tuple<QAbstractButton *, QWidget *, QString>> controls = {
        {dialog.cmdComDlg, dialog.fraMain, QStringLiteral("参照")},
        {dialog.chkDataSort, dialog.fraMain,
         QStringLiteral("データファイルを開いたときカテゴリー及びプロジェクトリストをソートする")},
        {dialog.optWClick[0], dialog.fraWClick, QStringLiteral("フォルダを開く")},
        {dialog.optWClick[1], dialog.fraWClick, QStringLiteral("ソースを開く")},
        {dialog.optWClick[2], dialog.fraWClick, QStringLiteral("実行ﾌｧｲﾙを開く")},
        {dialog.chkExeAutomatic, dialog.fraProject, QStringLiteral("追加時、実行ファイルが無ければ自動作成する")},
        {dialog.chkDragDrop, dialog.fraProject, QStringLiteral("リストにドラッグアンドドロップで追加するのを可能にする")},
        {dialog.chkProjectSort, dialog.fraProject, QStringLiteral("カラムをクリックしたときソートする")},
        {dialog.cmdOK, &dialog, QStringLiteral("O  K")},
        {dialog.cmdApply, &dialog, QStringLiteral("適用")},
        {dialog.cmdCancel, &dialog, QStringLiteral("ｷｬﾝｾﾙ")},
    };
    for (const auto &[button, parent, text] : controls) {
        QCOMPARE(button->parentWidget(), parent);
        QCOMPARE(button->text(), text);
    }
    QCOMPARE(dialog.lblDataFile->text(), QStringLiteral("起動時に開くデータファイル"));
    QCOMPARE(dialog.txtDataFile->parentWidget(), dialog.fraMain);
    QCOMPARE(dialog.fraWClick->title(), QStringLiteral("ダブルクリック時の割り当て"));
    QCOMPARE(dialog.fraWClick->parentWidget(), dialog.fraProject);
    QVERIFY(dialog.cmdOK->isDefault());
    QVERIFY(!dialog.chkDataSort->isEnabled());
    QVERIFY(!dialog.chkProjectSort->isEnabled());
    QCOMPARE(dialog.lstOption->count(), 3);
    QCOMPARE(dialog.lstOption->item(0)->text(), QStringLiteral("メイン"));
    QCOMPARE(dialog.lstOption->item(1)->text(), QStringLiteral("プロジェクト"));
    QCOMPARE(dialog.lstOption->item(2)->text(), QStringLiteral("IDE"));
    QCOMPARE(dialog.fraIde->frameShape(), QFrame::NoFrame);
    QCOMPARE(dialog.txtIdeCommand->parentWidget(), dialog.fraIde);
    QCOMPARE(UnnamedControls(&dialog), QStringList());
    QCOMPARE(dialog.txtDataFile->accessibleName(), QStringLiteral("起動時に開くデータファイル"));
    QCOMPARE(dialog.txtIdeCommand->accessibleName(), QStringLiteral("IDEのｺﾏﾝﾄﾞ（空欄: .vbp の関連付けを使う）"));
    QCOMPARE(dialog.cmdOK->accessibleName(), QStringLiteral("OK"));
}

void tst_fOption::headingReadable_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<bool>("asDesigned"); // white on the text colour
    QTest::newRow("default") << QStringLiteral("default") << true;
    QTest::newRow("dark") << QStringLiteral("dark") << false;
    QTest::newRow("mid grey") << QStringLiteral("mid grey") << false;
}

void tst_fOption::headingReadable()
{
    QFETCH(QString, scheme);
    QFETCH(bool, asDesigned);
    const SchemeScope colours(scheme);
    fOption dialog;
    const QPalette strip = dialog.lblList->palette();
    QCOMPARE(strip.color(QPalette::Window), dialog.palette().color(QPalette::WindowText));
    if (asDesigned)
        QCOMPARE(strip.color(QPalette::WindowText), QColor(Qt::white));
    QVERIFY2(support::ContrastRatio(strip.color(QPalette::WindowText), strip.color(QPalette::Window)) >= 4.5,
             qPrintable(strip.color(QPalette::WindowText).name() + " on " + strip.color(QPalette::Window).name()));
}

void tst_fOption::centredOnScreen()
{
    // By the dialog's outer size of 6720 x 4425 twips, the halves truncated.
    fOption dialog;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint expected(platform::TwipsToPixels(screen.left() * 15 + screen.width() * 15 / 2 - 3360),
                          platform::TwipsToPixels(screen.top() * 15 + screen.height() * 15 / 2 - 2212));
    QCOMPARE(dialog.pos(), expected);
}

void tst_fOption::tabOrder()
{
    fOption dialog;
    QCOMPARE(TabSequence(dialog.cmdOK), (QStringList{"cmdOK", "cmdCancel", "cmdComDlg", "txtDataFile", "lstOption"}));
    dialog.lstOption->setCurrentRow(1);
    dialog.optWClick[2]->click();
    QCOMPARE(TabSequence(dialog.cmdOK),
             (QStringList{"cmdOK", "cmdCancel", "cmdApply", "optWClick2", "optWClick1", "optWClick0", "chkExeAutomatic",
                          "chkDragDrop", "lstOption"}));
}

void tst_fOption::opening_data()
{
    QTest::addColumn<qint32>("action");
    QTest::addColumn<bool>("flags"); // every Boolean setting
    QTest::newRow("defaults") << qint32(1) << true;
    QTest::newRow("folder, all off") << qint32(0) << false;
    QTest::newRow("executable") << qint32(2) << true;
}

void tst_fOption::opening()
{
    QFETCH(qint32, action);
    QFETCH(bool, flags);
    settings::SettingsValues &v = settings::Values();
    v.DoubleClickAction = action;
    v.AutoMakeExe = v.DragDropEnabled = v.SortOnColumnClick = v.SortOnOpen = flags;
    v.StartupCatalogue = startup_;

    fOption dialog;
    QCOMPARE(dialog.txtDataFile->text(), startup_);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(dialog.optWClick[size_t(i)]->isChecked(), i == action);
    QCOMPARE(dialog.chkDataSort->isChecked(), flags);
    QCOMPARE(dialog.chkExeAutomatic->isChecked(), flags);
    QCOMPARE(dialog.chkDragDrop->isChecked(), flags);
    QCOMPARE(dialog.chkProjectSort->isChecked(), flags);
    QVERIFY(!dialog.cmdApply->isEnabled());
    QVERIFY(!dialog.ApplyRefused());
    QCOMPARE(dialog.lstOption->currentRow(), 0);
    QVERIFY(dialog.fraMain->isVisibleTo(&dialog));
    QVERIFY(!dialog.fraProject->isVisibleTo(&dialog));
    QCOMPARE(dialog.lblList->text(), QStringLiteral("　メイン設定"));
    QCOMPARE(dialog.focusWidget(), dialog.cmdOK);
}

void tst_fOption::pages()
{
    fOption dialog;
    dialog.fraProject->move(0, 0);
    dialog.lstOption->setCurrentRow(1);
    QVERIFY(!dialog.fraMain->isVisibleTo(&dialog));
    QVERIFY(dialog.fraProject->isVisibleTo(&dialog));
    QCOMPARE(dialog.fraProject->pos(), QPoint(120, 32));
    QCOMPARE(dialog.lblList->text(), QStringLiteral("　プロジェクト設定"));
    dialog.lstOption->setCurrentRow(0);
    QVERIFY(dialog.fraMain->isVisibleTo(&dialog));
    QVERIFY(!dialog.fraProject->isVisibleTo(&dialog));
    QCOMPARE(dialog.lblList->text(), QStringLiteral("　メイン設定"));
    // Turning pages changes no value.
    QVERIFY(!dialog.cmdApply->isEnabled());
    QCOMPARE(dialog.optWClick[1]->isChecked(), true);
    QCOMPARE(dialog.chkExeAutomatic->isChecked(), true);
}

void tst_fOption::applyEnabling_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("typing a path") << QStringLiteral("type") << true;
    QTest::newRow("clicking the checked option") << QStringLiteral("opt1") << true;
    QTest::newRow("clicking another option") << QStringLiteral("opt0") << true;
    QTest::newRow("unchecking auto build") << QStringLiteral("chkExeAutomatic") << true;
    QTest::newRow("auto build off and on again") << QStringLiteral("chkExeAutomatic twice") << true;
    QTest::newRow("unchecking drag and drop") << QStringLiteral("chkDragDrop") << true;
    QTest::newRow("turning pages") << QStringLiteral("pages") << false;
}

void tst_fOption::applyEnabling()
{
    QFETCH(QString, action);
    QFETCH(bool, enabled);
    fOption dialog;
    dialog.show();
    dialog.lstOption->setCurrentRow(1);
    if (action == u"type") {
        dialog.lstOption->setCurrentRow(0);
        QTest::keyClicks(dialog.txtDataFile, QStringLiteral("x"));
    } else if (action.startsWith(u"opt")) {
        QTest::mouseClick(dialog.optWClick[size_t(action.back().digitValue())], Qt::LeftButton);
    } else if (action == u"chkExeAutomatic twice") {
        QTest::mouseClick(dialog.chkExeAutomatic, Qt::LeftButton);
        QTest::mouseClick(dialog.chkExeAutomatic, Qt::LeftButton);
        QVERIFY(dialog.chkExeAutomatic->isChecked());
    } else if (action == u"chkExeAutomatic") {
        QTest::mouseClick(dialog.chkExeAutomatic, Qt::LeftButton);
    } else if (action == u"chkDragDrop") {
        QTest::mouseClick(dialog.chkDragDrop, Qt::LeftButton);
    } else {
        dialog.lstOption->setCurrentRow(0);
        dialog.lstOption->setCurrentRow(1);
    }
    QCOMPARE(dialog.cmdApply->isEnabled(), enabled);
}

void tst_fOption::checkBoxComparesWithSetting()
{
    // A click that brings a box to its setting's value enables nothing.
    fOption dialog;
    dialog.show();
    dialog.lstOption->setCurrentRow(1);
    settings::Values().AutoMakeExe = false;
    QTest::mouseClick(dialog.chkExeAutomatic, Qt::LeftButton);
    QVERIFY(!dialog.chkExeAutomatic->isChecked());
    QVERIFY(!dialog.cmdApply->isEnabled());
}

void tst_fOption::apply_data()
{
    QTest::addColumn<QString>("stored"); // "$S": an existing file
    QTest::addColumn<QString>("typed");
    QTest::newRow("existing file") << QString() << QStringLiteral("$S");
    // No start-up file is the program's own default: keeping or choosing it is not refused.
    QTest::newRow("none kept") << QString() << QString();
    QTest::newRow("file cleared") << QStringLiteral("$S") << QString();
}

void tst_fOption::apply()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    stored.replace(QStringLiteral("$S"), startup_);
    typed.replace(QStringLiteral("$S"), startup_);
    settings::Values().StartupCatalogue = stored;
    settings::Values().SortOnOpen = false;
    settings::Values().SortOnColumnClick = false;
    settings::SettingsValues expected = settings::Values();
    expected.DoubleClickAction = 2;
    expected.AutoMakeExe = false;
    expected.DragDropEnabled = false;
    expected.StartupCatalogue = typed;
    fOption dialog;
    dialog.txtDataFile->setText(typed);
    dialog.optWClick[2]->click();
    dialog.chkExeAutomatic->click();
    dialog.chkDragDrop->click();
    QTest::mouseClick(dialog.cmdApply, Qt::LeftButton);

    QVERIFY(ui_->messages.isEmpty());
    QVERIFY(!dialog.cmdApply->isEnabled());
    QVERIFY(!dialog.ApplyRefused());
    // The disabled boxes store their own settings back unchanged.
    QVERIFY(settings::Values() == expected);
}

void tst_fOption::applyRefused_data()
{
    QTest::addColumn<QString>("path"); // relative to the temporary folder; "" stays empty
    QTest::addColumn<QString>("message"); // $P: the path as typed
    QTest::newRow("missing") << QStringLiteral("Gone.zrd") << QStringLiteral("$P が存在しません。");
    QTest::newRow("not for ZARUN.ini") << QStringLiteral("도구.zrd")
                                       << QStringLiteral("$P には保存できない文字「도」が含まれています。");
}

void tst_fOption::applyRefused()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    if (!path.isEmpty()) {
        QFile file(dir_->filePath(QStringLiteral("도구.zrd")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString typed = path.isEmpty() ? QString() : dir_->filePath(path);
    const settings::SettingsValues before = settings::Values();
    fOption dialog;
    dialog.lstOption->setCurrentRow(1);
    dialog.txtDataFile->setText(typed);
    dialog.optWClick[0]->click();
    dialog.cmdApply_Click();

    QCOMPARE(ui_->messages, QStringList{QString(message).replace(QStringLiteral("$P"), typed)});
    QVERIFY(settings::Values() == before);
    QCOMPARE(dialog.lstOption->currentRow(), 0);
    QVERIFY(dialog.fraMain->isVisibleTo(&dialog));
    QCOMPARE(dialog.focusWidget(), dialog.txtDataFile);
    QCOMPARE(dialog.txtDataFile->selectionStart(), typed.isEmpty() ? -1 : 0);
    QCOMPARE(dialog.txtDataFile->selectedText(), typed);
    QVERIFY(!dialog.cmdApply->isEnabled());
    QVERIFY(dialog.ApplyRefused());
}

void tst_fOption::okRefusedStaysOpen()
{
    const settings::SettingsValues before = settings::Values();
    const QString gone = dir_->filePath(QStringLiteral("Gone.zrd"));
    fOption dialog;
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    dialog.txtDataFile->setText(gone);
    dialog.lstOption->setCurrentRow(1);
    dialog.optWClick[2]->click();
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);

    QCOMPARE(ui_->messages, QStringList{gone + QStringLiteral(" が存在しません。")});
    QCOMPARE(finished.count(), 0);
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.ApplyRefused()); // consumed by the closing it stopped
    QCOMPARE(dialog.lstOption->currentRow(), 0);
    QCOMPARE(dialog.focusWidget(), dialog.txtDataFile);
    QVERIFY(settings::Values() == before);

    // With the path made right, OK applies and closes.
    dialog.txtDataFile->setText(startup_);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(settings::Values().StartupCatalogue, startup_);
    QCOMPARE(settings::Values().DoubleClickAction, 2);
    QCOMPARE(ui_->messages.size(), 1);
}

void tst_fOption::okWithNothingPendingCloses()
{
    // No start-up file is set by default: OK with nothing changed must not refuse.
    const settings::SettingsValues before = settings::Values();
    fOption dialog;
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    dialog.cmdOK_Click();
    QCOMPARE(accepted.count(), 1);
    QVERIFY(ui_->messages.isEmpty());
    QVERIFY(settings::Values() == before);
}

void tst_fOption::cancelAfterRefusedApplyCloses()
{
    fOption dialog;
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    dialog.txtDataFile->setText(dir_->filePath(QStringLiteral("Gone.zrd")));
    dialog.optWClick[0]->click();
    dialog.cmdApply_Click();
    QVERIFY(dialog.ApplyRefused());
    QTest::mouseClick(dialog.cmdCancel, Qt::LeftButton);
    QCOMPARE(rejected.count(), 1);
    QCOMPARE(settings::Values().DoubleClickAction, 1);
}

void tst_fOption::cancelKeepsEarlierApply()
{
    fOption dialog;
    dialog.txtDataFile->setText(startup_);
    dialog.chkDragDrop->click();
    dialog.cmdApply_Click();
    dialog.optWClick[2]->click();
    dialog.cmdCancel_Click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(settings::Values().DragDropEnabled, false);
    QCOMPARE(settings::Values().DoubleClickAction, 1);
}

void tst_fOption::outOfRangeAction()
{
    settings::Values().DoubleClickAction = 7;
    settings::Values().StartupCatalogue = startup_;
    {
        fOption dialog;
        for (QRadioButton *button : dialog.optWClick)
            QVERIFY(!button->isChecked());
        dialog.chkDragDrop->click();
        dialog.cmdApply_Click();
        QCOMPARE(settings::Values().DoubleClickAction, 7);
        QCOMPARE(settings::Values().DragDropEnabled, false);
        dialog.optWClick[1]->click();
        dialog.cmdApply_Click();
    }
    QCOMPARE(settings::Values().DoubleClickAction, 1);
}

void tst_fOption::browse_data()
{
    QTest::addColumn<bool>("choose");
    QTest::newRow("chosen") << true;
    QTest::newRow("cancelled") << false;
}

void tst_fOption::browse()
{
    QFETCH(bool, choose);
    QList<support::FileDialogRequest> requests;
    cCommonDlg::SetAnswerer([&](const support::FileDialogRequest &request) -> std::optional<QStringList> {
        requests.append(request);
        return choose ? std::optional<QStringList>(QStringList{startup_}) : std::nullopt;
    });
    fOption dialog;
    QTest::mouseClick(dialog.cmdComDlg, Qt::LeftButton);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].title, QStringLiteral("起動時に開くﾃﾞｰﾀﾌｧｲﾙ"));
    QCOMPARE(requests[0].flags, quint32(0x280804));
    QCOMPARE(requests[0].initialFolder, QDir::currentPath());
    QCOMPARE(requests[0].filters.size(), 1);
    QCOMPARE(requests[0].filters[0].description, QStringLiteral("ZARUN ﾃﾞｰﾀﾌｧｲﾙ (*.zrd)"));
    QCOMPARE(requests[0].filters[0].patterns, QStringList{QStringLiteral("*.zrd")});
    QCOMPARE(dialog.txtDataFile->text(), choose ? startup_ : QString());
    QCOMPARE(dialog.cmdApply->isEnabled(), choose);
    QCOMPARE(settings::Values().StartupCatalogue, QString());
}

void tst_fOption::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("applied");
    QTest::newRow("enter presses OK") << int(Qt::Key_Return) << true;
    QTest::newRow("escape presses Cancel") << int(Qt::Key_Escape) << false;
}

void tst_fOption::keys()
{
    QFETCH(int, key);
    QFETCH(bool, applied);
    fOption dialog;
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    dialog.txtDataFile->setText(startup_);
    QTest::keyClick(&dialog, Qt::Key(key));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(settings::Values().StartupCatalogue, applied ? startup_ : QString());
}

void tst_fOption::ideInEffect_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("inEffect");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("note"); // a part of the notes
    QTest::newRow("none") << "" << "" << "使用中のｺﾏﾝﾄﾞ: なし" << "実行ﾌｧｲﾙ作成はできません";
    QTest::newRow("association, script") << "" << "sh -c \"wine /v/VB6.EXE %f\""
                                         << "使用中のｺﾏﾝﾄﾞ（.vbp の関連付けから）:" << "ｼｪﾙｽｸﾘﾌﾟﾄ経由のため";
    QTest::newRow("association, wine start") << "" << "wine start /ProgIDOpen VisualBasic.Project %f"
                                             << "使用中のｺﾏﾝﾄﾞ（.vbp の関連付けから）:" << "start が変換";
    QTest::newRow("set here, wine") << "wine C:\\VB6.EXE" << "wine C:\\VB6.EXE" << "使用中のｺﾏﾝﾄﾞ（この設定から）:"
                                    << "Windows 形式で渡します。\n実行ﾌｧｲﾙ作成: ﾊﾟｽと /make、/out ﾛｸﾞを渡します。";
    QTest::newRow("association, file inside $(...)") << "" << R"(sh -c "wine \"$(winepath -w \"%f\")\"")"
                                                      << "使用中のｺﾏﾝﾄﾞ（.vbp の関連付けから）:" << "安全に起動できません";
    // Shown whole: wrapped, the notes below it.
    QTest::newRow("set here, long")
        << R"(env WINEPREFIX=/home/user/.wine-vb6 wine "C:\Program Files\VB98\VB6.EXE" %f)"
        << R"(env WINEPREFIX=/home/user/.wine-vb6 wine "C:\Program Files\VB98\VB6.EXE" %f)"
        << "使用中のｺﾏﾝﾄﾞ（この設定から）:" << "Windows 形式で渡します。";
}

void tst_fOption::ideInEffect()
{
    QFETCH(QString, setting);
    QFETCH(QString, inEffect);
    QFETCH(QString, source);
    QFETCH(QString, note);
    settings::Values().IdeCommand = setting;
    mMain::VbIdePath = inEffect;
    fOption dialog;
    dialog.lstOption->setCurrentRow(2);
    QVERIFY(dialog.fraIde->isVisibleTo(&dialog));
    QVERIFY(!dialog.fraMain->isVisibleTo(&dialog) && !dialog.fraProject->isVisibleTo(&dialog));
    QCOMPARE(dialog.lblList->text(), QStringLiteral("　IDE設定"));
    QCOMPARE(dialog.txtIdeCommand->text(), setting);
    QCOMPARE(dialog.lblIdeSource->text(), source);
    if (!inEffect.isEmpty())
        QCOMPARE(dialog.txtIdeInEffect->toPlainText(), inEffect);
    QVERIFY2(dialog.lblIdeNotes->text().contains(note), qPrintable(dialog.lblIdeNotes->text()));
    QVERIFY(!dialog.cmdApply->isEnabled());
    if (!inEffect.isEmpty()) {
        QCOMPARE(dialog.txtIdeInEffect->toolTip(), inEffect);
        // Every line of the command in the box, the notes below it, both inside the page.
        const QFontMetrics metrics(dialog.txtIdeInEffect->font());
        const QRect box = dialog.txtIdeInEffect->geometry();
        const int lines = metrics.boundingRect(QRect(0, 0, box.width() - 4, 1 << 20), Qt::TextWrapAnywhere, inEffect).height()
                          / metrics.lineSpacing();
        QVERIFY2(box.height() >= lines * metrics.lineSpacing(), qPrintable(QString::number(lines)));
        QVERIFY(dialog.lblIdeNotes->geometry().top() > box.bottom());
        QVERIFY(dialog.lblIdeNotes->geometry().bottom() <= dialog.fraIde->height());
    }
}

void tst_fOption::ideCommand_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");  // "<refused>": nothing changes
    QTest::addColumn<QString>("message"); // $T: the text as typed
    const QString wine = QStringLiteral(R"(env WINEPREFIX=/home/u/.wine-vb6 wine "C:\VB98\VB6.EXE")");
    QTest::newRow("set, blanks trimmed") << "" << "  " + wine + "\t" << wine << "";
    QTest::newRow("changed") << "ide %f" << wine << wine << "";
    QTest::newRow("emptied: the association again") << "ide %f" << " " << "" << "";
    QTest::newRow("open quote") << "" << R"(wine "C:\VB6.EXE)" << "<refused>"
                                << "$T は引用符が閉じていないため、ｺﾏﾝﾄﾞとして読めません。";
    QTest::newRow("not for ZARUN.ini") << "ide %f" << "도구 %f" << "<refused>" << "$T には保存できない文字「도」が含まれています。";
    QTest::newRow("file inside $(...)") << "" << R"(sh -c "ide \"$(echo %f)\"")" << "<refused>"
                                        << "$T はﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙのﾊﾟｽをｼｪﾙｽｸﾘﾌﾟﾄの $(…)・`…`・${…} の中に置くため、安全に起動できません。";
}

void tst_fOption::ideCommand()
{
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, message);
    settings::Values().IdeCommand = before;
    mMain::VbIdePath = before;
    const QString association = mMain::GetVbIdePath();
    fOption dialog;
    dialog.txtDataFile->setText(startup_);
    dialog.txtIdeCommand->setText(typed);
    QVERIFY(dialog.cmdApply->isEnabled());
    dialog.lstOption->setCurrentRow(1);
    dialog.cmdApply_Click();

    if (stored == u"<refused>") {
        QCOMPARE(ui_->messages, QStringList{QString(message).replace(QStringLiteral("$T"), typed)});
        QCOMPARE(settings::Values().IdeCommand, before);
        QCOMPARE(mMain::VbIdePath, before);
        QCOMPARE(settings::Values().StartupCatalogue, QString());
        QCOMPARE(dialog.lstOption->currentRow(), 2);
        QCOMPARE(dialog.focusWidget(), dialog.txtIdeCommand);
        QCOMPARE(dialog.txtIdeCommand->selectedText(), typed);
        QVERIFY(dialog.ApplyRefused());
        return;
    }
    QVERIFY(ui_->messages.isEmpty());
    QCOMPARE(settings::Values().IdeCommand, stored);
    // Acts at once, for open source and build alike.
    QCOMPARE(mMain::VbIdePath, stored.isEmpty() ? association : stored);
    if (!stored.isEmpty())
        QCOMPARE(dialog.txtIdeInEffect->toPlainText(), stored);
}

QTEST_MAIN(tst_fOption)
#include "tst_fOption.moc"

void tst_fOption::textsInsideTheirControls()
{
    fOption dialog;
    // The option buttons below the caption of their frame and inside it.
    for (const QRadioButton *option : dialog.optWClick)
        QVERIFY2(dialog.fraWClick->contentsRect().contains(option->geometry()), qPrintable(option->text()));
    // Every one-line label as tall as its line: no descender cut.
    dialog.lstOption->setCurrentRow(2);
    for (const QLabel *label : dialog.findChildren<QLabel *>())
        if (!label->wordWrap() && !label->text().isEmpty())
            QVERIFY2(label->height() >= label->sizeHint().height(), qPrintable(label->text()));
}
