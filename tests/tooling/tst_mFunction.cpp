#include "common/FakeIdeEnvironment.h"
#include "platform/DesktopAssociation.h"
#include "tooling/mFunction.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace mFunction;

namespace {

bool put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace

class tst_mFunction : public QObject {
    Q_OBJECT
public:
    explicit tst_mFunction(const FakeIdeEnvironment &environment) : env_(environment) {}

private Q_SLOTS:
    void init() { env_.ClearCalls(); }

    void folderNameWindows_data();
    void folderNameWindows();
    void folderNamePosix_data();
    void folderNamePosix();
    void fileNameWindows_data();
    void fileNameWindows();
    void fileNamePosix_data();
    void fileNamePosix();
    void nativeStyleIsPosix();
    void unquote_data();
    void unquote();
    void extension_data();
    void extension();
    void fileExists();

    void associatedProgram_data();
    void associatedProgram();
    void associatedProgramNeedsTheFile();
    void shellOpenHandsOverTheTarget_data();
    void shellOpenHandsOverTheTarget();
    void shellOpenFailures_data();
    void shellOpenFailures();

private:
    const FakeIdeEnvironment &env_;
    QTemporaryDir dir_;
};

void tst_mFunction::folderNameWindows_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::newRow("full path") << R"(C:\Src\App.vbp)" << R"(C:\Src)";
    QTest::newRow("drive root") << R"(C:\App.vbp)" << "C:";
    QTest::newRow("drive relative") << "C:App.vbp" << R"(C:\)";
    QTest::newRow("bare name") << "App.vbp" << "";
    QTest::newRow("one character folder") << R"(X\App.vbp)" << R"(X\)";
    QTest::newRow("leading backslash") << R"(\App.vbp)" << "";
    QTest::newRow("trailing backslash") << R"(C:\Src\)" << R"(C:\Src)";
    QTest::newRow("drive alone") << "C:" << R"(C:\)";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("unc") << R"(\\server\share\App.vbp)" << R"(\\server\share)";
    QTest::newRow("forward slash is no separator") << R"(C:\Src/App.vbp)" << "C:";
    QTest::newRow("rightmost separator only") << R"(C:\a:b\c)" << R"(C:\a:b)";
    QTest::newRow("colon after backslash") << R"(C:\a\b:c)" << R"(C:\a\b:\)";
    QTest::newRow("dots kept") << R"(C:\Src\..\.\App.vbp)" << R"(C:\Src\..\.)";
    QTest::newRow("japanese") << "C:\\ソフト\\App.vbp" << "C:\\ソフト";
}

void tst_mFunction::folderNameWindows()
{
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QCOMPARE(GetFolderName(path, PathStyle::Windows), folder);
}

void tst_mFunction::folderNamePosix_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::newRow("full path") << "/home/me/src/App.vbp" << "/home/me/src";
    QTest::newRow("root") << "/App.vbp" << "/";
    QTest::newRow("bare name") << "App.vbp" << "";
    QTest::newRow("one character folder") << "X/App.vbp" << "X";
    QTest::newRow("trailing slash") << "/home/me/" << "/home/me";
    QTest::newRow("no drive rule") << "C:App.vbp" << "";
    QTest::newRow("backslash is no separator") << R"(C:\Src\App.vbp)" << "";
    QTest::newRow("double slash") << "//App.vbp" << "/";
    QTest::newRow("empty") << "" << "";
}

void tst_mFunction::folderNamePosix()
{
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QCOMPARE(GetFolderName(path, PathStyle::Posix), folder);
}

void tst_mFunction::fileNameWindows_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("full path") << R"(C:\Src\App.vbp)" << "App.vbp";
    QTest::newRow("drive relative") << "C:App.vbp" << "App.vbp";
    QTest::newRow("bare name") << "App.vbp" << "App.vbp";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("trailing backslash") << R"(C:\Src\)" << R"(Src\)";
    QTest::newRow("forward slash counts") << "C:\\Src/App.vbp" << "App.vbp";
    QTest::newRow("drive root") << R"(C:\)" << R"(C:\)";
    QTest::newRow("doubled separator") << R"(C:\Src\\App.vbp)" << "App.vbp";
    QTest::newRow("unc share") << R"(\\server\share)" << "share";
    QTest::newRow("japanese") << "C:\\ソフト\\表示.vbp" << "表示.vbp";
    const QString longName = QString(300, u'a') + QStringLiteral(".vbp");
    QTest::newRow("long name stays whole") << R"(C:\Src\)" + longName << longName;
}

void tst_mFunction::fileNameWindows()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(GetFileName(path, PathStyle::Windows), name);
}

void tst_mFunction::fileNamePosix_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("full path") << "/home/me/App.vbp" << "App.vbp";
    QTest::newRow("root file") << "/App.vbp" << "App.vbp";
    QTest::newRow("root") << "/" << "/";
    QTest::newRow("trailing slash") << "/home/me/" << "me/";
    QTest::newRow("backslash is a character") << R"(C:\Src\App.vbp)" << R"(C:\Src\App.vbp)";
    QTest::newRow("colon is a character") << "C:App.vbp" << "C:App.vbp";
    QTest::newRow("empty") << "" << "";
}

void tst_mFunction::fileNamePosix()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(GetFileName(path, PathStyle::Posix), name);
}

void tst_mFunction::nativeStyleIsPosix()
{
    QCOMPARE(GetFolderName("/App.vbp"), QString("/"));
    QCOMPARE(GetFolderName(R"(C:\Src\App.vbp)"), QString());
    QCOMPARE(GetFileName("/a/b/App.vbp"), QString("App.vbp"));
}

void tst_mFunction::unquote_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");
    QTest::newRow("quoted") << R"("Project1")" << "Project1";
    QTest::newRow("unquoted") << "Project1" << "";
    QTest::newRow("two quotes") << R"("")" << "";
    QTest::newRow("one quote") << R"(")" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("three quotes") << R"(""")" << R"(")";
    QTest::newRow("inner quotes stay") << R"("a"b")" << R"(a"b)";
    QTest::newRow("opening only") << R"("Project1)" << "";
    QTest::newRow("closing only") << R"(Project1")" << "";
    QTest::newRow("blank after") << R"("Project1" )" << "";
    QTest::newRow("blank before") << R"( "Project1")" << "";
    QTest::newRow("blanks inside stay") << R"(" a b ")" << " a b ";
    QTest::newRow("japanese") << "\"○× オセロ.exe\"" << "○× オセロ.exe";
}

void tst_mFunction::unquote()
{
    QFETCH(QString, text);
    QFETCH(QString, result);
    QCOMPARE(UnquotePath(text), result);
}

void tst_mFunction::extension_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("extension");
    QTest::newRow("simple") << "App.vbp" << "vbp";
    QTest::newRow("last dot") << "App.tar.gz" << "gz";
    QTest::newRow("dot in folder") << R"(C:\a.b\file)" << R"(b\file)";
    QTest::newRow("dot at end") << "App." << "";
    QTest::newRow("no dot") << "App" << "";
    QTest::newRow("case kept") << "/src/App.VBP" << "VBP";
    QTest::newRow("hidden name") << ".vbp" << "vbp";
    QTest::newRow("empty") << "" << "";
}

void tst_mFunction::extension()
{
    QFETCH(QString, path);
    QFETCH(QString, extension);
    QCOMPARE(GetExtension(path), extension);
}

void tst_mFunction::fileExists()
{
    QVERIFY(dir_.isValid());
    const QString file = dir_.filePath("App.vbp");
    QVERIFY(put(file, "Name=\"A\"\r\n"));
    const QString dangling = dir_.filePath("dangling.vbp");
    QVERIFY(QFile::link(dir_.filePath("gone.vbp"), dangling));

    QVERIFY(FileExists(file));
    QVERIFY(FileExists(dir_.path()));
    QVERIFY(!FileExists(""));
    QVERIFY(!FileExists(dir_.filePath("missing.vbp")));
    QVERIFY(!FileExists(dangling));
}

void tst_mFunction::associatedProgram_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QStringList>("command");
    const QString ide = FakeIdeEnvironment::IdeProgram();
    // The program's Exec line, field codes and all: they are expanded when it is used.
    QTest::newRow("empty probe") << "temp.vbp" << QByteArray() << QStringList {ide, "%f"};
    QTest::newRow("project text") << "App.vbp" << QByteArray("Type=Exe\r\nName=\"A\"\r\n") << QStringList {ide, "%f"};
    QTest::newRow("upper-case extension") << "APP.VBP" << QByteArray() << QStringList {ide, "%f"};
    QTest::newRow("name with blanks") << "My App ;$(x).vbp" << QByteArray() << QStringList {ide, "%f"};
    QTest::newRow("catalogue") << "list.zrd" << QByteArray("[A]\r\n") << QStringList {ide, "--open", "%u"};
    QTest::newRow("no program for the type") << "data.bin" << QByteArray("\x7f\x00\x01\x02\xff", 5) << QStringList {};
}

void tst_mFunction::associatedProgram()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, contents);
    QFETCH(QStringList, command);
    QVERIFY(put(dir_.filePath(fileName), contents));
    const QString found = FindAssociatedExe(dir_.path(), fileName);
    if (command.isEmpty()) {
        QCOMPARE(found, QString());
        return;
    }
    QCOMPARE(platform::SplitCommandLine(found).value_or(QStringList {"<unparsable>"}), command);
}

void tst_mFunction::associatedProgramNeedsTheFile()
{
    QCOMPARE(FindAssociatedExe(dir_.path(), "absent.vbp"), QString());
    QCOMPARE(FindAssociatedExe(dir_.path(), ""), QString());
    QCOMPARE(FindAssociatedExe(dir_.filePath("no folder"), "temp.vbp"), QString());
    // A folder named like a project is no file to look up.
    QVERIFY(QDir(dir_.path()).mkpath("folder.vbp"));
    QCOMPARE(FindAssociatedExe(dir_.path(), "folder.vbp"), QString());
}

void tst_mFunction::shellOpenHandsOverTheTarget_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("arguments");
    const QString folder = dir_.filePath("a folder ;$(x)");
    QDir().mkpath(folder);
    const QString readme = dir_.filePath("readme.txt");
    put(readme, "hello\r\n");
    const QString project = dir_.filePath("open me.vbp");
    put(project, "Name=\"A\"\r\n");
    // Local targets reach the handler as plain paths, whatever they hold.
    QTest::newRow("folder") << folder << QStringList {"--open", folder};
    QTest::newRow("text file") << readme << QStringList {"--open", readme};
    QTest::newRow("project file") << project << QStringList {project};
    QTest::newRow("web address") << "https://example.com/zarun?a=1" << QStringList {"--open", "https://example.com/zarun?a=1"};
    QTest::newRow("mail address") << "mailto:someone@example.com" << QStringList {"--open", "mailto:someone@example.com"};
}

void tst_mFunction::shellOpenHandsOverTheTarget()
{
    QFETCH(QString, target);
    QFETCH(QStringList, arguments);
    QVERIFY(ShellOpen(target) > 32);
    QTRY_COMPARE_WITH_TIMEOUT(env_.Calls().size(), 1, 20000);
    QCOMPARE(env_.Calls().first().mid(1), arguments);
}

void tst_mFunction::shellOpenFailures_data()
{
    QTest::addColumn<QString>("target");
    const QString binary = dir_.filePath("blob.bin");
    put(binary, QByteArray("\x7f\x00\x01\x02\xff", 5));
    QTest::newRow("missing file") << dir_.filePath("missing.txt");
    QTest::newRow("empty") << "";
    QTest::newRow("no handler for the type") << binary;
    QTest::newRow("no handler for the scheme") << "gopher://example.com/";
}

void tst_mFunction::shellOpenFailures()
{
    QFETCH(QString, target);
    QCOMPARE(ShellOpen(target), 0);
}

ZARUN_FAKE_IDE_TEST_MAIN(QCoreApplication, tst_mFunction)
#include "tst_mFunction.moc"
