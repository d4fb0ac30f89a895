// The list of a project's references: each line of its .vbp as a row, with its state in a prefix made on disk.
#include "catalogue/ReferenceTable.h"
#include "platform/WineRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using catalogue::ReferenceListing;
using catalogue::ReferenceTableModel;

namespace {

QByteArray win32Key(const QByteArray &guid, const QByteArray &version, const QByteArray &file)
{
    return "[Software\\\\Classes\\\\TypeLib\\\\{" + guid + "}\\\\" + version + "\\\\0\\\\win32] 1700000000\n@=\"" + file
           + "\"\n\n";
}

bool write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class tst_ReferenceTable : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rows_data();
    void rows();
};

void tst_ReferenceTable::rows_data()
{
    QTest::addColumn<QString>("prefix"); // "registry", "empty" (a prefix without one), "none" (a native IDE)
    QTest::addColumn<QByteArray>("vbp"); // "<none>": no file
    QTest::addColumn<QStringList>("rows"); // the cells of each row joined by "|"
    QTest::addColumn<QString>("note");     // a word the sentence above holds

    const QByteArray comctl = "Object={831fdd16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX";
    const QByteArray ado = "Reference=*\\G{2A75196C-D9EB-4129-B803-931327F72D5C}#2.8#0#C:\\ado\\msado28.tlb#ADO 2.8 #1";
    const QByteArray tab = "Object={BDC217C8-ED16-11CD-956C-0000C04E4C0A}#1.1#0; TABCTL32.OCX";
    const QString comctlRow = u"コントロール|MSCOMCTL.OCX|MSCOMCTL.OCX|{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0|"_qs;
    QTest::newRow("registered, an older minor, its file gone, a group project, a line not read")
        << "registry" << comctl + "\r\n" + ado + "\r\n" + tab + "\nReference=*\\A..\\Lib\\Lib.vbp\r\nObject={bad}\r\n"
        << QStringList{comctlRow + u"登録済み"_qs,
                       u"参照|ADO 2.8 #1|C:\\ado\\msado28.tlb|{2A75196C-D9EB-4129-B803-931327F72D5C}#2.8|未登録 (登録は 2.5,1.0)"_qs,
                       u"コントロール|TABCTL32.OCX|TABCTL32.OCX|{BDC217C8-ED16-11CD-956C-0000C04E4C0A}#1.1|ﾌｧｲﾙなし"_qs,
                       u"プロジェクト|Lib.vbp|..\\Lib\\Lib.vbp||対象外"_qs, u"コントロール|{bad}|||読めない行"_qs}
        << u"確認しました"_qs;
    QTest::newRow("another major only: not registered, named") << "registry" << QByteArray(comctl).replace("#2.0#", "#3.0#")
        << QStringList{u"コントロール|MSCOMCTL.OCX|MSCOMCTL.OCX|{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#3.0|未登録 (登録は 2.0)"_qs}
        << u"確認しました"_qs;
    QTest::newRow("a native IDE: listed, not checked") << "none" << comctl << QStringList{comctlRow + u"未確認"_qs}
                                                       << u"Wineで動かない"_qs;
    QTest::newRow("a prefix without a registry") << "empty" << comctl << QStringList{comctlRow + u"未確認"_qs}
                                                 << u"レジストリがない"_qs;
    QTest::newRow("no references") << "registry" << QByteArray("Type=Exe\r\nForm=Main.frm\r\n") << QStringList{}
                                   << u"確認しました"_qs;
    QTest::newRow("no .vbp") << "registry" << QByteArray("<none>") << QStringList{} << u"読めません"_qs;
}

void tst_ReferenceTable::rows()
{
    QFETCH(QString, prefix);
    QFETCH(QByteArray, vbp);
    QFETCH(QStringList, rows);
    QFETCH(QString, note);
    QTemporaryDir dir;
    const QString wine = dir.filePath("pfx");
    QVERIFY(QDir().mkpath(wine + "/drive_c/windows/system32"));
    if (prefix == "registry") {
        QVERIFY(write(wine + "/system.reg",
                      "WINE REGISTRY Version 2\n\n"
                          + win32Key("831FDD16-0C5C-11D2-A9FC-0000F8754DA1", "2.0", "C:\\\\windows\\\\system32\\\\mscomctl.ocx")
                          + win32Key("2A75196C-D9EB-4129-B803-931327F72D5C", "2.5", "C:\\\\ado\\\\msado25.tlb")
                          + win32Key("2A75196C-D9EB-4129-B803-931327F72D5C", "1.0", "C:\\\\ado\\\\msado15.dll")
                          + win32Key("BDC217C8-ED16-11CD-956C-0000C04E4C0A", "1.1", "C:\\\\windows\\\\system32\\\\tabctl32.ocx")));
        QVERIFY(write(wine + "/drive_c/windows/system32/MSCOMCTL.OCX", "MZ"));
    }
    const QString project = dir.filePath("App/App.vbp");
    if (vbp != "<none>")
        QVERIFY(write(project, vbp));
    const auto registry = prefix == "none" ? nullptr : std::make_shared<platform::WineRegistry>(wine);

    ReferenceTableModel model;
    model.SetListing(catalogue::ListReferences(project, registry));
    QStringList found;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells.append(model.data(model.index(row, column), Qt::DisplayRole).toString());
        found.append(cells.join(u'|'));
    }
    QCOMPARE(found, rows);
    QVERIFY2(catalogue::ListingNote(model.Listing()).contains(note), qPrintable(catalogue::ListingNote(model.Listing())));
}

QTEST_GUILESS_MAIN(tst_ReferenceTable)
#include "tst_ReferenceTable.moc"
