// A project's references looked up in a Wine prefix made on disk: its registry and its drives.
#include "catalogue/ReferenceCheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using catalogue::ReferenceState;

Q_DECLARE_METATYPE(catalogue::ReferenceState)

namespace {

QByteArray win32Key(const QByteArray &guid, const QByteArray &version, const QByteArray &file)
{
    return "[Software\\\\Classes\\\\Typelib\\\\{" + guid + "}\\\\" + version + "\\\\0\\\\win32] 1700000000\n@=" + file
           + "\n\n";
}

const QByteArray kComctl = "831FDD16-0C5C-11D2-A9FC-0000F8754DA1";
const QByteArray kAdo = "2A75196C-D9EB-4129-B803-931327F72D5C";
const QByteArray kComctlLine = "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX";
const QByteArray kAdoLine = "Reference=*\\G{2A75196C-D9EB-4129-B803-931327F72D5C}#2.8#0#C:\\Program Files (x86)\\"
                            "Common Files\\System\\ado\\msado28.tlb#Microsoft ActiveX Data Objects 2.8 Library";

} // namespace

class tst_ReferenceCheck : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void state_data();
    void state();
    void missingTexts();
    void prefixOfIde_data();
    void prefixOfIde();
};

void tst_ReferenceCheck::state_data()
{
    QTest::addColumn<QByteArray>("registry");
    // Files of the prefix to make; "name -> target" makes a link.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<ReferenceState>("state");
    QTest::addColumn<QString>("text");

    const QByteArray comctl = win32Key(kComctl, "2.0", "\"C:\\\\windows\\\\system32\\\\mscomctl.ocx\"");
    QTest::newRow("registered, its file in another letter case")
        << comctl << QStringList{"drive_c/windows/system32/MSCOMCTL.OCX"} << kComctlLine << ReferenceState::Present
        << "MSCOMCTL.OCX";
    QTest::newRow("not registered, though its file is in system32")
        << QByteArray() << QStringList{"drive_c/windows/system32/MSCOMCTL.OCX"} << kComctlLine
        << ReferenceState::NotRegistered << u"MSCOMCTL.OCX (未登録)"_qs;
    QTest::newRow("registered with an older minor")
        << win32Key(kComctl, "1.f", "\"C:\\\\windows\\\\system32\\\\mscomctl.ocx\"")
               + win32Key(kComctl, "2.0", "\"C:\\\\windows\\\\system32\\\\mscomctl.ocx\"")
        << QStringList{"drive_c/windows/system32/mscomctl.ocx"}
        << QByteArray(kComctlLine).replace("#2.0#", "#2.1#") << ReferenceState::NotRegistered
        << u"MSCOMCTL.OCX (未登録)"_qs;
    QTest::newRow("registered with another major")
        << win32Key(kComctl, "1.3", "\"C:\\\\windows\\\\system32\\\\mscomctl.ocx\"")
        << QStringList{"drive_c/windows/system32/mscomctl.ocx"} << kComctlLine << ReferenceState::NotRegistered
        << u"MSCOMCTL.OCX (未登録)"_qs;
    QTest::newRow("registered, its file gone")
        << win32Key(kAdo, "2.8", "\"C:\\\\Program Files (x86)\\\\Common Files\\\\System\\\\ado\\\\msado28.tlb\"")
        << QStringList{"drive_c/windows/system32/msado28.tlb"} << kAdoLine << ReferenceState::FileMissing
        << u"msado28.tlb (ﾌｧｲﾙなし)"_qs;
    QTest::newRow("registered, its file a folder")
        << comctl << QStringList{"drive_c/windows/system32/mscomctl.ocx/"} << kComctlLine
        << ReferenceState::FileMissing << u"MSCOMCTL.OCX (ﾌｧｲﾙなし)"_qs;
    QTest::newRow("64-bit prefix: a 32-bit program's system32 is syswow64")
        << comctl << QStringList{"drive_c/windows/system32/mscomctl.ocx", "drive_c/windows/syswow64/"} << kComctlLine
        << ReferenceState::FileMissing << u"MSCOMCTL.OCX (ﾌｧｲﾙなし)"_qs;
    QTest::newRow("64-bit prefix, the file in syswow64")
        << comctl << QStringList{"drive_c/windows/syswow64/mscomctl.ocx"} << kComctlLine << ReferenceState::Present
        << "MSCOMCTL.OCX";
    QTest::newRow("the drive's link is followed")
        << comctl << QStringList{"dosdevices/c: -> ../elsewhere", "elsewhere/windows/system32/mscomctl.ocx",
                                 "drive_c/windows/system32/"}
        << kComctlLine << ReferenceState::Present << "MSCOMCTL.OCX";
    QTest::newRow("the drive's link before drive_c")
        << comctl << QStringList{"dosdevices/c: -> ../elsewhere", "elsewhere/", "drive_c/windows/system32/mscomctl.ocx"}
        << kComctlLine << ReferenceState::FileMissing << u"MSCOMCTL.OCX (ﾌｧｲﾙなし)"_qs;
    QTest::newRow("another drive")
        << win32Key(kComctl, "2.0", "\"D:\\\\ocx\\\\mscomctl.ocx\"")
        << QStringList{"dosdevices/d: -> ../d", "d/OCX/MsComCtl.ocx"} << kComctlLine << ReferenceState::Present
        << "MSCOMCTL.OCX";
    QTest::newRow("a drive the prefix lacks")
        << win32Key(kComctl, "2.0", "\"E:\\\\mscomctl.ocx\"") << QStringList{"drive_c/mscomctl.ocx"} << kComctlLine
        << ReferenceState::FileMissing << u"MSCOMCTL.OCX (ﾌｧｲﾙなし)"_qs;
    QTest::newRow("a bare name, in the system folder")
        << win32Key(kComctl, "2.0", "\"mscomctl.ocx\"") << QStringList{"drive_c/windows/system32/mscomctl.ocx"}
        << kComctlLine << ReferenceState::Present << "MSCOMCTL.OCX";
    QTest::newRow("expandable string")
        << win32Key(kComctl, "2.0", "str(2):\"%SystemRoot%\\\\system32\\\\mscomctl.ocx\"")
        << QStringList{"drive_c/windows/system32/mscomctl.ocx"} << kComctlLine << ReferenceState::Present
        << "MSCOMCTL.OCX";
    QTest::newRow("a share") << win32Key(kComctl, "2.0", "\"\\\\\\\\server\\\\ocx\\\\mscomctl.ocx\"")
                             << QStringList{"drive_c/windows/system32/mscomctl.ocx"} << kComctlLine
                             << ReferenceState::FileMissing << u"MSCOMCTL.OCX (ﾌｧｲﾙなし)"_qs;
    QTest::newRow("a project of the group is not looked up")
        << QByteArray() << QStringList{} << QByteArray("Reference=*\\A..\\Lib\\Lib.vbp") << ReferenceState::Unchecked
        << "Lib.vbp";
    QTest::newRow("a line that could not be read is not looked up")
        << QByteArray() << QStringList{} << QByteArray("Object={831FDD16}#2.0#0; X.OCX") << ReferenceState::Unchecked
        << "{831FDD16}#2.0#0; X.OCX";
}

void tst_ReferenceCheck::state()
{
    QFETCH(QByteArray, registry);
    QFETCH(QStringList, files);
    QFETCH(QByteArray, line);
    QFETCH(ReferenceState, state);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QDir prefix(dir.path());
    for (const QString &file : files) {
        if (const qsizetype arrow = file.indexOf(" -> "); arrow >= 0) {
            QVERIFY(prefix.mkpath(QFileInfo(prefix.filePath(file.left(arrow))).path()));
            QVERIFY(QFile::link(file.mid(arrow + 4), prefix.filePath(file.left(arrow))));
        } else if (file.endsWith(u'/')) {
            QVERIFY(prefix.mkpath(file));
        } else {
            QVERIFY(prefix.mkpath(QFileInfo(prefix.filePath(file)).path()));
            QFile f(prefix.filePath(file));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    }
    QFile system(prefix.filePath("system.reg"));
    QVERIFY(system.open(QIODevice::WriteOnly));
    system.write("WINE REGISTRY Version 2\n\n" + registry);
    system.close();

    platform::WineRegistry wine(prefix.path());
    catalogue::ReferenceCheck check(prefix.path(), wine.TypeLibs());
    const auto ref = catalogue::ReferenceOfLine(line);
    QVERIFY(ref);
    QCOMPARE(check.StateOf(*ref), state);
    QCOMPARE(catalogue::ReferenceText(*ref, state), text);
}

void tst_ReferenceCheck::missingTexts()
{
    // Only those missing, in the project's order; a library asked for twice is named twice.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("drive_c/windows/system32"));
    QFile system(dir.filePath("system.reg"));
    QVERIFY(system.open(QIODevice::WriteOnly));
    system.write(win32Key(kAdo, "2.8", "\"C:\\\\gone\\\\msado28.tlb\""));
    system.close();
    platform::WineRegistry wine(dir.path());
    catalogue::ReferenceCheck check(dir.path(), wine.TypeLibs());
    const QByteArray vbp = kComctlLine + "\r\nReference=*\\A..\\Lib\\Lib.vbp\r\nObject={bad}\r\n" + kAdoLine + "\r\n"
                           + kComctlLine + "\r\n";
    const QStringList expected = {u"MSCOMCTL.OCX (未登録)"_qs, u"msado28.tlb (ﾌｧｲﾙなし)"_qs, u"MSCOMCTL.OCX (未登録)"_qs};
    QCOMPARE(check.MissingTexts(catalogue::ReferencesIn(vbp)), expected);
    QCOMPARE(catalogue::ReferenceCheck(dir.path(), wine.TypeLibs()).MissingIn(vbp), expected);
}

void tst_ReferenceCheck::prefixOfIde_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("prefix"); // empty: no Wine

    const QString home = QDir::homePath();
    QTest::newRow("env and WINEPREFIX") << "env WINEPREFIX=/srv/vb6 wine \"C:\\VB98\\VB6.EXE\" %f" << "/srv/vb6";
    QTest::newRow("WINEPREFIX word with a tilde") << "env WINEPREFIX=~/pfx wine C:\\\\VB98\\\\VB6.EXE %f" << home + "/pfx";
    QTest::newRow("wine without a prefix") << "wine C:\\\\VB98\\\\VB6.EXE %f" << home + "/.wine";
    QTest::newRow("through a shell script")
        << "sh -c 'WINEPREFIX=/srv/p wine C:\\\\VB98\\\\VB6.EXE \"$1\"' sh %f" << "/srv/p";
    QTest::newRow("a native IDE") << "/opt/vb/vb6 %f" << QString();
    QTest::newRow("none") << QString() << QString();
    QTest::newRow("an open quote") << "wine \"C:\\VB98" << QString();
}

void tst_ReferenceCheck::prefixOfIde()
{
    QFETCH(QString, command);
    QFETCH(QString, prefix);
    qunsetenv("WINEPREFIX");
    QCOMPARE(catalogue::WinePrefixOfIde(command), prefix);
}

QTEST_GUILESS_MAIN(tst_ReferenceCheck)
#include "tst_ReferenceCheck.moc"
