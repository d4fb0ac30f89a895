#include "common/FileBytes.h"
#include "tooling/IdeBuild.h"
#include "tooling/IdeCommand.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace idecommand;

Q_DECLARE_METATYPE(idecommand::Refusal)

namespace {

// Marks where the Windows form was asked for, and counts the asking.
struct Converter {
    int calls = 0;
    PathConverter Function()
    {
        return [this](const QString &path) {
            ++calls;
            return QStringLiteral("W:") + path;
        };
    }
};

const QString kFile = QStringLiteral("/home/u/My VB/it's $(touch X) \"a\".vbp");

} // namespace

class tst_IdeCommand : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void open_data();
    void open();
    void build_data();
    void build();
    void wineRun_data();
    void wineRun();
    void failureCauses_data();
    void failureCauses();

private:
    QTemporaryDir dir_;
};

void tst_IdeCommand::open_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("arguments");
    const QString f = kFile;
    const QString w = QStringLiteral("W:") + kFile;
    const QString url = QStringLiteral("file:///home/u/My%20VB/it's%20$(touch%20X)%20%22a%22.vbp");

    QTest::newRow("file") << "ide %f" << QStringList {"ide", f};
    QTest::newRow("no file code: added at the end") << "/opt/ide --new" << QStringList {"/opt/ide", "--new", f};
    QTest::newRow("list code") << "ide %F" << QStringList {"ide", f};
    QTest::newRow("address codes") << "ide %u" << QStringList {"ide", url};
    QTest::newRow("address list") << "ide %U --x" << QStringList {"ide", url, "--x"};
    QTest::newRow("the file once") << "ide %f %f %u" << QStringList {"ide", f};
    QTest::newRow("other codes go") << "ide %i %c %k %d %D %n %N %v %m %z %f" << QStringList {"ide", f};
    QTest::newRow("fixed arguments kept") << "ide --new %U --x" << QStringList {"ide", "--new", url, "--x"};
    QTest::newRow("code inside a word") << "ide --file=%f" << QStringList {"ide", "--file=" + f};
    QTest::newRow("code inside a quoted word") << "ide \"--file=%f\" '-n %c'" << QStringList {"ide", "--file=" + f, "-n "};
    QTest::newRow("literal percent") << "ide 100%% %%f %f" << QStringList {"ide", "100%", "%f", f};
    QTest::newRow("lone percent") << "ide 50% %f" << QStringList {"ide", "50", f};
    QTest::newRow("empty word stays") << "ide \"\" %f" << QStringList {"ide", "", f};
    QTest::newRow("malformed") << "\"ide %f" << QStringList {};
    QTest::newRow("blank") << "  " << QStringList {};

    // A shell script gets the file quoted for the shell wherever the code stands in it.
    const QString single = QStringLiteral("'/home/u/My VB/it'\\''s $(touch X) \"a\".vbp'");
    QTest::newRow("sh -c") << "sh -c \"ide %f\"" << QStringList {"sh", "-c", "ide " + single};
    QTest::newRow("bash -lc, in single quotes") << "/bin/bash -lc 'ide %f'" << QStringList {"/bin/bash", "-lc", "ide " + single};
    QTest::newRow("script's own double quotes")
        << R"(sh -c "ide \"%f\" --x")" << QStringList {"sh", "-c", R"(ide "/home/u/My VB/it's \$(touch X) \"a\".vbp" --x)"};
    QTest::newRow("script's own single quotes")
        << R"(sh -c "ide '%f'")" << QStringList {"sh", "-c", R"(ide '/home/u/My VB/it'\''s $(touch X) "a".vbp')"};
    QTest::newRow("stray backslash before the code") << R"(sh -c 'ide \%f')" << QStringList {"sh", "-c", "ide \\\\" + single};
    QTest::newRow("options before -c") << "dash -e -o errexit -c 'ide %f' name" << QStringList {"dash", "-e", "-o", "errexit", "-c", "ide " + single, "name"};
    QTest::newRow("busybox sh") << "busybox sh -c 'ide %f'" << QStringList {"busybox", "sh", "-c", "ide " + single};
    QTest::newRow("argument of a script") << R"(sh -c 'exec ide "$@"' sh %f)" << QStringList {"sh", "-c", "exec ide \"$@\"", "sh", f};
    QTest::newRow("script file, no -c") << "sh /opt/ide.sh %f" << QStringList {"sh", "/opt/ide.sh", f};
    // Quoting starts afresh inside a substitution: no path goes into such a script.
    QTest::newRow("file inside $(...)") << R"(sh -c "wine \"$(winepath -w \"%f\")\"")" << QStringList {};
    QTest::newRow("file inside backquotes") << "sh -c 'ide `echo %f`'" << QStringList {};
    QTest::newRow("script starting Wine")
        << "sh -c \"WINEPREFIX=/p wine 'C:\\VB6.EXE' %f\"" << QStringList {"sh", "-c", "WINEPREFIX=/p wine 'C:\\VB6.EXE' '" + QString(w).replace("'", "'\\''") + "'"};

    // Through Wine the file goes in Windows form, unless start converts it itself.
    QTest::newRow("wine")
        << R"(env WINEPREFIX=/home/u/.wine-vb6 wine "C:\VB98\VB6.EXE" %f)"
        << QStringList {"env", "WINEPREFIX=/home/u/.wine-vb6", "wine", R"(C:\VB98\VB6.EXE)", w};
    QTest::newRow("wine, address code") << R"(wine64 C:\\VB6.EXE %u)" << QStringList {"wine64", R"(C:\VB6.EXE)", w};
    QTest::newRow("wine by path") << "/opt/wine-staging/bin/wine-staging /v/VB6.EXE %f" << QStringList {"/opt/wine-staging/bin/wine-staging", "/v/VB6.EXE", w};
    QTest::newRow("env options") << "env -u DISPLAY -i A=1 wine x %f" << QStringList {"env", "-u", "DISPLAY", "-i", "A=1", "wine", "x", w};
    QTest::newRow("wine start") << "wine start %f" << QStringList {"wine", "start", w};
    QTest::newRow("wine start /ProgIDOpen")
        << R"(env WINEPREFIX="/home/u/.wine" wine start /ProgIDOpen VisualBasic.Project %f)"
        << QStringList {"env", "WINEPREFIX=/home/u/.wine", "wine", "start", "/ProgIDOpen", "VisualBasic.Project", f};
    QTest::newRow("wine start /unix") << "wine START.EXE /Unix %f" << QStringList {"wine", "START.EXE", "/Unix", f};
    QTest::newRow("winepath is not wine") << "winepath %f" << QStringList {"winepath", f};
    QTest::newRow("env -S hides the program") << "env -S 'wine x' %f" << QStringList {"env", "-S", "wine x", f};
}

void tst_IdeCommand::open()
{
    QFETCH(QString, line);
    QFETCH(QStringList, arguments);
    Converter converter;
    QCOMPARE(OpenArguments(Parse(line), kFile, converter.Function()), arguments);
    // Asked once when used (it may start winepath), never otherwise.
    QCOMPARE(converter.calls, arguments.join(u'\n').contains(u"W:") ? 1 : 0);
}

void tst_IdeCommand::build_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Refusal>("refusal");
    QTest::addColumn<QString>("log"); // the IDE's messages go there ("/out")
    const QString f = kFile;
    const QString w = QStringLiteral("W:") + kFile;
    const QString make = QStringLiteral("/make");

    QTest::newRow("file code last") << "ide %f" << QStringList {"ide", f, make} << Refusal::None << QString();
    QTest::newRow("file added") << "ide --x" << QStringList {"ide", "--x", f, make} << Refusal::None << QString();
    QTest::newRow("make right after the file") << "ide %f --later" << QStringList {"ide", f, make, "--later"} << Refusal::None << QString();
    QTest::newRow("wine")
        << R"(env WINEPREFIX=/p wine "C:\VB98\VB6.EXE" %f)"
        << QStringList {"env", "WINEPREFIX=/p", "wine", R"(C:\VB98\VB6.EXE)", w, make} << Refusal::None << QString();
    QTest::newRow("script passing its arguments on")
        << R"(sh -c 'exec wine C:\\VB6.EXE "$@"' sh %f)"
        << QStringList {"sh", "-c", R"(exec wine C:\\VB6.EXE "$@")", "sh", w, make} << Refusal::None << QString();
    QTest::newRow("script file") << "bash /opt/vb6.sh %f" << QStringList {"bash", "/opt/vb6.sh", f, make} << Refusal::None << QString();
    QTest::newRow("file in the script") << "sh -c \"wine /v/VB6.EXE %f\"" << QStringList {} << Refusal::ShellScript << QString();
    QTest::newRow("script without the file") << "sh -c \"wine /v/VB6.EXE\"" << QStringList {} << Refusal::ShellScript << QString();
    QTest::newRow("file as $0") << R"(sh -c 'ide "$@"' %f)" << QStringList {} << Refusal::ShellScript << QString();
    QTest::newRow("script takes $1 only") << R"(sh -c 'ide "$1"' sh %f)" << QStringList {} << Refusal::ShellScript << QString();
    QTest::newRow("wine start")
        << "env WINEPREFIX=/p wine start /ProgIDOpen VisualBasic.Project %f" << QStringList {} << Refusal::WineStart << QString();
    QTest::newRow("wine start in a script") << "sh -c 'wine start /unix \"$@\"' sh %f" << QStringList {} << Refusal::WineStart << QString();
    const QString log = QStringLiteral("/home/u/.cache/ZARUN/builds/it's \"a\"_My VB-1a2b3c4d.log");
    QTest::newRow("log after make") << "ide %f --later" << QStringList {"ide", f, make, "/out", log, "--later"}
                                    << Refusal::None << log;
    QTest::newRow("log through wine in Windows form")
        << R"(env WINEPREFIX=/p wine "C:\VB98\VB6.EXE" %f)"
        << QStringList {"env", "WINEPREFIX=/p", "wine", R"(C:\VB98\VB6.EXE)", w, make, "/out", "W:" + log}
        << Refusal::None << log;
    QTest::newRow("log through a script's arguments")
        << R"(sh -c 'exec wine C:\\VB6.EXE "$@"' sh %f)"
        << QStringList {"sh", "-c", R"(exec wine C:\\VB6.EXE "$@")", "sh", w, make, "/out", "W:" + log}
        << Refusal::None << log;
    QTest::newRow("log, but refused") << "sh -c \"wine /v/VB6.EXE %f\"" << QStringList {} << Refusal::ShellScript << log;
    QTest::newRow("empty") << "" << QStringList {} << Refusal::NoCommand << QString();
    QTest::newRow("open quote") << "\"ide %f" << QStringList {} << Refusal::Malformed << QString();
    QTest::newRow("file inside $(...)") << R"(sh -c "wine \"$(winepath -w \"%f\")\"")" << QStringList {}
                                        << Refusal::Substitution << QString();
}

void tst_IdeCommand::build()
{
    QFETCH(QString, line);
    QFETCH(QStringList, arguments);
    QFETCH(Refusal, refusal);
    QFETCH(QString, log);
    Converter converter;
    const Build result = BuildArguments(Parse(line), kFile, converter.Function(), log);
    QCOMPARE(result.refusal, refusal);
    QCOMPARE(BuildRefusal(Parse(line)), refusal);
    QCOMPARE(result.arguments, arguments);
}

void tst_IdeCommand::wineRun_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("arguments");
    const QString exe = QStringLiteral("/home/u/計算 src/App.exe");
    QTest::newRow("env and wine") << R"(env WINEPREFIX=/p WINEARCH=win32 wine "C:\VB6.EXE" %f)"
                                  << QStringList {"env", "WINEPREFIX=/p", "WINEARCH=win32", "wine", exe};
    QTest::newRow("percent in the prefix") << "env WINEPREFIX=/p/100%% wine x %f" << QStringList {"env", "WINEPREFIX=/p/100%", "wine", exe};
    QTest::newRow("start form") << "wine64 start /ProgIDOpen VisualBasic.Project %f" << QStringList {"wine64", exe};
    QTest::newRow("script with assignments") << "sh -c \"WINEPREFIX=/p exec wine x %f\"" << QStringList {"env", "WINEPREFIX=/p", "wine", exe};
    QTest::newRow("script with env") << "sh -c 'env WINEPREFIX=/p wine x \"$@\"' sh %f" << QStringList {"env", "WINEPREFIX=/p", "wine", exe};
    QTest::newRow("script, plain wine") << "sh -c 'wine x %f'" << QStringList {"wine", exe};
    QTest::newRow("script expands the prefix") << "sh -c 'WINEPREFIX=$HOME/p wine x %f'" << QStringList {};
    QTest::newRow("script, home folder") << "sh -c 'WINEPREFIX=~/p wine x %f'" << QStringList {};
    QTest::newRow("no wine") << "ide %f" << QStringList {};
    QTest::newRow("hidden by env -S") << "env -S 'wine x' %f" << QStringList {};
    QTest::newRow("nothing") << "" << QStringList {};
    // No shell reads the command: its assignments get "~" and $HOME as a shell would give them.
    const QString home = QDir::homePath();
    QTest::newRow("home folder in assignments")
        << "env WINEPREFIX=~/p A=$HOME/q B=${HOME}r C=x:~/y D=~ wine x %f"
        << QStringList {"env", "WINEPREFIX=" + home + "/p", "A=" + home + "/q", "B=" + home + "r",
                        "C=x:" + home + "/y", "D=" + home, "wine", exe};
    QTest::newRow("another user's home") << "env WINEPREFIX=~root/p wine x %f" << QStringList {"env", "WINEPREFIX=/root/p", "wine", exe};
    QTest::newRow("no such user, another variable, a tilde inside")
        << "env WINEPREFIX=~no-such-user-zarun/p A=$HOMEDIR B=a~b wine x %f"
        << QStringList {"env", "WINEPREFIX=~no-such-user-zarun/p", "A=$HOMEDIR", "B=a~b", "wine", exe};
}

void tst_IdeCommand::wineRun()
{
    QFETCH(QString, line);
    QFETCH(QStringList, arguments);
    QCOMPARE(WineRunArguments(Parse(line), QStringLiteral("/home/u/計算 src/App.exe")), arguments);
}

namespace {

// A Windows executable for that machine (0x014c: 32-bit, 0x8664: 64-bit).
QByteArray portableExecutable(quint16 machine)
{
    return QByteArray("MZ") + QByteArray(58, '\0') + QByteArray("\x40\0\0\0PE\0\0", 8) + char(machine & 0xff)
           + char(machine >> 8) + QByteArray(18, '\0');
}

} // namespace

void tst_IdeCommand::failureCauses_data()
{
    QTest::addColumn<QString>("line");   // $P: a Wine prefix with drive C:, $W: a wine without 32-bit loader
    QTest::addColumn<QString>("ide");    // below the prefix's drive_c: 32 or 64 bits, or none
    QTest::addColumn<QString>("folder"); // the project's
    QTest::addColumn<QString>("cause");  // what the message holds; empty for none
    const QString ide = R"(env WINEPREFIX=$P %1 $W "C:\VB98\VB6.EXE" %f)";
    const QString plain = QStringLiteral("My Projects");
    QTest::newRow("the IDE's Windows path is not in the prefix")
        << ide.arg("") << "" << plain << "C:\\VB98\\VB6.EXE  がWineのﾌﾟﾚﾌｨｯｸｽ";
    QTest::newRow("there in another letter case") << ide.arg("") << "vb98/vb6.exe:64" << plain << "";
    QTest::newRow("32-bit IDE, a Wine without 32-bit loader")
        << ide.arg("") << "VB98/VB6.EXE:32" << plain << "は32ﾋﾞｯﾄのﾌﾟﾛｸﾞﾗﾑですが";
    QTest::newRow("32-bit IDE, a 32-bit loader beside Wine")
        << ide.arg("").replace("$W", "$L") << "VB98/VB6.EXE:32" << plain << "";
    QTest::newRow("32-bit IDE, a prefix with 32-bit Windows")
        << ide.arg("") << "VB98/VB6.EXE:32 windows/syswow64/ntdll.dll:32" << plain << "";
    QTest::newRow("32-bit IDE, a 32-bit prefix")
        << ide.arg("") << "VB98/VB6.EXE:32 windows/system32/ntdll.dll:32" << plain << "";
    QTest::newRow("32-bit IDE, a 64-bit prefix without 32-bit Windows")
        << ide.arg("") << "VB98/VB6.EXE:32 windows/system32/ntdll.dll:64" << plain << "は32ﾋﾞｯﾄのﾌﾟﾛｸﾞﾗﾑですが";
    QTest::newRow("a home folder no user has")
        << ide.arg("A=~no-such-user-zarun/x") << "VB98/VB6.EXE:64" << plain << "A=~no-such-user-zarun/x  の ~ は";
    QTest::newRow("Japanese path, C locale")
        << ide.arg("LC_ALL=C.UTF-8") << "VB98/VB6.EXE:64" << "My 計算 Projects" << "env LC_ALL=ja_JP.UTF-8";
    QTest::newRow("Japanese path, LANG the only locale")
        << ide.arg("LANG=en_US.UTF-8") << "VB98/VB6.EXE:64" << "My 計算 Projects" << "env LANG=ja_JP.UTF-8";
    QTest::newRow("Japanese path, Japanese locale")
        << ide.arg("LANG=ja_JP.UTF-8") << "VB98/VB6.EXE:64" << "My 計算 Projects" << "";
    QTest::newRow("Latin path, C locale") << ide.arg("LANG=C") << "VB98/VB6.EXE:64" << "Café Ü" << "";
    QTest::newRow("a native IDE") << "ide %f" << "" << "My 計算 Projects" << "";
    QTest::newRow("wine without a program") << "env WINEPREFIX=$P wine" << "" << plain << "";
}

void tst_IdeCommand::failureCauses()
{
    QFETCH(QString, line);
    QFETCH(QString, ide);
    QFETCH(QString, folder);
    QFETCH(QString, cause);
    // The locale of the command, not of the test's environment.
    qunsetenv("LC_ALL");
    qunsetenv("LC_CTYPE");
    qunsetenv("LANG");
    QTemporaryDir root;
    const QString prefix = root.filePath("prefix");
    QVERIFY(put(prefix + "/system.reg", "WINE REGISTRY Version 2\n") && QDir().mkpath(prefix + "/drive_c/windows")
            && QDir().mkpath(prefix + "/dosdevices") && QFile::link("../drive_c", prefix + "/dosdevices/c:"));
    for (const QString &file : ide.split(u' ', Qt::SkipEmptyParts))
        QVERIFY(put(prefix + "/drive_c/" + file.section(u':', 0, 0),
                    portableExecutable(file.section(u':', 1) == "32" ? 0x014c : 0x8664)));
    // Wine as a wrapper script, with and without a 32-bit loader where Debian's wine32 puts it.
    QVERIFY(put(root.filePath("alone/bin/wine"), "#!/bin/sh\n") && put(root.filePath("both/bin/wine"), "#!/bin/sh\n")
            && put(root.filePath("both/lib/wine/wine"), "\x7f" "ELF\x01\x01\x01"));
    line.replace("$P", prefix).replace("$W", root.filePath("alone/bin/wine")).replace("$L", root.filePath("both/bin/wine"));
    const QString told = tooling::LikelyFailureCause(Parse(line), root.filePath(folder + "/App.vbp"));
    if (cause.isEmpty())
        QVERIFY2(told.isEmpty(), qPrintable(told));
    else
        QVERIFY2(told.contains(cause), qPrintable(told));
}

QTEST_GUILESS_MAIN(tst_IdeCommand)
#include "tst_IdeCommand.moc"
