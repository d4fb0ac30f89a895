#include "dialogs/fMove.h"

#include "CatalogueFixture.h"
#include "common/AccessibleNames.h"
#include "common/TestFolders.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <memory>

namespace {

// What the move may touch: the two categories, the rows, the selection and the file.
struct Snapshot {
    QStringList names1, names2, names3;
    QList<QStringList> rows;
    qint32 currentCategory = 0;
    qint32 currentProject = 0;
    QByteArray bytes;
    bool operator==(const Snapshot &) const = default;
};

QStringList Names(qint32 category)
{
    QStringList names;
    const catalogue::cVbAnalyze *entries = catalogue::State().CategoryAt(category);
    for (qint32 i = 1; i <= entries->Count(); ++i)
        names.append(entries->ProjectName(i) + u'|' + entries->ProjectFile(i));
    return names;
}

Snapshot Take(const CatalogueFixture &fixture, const catalogue::ProjectListModel &list)
{
    Snapshot s;
    s.names1 = Names(1);
    s.names2 = Names(2);
    s.names3 = Names(3);
    for (int r = 1; r <= list.rowCount(); ++r)
        s.rows.append(RowTexts(list, r));
    s.currentCategory = catalogue::State().CurrentCategory;
    s.currentProject = catalogue::State().CurrentProject;
    s.bytes = fixture.Bytes();
    return s;
}

} // namespace

class tst_fMove : public QObject, private DialogFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseTestFolders(); }
    void init() { QVERIFY(SetUp()); }
    void cleanup() { TearDown(); }
    void layout();
    void opening();
    void centredOverMainWindow();
    void centredWithTheOuterHeight();
    void ownCategoryChangesNothing_data();
    void ownCategoryChangesNothing();
    void move_data();
    void move();
    void moveLastProjectLeavesCategoryEmpty();
    void sameNameInDestination();
    void projectWithoutName();
    void sourceKeyNotDeleted();
    void enterOnOpeningPressesCancel();
    void escapeCancels();
};

void tst_fMove::layout()
{
    fMove dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("ｶﾃｺﾞﾘｰの移動"));
    QCOMPARE(dialog.size(), QSize(228, 86));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.cmdOK->text(), QStringLiteral("OK"));
    QCOMPARE(dialog.cmdCancel->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    QVERIFY(!dialog.cmbCategory->isEditable());
    QVERIFY(!dialog.cmdOK->isDefault());
    QVERIFY(!dialog.cmdCancel->isDefault());
    QCOMPARE(TabSequence(dialog.cmdCancel), (QStringList{"cmdCancel", "cmdOK", "cmbCategory"}));
    QCOMPARE(UnnamedControls(&dialog), QStringList());
}

void tst_fMove::opening()
{
    // The first category is shown whatever the current one is, and the current one is listed too.
    fixture_->Select(2, 1, list_.get());
    fMove dialog;
    QCOMPARE(dialog.cmbCategory->count(), 3);
    QCOMPARE(dialog.cmbCategory->itemText(0), QStringLiteral("Tools"));
    QCOMPARE(dialog.cmbCategory->itemText(1), QStringLiteral("Games"));
    QCOMPARE(dialog.cmbCategory->itemText(2), QStringLiteral("Empty"));
    QCOMPARE(dialog.cmbCategory->currentIndex(), 0);
    QCOMPARE(dialog.focusWidget(), dialog.cmdCancel);
}

void tst_fMove::centredOverMainWindow()
{
    QWidget mainWindow;
    mainWindow.setGeometry(100, 50, 601, 400); // odd width: the halves truncate in twips
    fMove dialog(&mainWindow);
    const QRect owner = mainWindow.frameGeometry();
    // left = 1500 + 9015 \ 2 - 3420 \ 2 = 1500 + 4507 - 1710 twips
    const int left = platform::TwipsToPixels(owner.left() * 15 + owner.width() * 15 / 2 - 3420 / 2);
    const int top = platform::TwipsToPixels(owner.top() * 15 + owner.height() * 15 / 2 - 1290 / 2);
    QCOMPARE(dialog.pos(), QPoint(left, top));
}

void tst_fMove::centredWithTheOuterHeight()
{
    // Shown, the main window has a frame: the dialog, not framed yet, is centred as if it had the same.
    QWidget mainWindow;
    mainWindow.setGeometry(100, 50, 601, 400);
    mainWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
    const QSize frame = mainWindow.frameGeometry().size() - mainWindow.size();
    QVERIFY(!frame.isEmpty());
    fMove dialog(&mainWindow);
    const QRect owner = mainWindow.frameGeometry();
    const QSize outer = QSize(228, 86) + frame; // 3420 x 1290 twips inside
    const int left = platform::TwipsToPixels(owner.left() * 15 + owner.width() * 15 / 2 - outer.width() * 15 / 2);
    const int top = platform::TwipsToPixels(owner.top() * 15 + owner.height() * 15 / 2 - outer.height() * 15 / 2);
    QCOMPARE(dialog.pos(), QPoint(left, top));
}

void tst_fMove::ownCategoryChangesNothing_data()
{
    QTest::addColumn<int>("category");
    QTest::newRow("first category") << 1;
    QTest::newRow("second category") << 2;
}

void tst_fMove::ownCategoryChangesNothing()
{
    QFETCH(int, category);
    fixture_->Select(category, 1, list_.get());
    const Snapshot before = Take(*fixture_, *list_);
    fMove dialog;
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    dialog.cmbCategory->setCurrentIndex(category - 1);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
    QCOMPARE(accepted.count(), 1);
    QVERIFY(!dialog.Moved());
    QVERIFY(Take(*fixture_, *list_) == before);
    QVERIFY(ui_->messages.isEmpty());
}

void tst_fMove::move_data()
{
    QTest::addColumn<int>("project");
    QTest::addColumn<int>("target");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("first to Games") << 1 << 2
                                    << QByteArray("[Tools]\r\nMemo Pad=$R/Memo/Memo.vbp\r\n"
                                                  "[Games]\r\nPuzzle=$R/Puzzle/Puzzle.vbp\r\nCalc=$R/Calc/Calc.vbp\r\n"
                                                  "[Empty]\r\n");
    QTest::newRow("last to Empty") << 2 << 3
                                   << QByteArray("[Tools]\r\nCalc=$R/Calc/Calc.vbp\r\n"
                                                 "[Games]\r\nPuzzle=$R/Puzzle/Puzzle.vbp\r\n"
                                                 "[Empty]\r\nMemo Pad=$R/Memo/Memo.vbp\r\n");
}

void tst_fMove::move()
{
    QFETCH(int, project);
    QFETCH(int, target);
    QFETCH(QByteArray, bytes);
    fixture_->Select(1, project, list_.get());
    const QString name = catalogue::State().Current()->ProjectName(project);
    const QString file = catalogue::State().Current()->ProjectFile(project);
    const QStringList otherRow = RowTexts(*list_, 3 - project);
    const qint32 targetCount = catalogue::State().CategoryAt(target)->Count();

    fMove dialog;
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    dialog.cmbCategory->setCurrentIndex(target - 1);
    QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);

    QCOMPARE(accepted.count(), 1);
    QVERIFY(dialog.Moved());
    QVERIFY(ui_->messages.isEmpty());
    // Out of one section and into the other, in one write.
    QCOMPARE(fixture_->Bytes(), fixture_->Expand(bytes.constData()));
    const catalogue::cVbAnalyze *source = catalogue::State().CategoryAt(1);
    const catalogue::cVbAnalyze *destination = catalogue::State().CategoryAt(target);
    QCOMPARE(source->Count(), 1);
    QVERIFY(source->ProjectName(1) != name);
    QCOMPARE(destination->Count(), targetCount + 1);
    QCOMPARE(destination->ProjectName(destination->Count()), name);
    QCOMPARE(destination->ProjectFile(destination->Count()), file);
    QCOMPARE(destination->ProjectExe(destination->Count()), fixture_->Path(QStringLiteral("%1/%1App.exe").arg(QFileInfo(file).baseName())));
    QCOMPARE(list_->rowCount(), 1);
    QCOMPARE(RowTexts(*list_, 1), otherRow);
    QCOMPARE(catalogue::State().CurrentCategory, 1);
    QCOMPARE(catalogue::State().CurrentProject, 0);
}

void tst_fMove::moveLastProjectLeavesCategoryEmpty()
{
    fixture_->Select(2, 1, list_.get());
    fMove dialog;
    dialog.cmbCategory->setCurrentIndex(0);
    dialog.cmdOK_Click();
    QVERIFY(dialog.Moved());
    QCOMPARE(catalogue::State().CategoryAt(2)->Count(), 0);
    QCOMPARE(list_->rowCount(), 0);
    QCOMPARE(Names(1).last(), QStringLiteral("Puzzle|") + fixture_->Path(QStringLiteral("Puzzle/Puzzle.vbp")));
    QCOMPARE(fixture_->Bytes(), fixture_->Expand("[Tools]\r\nCalc=$R/Calc/Calc.vbp\r\nMemo Pad=$R/Memo/Memo.vbp\r\n"
                                                 "Puzzle=$R/Puzzle/Puzzle.vbp\r\n[Games]\r\n[Empty]\r\n"));
}

void tst_fMove::sameNameInDestination()
{
    // Not refused: the moved project takes a name the destination's section does not have yet, so
    // that neither line overwrites the other.
    QVERIFY(fixture_->Write(fixture_->Expand("[Tools]\r\nCalc=$R/Calc/Calc.vbp\r\n[Games]\r\ncalc=$R/Puzzle/Puzzle.vbp\r\n")));
    QCOMPARE(catalogue::LoadCategories(), 2);
    fixture_->Select(1, 1, list_.get());
    fMove dialog;
    dialog.cmbCategory->setCurrentIndex(1);
    dialog.cmdOK_Click();
    QVERIFY(dialog.Moved());
    QCOMPARE(catalogue::State().CategoryAt(2)->Count(), 2);
    QCOMPARE(catalogue::State().CategoryAt(2)->ProjectName(2), QStringLiteral("Calc(2)"));
    QCOMPARE(fixture_->Bytes(), fixture_->Expand("[Tools]\r\n[Games]\r\ncalc=$R/Puzzle/Puzzle.vbp\r\n"
                                                 "Calc(2)=$R/Calc/Calc.vbp\r\n"));
}

void tst_fMove::projectWithoutName()
{
    // An empty name must not make the destination read the name from the .vbp and show a row.
    QVERIFY(fixture_->Write(fixture_->Expand("[Tools]\r\n=$R/Calc/Calc.vbp\r\n[Games]\r\n[Empty]\r\n")));
    QCOMPARE(catalogue::LoadCategories(), 3);
    fixture_->Select(1, 1, list_.get());
    QCOMPARE(catalogue::State().Current()->ProjectName(1), QString());
    // The .vbp's own name would show if the project were added anew.
    const QStringList shownBefore = RowTexts(*list_, 1);

    fMove dialog;
    dialog.cmbCategory->setCurrentIndex(2);
    dialog.cmdOK_Click();
    QVERIFY(dialog.Moved());
    list_->ShowCategory(catalogue::State().CategoryAt(3));
    QCOMPARE(RowTexts(*list_, 1).first(), shownBefore.first());
    list_->ShowCategory(catalogue::State().CategoryAt(1));
    QCOMPARE(list_->rowCount(), 0);
    QCOMPARE(catalogue::State().CategoryAt(3)->Count(), 1);
    QCOMPARE(catalogue::State().CategoryAt(3)->ProjectName(1), QString());
    QCOMPARE(catalogue::State().CategoryAt(3)->ProjectFile(1), fixture_->Path(QStringLiteral("Calc/Calc.vbp")));
}

void tst_fMove::sourceKeyNotDeleted()
{
    QVERIFY(fixture_->MakeReadOnly());
    const Snapshot before = Take(*fixture_, *list_);
    fMove dialog;
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.cmbCategory->setCurrentIndex(1);
    dialog.cmdOK_Click();

    QCOMPARE(ui_->messages, QStringList{QStringLiteral("ｷｰの削除に失敗しました。\r\n") + fixture_->CatalogueFile()
                                        + QStringLiteral(" は書き込みできません。")});
    QVERIFY(!dialog.Moved());
    QCOMPARE(finished.count(), 0);
    const Snapshot after = Take(*fixture_, *list_);
    QCOMPARE(after.names2, before.names2);
    QCOMPARE(after.names1, before.names1);
    QCOMPARE(after.rows, before.rows);
    QCOMPARE(after.currentProject, 1);
    QCOMPARE(after.bytes, before.bytes);

    dialog.cmdCancel_Click();
    QCOMPARE(finished.count(), 1);
    QVERIFY(Take(*fixture_, *list_) == before);
}

void tst_fMove::enterOnOpeningPressesCancel()
{
    const Snapshot before = Take(*fixture_, *list_);
    fMove dialog;
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    dialog.cmbCategory->setCurrentIndex(1);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), dialog.cmdCancel);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(rejected.count(), 1);
    QVERIFY(!dialog.Moved());
    QVERIFY(Take(*fixture_, *list_) == before);
}

void tst_fMove::escapeCancels()
{
    const Snapshot before = Take(*fixture_, *list_);
    fMove dialog;
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    dialog.cmbCategory->setCurrentIndex(1);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(rejected.count(), 1);
    QVERIFY(Take(*fixture_, *list_) == before);
}

QTEST_MAIN(tst_fMove)
#include "tst_fMove.moc"
