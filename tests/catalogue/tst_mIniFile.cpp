#include "catalogue/mIniFile.h"
#include "common/FileBytes.h"
#include "common/ResetGlobals.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace mIniFile;
using platform::IniStatus;

namespace {

void makeReadOnly(const QString &path) { ::chmod(QFile::encodeName(path).constData(), 0444); }

QByteArray utf16le(const QByteArray &ascii)
{
    QByteArray out("\xFF\xFE", 2);
    for (char c : ascii) {
        out.append(c);
        out.append('\0');
    }
    return out;
}

} // namespace

class tst_mIniFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();

    void readString_data();
    void readString();
    void readStringLimit_data();
    void readStringLimit();
    void readLong_data();
    void readLong();
    void readBool_data();
    void readBool();

    void writeRoundTrip();
    void writeKeepsForeignLines();
    void writeUnchangedLeavesFileAlone();
    void unsetValueRemovesKey();
    void encodings_data();
    void encodings();
    void textTheFileCannotHold();

    void deletes_data();
    void deletes();
    void readOnlyFile();
    void failedWriteKeepsFile();

    void readSection();
    void readSectionLimit();
    void readSectionNames();
    void readSectionNamesLimit();

    void seesOtherWriters();
    void batchWritesOnce();
    void batchReportsReadOnly();
    void abandonedBatchWritesNothing();

private:
    QString file(const char *name = "test.ini") const { return dir_.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir_;
};

void tst_mIniFile::init()
{
    ResetGlobals();
    QVERIFY(dir_.isValid());
    for (const QString &name : QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(dir_.filePath(name));
}

void tst_mIniFile::readString_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("defaultValue");
    QTest::addColumn<QString>("expected");
    const QString unset;
    QTest::newRow("value") << QByteArray("[S]\r\nk=v\r\n") << "S" << "k" << "d" << "v";
    QTest::newRow("absent key, default") << QByteArray("[S]\r\n") << "S" << "k" << "d" << "d";
    QTest::newRow("empty value reads as default") << QByteArray("[S]\r\nk=\r\n") << "S" << "k" << "d" << "d";
    QTest::newRow("empty quotes read as default") << QByteArray("[S]\r\nk=\"\"\r\n") << "S" << "k" << "d" << "d";
    QTest::newRow("double quotes removed") << QByteArray("[S]\r\nk= \"a b\" \r\n") << "S" << "k" << "" << "a b";
    QTest::newRow("single quotes removed") << QByteArray("[S]\r\nk='a'\r\n") << "S" << "k" << "" << "a";
    QTest::newRow("unmatched quotes kept") << QByteArray("[S]\r\nk=\"a'\r\n") << "S" << "k" << "" << "\"a'";
    QTest::newRow("lone quote kept") << QByteArray("[S]\r\nk=\"\r\n") << "S" << "k" << "" << "\"";
    QTest::newRow("names ignore case") << QByteArray("[Tools]\r\nCALC=x\r\n") << "tOOLS" << "calc" << "" << "x";
    QTest::newRow("cp932 value") << QByteArray("[S]\r\nk=C:\\\x95\x5C\\\x83\x5C.vbp\r\n") << "S" << "k" << ""
                                 << QStringLiteral("C:\\表\\ソ.vbp");
    QTest::newRow("missing file") << QByteArray("<none>") << "S" << "k" << "d" << "d";
    QTest::newRow("binary junk") << QByteArray("\0\xFF\xFE\x00\x81", 5) << "S" << "k" << "d" << "d";
}

void tst_mIniFile::readString()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, defaultValue);
    QFETCH(QString, expected);
    if (bytes != "<none>")
        QVERIFY(put(file(), bytes));
    QCOMPARE(ReadIniString(section, key, defaultValue, file()), expected);
    // An unset default comes back unset, so callers can tell "no value" apart.
    const QString viaUnset = ReadIniString(section, key, QString(), file());
    if (expected == defaultValue)
        QVERIFY(viaUnset.isNull());
    else
        QCOMPARE(viaUnset, expected);
}

void tst_mIniFile::readStringLimit_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1,023 bytes fit") << QByteArray(1023, 'a') << QString(1023, u'a');
    QTest::newRow("longer cut to 1,023") << QByteArray(1500, 'b') << QString(1023, u'b');
    QTest::newRow("not inside a double-byte char")
        << QByteArray(1022, 'c') + "\x95\x5C" << QString(1022, u'c');
    QTest::newRow("double-byte ending at 1,023")
        << QByteArray(1021, 'c') + "\x95\x5C" + "z" << QString(1021, u'c') + QStringLiteral("表");
    QTest::newRow("half-width kana are single bytes")
        << QByteArray(1024, '\xB1') << QString(1023, QChar(0xFF71));
}

void tst_mIniFile::readStringLimit()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, expected);
    QVERIFY(put(file(), "[S]\r\nk=" + value + "\r\n"));
    QCOMPARE(ReadIniString("S", "k", QString(), file()), expected);
}

void tst_mIniFile::readLong_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("positive") << QByteArray("9030") << 9030;
    QTest::newRow("negative") << QByteArray("-120") << -120;
    QTest::newRow("blanks") << QByteArray("  42  ") << 42;
    QTest::newRow("trailing text") << QByteArray("12abc") << 12;
    QTest::newRow("no number") << QByteArray("abc") << 0;
    QTest::newRow("empty: default") << QByteArray("") << 77;
    QTest::newRow("absent: default") << QByteArray("<absent>") << 77;
    QTest::newRow("too large") << QByteArray("99999999999") << 2147483647;
    QTest::newRow("too small") << QByteArray("-99999999999") << int(-2147483647 - 1);
    QTest::newRow("quoted") << QByteArray("\"7\"") << 7;
}

void tst_mIniFile::readLong()
{
    QFETCH(QByteArray, value);
    QFETCH(int, expected);
    QVERIFY(put(file(), value == "<absent>" ? QByteArray("[Window]\r\n") : "[Window]\r\nTOP=" + value + "\r\n"));
    QCOMPARE(ReadIniLong("Window", "TOP", 77, file()), expected);
}

void tst_mIniFile::readBool_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");
    QTest::newRow("True") << QByteArray("True") << false << true;
    QTest::newRow("TRUE") << QByteArray("TRUE") << false << true;
    QTest::newRow("false") << QByteArray("false") << true << false;
    QTest::newRow("0") << QByteArray("0") << true << false;
    QTest::newRow("-1") << QByteArray("-1") << false << true;
    QTest::newRow("1") << QByteArray("1") << false << true;
    QTest::newRow("empty: default") << QByteArray("") << true << true;
    QTest::newRow("absent: default") << QByteArray("<absent>") << true << true;
    QTest::newRow("neither: default true") << QByteArray("yes") << true << true;
    QTest::newRow("neither: default false") << QByteArray("yes") << false << false;
}

void tst_mIniFile::readBool()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);
    QVERIFY(put(file(), value == "<absent>" ? QByteArray("[P]\r\n") : "[P]\r\nExeAuto=" + value + "\r\n"));
    QCOMPARE(ReadIniBool("P", "ExeAuto", defaultValue, file()), expected);
}

void tst_mIniFile::writeRoundTrip()
{
    const QString path = file();
    WriteIniBool("Window", "MAXIMIZE", false, path);
    WriteIniLong("Window", "TOP", -120, path);
    WriteIniLong("Project", "WClick", 1, path);
    WriteIniBool("Project", "ExeAuto", true, path);
    WriteIniString("Window", "LEFT", "3000", path);
    WriteIniString("Main", "StartFile", QStringLiteral("C:\\データ\\表.zrd"), path);
    QCOMPARE(contents(path), QByteArray("[Window]\r\nMAXIMIZE=False\r\nTOP=-120\r\nLEFT=3000\r\n"
                                        "[Project]\r\nWClick=1\r\nExeAuto=True\r\n"
                                        "[Main]\r\nStartFile=C:\\\x83\x66\x81\x5B\x83\x5E\\\x95\x5C.zrd\r\n"));
    QCOMPARE(ReadIniBool("Window", "MAXIMIZE", true, path), false);
    QCOMPARE(ReadIniLong("Window", "TOP", 0, path), -120);
    QCOMPARE(ReadIniBool("Project", "ExeAuto", false, path), true);
    QCOMPARE(ReadIniString("Main", "StartFile", QString(), path), QStringLiteral("C:\\データ\\表.zrd"));

    // An existing key keeps its place and takes the new value.
    WriteIniLong("Window", "TOP", 15, path);
    QVERIFY(contents(path).startsWith("[Window]\r\nMAXIMIZE=False\r\nTOP=15\r\nLEFT=3000\r\n[Project]"));
}

void tst_mIniFile::writeKeepsForeignLines()
{
    const QString path = file();
    const QByteArray before("; hand-written\n\n[Other]\nx = 1 ; not a comment\n[Tools]\nCalc=C:\\Calc.vbp\n\n");
    QVERIFY(put(path, before));
    WriteIniString("tools", "Memo", "C:\\Memo.vbp", path);
    QCOMPARE(contents(path), QByteArray("; hand-written\n\n[Other]\nx = 1 ; not a comment\n[Tools]\n"
                                        "Calc=C:\\Calc.vbp\nMemo=C:\\Memo.vbp\r\n\n"));
}

void tst_mIniFile::writeUnchangedLeavesFileAlone()
{
    const QString path = file();
    QVERIFY(put(path, "[S]\nk=v\n"));
    const QFileInfo before(path);
    const QDateTime modified = before.lastModified();
    QTest::qSleep(20);
    WriteIniString("S", "K", "v", path);
    QFileInfo after(path);
    after.refresh();
    QCOMPARE(after.lastModified(), modified);
    QCOMPARE(contents(path), QByteArray("[S]\nk=v\n"));
}

void tst_mIniFile::unsetValueRemovesKey()
{
    const QString path = file();
    QVERIFY(put(path, "[Folder]\r\nData=C:\\D\r\nProject=C:\\P\r\n"));
    WriteIniString("Folder", "Data", QString(), path);
    QCOMPARE(contents(path), QByteArray("[Folder]\r\nProject=C:\\P\r\n"));
    WriteIniString("Folder", "Project", "", path);
    QCOMPARE(contents(path), QByteArray("[Folder]\r\nProject=\r\n"));
    QCOMPARE(ReadIniString("Folder", "Project", "dflt", path), QStringLiteral("dflt"));
    // A missing key given no value creates nothing.
    WriteIniString("Main", "StartFile", QString(), path);
    QCOMPARE(contents(path), QByteArray("[Folder]\r\nProject=\r\n"));
    QVERIFY(!QFileInfo::exists(file("never.ini")));
    WriteIniString("Main", "StartFile", QString(), file("never.ini"));
    QVERIFY(!QFileInfo::exists(file("never.ini")));
}

void tst_mIniFile::encodings_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF[S]\r\nk=1\r\n") << QStringLiteral("한")
                                     << QByteArray("\xEF\xBB\xBF[S]\r\nk=1\r\nn=\xED\x95\x9C\r\n");
    QTest::newRow("utf-16le") << utf16le("[S]\r\nk=1\r\n") << QStringLiteral("x") << utf16le("[S]\r\nk=1\r\nn=x\r\n");
    QTest::newRow("cp932") << QByteArray("[S]\r\nk=1\r\n") << QStringLiteral("①")
                           << QByteArray("[S]\r\nk=1\r\nn=\x87\x40\r\n");
}

void tst_mIniFile::encodings()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    const QString path = file();
    QVERIFY(put(path, before));
    QCOMPARE(ReadIniString("S", "k", QString(), path), QStringLiteral("1"));
    QCOMPARE(TryWriteIniString("S", "n", value, path), IniStatus::Ok);
    QCOMPARE(contents(path), after);
    QCOMPARE(ReadIniString("S", "n", QString(), path), value);
}

void tst_mIniFile::textTheFileCannotHold()
{
    const QString path = file();
    const QByteArray before("[S]\r\nk=1\r\n");
    QVERIFY(put(path, before));
    QVERIFY(!IniCanHold(QStringLiteral("한.vbp"), path));
    QVERIFY(IniCanHold(QStringLiteral("表.vbp"), path));
    QVERIFY(!IniCanHold(QStringLiteral("한"), file("new.ini"))); // a new file is code page 932
    QCOMPARE(TryWriteIniString("S", "k", QStringLiteral("한.vbp"), path), IniStatus::BadText);
    QCOMPARE(TryWriteIniString("S", "a=b", "v", path), IniStatus::BadText);
    QCOMPARE(TryWriteIniString("S", QString(), "v", path), IniStatus::BadText);
    QCOMPARE(TryWriteIniString("S", "k", "x\r\n[Evil]", path), IniStatus::BadText);
    WriteIniString("S", "k", QStringLiteral("😀"), path);
    QCOMPARE(contents(path), before);
}

void tst_mIniFile::deletes_data()
{
    QTest::addColumn<QByteArray>("before"); // "<none>": no file
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");       // null: delete the section
    QTest::addColumn<bool>("result");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("key") << QByteArray("[A]\r\nx=1\r\ny=2\r\n") << "a" << "X" << true << QByteArray("[A]\r\ny=2\r\n");
    QTest::newRow("absent key") << QByteArray("[A]\r\nx=1\r\n") << "A" << "z" << true << QByteArray("[A]\r\nx=1\r\n");
    QTest::newRow("section") << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n") << "A" << QString() << true
                             << QByteArray("[B]\r\ny=2\r\n");
    QTest::newRow("key from missing file") << QByteArray("<none>") << "A" << "x" << true << QByteArray("<missing>");
    QTest::newRow("section from missing file") << QByteArray("<none>") << "A" << QString() << true
                                               << QByteArray("<missing>");
}

void tst_mIniFile::deletes()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(bool, result);
    QFETCH(QByteArray, after);
    const QString path = file();
    if (before != "<none>")
        QVERIFY(put(path, before));
    QCOMPARE(key.isNull() ? DeleteIniSection(section, path) : DeleteIniKey(section, key, path), result);
    QCOMPARE(contents(path), after);
    QVERIFY(!DeleteIniKey(section, "x", QString()));
    QVERIFY(!DeleteIniSection(section, QString()));
}

void tst_mIniFile::readOnlyFile()
{
    const QString path = file();
    const QByteArray before("[A]\r\nx=1\r\n");
    QVERIFY(put(path, before));
    makeReadOnly(path);
    QVERIFY(!DeleteIniKey("A", "x", path));
    QVERIFY(!DeleteIniSection("A", path));
    QVERIFY(!DeleteIniKey("A", "absent", path));
    QCOMPARE(TryWriteIniString("A", "y", "2", path), IniStatus::ReadOnly);
    QCOMPARE(contents(path), before);
    QCOMPARE(ReadIniString("A", "x", QString(), path), QStringLiteral("1"));
}

void tst_mIniFile::failedWriteKeepsFile()
{
    const QString path = file();
    const QByteArray before("[A]\r\nx=1\r\n");
    QVERIFY(put(path, before));
    QCOMPARE(ReadIniString("A", "x", QString(), path), QStringLiteral("1"));
    rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = 64;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const IniStatus status = TryWriteIniString("A", "y", QString(200, u'z'), path);
    const bool deleted = DeleteIniKey("A", "x", path); // small enough to be written
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    QCOMPARE(status, IniStatus::IoError);
    QVERIFY(deleted);
    // The failed write left nothing behind, in the file or in what is read.
    QCOMPARE(contents(path), QByteArray("[A]\r\n"));
    QVERIFY(ReadIniString("A", "y", QString(), path).isNull());
}

void tst_mIniFile::readSection()
{
    const QString path = file();
    QVERIFY(put(path, "[Tools]\r\nCalc=C:\\Calc.vbp\r\n; comment\r\nbare\r\nName=C:\\a=b.vbp\r\n"
                      "calc=D:\\dup.vbp\r\n\r\n[Empty]\r\n"));
    QStringList names{"keep", "these"};
    QCOMPARE(ReadIniSection("Absent", names, path), 0);
    QCOMPARE(names, (QStringList{"keep", "these"}));
    QCOMPARE(ReadIniSection("Empty", names, path), 0);
    QCOMPARE(names, (QStringList{"keep", "these"}));
    names = QStringList{"1", "2", "3", "4", "5"};
    QCOMPARE(ReadIniSection("tools", names, path), 3);
    QCOMPARE(names, (QStringList{"Calc", "Name", "calc"}));
    // Duplicate keys are listed twice, and both read the first line's value.
    QCOMPARE(ReadIniString("Tools", names[2], QString(), path), QStringLiteral("C:\\Calc.vbp"));
    QCOMPARE(ReadIniSection("Tools", names, file("missing.ini")), 0);
}

void tst_mIniFile::readSectionLimit()
{
    // 600 entries of 61 bytes with their NUL: more than a 32,767-byte list buffer held, all returned.
    QByteArray bytes("[S]\r\n");
    for (int i = 0; i < 600; ++i)
        bytes += "k" + QByteArray::number(i).rightJustified(4, '0') + "=" + QByteArray(54, 'v') + "\r\n";
    QVERIFY(put(file(), bytes));
    QStringList names;
    QCOMPARE(ReadIniSection("S", names, file()), 600);
    QCOMPARE(names.last(), QStringLiteral("k0599"));
}

void tst_mIniFile::readSectionNames()
{
    const QString path = file();
    QStringList names{"stale"};
    QCOMPARE(ReadIniSectionNames(names, path), 0);
    QVERIFY(names.isEmpty());
    QVERIFY(put(path, "k=v\r\n[Tools]\r\n[Games]\r\n[tools]\r\n"));
    QCOMPARE(ReadIniSectionNames(names, path), 2);
    QCOMPARE(names, (QStringList{"Tools", "Games"}));
    names = QStringList{"stale"};
    QVERIFY(put(path, "no sections\r\n"));
    QCOMPARE(ReadIniSectionNames(names, path), 0);
    QVERIFY(names.isEmpty());
}

void tst_mIniFile::readSectionNamesLimit()
{
    // 200 names of 3 digits and 96 double-byte characters (195 bytes + NUL): beyond 32,767 bytes, all returned.
    QByteArray bytes;
    for (int i = 0; i < 200; ++i)
        bytes += "[" + QByteArray::number(i).rightJustified(3, '0') + QByteArray("\x95\x5C").repeated(96) + "]\r\n";
    QVERIFY(put(file(), bytes));
    QStringList names;
    const int count = ReadIniSectionNames(names, file());
    QCOMPARE(count, 200);
    QCOMPARE(names.last().left(3), QStringLiteral("199"));
}

void tst_mIniFile::seesOtherWriters()
{
    const QString path = file();
    QVERIFY(put(path, "[S]\r\nk=1\r\n"));
    QCOMPARE(ReadIniString("S", "k", QString(), path), QStringLiteral("1"));
    // Same size, written in place at once: still seen.
    QVERIFY(put(path, "[S]\r\nk=2\r\n"));
    QCOMPARE(ReadIniString("S", "k", QString(), path), QStringLiteral("2"));
    // Replaced by another file.
    QVERIFY(put(file("other.ini"), "[S]\r\nk=3\r\n"));
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::rename(file("other.ini"), path));
    QCOMPARE(ReadIniString("S", "k", QString(), path), QStringLiteral("3"));
    // Gone.
    QVERIFY(QFile::remove(path));
    QVERIFY(ReadIniString("S", "k", QString(), path).isNull());
    // Our own write followed at once by a foreign edit of the same size.
    WriteIniString("S", "k", "4", path);
    QVERIFY(put(path, "[S]\r\nk=5\r\n"));
    QCOMPARE(ReadIniString("S", "k", QString(), path), QStringLiteral("5"));
}

void tst_mIniFile::batchWritesOnce()
{
    const QString path = file();
    QVERIFY(put(path, "; keep\r\n[A]\r\nx=old\r\n"));
    QDateTime firstWrite;
    {
        IniBatch batch(path);
        WriteIniString("A", "x", "new", path);
        WriteIniString("B", "y", "1", path);
        QVERIFY(DeleteIniKey("A", "x", path));
        WriteIniString("A", "z", "2", path);
        // Reads inside the batch see its writes; the disk does not yet.
        QCOMPARE(ReadIniString("B", "y", QString(), path), QStringLiteral("1"));
        QVERIFY(ReadIniString("A", "x", QString(), path).isNull());
        QCOMPARE(contents(path), QByteArray("; keep\r\n[A]\r\nx=old\r\n"));
        QCOMPARE(batch.Commit(), IniStatus::Ok);
    }
    QCOMPARE(contents(path), QByteArray("; keep\r\n[A]\r\nz=2\r\n[B]\r\ny=1\r\n"));
    // A batch that leaves the content as it was does not touch the file.
    const QDateTime modified = QFileInfo(path).lastModified();
    QTest::qSleep(20);
    {
        IniBatch batch(path);
        WriteIniString("A", "z", "2", path);
    }
    QCOMPARE(QFileInfo(path).lastModified(), modified);
}

void tst_mIniFile::batchReportsReadOnly()
{
    const QString path = file();
    const QByteArray before("[A]\r\nx=1\r\n");
    QVERIFY(put(path, before));
    makeReadOnly(path);
    IniBatch batch(path);
    WriteIniString("A", "x", "2", path);
    WriteIniString("B", "y", "3", path);
    QCOMPARE(batch.Commit(), IniStatus::ReadOnly);
    QCOMPARE(contents(path), before);

    // A refused text is reported at the end of the batch; the other writes still land.
    const QString other = file("other.ini");
    IniBatch second(other);
    WriteIniString("A", "ok", "1", other);
    WriteIniString("A", "bad", QStringLiteral("한"), other);
    QCOMPARE(second.Commit(), IniStatus::BadText);
    QCOMPARE(contents(other), QByteArray("[A]\r\nok=1\r\n"));
}

void tst_mIniFile::abandonedBatchWritesNothing()
{
    const QString path = dir_.filePath(QStringLiteral("abandon.ini"));
    QVERIFY(put(path, "[A]\r\nk=1\r\n"));
    {
        IniBatch batch(path);
        QVERIFY(DeleteIniKey(QStringLiteral("A"), QStringLiteral("k"), path));
        WriteIniString(QStringLiteral("A"), QStringLiteral("n"), QStringLiteral("2"), path);
        batch.Abandon();
        // Reads after the batch see the disk, not the dropped changes.
        QCOMPARE(ReadIniString(QStringLiteral("A"), QStringLiteral("k"), QString(), path), QStringLiteral("1"));
        QVERIFY(ReadIniString(QStringLiteral("A"), QStringLiteral("n"), QString(), path).isNull());
    } // the destructor must not write either
    QCOMPARE(contents(path), QByteArray("[A]\r\nk=1\r\n"));
}

QTEST_GUILESS_MAIN(tst_mIniFile)
#include "tst_mIniFile.moc"
