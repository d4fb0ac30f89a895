// The list of a project's references as a window: every column readable at once, every control named.
#include "dialogs/ReferenceList.h"

#include "common/AccessibleNames.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

class tst_ReferenceList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fitsItsTexts_data();
    void fitsItsTexts();
};

void tst_ReferenceList::fitsItsTexts_data()
{
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QString>("note"); // the line above the table
    QTest::newRow("a project's usual lines, not checked")
        << QByteArray("Reference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#C:\\Windows\\SysWOW64\\stdole2.tlb#OLE Automation\n"
                      "Reference=*\\G{2A75196C-D9EB-4129-B803-931327F72D5C}#2.8#0#C:\\Program Files (x86)\\Common Files\\"
                      "System\\ado\\msado28.tlb#Microsoft ActiveX Data Objects 2.8 Library\n"
                      "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX\n"
                      "Reference=*\\A..\\共通部品\\共通部品.vbp\n")
        << QStringLiteral("IDEがWineで動かないため、登録は確認していません。");
    QTest::newRow("none") << QByteArray() << QStringLiteral("IDEがWineで動かないため、登録は確認していません。\n参照もコントロールもありません。");
}

void tst_ReferenceList::fitsItsTexts()
{
    QFETCH(QByteArray, lines);
    QFETCH(QString, note);
    catalogue::ReferenceListing listing;
    for (const QByteArray &line : lines.split('\n'))
        if (auto reference = catalogue::ReferenceOfLine(line))
            listing.rows.append({*reference, catalogue::ReferenceState::Unchecked, {}, {}});
    ReferenceList dialog(nullptr, QStringLiteral("販売管理"), listing);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.lblNote->text(), note);
    QCOMPARE(dialog.lvwReferences->model()->rowCount(), int(listing.rows.size()));
    // On a small screen at 1x, nothing to scroll sideways; the kind, the GUID and the state whole.
    QVERIFY(!dialog.lvwReferences->horizontalScrollBar()->isVisible());
    QVERIFY(dialog.frameGeometry().width() <= dialog.screen()->availableGeometry().width());
    const QTableView &view = *dialog.lvwReferences;
    for (const int column : {catalogue::ReferenceTableModel::KindColumn, catalogue::ReferenceTableModel::VersionColumn,
                             catalogue::ReferenceTableModel::StateColumn})
        for (int row = 0; row < view.model()->rowCount(); ++row) {
            const QString text = view.model()->index(row, column).data().toString();
            QVERIFY2(view.fontMetrics().horizontalAdvance(text) < view.columnWidth(column), qPrintable(text));
        }
    QCOMPARE(UnnamedControls(&dialog), QStringList());
}

QTEST_MAIN(tst_ReferenceList)
#include "tst_ReferenceList.moc"
