// A desktop the way Wine users have it, in temporary XDG folders: .vbp files open through a
// hand-written "sh -c" desktop entry, Windows executables through a Wine entry, and nothing
// opens folders, text or web addresses. The stand-in (zarun_fake_ide) plays the IDE, and
// through a link named wine it plays Wine; every program really starts.
#include "common/FileBytes.h"
#include "common/ScriptedUserInterface.h"
#include "platform/ProgramFolder.h"
#include "platform/Wine.h"
#include "tooling/ProjectActions.h"
#include "tooling/IdeBuild.h"
#include "tooling/mMain.h"
#include "common/ResetGlobals.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString ide() { return QStringLiteral(ZARUN_FAKE_IDE); }

// Exec quoting, then the desktop file's escape of backslashes.
QByteArray execQuoted(const QString &program)
{
    QString quoted;
    for (QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return quoted.replace(u'\\', QStringLiteral("\\\\")).toUtf8();
}

bool updateMimeDatabase(const QString &folder)
{
    QProcess update;
    update.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    update.setStandardOutputFile(QProcess::nullDevice());
    update.start(QStringLiteral("update-mime-database"), {folder});
    return update.waitForFinished(60000) && update.exitStatus() == QProcess::NormalExit && update.exitCode() == 0;
}

class Desktop {
public:
    // Before any GIO call: GIO reads the environment once.
    bool Setup()
    {
        const QString data = path("data"), config = path("config");
        for (const QString &folder : {data + "/applications", data + "/mime/packages", config, path("empty"),
                                      path("calls"), path("prefix"), path("bin"), path("bin-alone")})
            QDir().mkpath(folder);
        bool ok = QFile::copy(QStringLiteral(ZARUN_MIME_XML), data + "/mime/packages/zarun-mime.xml")
            && put(data + "/mime/packages/exe.xml",
                   "<?xml version=\"1.0\"?>\n<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                   "<mime-type type=\"application/x-ms-dos-executable\"><glob pattern=\"*.exe\"/></mime-type>\n"
                   "</mime-info>\n")
            && updateMimeDatabase(data + "/mime")
            // The common hand-written form: the file code inside a shell script.
            && put(data + "/applications/vb6.desktop",
                   "[Desktop Entry]\nType=Application\nName=VB6\nMimeType=text/x-vbproject;\nExec=/bin/sh -c \""
                       + execQuoted(ide()) + " %f\"\n")
            && put(data + "/applications/wine-exe.desktop",
                   "[Desktop Entry]\nType=Application\nName=Wine\nMimeType=application/x-ms-dos-executable;\nExec="
                       + execQuoted(Wine()) + " start /unix %f\n")
            && put(config + "/mimeapps.list", "[Default Applications]\ntext/x-vbproject=vb6.desktop\n"
                                              "application/x-ms-dos-executable=wine-exe.desktop\n")
            && put(path("prefix/system.reg"), "WINE REGISTRY Version 2\n")
            && QDir().mkpath(path("prefix/dosdevices")) && QFile::link("/", path("prefix/dosdevices/w:"))
            && QFile::link(ide(), Wine())
            && QFile::link(ide(), path("bin-alone/wine"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(data));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(path("empty")));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(path("empty")));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(path("cache")));
        qputenv("GIO_USE_VFS", "local");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(path("no-bus")));
        qputenv("ZARUN_FAKE_IDE_LOG", QFile::encodeName(path("calls")));
        qunsetenv("WINEPREFIX");
        return ok;
    }

    QString path(const QString &name) const { return root_.filePath(name); }
    QString Wine() const { return path("bin/wine"); }

    QList<QStringList> Calls() const
    {
        QList<QStringList> calls;
        QDir folder(path("calls"));
        for (const QString &name : folder.entryList({"*.args"}, QDir::Files, QDir::Time | QDir::Reversed)) {
            QStringList entries;
            const QList<QByteArray> parts = contents(folder.filePath(name)).split('\0');
            for (qsizetype i = 0; i + 1 < parts.size(); ++i)
                entries.append(QString::fromUtf8(parts[i]));
            calls.append(entries);
        }
        return calls;
    }
    void ClearCalls() const
    {
        QDir folder(path("calls"));
        for (const QString &name : folder.entryList(QDir::Files))
            folder.remove(name);
    }

private:
    QTemporaryDir root_;
};

} // namespace

class tst_WineAssociation : public QObject {
    Q_OBJECT
public:
    explicit tst_WineAssociation(const Desktop &desktop) : desk_(desktop) {}

private Q_SLOTS:
    void init();
    void cleanup();
    void projectPathStaysData();
    void windowsPaths_data();
    void windowsPaths();
    void windowsProgramsRunThroughWine_data();
    void windowsProgramsRunThroughWine();
    void nothingToOpenWithIsTold_data();
    void nothingToOpenWithIsTold();

private:
    QString project(const QString &folderName, const QString &fileName);

    const Desktop &desk_;
    QTemporaryDir dir_;
    QByteArray path_;
};

void tst_WineAssociation::init()
{
    desk_.ClearCalls();
    ResetGlobals();
    path_ = qgetenv("PATH");
}

void tst_WineAssociation::cleanup()
{
    ResetGlobals();
    qputenv("PATH", path_);
}

QString tst_WineAssociation::project(const QString &folderName, const QString &fileName)
{
    const QString file = dir_.filePath(folderName + u'/' + fileName);
    put(file, "Type=Exe\nName=\"App\"\nExeName32=\"App.exe\"\n");
    return file;
}

void tst_WineAssociation::projectPathStaysData()
{
    platform::SetProgramFolderForTesting(dir_.path());
    mMain::VbIdePath = mMain::GetVbIdePath();
    platform::SetProgramFolderForTesting(QString());
    QCOMPARE(mMain::VbIdePath, "/bin/sh -c \"" + QString::fromUtf8(execQuoted(ide())).replace("\\\\", "\\") + " %f\"");

    const QString file = project(QStringLiteral("a;b 'c'"), QStringLiteral("$(touch pwned) `touch pwned2`.vbp"));
    ScriptedUserInterface ui;
    tooling::OpenSource(file);
    QTRY_COMPARE_WITH_TIMEOUT(desk_.Calls().size(), 1, 20000);
    QCOMPARE(desk_.Calls().first().mid(1), QStringList {file});
    QVERIFY(ui.messages.isEmpty());

    // "/make" cannot follow a file inside a script: nothing starts, the user learns why.
    tooling::MakeExecutable(file);
    QCOMPARE(ui.messages.size(), 1);
    QVERIFY(ui.messages.first().startsWith(mMain::VbIdePath + "  は"));
    QVERIFY(ui.messages.first().contains(u"/make"));
    QVERIFY(ui.progress.isEmpty());
    QCOMPARE(desk_.Calls().size(), 1);
    for (const QString &folder : {QDir::currentPath(), QFileInfo(file).path(), dir_.path()})
        QVERIFY(QDir(folder).entryList({"pwned*"}).isEmpty());
}

void tst_WineAssociation::windowsPaths_data()
{
    // The prefix's drives (letter:folder, "<projects>" for the projects' folder), and the drive and
    // folder the project's path and the build log's path are expected through.
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("drives");
    QTest::addColumn<QString>("projectDrive");
    QTest::addColumn<QString>("projectRoot");
    QTest::addColumn<QString>("logDrive");
    QTest::addColumn<QString>("logRoot");
    QTest::newRow("a drive of the prefix") << desk_.path("prefix") << QStringList {} << "W:" << "/" << "W:" << "/";
    QTest::newRow("the deepest drive holding the path")
        << dir_.filePath("deep prefix") << QStringList {"z:/", "c:<projects>"} << "C:" << "<projects>" << "Z:" << "/";
    QTest::newRow("no drives: drive Z:") << dir_.filePath("bare prefix") << QStringList {} << "Z:" << "/" << "Z:" << "/";
    QTest::newRow("no prefix yet: drive Z:") << desk_.path("no prefix") << QStringList {} << "Z:" << "/" << "Z:" << "/";
}

void tst_WineAssociation::windowsPaths()
{
    QFETCH(QString, prefix);
    QFETCH(QStringList, drives);
    QFETCH(QString, projectDrive);
    QFETCH(QString, projectRoot);
    QFETCH(QString, logDrive);
    QFETCH(QString, logRoot);
    const QString projects = dir_.filePath("projects");
    if (!prefix.endsWith("no prefix") && !QFileInfo::exists(prefix + "/system.reg")) {
        QVERIFY(put(prefix + "/system.reg", "WINE REGISTRY Version 2\n") && QDir().mkpath(prefix + "/dosdevices"));
        for (const QString &drive : drives)
            QVERIFY(QFile::link(drive.mid(2).replace("<projects>", projects), prefix + "/dosdevices/" + drive.left(2)));
    }
    const auto windows = [&projects](const QString &drive, QString root, const QString &path) {
        root.replace("<projects>", projects);
        return drive + u'\\' + path.mid(root.size() + (root.endsWith(u'/') ? 0 : 1)).replace(u'/', u'\\');
    };
    const QString file = project(QStringLiteral("projects/計算 プロジェクト"), QStringLiteral("App 1.vbp"));
    mMain::VbIdePath = QStringLiteral("/usr/bin/env \"WINEPREFIX=%1\" \"%2\" \"C:\\VB98\\VB6.EXE\" %f").arg(prefix, desk_.Wine());
    // No Wine program is started to work the paths out: the IDE is the only call.
    const QStringList wineCall = {QDir::currentPath(), "WINEPREFIX=" + prefix, R"(C:\VB98\VB6.EXE)",
                                  windows(projectDrive, projectRoot, file)};
    ScriptedUserInterface ui;
    tooling::OpenSource(file);
    QTRY_COMPARE_WITH_TIMEOUT(desk_.Calls(), QList<QStringList> {wineCall}, 20000);

    // The build's log goes in Windows form as well.
    desk_.ClearCalls();
    const QString log = tooling::BuildOutputOf(file);
    const QStringList build = wineCall + QStringList {"/make", "/out", windows(logDrive, logRoot, log)};
    QVERIFY(mMain::MakeExe(file));
    QTRY_COMPARE_WITH_TIMEOUT(desk_.Calls(), QList<QStringList> {build}, 20000);
    // The stand-in playing Wine builds nothing: that is told once it has ended.
    QTRY_COMPARE_WITH_TIMEOUT(ui.messages.size(), 1, 20000);
    QVERIFY(ui.messages.first().startsWith("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ  " + file + "  の実行ﾌｧｲﾙを作成できませんでした。"));
}

void tst_WineAssociation::windowsProgramsRunThroughWine_data()
{
    QTest::addColumn<QString>("ideCommand");
    QTest::addColumn<QString>("exeName"); // *.exe has the Wine entry; *.com has no program
    QTest::addColumn<QString>("asked");   // the name Run is given, when another
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("call"); // WINEPREFIX, then the arguments; $E is the executable
    const QString prefix = desk_.path("prefix");
    QTest::newRow("the IDE's Wine and prefix")
        << QStringLiteral("/usr/bin/env WINEPREFIX=%1 DEBUG=1 %2 C:\\\\VB6.EXE %f").arg(prefix, desk_.Wine()) << "App.exe"
        << "" << "" << QStringList {"WINEPREFIX=" + prefix, "$E"};
    QTest::newRow("the desktop's program for .exe") << "" << "App.exe" << "" << "" << QStringList {"WINEPREFIX=", "start", "/unix", "$E"};
    QTest::newRow("wine on PATH") << "" << "App.com" << "" << desk_.path("bin-alone") << QStringList {"WINEPREFIX=", "$E"};
    QTest::newRow("no Wine") << "" << "App.com" << "" << desk_.path("empty") << QStringList {};
    // Copied from Windows, or rebuilt by Wine over what was there.
    QTest::newRow("on disk in another letter case") << "" << "CASEP.EXE" << "CaseP.exe" << "" << QStringList {"WINEPREFIX=", "start", "/unix", "$E"};
}

void tst_WineAssociation::windowsProgramsRunThroughWine()
{
    QFETCH(QString, ideCommand);
    QFETCH(QString, exeName);
    QFETCH(QString, asked);
    QFETCH(QString, path);
    QFETCH(QStringList, call);
    if (!path.isEmpty())
        qputenv("PATH", QFile::encodeName(path));
    const QString folder = dir_.filePath(QStringLiteral("ﾋﾞﾙﾄﾞ 先"));
    const QString exe = folder + u'/' + exeName;
    // A DOS header pointing at the PE signature right after it.
    QVERIFY(put(exe, QByteArray("MZ\x90\x00", 4) + QByteArray(56, '\0') + QByteArray("\x40\0\0\0PE\0\0", 8)));
    QVERIFY(platform::IsWindowsExecutable(exe));
    mMain::VbIdePath = ideCommand;

    ScriptedUserInterface ui;
    tooling::RunExe(asked.isEmpty() ? exe : folder + u'/' + asked);
    if (call.isEmpty()) {
        QCOMPARE(ui.messages, QStringList {"実行ﾌｧｲﾙ  " + exe + "  はWindowsのﾌﾟﾛｸﾞﾗﾑです。起動するにはWineが必要ですが、見つかりません。"});
        return;
    }
    QVERIFY(ui.messages.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(desk_.Calls().size(), 1, 20000);
    // Started in its own folder, the path as one argument.
    QCOMPARE(desk_.Calls().first(), QStringList {folder} + call.replaceInStrings("$E", exe));
}

void tst_WineAssociation::nothingToOpenWithIsTold_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("message");
    const QString none = QStringLiteral(" を開くﾌﾟﾛｸﾞﾗﾑがないか、起動できませんでした。");
    const QString folder = dir_.filePath("src");
    QDir().mkpath(folder);
    const QString readme = dir_.filePath("readme.txt");
    put(readme, "hello\r\n");
    const QString legacy = dir_.filePath("legacy.mak");
    put(legacy, "Form=Form1.frm\r\n");
    QTest::newRow("folder") << "folder" << folder << folder + none;
    QTest::newRow("read-me") << "target" << readme << readme + none;
    QTest::newRow("read-me missing") << "target" << dir_.filePath("gone.txt") << dir_.filePath("gone.txt") + " が存在しません。";
    QTest::newRow("web address") << "target" << "https://zarun.example.org/" << "https://zarun.example.org/" + none;
    QTest::newRow("project without an IDE") << "source" << legacy << legacy + none;
}

void tst_WineAssociation::nothingToOpenWithIsTold()
{
    QFETCH(QString, what);
    QFETCH(QString, target);
    QFETCH(QString, message);
    ScriptedUserInterface ui;
    if (what == u"folder")
        tooling::OpenFolder(target);
    else if (what == u"source")
        tooling::OpenSource(target);
    else
        QVERIFY(!tooling::OpenTarget(target));
    QCOMPARE(ui.messages, QStringList {message});
    QVERIFY(desk_.Calls().isEmpty());
}

int main(int argc, char **argv)
{
    Desktop desktop;
    if (!desktop.Setup()) {
        qWarning("cannot set up the private desktop");
        return 1;
    }
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    tst_WineAssociation test(desktop);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_WineAssociation.moc"
