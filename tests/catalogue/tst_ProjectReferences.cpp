// The Reference= and Object= lines of a .vbp, in the shapes real projects have.
#include "catalogue/ProjectReferences.h"
#include "platform/TextCodec.h"

#include <QTest>

using catalogue::ProjectReference;
using Kind = ProjectReference::Kind;

Q_DECLARE_METATYPE(ProjectReference::Kind)

namespace {

QByteArray cp932(const QString &text) { return *platform::EncodeCp932(text); }

const QByteArray kComctl = "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}";
const QString kComctlGuid = QStringLiteral("831FDD16-0C5C-11D2-A9FC-0000F8754DA1");
const QByteArray kStdole = "{00020430-0000-0000-C000-000000000046}";
const QString kStdoleGuid = QStringLiteral("00020430-0000-0000-C000-000000000046");

} // namespace

class tst_ProjectReferences : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void line_data();
    void line();
    void wholeFile();
};

void tst_ProjectReferences::line_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("isReference");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("malformed");
    QTest::addColumn<QString>("guid");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("lcid");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("label");

    QTest::newRow("control") << "Object=" + kComctl + "#2.0#0; MSCOMCTL.OCX" << true << Kind::Control << false
                             << kComctlGuid << 2 << 0 << 0 << "MSCOMCTL.OCX" << "" << "MSCOMCTL.OCX";
    QTest::newRow("control, GUID in lower case")
        << QByteArray("Object={831fdd16-0c5c-11d2-a9fc-0000f8754da1}#1.2#0; comdlg32.ocx") << true << Kind::Control
        << false << kComctlGuid << 1 << 2 << 0 << "comdlg32.ocx" << "" << "comdlg32.ocx";
    QTest::newRow("control without its file") << "Object=" + kComctl + "#2.0#0" << true << Kind::Control << false
                                               << kComctlGuid << 2 << 0 << 0 << "" << ""
                                               << "{" + kComctlGuid + "}";
    QTest::newRow("type library, absolute path")
        << "Reference=*\\G" + kStdole + "#2.0#0#C:\\WINDOWS\\system32\\stdole2.tlb#OLE Automation" << true
        << Kind::TypeLib << false << kStdoleGuid << 2 << 0 << 0 << "C:\\WINDOWS\\system32\\stdole2.tlb"
        << "OLE Automation" << "stdole2.tlb";
    QTest::newRow("type library, relative path, blanks in the folder")
        << QByteArray("Reference=*\\G{2A75196C-D9EB-4129-B803-931327F72D5C}#2.8#0#..\\..\\Common Files\\System\\ado\\"
                      "msado28.tlb#Microsoft ActiveX Data Objects 2.8 Library")
        << true << Kind::TypeLib << false << "2A75196C-D9EB-4129-B803-931327F72D5C" << 2 << 8 << 0
        << "..\\..\\Common Files\\System\\ado\\msado28.tlb" << "Microsoft ActiveX Data Objects 2.8 Library"
        << "msado28.tlb";
    QTest::newRow("versions and locale in hex")
        << "Reference=*\\G" + kStdole + "#a.1f#409#x.dll#X" << true << Kind::TypeLib << false << kStdoleGuid << 10
        << 31 << 0x409 << "x.dll" << "X" << "x.dll";
    QTest::newRow("# inside the description")
        << "Reference=*\\G" + kStdole + "#1.0#0#C:\\Lib\\lib.dll#Lib #2 (beta)#" << true << Kind::TypeLib << false
        << kStdoleGuid << 1 << 0 << 0 << "C:\\Lib\\lib.dll" << "Lib #2 (beta)#" << "lib.dll";
    QTest::newRow("code page 932 path and description")
        << "Reference=*\\G" + kStdole + "#1.0#0#" + cp932(u"..\\ソース\\表.dll#表示ライブラリ"_qs) << true
        << Kind::TypeLib << false << kStdoleGuid << 1 << 0 << 0 << u"..\\ソース\\表.dll"_qs << u"表示ライブラリ"_qs
        << u"表.dll"_qs;
    QTest::newRow("no description") << "Reference=*\\G" + kStdole + "#1.0#0#C:\\a.dll" << true << Kind::TypeLib
                                    << false << kStdoleGuid << 1 << 0 << 0 << "C:\\a.dll" << "" << "a.dll";
    QTest::newRow("no path: the description names it")
        << "Reference=*\\G" + kStdole + "#2.0#0##OLE Automation" << true << Kind::TypeLib << false << kStdoleGuid
        << 2 << 0 << 0 << "" << "OLE Automation" << "OLE Automation";
    QTest::newRow("project of the group") << QByteArray("Reference=*\\A..\\Source\\CGZipLibrary.vbp") << true
                                          << Kind::Project << false << "" << 0 << 0 << 0
                                          << "..\\Source\\CGZipLibrary.vbp" << "" << "CGZipLibrary.vbp";
    QTest::newRow("control project of the group") << QByteArray("Object=*\\A..\\Grid\\Grid.vbp") << true
                                                  << Kind::Project << false << "" << 0 << 0 << 0
                                                  << "..\\Grid\\Grid.vbp" << "" << "Grid.vbp";
    QTest::newRow("key in another case") << "reference=*\\g" + kStdole + "#2.0#0#s.tlb#S" << true << Kind::TypeLib
                                         << false << kStdoleGuid << 2 << 0 << 0 << "s.tlb" << "S" << "s.tlb";

    // Malformed: the text stays, nothing is made up.
    QTest::newRow("GUID only") << "Reference=*\\G" + kStdole << true << Kind::TypeLib << true << "" << 0 << 0 << 0
                               << "" << "" << "*\\G" + QString::fromLatin1(kStdole);
    QTest::newRow("version without minor") << "Object=" + kComctl + "#2#0; X.OCX" << true << Kind::Control << true
                                           << "" << 0 << 0 << 0 << "" << "" << "" + QString::fromLatin1(kComctl)
                                                                                         + "#2#0; X.OCX";
    QTest::newRow("version not hex") << "Reference=*\\G" + kStdole + "#2.g#0#a.dll#A" << true << Kind::TypeLib
                                     << true << "" << 0 << 0 << 0 << "" << ""
                                     << "*\\G" + QString::fromLatin1(kStdole) + "#2.g#0#a.dll#A";
    QTest::newRow("version past 16 bits") << "Reference=*\\G" + kStdole + "#10000.0#0#a.dll#A" << true
                                          << Kind::TypeLib << true << "" << 0 << 0 << 0 << "" << ""
                                          << "*\\G" + QString::fromLatin1(kStdole) + "#10000.0#0#a.dll#A";
    QTest::newRow("no locale") << "Object=" + kComctl + "#2.0" << true << Kind::Control << true << "" << 0 << 0 << 0
                               << "" << "" << QString::fromLatin1(kComctl) + "#2.0";
    QTest::newRow("GUID cut short") << QByteArray("Object={831FDD16-0C5C}#2.0#0; X.OCX") << true << Kind::Control
                                    << true << "" << 0 << 0 << 0 << "" << "" << "{831FDD16-0C5C}#2.0#0; X.OCX";
    QTest::newRow("GUID with a foreign letter")
        << QByteArray("Object={831FDD16-0C5C-11D2-A9FC-0000F8754DAZ}#2.0#0; X.OCX") << true << Kind::Control << true
        << "" << 0 << 0 << 0 << "" << "" << "{831FDD16-0C5C-11D2-A9FC-0000F8754DAZ}#2.0#0; X.OCX";
    QTest::newRow("empty value") << QByteArray("Reference=") << true << Kind::TypeLib << true << "" << 0 << 0 << 0
                                 << "" << "" << "";
    QTest::newRow("group project without a path") << QByteArray("Reference=*\\A") << true << Kind::Project << true
                                                   << "" << 0 << 0 << 0 << "" << "" << "*\\A";

    QTest::newRow("other key") << QByteArray("Form=frmMain.frm") << false << Kind::TypeLib << false << "" << 0 << 0
                               << 0 << "" << "" << "";
    QTest::newRow("longer key") << "Objects=" + kComctl + "#2.0#0; X.OCX" << false << Kind::TypeLib << false << ""
                                << 0 << 0 << 0 << "" << "" << "";
    QTest::newRow("empty line") << QByteArray() << false << Kind::TypeLib << false << "" << 0 << 0 << 0 << "" << ""
                                << "";
}

void tst_ProjectReferences::line()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, isReference);
    const auto ref = catalogue::ReferenceOfLine(line);
    QCOMPARE(ref.has_value(), isReference);
    // The quick read for the registry agrees, and has nothing to ask for a group project.
    const auto key = catalogue::ReferenceKeyOfLine(line);
    QCOMPARE(key.has_value(), ref && !ref->malformed && ref->kind != Kind::Project);
    if (key) {
        QCOMPARE(QString::fromLatin1(key->guid.data(), 36), ref->guid);
        QCOMPARE(key->major, ref->major);
        QCOMPARE(key->minor, ref->minor);
    }
    if (!ref)
        return;
    QFETCH(Kind, kind);
    QFETCH(bool, malformed);
    QFETCH(QString, guid);
    QFETCH(QString, label);
    QCOMPARE(ref->kind, kind);
    QCOMPARE(ref->malformed, malformed);
    QCOMPARE(ref->guid, guid);
    QCOMPARE(ref->Label(), label);
    if (malformed)
        return;
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, lcid);
    QFETCH(QString, file);
    QFETCH(QString, description);
    QCOMPARE(ref->major, major);
    QCOMPARE(ref->minor, minor);
    QCOMPARE(int(ref->lcid), lcid);
    QCOMPARE(ref->file, file);
    QCOMPARE(ref->description, description);
}

void tst_ProjectReferences::wholeFile()
{
    // Every line end a checked-out .vbp has; the references among the other lines, in file order.
    const QByteArray vbp = "Type=Exe\r\nReference=*\\G" + kStdole + "#2.0#0#stdole2.tlb#OLE Automation\r\n"
                           "Form=Main.frm\nObject=" + kComctl + "#2.0#0; MSCOMCTL.OCX\rObject=bad\r\n"
                           "Reference=*\\A..\\Lib\\Lib.vbp\r\nName=\"App\"\r\n[MS Transaction Server]\r\nAutoRefresh=1";
    const QList<ProjectReference> refs = catalogue::ReferencesIn(vbp);
    QStringList labels;
    for (const ProjectReference &ref : refs)
        labels.append(ref.Label() + (ref.malformed ? "!" : ""));
    QCOMPARE(labels, (QStringList{"stdole2.tlb", "MSCOMCTL.OCX", "bad!", "Lib.vbp"}));
}

QTEST_GUILESS_MAIN(tst_ProjectReferences)
#include "tst_ProjectReferences.moc"
