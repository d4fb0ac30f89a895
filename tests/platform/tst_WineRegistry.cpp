// The type libraries a Wine prefix registers, read from its registry files as Wine writes them.
#include "platform/WineRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kHeader = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n";
const QString kGuid = QStringLiteral("831FDD16-0C5C-11D2-A9FC-0000F8754DA1");

// A key of the library's version for 32-bit programs with its default value as written.
QByteArray win32Key(const QByteArray &version, const QByteArray &value, const QByteArray &root = "Software\\\\Classes\\\\Typelib")
{
    return "[" + root + "\\\\{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}\\\\" + version
           + "\\\\0\\\\win32] 1700000000\n#time=1d9c0a1b2c3d4e5\n@=" + value + "\n\n";
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class tst_WineRegistry : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void match_data();
    void match();
    void userEntriesOverSystemOnes();
    void readAgainOnlyWhenChanged();
};

void tst_WineRegistry::match_data()
{
    QTest::addColumn<QByteArray>("registry");
    QTest::addColumn<QString>("guid");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<QString>("file"); // null: nothing that version can load

    const QByteArray v20 = win32Key("2.0", "\"C:\\\\windows\\\\system32\\\\mscomctl.ocx\"");
    const QByteArray v22 = win32Key("2.2", "\"C:\\\\windows\\\\system32\\\\mscomctl22.ocx\"");
    QTest::newRow("registered") << kHeader + v20 << kGuid << 2 << 0 << "C:\\windows\\system32\\mscomctl.ocx";
    QTest::newRow("GUID asked in lower case") << kHeader + v20 << kGuid.toLower() << 2 << 0
                                              << "C:\\windows\\system32\\mscomctl.ocx";
    QTest::newRow("newer minor serves an older one") << kHeader + v20 + v22 << kGuid << 2 << 1
                                                     << "C:\\windows\\system32\\mscomctl22.ocx";
    QTest::newRow("the highest minor") << kHeader + v22 + v20 << kGuid << 2 << 0
                                       << "C:\\windows\\system32\\mscomctl22.ocx";
    QTest::newRow("older minor only") << kHeader + v20 << kGuid << 2 << 1 << QString();
    QTest::newRow("other major only") << kHeader + win32Key("1.3", "\"C:\\\\x.ocx\"") << kGuid << 2 << 0 << QString();
    QTest::newRow("versions in hex") << kHeader + win32Key("1.a", "\"C:\\\\x.ocx\"") << kGuid << 1 << 10
                                     << "C:\\x.ocx";
    QTest::newRow("hex minor below the one asked") << kHeader + win32Key("1.a", "\"C:\\\\x.ocx\"") << kGuid << 1
                                                   << 11 << QString();
    QTest::newRow("other GUID") << kHeader + v20 << "00020430-0000-0000-C000-000000000046" << 2 << 0 << QString();
    QTest::newRow("key names in other cases, GUID in lower case")
        << kHeader
               + "[software\\\\CLASSES\\\\TypeLib\\\\{831fdd16-0c5c-11d2-a9fc-0000f8754da1}\\\\2.0\\\\0\\\\Win32] 1\n"
                 "@=\"C:\\\\y.ocx\"\n"
        << kGuid << 2 << 0 << "C:\\y.ocx";
    QTest::newRow("classes of 32-bit programs")
        << kHeader + win32Key("2.0", "\"C:\\\\w.ocx\"", "Software\\\\Classes\\\\Wow6432Node\\\\Typelib") << kGuid << 2
        << 0 << "C:\\w.ocx";
    QTest::newRow("CR LF line ends") << QByteArray(kHeader + v20).replace("\n", "\r\n") << kGuid << 2 << 0
                                     << "C:\\windows\\system32\\mscomctl.ocx";
    QTest::newRow("escapes") << kHeader + win32Key("2.0", "\"C:\\\\Caf\\xe9 \\\"x\\\"\\\\a\\x3042\\101.ocx\"") << kGuid
                             << 2 << 0 << u"C:\\Café \"x\"\\aあA.ocx"_qs;
    QTest::newRow("UTF-8 as it stands") << kHeader + win32Key("2.0", "\"C:\\\\\xe8\xa1\xa8.ocx\"") << kGuid << 2 << 0
                                        << u"C:\\表.ocx"_qs;
    QTest::newRow("expandable string") << kHeader + win32Key("2.0", "str(2):\"%SystemRoot%\\\\System32\\\\x.ocx\"")
                                       << kGuid << 2 << 0 << "C:\\windows\\System32\\x.ocx";
    QTest::newRow("plain string written with its type") << kHeader + win32Key("2.0", "str(1):\"%x%\\\\x.ocx\"")
                                                        << kGuid << 2 << 0 << "%x%\\x.ocx";

    // What is no 32-bit registration of the neutral locale, or no string.
    QTest::newRow("64-bit only")
        << kHeader + QByteArray(v20).replace("win32", "win64") << kGuid << 2 << 0 << QString();
    QTest::newRow("another locale only")
        << kHeader + QByteArray(v20).replace("\\\\0\\\\", "\\\\409\\\\") << kGuid << 2 << 0 << QString();
    QTest::newRow("a key beneath it")
        << kHeader + QByteArray(v20).replace("win32]", "win32\\\\x]") << kGuid << 2 << 0 << QString();
    QTest::newRow("the version's own key") << kHeader
                                                  + "[Software\\\\Classes\\\\Typelib\\\\{831FDD16-0C5C-11D2-A9FC-"
                                                    "0000F8754DA1}\\\\2.0] 1\n@=\"Common Controls\"\n"
                                           << kGuid << 2 << 0 << QString();
    QTest::newRow("a value of another type") << kHeader + win32Key("2.0", "hex(2):43,00,3a,00") << kGuid << 2 << 0
                                             << QString();
    QTest::newRow("a named value")
        << kHeader + QByteArray(v20).replace("@=", "\"Path\"=") << kGuid << 2 << 0 << QString();
    QTest::newRow("the next key's value is not its")
        << kHeader
               + "[Software\\\\Classes\\\\Typelib\\\\{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}\\\\2.0\\\\0\\\\win32] 1\n"
                 "[Software\\\\Classes\\\\CLSID\\\\{X}] 1\n@=\"C:\\\\other.dll\"\n"
        << kGuid << 2 << 0 << QString();
    QTest::newRow("unterminated string") << kHeader + win32Key("2.0", "\"C:\\\\x.ocx") << kGuid << 2 << 0
                                         << QString();
    QTest::newRow("string ending in a backslash") << kHeader + win32Key("2.0", "\"C:\\") << kGuid << 2 << 0
                                                  << QString();
    QTest::newRow("key cut short") << kHeader + "[Software\\\\Classes\\\\Typelib\\\\{831FDD16-0C5C\n@=\"C:\\\\x\"\n"
                                   << kGuid << 2 << 0 << QString();
    QTest::newRow("bad version") << kHeader + win32Key("2", "\"C:\\\\x.ocx\"") + win32Key("2.x", "\"C:\\\\y.ocx\"")
                                 << kGuid << 2 << 0 << QString();
    QTest::newRow("empty file") << QByteArray() << kGuid << 2 << 0 << QString();
}

void tst_WineRegistry::match()
{
    QFETCH(QByteArray, registry);
    QFETCH(QString, guid);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(QString, file);
    platform::TypeLibTable table;
    table.Add(registry);
    const auto found = table.Match(guid, quint16(major), quint16(minor));
    QCOMPARE(found.has_value(), !file.isNull());
    if (found)
        QCOMPARE(found->win32, file);
}

void tst_WineRegistry::userEntriesOverSystemOnes()
{
    QTemporaryDir prefix;
    write(prefix.filePath("system.reg"), kHeader + win32Key("2.0", "\"C:\\\\system.ocx\"") + win32Key("1.0", "\"C:\\\\one.ocx\""));
    write(prefix.filePath("user.reg"), kHeader + win32Key("2.0", "\"C:\\\\user.ocx\""));
    platform::WineRegistry registry(prefix.path());
    const auto table = registry.TypeLibs();
    QCOMPARE(table->Match(kGuid, 2, 0)->win32, "C:\\user.ocx");
    QCOMPARE(table->Match(kGuid, 1, 0)->win32, "C:\\one.ocx");
}

void tst_WineRegistry::readAgainOnlyWhenChanged()
{
    QTemporaryDir prefix;
    platform::WineRegistry registry(prefix.path());
    // No registry yet (a prefix not made): nothing registered.
    const auto none = registry.TypeLibs();
    QCOMPARE(none->Size(), 0);
    write(prefix.filePath("system.reg"), kHeader + win32Key("2.0", "\"C:\\\\a.ocx\""));
    const auto first = registry.TypeLibs();
    QVERIFY(first->Match(kGuid, 2, 0));
    QCOMPARE(registry.TypeLibs(), first);
    QCOMPARE(registry.Reads(), 2);

    write(prefix.filePath("user.reg"), kHeader + win32Key("3.0", "\"C:\\\\b.ocx\""));
    const auto second = registry.TypeLibs();
    QVERIFY(second != first);
    QVERIFY(second->Match(kGuid, 3, 0));
    QCOMPARE(registry.Reads(), 3);

    // Replaced by a file of the same size and time: another inode.
    const QString system = prefix.filePath("system.reg");
    const QDateTime time = QFileInfo(system).lastModified();
    write(system + ".new", kHeader + win32Key("2.1", "\"C:\\\\a.ocx\""));
    {
        QFile replacement(system + ".new");
        QVERIFY(replacement.open(QIODevice::ReadWrite));
        QVERIFY(replacement.setFileTime(time, QFileDevice::FileModificationTime));
    }
    QVERIFY(QFile::remove(system));
    QVERIFY(QFile::rename(system + ".new", system));
    QVERIFY(registry.TypeLibs()->Match(kGuid, 2, 1));
    QCOMPARE(registry.Reads(), 4);
}

QTEST_GUILESS_MAIN(tst_WineRegistry)
#include "tst_WineRegistry.moc"
