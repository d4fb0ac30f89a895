#include "common/FakeIdeEnvironment.h"
#include "common/ScriptedUserInterface.h"
#include "tooling/ProjectActions.h"
#include "tooling/mMain.h"
#include "common/ResetGlobals.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

bool put(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions = {})
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    return permissions == QFileDevice::Permissions {} || QFile::setPermissions(path, permissions);
}

const QFileDevice::Permissions kExecutable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// The blanks differ per message and are spelt out.
const QString kIdeographicSpace = QStringLiteral("\u3000");

using Action = std::function<void(const QString &)>;

} // namespace

Q_DECLARE_METATYPE(Action)

class tst_ProjectActions : public QObject {
    Q_OBJECT
public:
    explicit tst_ProjectActions(const FakeIdeEnvironment &environment) : env_(environment) {}

private Q_SLOTS:
    void init();
    void cleanup() { ResetGlobals(); }

    void messages_data();
    void messages();
    void openSourceHandsTheFileToItsProgram();
    void openFolder_data();
    void openFolder();
    void runExeRunsNoScript();
    void runExeThatCannotStart_data();
    void runExeThatCannotStart();
    void makeBuildsWithoutRunning();
    void substitutionIsToldWhy_data();
    void substitutionIsToldWhy();

private:
    const FakeIdeEnvironment &env_;
    QTemporaryDir dir_;
};

void tst_ProjectActions::init()
{
    env_.ClearCalls();
    ResetGlobals();
}

void tst_ProjectActions::messages_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    const QString missingVbp = dir_.filePath("gone dir/App.vbp");
    const QString missingFolder = dir_.filePath("gone dir");
    const QString missingExe = dir_.filePath("gone dir/App.exe");
    const QString hidden = dir_.filePath(".hidden");
    QDir().mkpath(hidden);
    const QString sp = kIdeographicSpace;

    QTest::newRow("source not set") << Action(tooling::OpenSource) << ""
                                    << "ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙが設定されていません。";
    QTest::newRow("source missing") << Action(tooling::OpenSource) << missingVbp
                                    << "ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ" + sp + missingVbp + sp + "が見つかりません。";
    QTest::newRow("folder not set") << Action(tooling::OpenFolder) << "" << "ﾌｫﾙﾀﾞが設定されていません。";
    QTest::newRow("folder missing") << Action(tooling::OpenFolder) << missingFolder
                                    << "ﾌｫﾙﾀﾞ" + sp + missingFolder + "  が見つかりません";
    QTest::newRow("folder hidden") << Action(tooling::OpenFolder) << hidden
                                   << "ﾌｫﾙﾀﾞ" + sp + hidden + "  が見つかりません";
    QTest::newRow("folder hidden, trailing slash") << Action(tooling::OpenFolder) << hidden + "/"
                                                   << "ﾌｫﾙﾀﾞ" + sp + hidden + "/  が見つかりません";
    QTest::newRow("exe not set") << Action(tooling::RunExe) << "" << "実行ﾌｧｲﾙが設定されていません。";
    QTest::newRow("exe missing") << Action(tooling::RunExe) << missingExe
                                 << "実行ﾌｧｲﾙ  " + missingExe + "  が見つかりません。";
    QTest::newRow("make not set") << Action(tooling::MakeExecutable) << ""
                                  << "ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙが設定されていません。";
    QTest::newRow("make missing") << Action(tooling::MakeExecutable) << missingVbp
                                  << "ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ" + sp + missingVbp + sp + "が見つかりません。";
}

void tst_ProjectActions::messages()
{
    QFETCH(Action, action);
    QFETCH(QString, value);
    QFETCH(QString, message);
    mMain::VbIdePath = FakeIdeEnvironment::IdeProgram();
    ScriptedUserInterface ui;
    action(value);
    QCOMPARE(ui.messages, QStringList {message});
    QVERIFY(ui.progress.isEmpty());
    QVERIFY(env_.Calls().isEmpty());
}

void tst_ProjectActions::openSourceHandsTheFileToItsProgram()
{
    const QString project = dir_.filePath("My App ;$(x).vbp");
    QVERIFY(put(project, "Name=\"App\"\r\n"));
    ScriptedUserInterface ui;
    tooling::OpenSource(project);
    QVERIFY(ui.messages.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(env_.Calls().size(), 1, 20000);
    QCOMPARE(env_.Calls().first().mid(1), QStringList {project});
}

void tst_ProjectActions::openFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << dir_.filePath("src");
    QTest::newRow("blanks") << dir_.filePath("My Projects");
    QTest::newRow("inside a hidden folder") << dir_.filePath(".config/visible");
    QTest::newRow("dot components") << dir_.filePath("src/.");
}

void tst_ProjectActions::openFolder()
{
    QFETCH(QString, folder);
    QVERIFY(QDir().mkpath(folder));
    ScriptedUserInterface ui;
    tooling::OpenFolder(folder);
    QVERIFY(ui.messages.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(env_.Calls().size(), 1, 20000);
    const QStringList call = env_.Calls().first();
    QCOMPARE(call.size(), 3);
    QCOMPARE(call[1], QString("--open"));
    QCOMPARE(QFileInfo(call[2]).canonicalFilePath(), QFileInfo(folder).canonicalFilePath());
}

// A file named .exe that is no Windows program was once started as a program of this system.
void tst_ProjectActions::runExeRunsNoScript()
{
    const QString folder = dir_.filePath("bin folder");
    QVERIFY(QDir().mkpath(folder));
    const QString exe = folder + "/App ;x.exe";
    QVERIFY(put(exe, "#!/bin/sh\npwd > \"$0.ran\"\necho \"$#\" >> \"$0.ran\"\n", kExecutable));
    ScriptedUserInterface ui;
    tooling::RunExe(exe);
    QCOMPARE(ui.messages, QStringList {"実行ﾌｧｲﾙ  " + exe + "  はWindowsのﾌﾟﾛｸﾞﾗﾑ(PE形式)ではないため、起動しません。"});
    QVERIFY(!QFileInfo::exists(exe + ".ran"));
}

void tst_ProjectActions::runExeThatCannotStart_data()
{
    QTest::addColumn<QString>("exe");
    const QString text = dir_.filePath("Text.exe");
    put(text, "not really", QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QString noFormat = dir_.filePath("NoFormat.exe");
    put(noFormat, "\x7f" "ELF\x02 cut short", kExecutable);
    const QString folder = dir_.filePath("Folder.exe");
    QDir().mkpath(folder);
    // MZ alone, or a DOS header whose pointer leads past the end or to no PE signature.
    const QString dos = dir_.filePath("Dos.exe");
    put(dos, "MZ" + QByteArray(62, '\0'), kExecutable);
    const QString pastEnd = dir_.filePath("PastEnd.exe");
    put(pastEnd, "MZ" + QByteArray(58, '\0') + QByteArray("\xff\xff\x00\x00", 4) + "PE", kExecutable);
    const QString cut = dir_.filePath("Cut.exe");
    put(cut, "MZ\x90", kExecutable);
    QTest::newRow("not executable") << text;
    QTest::newRow("unknown format") << noFormat;
    QTest::newRow("a folder") << folder;
    QTest::newRow("MZ without PE") << dos;
    QTest::newRow("PE pointer past the end") << pastEnd;
    QTest::newRow("header cut short") << cut;
}

void tst_ProjectActions::runExeThatCannotStart()
{
    QFETCH(QString, exe);
    ScriptedUserInterface ui;
    tooling::RunExe(exe);
    QCOMPARE(ui.messages, QStringList {"実行ﾌｧｲﾙ  " + exe + "  はWindowsのﾌﾟﾛｸﾞﾗﾑ(PE形式)ではないため、起動しません。"});
}

void tst_ProjectActions::makeBuildsWithoutRunning()
{
    const QString folder = dir_.filePath("make it");
    QVERIFY(QDir().mkpath(folder));
    const QString project = folder + "/Calc.vbp";
    QVERIFY(put(project, "Type=Exe\r\nExeName32=\"Calc.exe\"\r\n"));
    mMain::VbIdePath = mMain::GetVbIdePath();
    ScriptedUserInterface ui;
    tooling::MakeExecutable(project);
    QVERIFY(ui.messages.isEmpty());
    QCOMPARE(ui.progress, QStringList {"Calc.exe を作成中"});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(folder + "/Calc.exe").isExecutable(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(env_.Calls().size(), 1, 20000);
    QCOMPARE(env_.Calls().first().mid(1), (QStringList {project, "/make", "/out", tooling::BuildOutputOf(project)}));
    // Building does not run what was built; the run command then finds it (and, as the stand-in
    // builds a script, refuses it).
    QVERIFY(!QFileInfo::exists(folder + "/Calc.exe.ran"));
    tooling::RunExe(mMain::GetProjectExe(project));
    QCOMPARE(ui.messages, QStringList {"実行ﾌｧｲﾙ  " + folder + "/Calc.exe  はWindowsのﾌﾟﾛｸﾞﾗﾑ(PE形式)ではないため、起動しません。"});
    QVERIFY(!QFileInfo::exists(folder + "/Calc.exe.ran"));
}

void tst_ProjectActions::substitutionIsToldWhy_data()
{
    QTest::addColumn<Action>("action");
    QTest::newRow("open source") << Action(tooling::OpenSource);
    QTest::newRow("build") << Action(tooling::MakeExecutable);
}

// A path inside $(...) could become code: such a command is never started, and the user learns
// why and where to set another.
void tst_ProjectActions::substitutionIsToldWhy()
{
    QFETCH(Action, action);
    const QString project = dir_.filePath("Sub.vbp");
    QVERIFY(put(project, "Name=\"Sub\"\r\n"));
    mMain::VbIdePath = R"(sh -c "wine \"$(winepath -w \"%f\")\"")";
    ScriptedUserInterface ui;
    action(project);
    QCOMPARE(ui.messages.size(), 1);
    QVERIFY2(ui.messages.first().startsWith(mMain::VbIdePath + "  は") && ui.messages.first().contains("$(…)")
                 && ui.messages.first().contains("ZARUN 設定の「IDE」"),
             qPrintable(ui.messages.first()));
    QVERIFY(ui.progress.isEmpty());
    QVERIFY(env_.Calls().isEmpty());
}

ZARUN_FAKE_IDE_TEST_MAIN(QCoreApplication, tst_ProjectActions)
#include "tst_ProjectActions.moc"
