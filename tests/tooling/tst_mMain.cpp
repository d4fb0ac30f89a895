#include "common/FakeIdeEnvironment.h"
#include "common/FileBytes.h"
#include "common/ScriptedUserInterface.h"
#include "platform/DesktopAssociation.h"
#include "platform/ProgramFolder.h"
#include "tooling/mMain.h"
#include "common/ResetGlobals.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace mMain;

Q_DECLARE_METATYPE(mMain::ProjectKey)

namespace {

// "計算", "功一関数" and "○× オセロ.exe" in code page 932.
const QByteArray kKeisan = QByteArray::fromHex("8c768e5a");
const QByteArray kKoichi = QByteArray::fromHex("8cf788ea8ad69094");
const QByteArray kOthello = QByteArray::fromHex("819b817e208349835a838d2e657865");

} // namespace

class tst_mMain : public QObject {
    Q_OBJECT
public:
    explicit tst_mMain(const FakeIdeEnvironment &environment) : env_(environment) {}

private Q_SLOTS:
    void init();
    void cleanup();

    void readValue_data();
    void readValue();
    void crLfSplitAcrossReads();
    void readStopsAtTheLimit();
    void unreadableFiles();

    void projectExe_data();
    void projectExe();
    void readersOnFiles();

    void ideFoundThroughProbe();
    void probeKeepsExistingTempVbp_data();
    void probeKeepsExistingTempVbp();
    void probeCannotBeCreated();

    void makeStartsTheIde_data();
    void makeStartsTheIde();
    void makeKeepsFixedArguments();
    void makeWithoutIde();
    void makeWhenIdeCannotStart();

private:
    const FakeIdeEnvironment &env_;
    QTemporaryDir dir_;
};

void tst_mMain::init()
{
    env_.ClearCalls();
    ResetGlobals();
    platform::SetProgramFolderForTesting(dir_.path());
}

void tst_mMain::cleanup()
{
    ResetGlobals();
    platform::SetProgramFolderForTesting(QString());
}

void tst_mMain::readValue_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<ProjectKey>("key");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("value");
    const auto name = ProjectKey::Name;
    const auto exe = ProjectKey::ExeName32;

    QTest::newRow("name crlf") << QByteArray("Type=Exe\r\nName=\"Project1\"\r\nExeName32=\"App.exe\"\r\n") << name << true << "Project1";
    QTest::newRow("exe crlf") << QByteArray("Type=Exe\r\nName=\"Project1\"\r\nExeName32=\"App.exe\"\r\n") << exe << true << "App.exe";
    QTest::newRow("lone cr ends a line") << QByteArray("Type=Exe\rName=\"P\"\rExeName32=\"A.exe\"") << name << true << "P";
    QTest::newRow("exe lone cr") << QByteArray("Type=Exe\rName=\"P\"\rExeName32=\"A.exe\"") << exe << true << "A.exe";
    QTest::newRow("last line without break") << QByteArray("Type=Exe\r\nName=\"P\"") << name << true << "P";
    QTest::newRow("unquoted value") << QByteArray("Name=Project1\r\n") << name << true << "";
    QTest::newRow("blank after =") << QByteArray("Name= \"Project1\"\r\n") << name << true << "";
    QTest::newRow("blank after quote") << QByteArray("ExeName32=\"App.exe\" \r\n") << exe << true << "";
    QTest::newRow("no =, whole line") << QByteArray("Name\r\n") << name << true << "";
    QTest::newRow("first = splits") << QByteArray("Name=\"a=b\"\r\n") << name << true << "a=b";
    QTest::newRow("first line wins") << QByteArray("Name=\"One\"\r\nName=\"Two\"\r\n") << name << true << "One";
    QTest::newRow("unquoted first still wins") << QByteArray("Name=One\r\nName=\"Two\"\r\n") << name << true << "";
    QTest::newRow("leading blank skipped") << QByteArray(" Name=\"Bad\"\r\nName=\"Good\"\r\n") << name << true << "Good";
    QTest::newRow("case matters") << QByteArray("name=\"a\"\r\nNAME=\"b\"\r\n") << name << false << "";
    QTest::newRow("any key starting Name") << QByteArray("NameSpace=\"ns\"\r\n") << name << true << "ns";
    QTest::newRow("ExeName32 anywhere") << QByteArray("Old ExeName32=\"App.exe\"\r\n") << exe << true << "App.exe";
    QTest::newRow("value after the first =") << QByteArray("Path32=\"x\" ExeName32=\"App.exe\"\r\n") << exe << true << "x\" ExeName32=\"App.exe";
    QTest::newRow("ExeName32 in a value") << QByteArray("Title=\"ExeName32\"\r\n") << exe << true << "ExeName32";
    QTest::newRow("exe key case") << QByteArray("exename32=\"a.exe\"\r\n") << exe << false << "";
    QTest::newRow("missing") << QByteArray("Type=Exe\r\nStartup=\"Form1\"\r\n") << name << false << "";
    QTest::newRow("empty file") << QByteArray() << exe << false << "";
    // A lone LF ends a line too: a Git checkout on Linux leaves .vbp files so.
    QTest::newRow("lf only: name") << QByteArray("Type=Exe\nName=\"P\"\n") << name << true << "P";
    QTest::newRow("lf only: begins with Name") << QByteArray("Name=\"P\"\nExeName32=\"A.exe\"") << name << true << "P";
    QTest::newRow("lf only: exe") << QByteArray("Type=Exe\nName=\"保守\"\nExeName32=\"A.exe\"\n") << exe << true << "A.exe";
    QTest::newRow("mixed breaks") << QByteArray("Type=Exe\n\rName=\"P\"\r\n") << name << true << "P";
    QTest::newRow("lf cr is two ends") << QByteArray("Type=Exe\n\rExeName32=\"A.exe\"\n\r") << exe << true << "A.exe";
    QTest::newRow("cp932 name") << "Name=\"" + kKoichi + "\"\r\n" << name << true << "功一関数";
    QTest::newRow("cp932 exe") << "ExeName32=\"" + kOthello + "\"\r\n" << exe << true << "○× オセロ.exe";
    // A real project names its executable with byte 0xFE, which Windows reads as U+F8F2.
    QTest::newRow("exe with a byte outside the table") << QByteArray("ExeName32=\"Proj\xFE.exe\"\r\n") << exe << true
                                                       << QStringLiteral("Proj\uF8F2.exe");
    // 0x83 0x45 is one character whose second byte is an "E".
    QTest::newRow("key hidden in trail byte") << QByteArray("\x83\x45xeName32=\"bad.exe\"\r\nExeName32=\"ok.exe\"\r\n") << exe << true << "ok.exe";
    QTest::newRow("binary noise") << QByteArray("\x00\xff\xfe\x00\r\n\x81\r\n", 9) + "Name=\"" + kKeisan + "\"\r\n" << name << true << "計算";
}

void tst_mMain::readValue()
{
    QFETCH(QByteArray, text);
    QFETCH(ProjectKey, key);
    QFETCH(bool, found);
    QFETCH(QString, value);
    QBuffer buffer(&text);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const std::optional<QString> result = ReadProjectValue(buffer, key);
    QCOMPARE(result.has_value(), found);
    if (found)
        QCOMPARE(*result, value);
    // The background reader reads the bytes whole: the same answer.
    QCOMPARE(ProjectValueIn(text, key), result);
}

void tst_mMain::crLfSplitAcrossReads()
{
    // A CR LF whose LF opens the next block of the read must still end one line only.
    for (qsizetype blockEnd : {qsizetype(64 * 1024), qsizetype(128 * 1024)}) {
        QByteArray text = "Type=Exe\r\n";
        text += QByteArray(blockEnd - text.size() - 1, 'x');
        text += "\r\nName=\"P\"\r\n";
        QCOMPARE(text.indexOf("\r\nName"), blockEnd - 1);
        QBuffer buffer(&text);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        QCOMPARE(ReadProjectValue(buffer, ProjectKey::Name), std::optional<QString>(QStringLiteral("P")));
    }
}

void tst_mMain::readStopsAtTheLimit()
{
    QByteArray early = "Name=\"Early\"\r\n" + QByteArray(3 * kMaxProjectFileBytes, 'x');
    QByteArray late = QByteArray(kMaxProjectFileBytes + 10, 'x') + "\r\nName=\"Late\"\r\n";
    QBuffer a(&early), b(&late);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(ReadProjectValue(a, ProjectKey::Name), std::optional<QString>(QStringLiteral("Early")));
    QCOMPARE(ReadProjectValue(b, ProjectKey::Name), std::nullopt);
    QVERIFY(b.pos() <= kMaxProjectFileBytes);
}

void tst_mMain::unreadableFiles()
{
    const QString folder = dir_.filePath("folder.vbp");
    QVERIFY(QDir().mkpath(folder));
    const QString fifo = dir_.filePath("pipe.vbp");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    for (const QString &path : {dir_.filePath("missing.vbp"), folder, fifo, QString()}) {
        QCOMPARE(ReadProjectValue(path, ProjectKey::Name), std::nullopt);
        QCOMPARE(GetProjectName(path), QFileInfo(path).fileName());
    }
    // The same fallbacks as a file without the keys.
    QCOMPARE(GetProjectExe(dir_.filePath("missing.vbp")), dir_.filePath("missing.exe"));
    QCOMPARE(GetProjectExe(folder), dir_.filePath("folder.exe"));
    QCOMPARE(GetProjectExe(fifo), dir_.filePath("pipe.exe"));
    QCOMPARE(GetProjectExe(QString()), QString(""));

    if (::geteuid() != 0) {
        const QString locked = dir_.filePath("locked.vbp");
        QVERIFY(put(locked, "Name=\"Secret\"\r\n"));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
        QCOMPARE(GetProjectName(locked), QString("locked.vbp"));
    }
}

void tst_mMain::projectExe_data()
{
    QTest::addColumn<QString>("projectFile");
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("exe");
    const int win = int(PathStyle::Windows);
    const int posix = int(PathStyle::Posix);

    QTest::newRow("win quoted") << R"(C:\Src\App.vbp)" << win << true << "App.exe" << R"(C:\Src\App.exe)";
    QTest::newRow("win unquoted") << R"(C:\Src\App.vbp)" << win << true << "" << R"(C:\Src\)";
    QTest::newRow("win no line") << R"(C:\Src\App.vbp)" << win << false << "" << R"(C:\Src\App.exe)";
    QTest::newRow("win dotted folder") << R"(C:\My.Src\App.vbp)" << win << false << "" << R"(C:\My.Src\App.exe)";
    QTest::newRow("win no dot") << R"(C:\Src\App)" << win << false << "" << "";
    QTest::newRow("win dot only in folder") << R"(C:\My.Src\App)" << win << false << "" << "";
    QTest::newRow("win drive root") << R"(C:\App.vbp)" << win << true << "App.exe" << R"(C:\App.exe)";
    QTest::newRow("win drive relative") << "C:App.vbp" << win << true << "App.exe" << R"(C:\\App.exe)";
    QTest::newRow("win bare name") << "App.vbp" << win << true << "App.exe" << "App.exe";
    QTest::newRow("win several dots") << R"(C:\Src\App.v1.vbp)" << win << false << "" << R"(C:\Src\App.v1.exe)";
    QTest::newRow("posix quoted") << "/src/App.vbp" << posix << true << "App.exe" << "/src/App.exe";
    QTest::newRow("posix unquoted") << "/src/App.vbp" << posix << true << "" << "/src/";
    QTest::newRow("posix root") << "/App.vbp" << posix << true << "App.exe" << "/App.exe";
    QTest::newRow("posix bare name") << "App.vbp" << posix << true << "App.exe" << "App.exe";
    QTest::newRow("posix no line") << "/my.src/App.vbp" << posix << false << "" << "/my.src/App.exe";
    QTest::newRow("posix dot only in folder") << "/my.src/App" << posix << false << "" << "";
    QTest::newRow("posix backslash is a character") << R"(/src/a\b.vbp)" << posix << false << "" << R"(/src/a\b.exe)";
    // Only the file name of the value counts: a project cannot point Run at another folder.
    QTest::newRow("win parent folders") << R"(C:\Src\App.vbp)" << win << true << R"(..\..\x.exe)" << R"(C:\Src\x.exe)";
    QTest::newRow("win drive path") << R"(C:\Src\App.vbp)" << win << true << R"(D:\Tools\x.exe)" << R"(C:\Src\x.exe)";
    QTest::newRow("win drive relative value") << R"(C:\Src\App.vbp)" << win << true << "D:x.exe" << R"(C:\Src\x.exe)";
    QTest::newRow("posix absolute value") << "/src/App.vbp" << posix << true << "/usr/bin/x" << "/src/x";
    QTest::newRow("posix parent folders") << "/src/App.vbp" << posix << true << R"(..\../x.exe)" << "/src/x.exe";
    QTest::newRow("posix value ends in a separator") << "/src/App.vbp" << posix << true << "bin/" << "/src/";
    QTest::newRow("posix dot dot alone") << "/src/App.vbp" << posix << true << ".." << "/src/";
}

void tst_mMain::projectExe()
{
    QFETCH(QString, projectFile);
    QFETCH(int, style);
    QFETCH(bool, found);
    QFETCH(QString, value);
    QFETCH(QString, exe);
    const std::optional<QString> exeName = found ? std::optional<QString>(value) : std::nullopt;
    QCOMPARE(ProjectExeFrom(projectFile, exeName, PathStyle(style)), exe);
}

void tst_mMain::readersOnFiles()
{
    const QString folder = dir_.filePath("計算 src");
    QVERIFY(QDir().mkpath(folder));
    const QString project = folder + "/計算.vbp";
    QVERIFY(put(project, "Type=Control\r\nName=\"" + kKoichi + "\"\r\nExeName32=\"kmath.ocx\"\r\n"));
    QCOMPARE(GetProjectName(project), QString("功一関数"));
    QCOMPARE(GetProjectExe(project), folder + "/kmath.ocx");

    // Checked out on Linux: LF line ends, and a value that would leave the folder.
    const QString checkout = folder + "/checkout.vbp";
    QVERIFY(put(checkout, "Type=Exe\nName=\"Checkout\"\nExeName32=\"..\\..\\calc.exe\"\n"));
    QCOMPARE(GetProjectName(checkout), QString("Checkout"));
    QCOMPARE(GetProjectExe(checkout), folder + "/calc.exe");

    const QString bare = folder + "/bare.vbp";
    QVERIFY(put(bare, "Type=Exe\r\n"));
    QCOMPARE(GetProjectName(bare), QString("bare.vbp"));
    QCOMPARE(GetProjectExe(bare), folder + "/bare.exe");
}

void tst_mMain::ideFoundThroughProbe()
{
    const QStringList before = QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const QString ide = GetVbIdePath();
    // The Exec line itself: its field code tells where the project goes.
    QCOMPARE(platform::SplitCommandLine(ide).value_or(QStringList()), (QStringList {FakeIdeEnvironment::IdeProgram(), "%f"}));
    // The probe is gone afterwards.
    QCOMPARE(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

void tst_mMain::probeKeepsExistingTempVbp_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("file") << "file";
    QTest::newRow("folder") << "folder";
    QTest::newRow("dangling link") << "link";
}

void tst_mMain::probeKeepsExistingTempVbp()
{
    QFETCH(QString, kind);
    QTemporaryDir folder;
    platform::SetProgramFolderForTesting(folder.path());
    const QString temp = folder.filePath("temp.vbp");
    if (kind == "file")
        QVERIFY(put(temp, "Name=\"Mine\"\r\n"));
    else if (kind == "folder")
        QVERIFY(QDir().mkpath(temp + "/inside"));
    else
        QVERIFY(QFile::link(folder.filePath("elsewhere.vbp"), temp));

    QCOMPARE(platform::SplitCommandLine(GetVbIdePath()).value_or(QStringList()),
             (QStringList {FakeIdeEnvironment::IdeProgram(), "%f"}));

    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
             QStringList {"temp.vbp"});
    if (kind == "file")
        QCOMPARE(contents(temp), QByteArray("Name=\"Mine\"\r\n"));
    else if (kind == "folder")
        QVERIFY(QFileInfo::exists(temp + "/inside"));
    else
        QVERIFY(!QFileInfo::exists(folder.filePath("elsewhere.vbp")));
}

void tst_mMain::probeCannotBeCreated()
{
    platform::SetProgramFolderForTesting(dir_.filePath("no such folder"));
    QCOMPARE(GetVbIdePath(), QString());
    QVERIFY(!QFileInfo::exists(dir_.filePath("no such folder")));
}

void tst_mMain::makeStartsTheIde_data()
{
    QTest::addColumn<QString>("folderName");
    QTest::newRow("plain") << "plain";
    QTest::newRow("blanks") << "My Projects";
    QTest::newRow("quotes") << "say \"hi\"";
    QTest::newRow("shell specials") << "a;b $(touch pwned) `id` & |";
    QTest::newRow("japanese") << "ソフト　計算";
}

void tst_mMain::makeStartsTheIde()
{
    QFETCH(QString, folderName);
    const QString folder = dir_.filePath(folderName);
    QVERIFY(QDir().mkpath(folder));
    const QString project = folder + "/App.vbp";
    QVERIFY(put(project, "Type=Exe\r\nName=\"App\"\r\nExeName32=\"App.exe\"\r\n"));
    const QString exe = folder + "/App.exe";
    QFile::remove(exe);

    ScriptedUserInterface ui;
    VbIdePath = GetVbIdePath();
    QVERIFY(!VbIdePath.isEmpty());
    QVERIFY(MakeExe(project));
    QCOMPARE(ui.progress, QStringList {"App.exe を作成中"});
    QVERIFY(!ui.progressShown);
    QVERIFY(ui.messages.isEmpty());

    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(exe).isExecutable(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(env_.Calls().size(), 1, 20000);
    QCOMPARE(env_.Calls().first(), (QStringList {QDir::currentPath(), project, "/make", "/out", tooling::BuildOutputOf(project)}));
    QVERIFY(!QFileInfo::exists(folder + "/pwned"));
    QVERIFY(!QFileInfo::exists(QDir::current().filePath("pwned")));
}

void tst_mMain::makeKeepsFixedArguments()
{
    const QString project = dir_.filePath("Fixed.vbp");
    QVERIFY(put(project, "ExeName32=\"Fixed.exe\"\r\n"));
    ScriptedUserInterface ui;
    VbIdePath = platform::JoinCommandLine({FakeIdeEnvironment::IdeProgram(), "--profile", "a b"});
    QVERIFY(MakeExe(project));
    QTRY_COMPARE_WITH_TIMEOUT(env_.Calls().size(), 1, 20000);
    QCOMPARE(env_.Calls().first().mid(1), (QStringList {"--profile", "a b", project, "/make", "/out", tooling::BuildOutputOf(project)}));

    // A project whose executable cannot be named still builds; only the caption is bare.
    const QString nameless = dir_.filePath("nameless");
    QVERIFY(put(nameless, "Type=Exe\r\n"));
    QVERIFY(MakeExe(nameless));
    QCOMPARE(ui.progress, (QStringList {"Fixed.exe を作成中", " を作成中"}));
    QTRY_COMPARE_WITH_TIMEOUT(env_.Calls().size(), 2, 20000);
}

void tst_mMain::makeWithoutIde()
{
    const QString project = dir_.filePath("NoIde.vbp");
    QVERIFY(put(project, "ExeName32=\"NoIde.exe\"\r\n"));
    ScriptedUserInterface ui;
    VbIdePath.clear();
    QVERIFY(!MakeExe(project));
    QCOMPARE(ui.messages.size(), 1);
    QVERIFY(ui.messages.first().contains(u"実行ﾌｧｲﾙを作成できません"));
    QVERIFY(ui.progress.isEmpty());
}

void tst_mMain::makeWhenIdeCannotStart()
{
    const QString project = dir_.filePath("Broken.vbp");
    QVERIFY(put(project, "ExeName32=\"Broken.exe\"\r\n"));
    const QString notAProgram = dir_.filePath("not a program");
    QVERIFY(put(notAProgram, "plain text"));
    for (const QString &ide : {dir_.filePath("missing-ide"), platform::JoinCommandLine({notAProgram}),
                               QStringLiteral("\"unbalanced")}) {
        ScriptedUserInterface ui;
        VbIdePath = ide;
        QVERIFY(!MakeExe(project));
        QCOMPARE(ui.messages, QStringList {"ﾌﾟﾛｸﾞﾗﾑ  " + ide + "  を起動できません。"});
        QVERIFY(!ui.progressShown);
    }
    QVERIFY(!QFileInfo::exists(dir_.filePath("Broken.exe")));
}

ZARUN_FAKE_IDE_TEST_MAIN(QCoreApplication, tst_mMain)
#include "tst_mMain.moc"
