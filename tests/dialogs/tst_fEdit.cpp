#include "dialogs/fEdit.h"

#include "CatalogueFixture.h"
#include "common/AccessibleNames.h"
#include "common/TestFolders.h"
#include "platform/TextCodec.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <memory>

class tst_fEdit : public QObject, private DialogFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseTestFolders(); }
    void init() { QVERIFY(SetUp()); }
    void cleanup() { TearDown(); }
    void layout();
    void longPathShownWhole();
    void opening();
    void focusRule_data();
    void focusRule();
    void refusedEntries_data();
    void refusedEntries();
    void okWritesThrough_data();
    void okWritesThrough();
    void keyNotDeleted();
    void browse_data();
    void browse();
    void keys_data();
    void keys();
};

void tst_fEdit::layout()
{
    fEdit dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ編集"));
    // 409 x 107, wider where the selected project's path needs it (longPathShownWhole).
    QCOMPARE(dialog.height(), 107);
    QVERIFY(dialog.width() >= 409);
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(!(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(dialog.lblProject->text(), QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名"));
    QCOMPARE(dialog.lblProjectFile->text(), QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ名"));
    QCOMPARE(dialog.cmdComDlg->text(), QStringLiteral("参照"));
    QCOMPARE(dialog.cmdOK->text(), QStringLiteral("OK"));
    QCOMPARE(dialog.cmdCancel->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    QVERIFY(dialog.cmdOK->isDefault());
    QVERIFY(!dialog.cmdCancel->isDefault());
    QCOMPARE(dialog.font().families().value(0), QStringLiteral("ＭＳ Ｐゴシック"));
    QCOMPARE(dialog.font().pointSizeF(), 9.75);
    QCOMPARE(TabSequence(dialog.txtProjectName),
             (QStringList{"txtProjectName", "txtProjectFile", "cmdComDlg", "cmdOK", "cmdCancel"}));
    QCOMPARE(UnnamedControls(&dialog), QStringList());
    QCOMPARE(dialog.txtProjectFile->accessibleName(), QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ名"));
}

void tst_fEdit::opening()
{
    fixture_->Select(1, 2, list_.get());
    fEdit dialog;
    QCOMPARE(dialog.txtProjectName->text(), QStringLiteral("Memo Pad"));
    QCOMPARE(dialog.txtProjectFile->text(), fixture_->Path(QStringLiteral("Memo/Memo.vbp")));
    QCOMPARE(dialog.focusWidget(), dialog.txtProjectName);
    QCOMPARE(dialog.txtProjectName->selectedText(), QStringLiteral("Memo Pad"));
}

void tst_fEdit::focusRule_data()
{
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("reason");
    QTest::addColumn<QString>("selected");

    QTest::newRow("caret at the start") << 0 << int(Qt::MouseFocusReason) << QStringLiteral("Memo Pad");
    QTest::newRow("caret inside") << 5 << int(Qt::MouseFocusReason) << QStringLiteral("Pad");
    QTest::newRow("caret at the end") << 8 << int(Qt::OtherFocusReason) << QString();
    QTest::newRow("tab selects all") << 5 << int(Qt::TabFocusReason) << QStringLiteral("Memo Pad");
}

void tst_fEdit::focusRule()
{
    QFETCH(int, caret);
    QFETCH(int, reason);
    QFETCH(QString, selected);
    fEdit dialog;
    dialog.txtProjectFile->setText(QStringLiteral("Memo Pad"));
    dialog.txtProjectFile->setCursorPosition(caret);
    QFocusEvent focusIn(QEvent::FocusIn, Qt::FocusReason(reason));
    QApplication::sendEvent(dialog.txtProjectFile, &focusIn);
    QCOMPARE(dialog.txtProjectFile->selectedText(), selected);
}

void tst_fEdit::refusedEntries_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file"); // relative to the fixture; "" stays empty
    QTest::addColumn<QString>("message"); // $F: the file box's text
    QTest::addColumn<bool>("nameBoxFocused");

    const QString calc = QStringLiteral("Calc/Calc.vbp");
    QTest::newRow("empty name") << QString() << calc << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名が入力されていません。") << true;
    QTest::newRow("empty file") << QStringLiteral("Calc") << QString()
                                << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ名が入力されていません。") << false;
    QTest::newRow("both empty: the name first") << QString() << QString()
                                                << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名が入力されていません。") << true;
    QTest::newRow("missing file") << QStringLiteral("Calc") << QStringLiteral("Calc/Gone.vbp")
                                  << QStringLiteral("$F が存在しません。") << false;
    QTest::newRow("equals in the name") << QStringLiteral("a=b") << calc
                                        << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名に「=」は使えません。") << true;
    QTest::newRow("bracket first") << QStringLiteral("[Calc") << calc
                                   << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名の先頭に「;」や「[」は使えません。") << true;
    QTest::newRow("blank at the end") << QStringLiteral("Calc ") << calc
                                      << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名の先頭や末尾に空白は使えません。") << true;
    QTest::newRow("only blanks") << QStringLiteral("  ") << calc
                                 << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名の先頭や末尾に空白は使えません。") << true;
    QTest::newRow("name the file cannot hold") << QStringLiteral("계산기") << calc
                                               << QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名に保存できない文字「계」が含まれています。")
                                               << true;
    // The file would keep one line for both: the sibling's would be overwritten at once.
    for (const char *sibling : {"Memo Pad", "memo pad", " Memo Pad"})
        QTest::addRow("sibling's name \"%s\"", sibling)
            << QString::fromUtf8(sibling) << calc
            << (QString::fromUtf8(sibling).startsWith(u' ')
                    ? QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ名の先頭や末尾に空白は使えません。")
                    : QStringLiteral("このｶﾃｺﾞﾘｰにはﾌﾟﾛｼﾞｪｸﾄ [Memo Pad] がすでにあります。大文字と小文字の違いだけの名前も同じ名前になります。"))
            << true;
    // A longer value would come back cut from the file.
    QTest::newRow("path over 1,023 bytes") << QStringLiteral("Calc") << QStringLiteral("Long/Long.vbp")
                                           << QStringLiteral("$F は長すぎるため保存できません (1023 ﾊﾞｲﾄまで)。")
                                           << false;
    QTest::newRow("path the file cannot hold") << QStringLiteral("Calc") << QStringLiteral("Josué/Josué.vbp")
                                               << QStringLiteral("$F には保存できない文字「é」が含まれています。")
                                               << false;
}

void tst_fEdit::refusedEntries()
{
    QFETCH(QString, name);
    QFETCH(QString, file);
    QFETCH(QString, message);
    QFETCH(bool, nameBoxFocused);
    QVERIFY(fixture_->MakeProject(QStringLiteral("Josué")));
    if (file.startsWith(QStringLiteral("Long/"))) {
        // Folder names stay within the file system's limit; the whole path does not.
        const QString deep = QStringList(5, QString(200, u'x')).join(u'/');
        QVERIFY(QDir(fixture_->Root()).mkpath(deep));
        file = deep + QStringLiteral("/Long.vbp");
        QFile vbp(fixture_->Path(file));
        QVERIFY(vbp.open(QIODevice::WriteOnly));
    }
    const QByteArray before = fixture_->Bytes();
    const QStringList row = RowTexts(*list_, 1);

    fEdit dialog;
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.txtProjectName->setText(name);
    dialog.txtProjectFile->setText(file.isEmpty() ? QString() : fixture_->Path(file));
    dialog.txtProjectFile->setCursorPosition(0);
    dialog.txtProjectName->setCursorPosition(0);
    dialog.cmdOK->setFocus();
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);

    QCOMPARE(ui_->messages, QStringList{QString(message).replace(QStringLiteral("$F"), dialog.txtProjectFile->text())});
    QLineEdit *box = nameBoxFocused ? dialog.txtProjectName : dialog.txtProjectFile;
    QCOMPARE(dialog.focusWidget(), box);
    QCOMPARE(box->selectedText(), box->text());
    QCOMPARE(finished.count(), 0);
    QVERIFY(!dialog.Edited());
    QCOMPARE(fixture_->Bytes(), before);
    QCOMPARE(RowTexts(*list_, 1), row);
    QCOMPARE(catalogue::State().Current()->ProjectName(1), QStringLiteral("Calc"));
    QCOMPARE(catalogue::State().Current()->ProjectFile(1), fixture_->Path(QStringLiteral("Calc/Calc.vbp")));
}

void tst_fEdit::okWritesThrough_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file"); // relative; null keeps the project's file
    QTest::addColumn<QString>("expected"); // the catalogue file afterwards, $R for the folder

    // The edited line leaves its place and ends its section, at once.
    QTest::newRow("name and file") << 1 << QStringLiteral("Other Tool") << QStringLiteral("Other/Other.vbp")
                                   << QStringLiteral("[Tools]\r\nMemo Pad=$R/Memo/Memo.vbp\r\nOther Tool=$R/Other/Other.vbp\r\n"
                                                     "[Games]\r\nPuzzle=$R/Puzzle/Puzzle.vbp\r\n[Empty]\r\n");
    QTest::newRow("unchanged") << 1 << QStringLiteral("Calc") << QString()
                               << QStringLiteral("[Tools]\r\nMemo Pad=$R/Memo/Memo.vbp\r\nCalc=$R/Calc/Calc.vbp\r\n"
                                                 "[Games]\r\nPuzzle=$R/Puzzle/Puzzle.vbp\r\n[Empty]\r\n");
    QTest::newRow("letter case") << 1 << QStringLiteral("CALC") << QString()
                                 << QStringLiteral("[Tools]\r\nMemo Pad=$R/Memo/Memo.vbp\r\nCALC=$R/Calc/Calc.vbp\r\n"
                                                   "[Games]\r\nPuzzle=$R/Puzzle/Puzzle.vbp\r\n[Empty]\r\n");
    QTest::newRow("japanese name") << 2 << QStringLiteral("ﾊﾟｽﾞﾙ　ゲーム") << QString()
                                   << QStringLiteral("[Tools]\r\nCalc=$R/Calc/Calc.vbp\r\nMemo Pad=$R/Memo/Memo.vbp\r\n"
                                                     "[Games]\r\nﾊﾟｽﾞﾙ　ゲーム=$R/Puzzle/Puzzle.vbp\r\n[Empty]\r\n");
}

void tst_fEdit::okWritesThrough()
{
    QFETCH(int, category);
    QFETCH(QString, name);
    QFETCH(QString, file);
    QFETCH(QString, expected);
    fixture_->Select(category, 1, list_.get());
    fEdit dialog;
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    dialog.txtProjectName->setText(name);
    if (!file.isNull())
        dialog.txtProjectFile->setText(fixture_->Path(file));
    const QString path = dialog.txtProjectFile->text();
    const QString folder = QFileInfo(path).path();
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);

    QVERIFY(ui_->messages.isEmpty());
    QCOMPARE(accepted.count(), 1);
    QVERIFY(dialog.Edited());
    QCOMPARE(fixture_->Bytes(),
             platform::EncodeCp932(QString(expected).replace(QStringLiteral("$R"), fixture_->Root())).value());
    // The row moved to the end with its line, and stays the current one there.
    const catalogue::cVbAnalyze *entries = catalogue::State().Current();
    const qint32 last = entries->Count();
    const QString exe = QFileInfo(path).completeBaseName() + QStringLiteral("App.exe");
    QCOMPARE(entries->ProjectName(last), name);
    QCOMPARE(entries->ProjectFile(last), path);
    QCOMPARE(entries->ProjectFolder(last), folder);
    QCOMPARE(entries->ProjectExe(last), folder + u'/' + exe);
    QCOMPARE(RowTexts(*list_, last), (QStringList{name, QFileInfo(path).fileName(), folder, exe}));
    QCOMPARE(list_->rowCount(), entries->Count());
    QCOMPARE(catalogue::State().CurrentProject, last);
}

void tst_fEdit::keyNotDeleted()
{
    QVERIFY(fixture_->MakeReadOnly());
    const QByteArray before = fixture_->Bytes();
    const QStringList row = RowTexts(*list_, 1);
    fEdit dialog;
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.txtProjectName->setText(QStringLiteral("Renamed"));
    dialog.txtProjectFile->setText(fixture_->Path(QStringLiteral("Other/Other.vbp")));
    dialog.cmdOK_Click();

    QCOMPARE(ui_->messages, QStringList{QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの該当するｷｰの削除に失敗しました。\r\n")
                                        + fixture_->CatalogueFile() + QStringLiteral(" は書き込みできません。")});
    QCOMPARE(finished.count(), 0);
    QVERIFY(!dialog.Edited());
    QCOMPARE(fixture_->Bytes(), before);
    QCOMPARE(RowTexts(*list_, 1), row);
    QCOMPARE(catalogue::State().Current()->ProjectName(1), QStringLiteral("Calc"));
    QCOMPARE(catalogue::State().Current()->ProjectExe(1), fixture_->Path(QStringLiteral("Calc/CalcApp.exe")));

    // Cancel afterwards closes and still changes nothing.
    QTest::mouseClick(dialog.cmdCancel, Qt::LeftButton);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(fixture_->Bytes(), before);
    QCOMPARE(catalogue::State().Current()->ProjectName(1), QStringLiteral("Calc"));
}

void tst_fEdit::browse_data()
{
    QTest::addColumn<bool>("choose");
    QTest::newRow("chosen") << true;
    QTest::newRow("cancelled") << false;
}

void tst_fEdit::browse()
{
    QFETCH(bool, choose);
    const QString chosen = fixture_->Path(QStringLiteral("Other/Other.vbp"));
    QList<support::FileDialogRequest> requests;
    cCommonDlg::SetAnswerer([&](const support::FileDialogRequest &request) -> std::optional<QStringList> {
        requests.append(request);
        return choose ? std::optional<QStringList>(QStringList{chosen}) : std::nullopt;
    });
    fEdit dialog;
    const QString before = dialog.txtProjectFile->text();
    QTest::mouseClick(dialog.cmdComDlg, Qt::LeftButton);

    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].title, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄの選択"));
    QCOMPARE(requests[0].flags, quint32(0x280804));
    QCOMPARE(requests[0].initialFolder, QDir::currentPath());
    QCOMPARE(requests[0].filters.size(), 1);
    QCOMPARE(requests[0].filters[0].description, QStringLiteral("VB Project Files (*.vbp)"));
    QCOMPARE(requests[0].filters[0].patterns, QStringList{QStringLiteral("*.vbp")});
    QCOMPARE(requests[0].selectedFilter, 0);
    QCOMPARE(dialog.txtProjectFile->text(), choose ? chosen : before);
    // Browsing changes nothing but the box.
    QCOMPARE(catalogue::State().Current()->ProjectFile(1), before);
    QVERIFY(ui_->messages.isEmpty());
}

void tst_fEdit::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("edited");
    QTest::newRow("enter presses OK") << int(Qt::Key_Return) << true;
    QTest::newRow("escape presses Cancel") << int(Qt::Key_Escape) << false;
}

void tst_fEdit::keys()
{
    QFETCH(int, key);
    QFETCH(bool, edited);
    const QByteArray before = fixture_->Bytes();
    fEdit dialog;
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    dialog.txtProjectName->setText(QStringLiteral("Keyed"));
    QTest::keyClick(&dialog, Qt::Key(key));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(dialog.Edited(), edited);
    QCOMPARE(fixture_->Bytes() != before, edited);
    const catalogue::cVbAnalyze *entries = catalogue::State().Current();
    QCOMPARE(entries->ProjectName(edited ? entries->Count() : 1), edited ? QStringLiteral("Keyed") : QStringLiteral("Calc"));
}

QTEST_MAIN(tst_fEdit)
#include "tst_fEdit.moc"

void tst_fEdit::longPathShownWhole()
{
    // A project whose path is longer than the box: the dialog widens until the file name shows.
    const QString folder = fixture_->Path(QStringLiteral("業務システム/在庫管理/2023年度改修"));
    const QString file = folder + QStringLiteral("/StockControl.vbp");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(fixture_->Write(*platform::EncodeCp932(QStringLiteral("[Tools]\r\nStock=%1\r\n").arg(file))));
    QVERIFY(catalogue::LoadCategories() == 1);
    fixture_->Select(1, 1, list_.get());
    fEdit dialog;
    QCOMPARE(dialog.txtProjectFile->text(), file);
    QVERIFY(dialog.width() > 409);
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(dialog.txtProjectFile->fontMetrics().horizontalAdvance(file) < dialog.txtProjectFile->width());
    QVERIFY(dialog.rect().contains(dialog.cmdCancel->geometry()));
    QCOMPARE(dialog.txtProjectFile->toolTip(), file);
}
