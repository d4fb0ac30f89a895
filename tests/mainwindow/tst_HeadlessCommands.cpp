// zarun status and zarun build run as a script runs them: the real program, with no display, against
// a small catalogue; the stand-in IDE builds.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <memory>

namespace {

QByteArray contents(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool put(const QString &file, const QByteArray &bytes, qint64 secondsSinceEpoch = 0)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return false;
    return secondsSinceEpoch == 0
           || f.setFileTime(QDateTime::fromSecsSinceEpoch(secondsSinceEpoch), QFileDevice::FileModificationTime);
}

// A process that is gone, or a zombie nobody has reaped yet.
bool processEnded(const QString &pid)
{
    const QByteArray status = contents("/proc/" + pid + "/status");
    return status == "<missing>" || status.contains("\nState:\tZ");
}

constexpr qint64 kBase = 1700000000;

} // namespace

class tst_HeadlessCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void commandLines_data();
    void commandLines();
    void build_data();
    void build();
    void terminationCancelsAndReports();

private:
    struct Run {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    // %C is the catalogue, %D the test's folder, %I the stand-in IDE's command.
    QStringList expand(const QStringList &arguments) const;
    QProcessEnvironment environment() const;
    Run run(const QStringList &arguments, const QProcessEnvironment &env);
    // The report's test cases in order: "name:built", "name:failed" or "name:skipped".
    static QStringList reportCases(const QByteArray &xml, QString *failureText = nullptr);
    QString path(const QString &name) const { return dir_->filePath(name); }

    std::unique_ptr<QTemporaryDir> dir_;
};

void tst_HeadlessCommands::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    // The program in a folder of its own, where it finds its ZARUN.ini.
    QVERIFY(QDir().mkpath(path("bin")));
    QVERIFY(QFile::copy(QStringLiteral(ZARUN_EXECUTABLE), path("bin/zarun")));
    // The settings' IDE runs under Wine in a prefix that registers one control.
    QVERIFY(put(path("prefix/system.reg"),
                "WINE REGISTRY Version 2\n\n[Software\\\\Classes\\\\Typelib\\\\{11111111-2222-3333-4444-555555555555}"
                "\\\\1.0\\\\0\\\\win32] 1700000000\n@=\"C:\\\\windows\\\\system32\\\\Good.ocx\"\n"));
    QVERIFY(put(path("prefix/drive_c/windows/system32/Good.ocx"), "MZ"));
    QVERIFY(put(path("bin/ZARUN.ini"), "[Project]\r\nIdeCommand=env WINEPREFIX=" + path("prefix").toUtf8()
                                           + " wine C:\\VB98\\VB6.EXE %f\r\n"));

    QVERIFY(put(path("fresh/App.vbp"), "Name=\"Fresh\"\r\nExeName32=\"App.exe\"\r\n", kBase));
    QVERIFY(put(path("fresh/App.exe"), "MZ", kBase + 100));
    QVERIFY(put(path("unbuilt/App.vbp"), "ExeName32=\"App.exe\"\r\n"));
    QVERIFY(put(path("badref/App.vbp"),
                "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX\r\nExeName32=\"App.exe\"\r\n"));
    // User references the DLL Lib makes, yet is listed first (its library is not registered either).
    QVERIFY(put(path("lib/Lib.vbp"), "Type=OleDll\r\nExeName32=\"Lib.dll\"\r\n"));
    QVERIFY(put(path("user/App.vbp"), "Reference=*\\G{00000000-0000-0000-0000-00000000000A}#1.0#0#..\\lib\\Lib.dll#Lib\r\n"
                                      "ExeName32=\"App.exe\"\r\n"));
    QVERIFY(put(path("Tools.zrd"), QStringLiteral("[Tools]\r\nFresh=%1\r\nUnbuilt=%2\r\n[Games]\r\nBadRef=%3\r\n"
                                                  "[Done]\r\nFresh=%1\r\n[Chain]\r\nUser=%4\r\nLib=%5\r\n[Gone]\r\nLost=%6\r\n")
                                       .arg(path("fresh/App.vbp"), path("unbuilt/App.vbp"), path("badref/App.vbp"),
                                            path("user/App.vbp"), path("lib/Lib.vbp"), path("lost/App.vbp"))
                                       .toUtf8()));
    QVERIFY(QDir().mkpath(path("folder.zrd")));
}

QStringList tst_HeadlessCommands::expand(const QStringList &arguments) const
{
    QStringList expanded;
    for (QString argument : arguments)
        expanded.append(argument.replace("%C", path("Tools.zrd"))
                            .replace("%D", dir_->path())
                            .replace("%I", QStringLiteral("\"" ZARUN_FAKE_IDE "\" %f")));
    return expanded;
}

QProcessEnvironment tst_HeadlessCommands::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No display of any kind.
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "ZARUN_FAKE_IDE_LOG"})
        env.remove(QString::fromLatin1(name));
    for (const char *name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
        env.insert(QString::fromLatin1(name), path("home"));
    return env;
}

tst_HeadlessCommands::Run tst_HeadlessCommands::run(const QStringList &arguments, const QProcessEnvironment &env)
{
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(path("bin/zarun"), expand(arguments));
    Run result;
    if (!program.waitForFinished(120000) || program.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = program.exitCode();
    result.out = program.readAllStandardOutput();
    result.err = program.readAllStandardError();
    return result;
}

QStringList tst_HeadlessCommands::reportCases(const QByteArray &xml, QString *failureText)
{
    QStringList cases;
    QXmlStreamReader reader(xml);
    QStringList elements; // the path to the current element
    QString name;
    QString result;
    bool hasOutput = false;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QString element = reader.name().toString();
            // The shape CI engines read: testsuites > testsuite > testcase > failure|skipped|system-out.
            const QStringList parents{QString(), "testsuites", "testsuite", "testcase"};
            const qsizetype depth = elements.size();
            const bool placed = (depth == 0 && element == "testsuites") || (depth == 1 && element == "testsuite")
                                || (depth == 2 && element == "testcase")
                                || (depth == 3 && (element == "failure" || element == "skipped" || element == "system-out"));
            if (!placed)
                return {QStringLiteral("misplaced ") + element};
            elements.append(element);
            if (element == "testcase") {
                name = reader.attributes().value("name").toString();
                result = QStringLiteral("built");
                hasOutput = false;
            } else if (element == "failure") {
                result = QStringLiteral("failed");
                if (failureText)
                    *failureText = reader.readElementText();
                elements.removeLast();
            } else if (element == "skipped") {
                result = QStringLiteral("skipped");
            } else if (element == "system-out") {
                hasOutput = !reader.readElementText().isEmpty();
                elements.removeLast();
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (elements.takeLast() == "testcase")
                // A build that ran has its log.
                cases.append(name + u':' + result + (result != "skipped" && !hasOutput ? "(no log)" : ""));
        }
    }
    if (reader.hasError())
        return {QStringLiteral("invalid XML: ") + reader.errorString()};
    return cases;
}

void tst_HeadlessCommands::commandLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    // status: each line's category, name and state word; build rows print nothing on stdout.
    QTest::addColumn<QStringList>("lines");

    const QStringList all{"Tools Fresh up-to-date", "Tools Unbuilt exe-missing", "Games BadRef reference-missing",
                          "Done Fresh up-to-date", "Chain User reference-missing", "Chain Lib exe-missing",
                          "Gone Lost vbp-missing"};
    QTest::newRow("status, every category") << QStringList{"status", "%C", "--format", "tsv"} << 0 << all;
    QTest::newRow("status as JSON") << QStringList{"status", "--format=json", "%C"} << 0 << all;
    QTest::newRow("options before the file, a category twice")
        << QStringList{"status", "--category", "Games", "--format", "tsv", "--category=Tools", "%C", "--category", "games"}
        << 0 << QStringList{all[0], all[1], all[2]};
    QTest::newRow("--check: a missing reference") << QStringList{"status", "%C", "--category", "Games", "--check", "--format", "tsv"}
                                                 << 1 << QStringList{all[2]};
    QTest::newRow("--check: up to date") << QStringList{"status", "%C", "--category", "Done", "--check", "--format", "tsv"}
                                        << 0 << QStringList{all[3]};
    QTest::newRow("--check: a .vbp gone") << QStringList{"status", "%C", "--category", "Gone", "--check", "--format", "tsv"}
                                         << 1 << QStringList{all[6]};
    QTest::newRow("text: a line per project") << QStringList{"status", "%C", "--category", "Done"} << 0
                                             << QStringList{"text 1"};

    // Usage errors and catalogues that cannot be read: status 2, nothing on stdout.
    QTest::newRow("no catalogue") << QStringList{"status"} << 2 << QStringList();
    QTest::newRow("two catalogues") << QStringList{"status", "%C", "%C"} << 2 << QStringList();
    QTest::newRow("unknown format") << QStringList{"status", "%C", "--format", "xml"} << 2 << QStringList();
    QTest::newRow("format without a value") << QStringList{"status", "%C", "--format"} << 2 << QStringList();
    QTest::newRow("a build option to status") << QStringList{"status", "%C", "--all"} << 2 << QStringList();
    QTest::newRow("a value to a switch") << QStringList{"status", "%C", "--check=yes"} << 2 << QStringList();
    QTest::newRow("unknown category") << QStringList{"status", "%C", "--category", "Nope"} << 2 << QStringList();
    QTest::newRow("empty category") << QStringList{"status", "%C", "--category="} << 2 << QStringList();
    QTest::newRow("missing catalogue") << QStringList{"status", "%D/none.zrd"} << 2 << QStringList();
    QTest::newRow("a folder for a catalogue") << QStringList{"status", "%D/folder.zrd"} << 2 << QStringList();
    QTest::newRow("build: --needed and --all") << QStringList{"build", "%C", "--needed", "--all"} << 2 << QStringList();
    QTest::newRow("build: --junit without a file") << QStringList{"build", "%C", "--junit"} << 2 << QStringList();
    QTest::newRow("build: unknown category") << QStringList{"build", "%C", "--category", "Nope", "--ide-command", "%I"}
                                            << 2 << QStringList();
    QTest::newRow("build: an IDE that cannot build")
        << QStringList{"build", "%C", "--category", "Tools", "--ide-command", "wine start %f"} << 2 << QStringList();
    QTest::newRow("build: a status option") << QStringList{"build", "%C", "--check"} << 2 << QStringList();
}

void tst_HeadlessCommands::commandLines()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    const QByteArray catalogue = contents(path("Tools.zrd"));
    const QByteArray settings = contents(path("bin/ZARUN.ini"));
    const Run result = run(arguments, environment());
    QCOMPARE(result.exitCode, exitCode);
    if (exitCode == 2) {
        QVERIFY(result.out.isEmpty());
        QVERIFY2(result.err.startsWith("zarun: "), result.err.constData());
    } else {
        QVERIFY2(result.err.isEmpty(), result.err.constData());
    }
    QStringList seen;
    const QString out = QString::fromUtf8(result.out);
    if (arguments.contains("--format=json")) {
        const QJsonArray array = QJsonDocument::fromJson(result.out).array();
        for (const QJsonValue &value : array) {
            const QJsonObject object = value.toObject();
            seen.append(object["category"].toString() + u' ' + object["name"].toString() + u' '
                        + object["state"].toString());
            if (object["name"].toString() == "BadRef")
                QCOMPARE(object["reason"].toString(), QStringLiteral("MSCOMCTL.OCX (未登録)"));
            QCOMPARE(object["project"].toString().endsWith(".vbp"), true);
        }
    } else if (arguments.contains("tsv")) {
        for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(u'\t');
            QCOMPARE(fields.size(), 7);
            seen.append(fields[0] + u' ' + fields[1] + u' ' + fields[4]);
        }
    } else if (!out.isEmpty()) {
        seen.append(QStringLiteral("text ") + QString::number(out.count(u'\n')));
    }
    QCOMPARE(seen, lines);
    // Only read: the catalogue and the settings stay byte for byte, nothing new beside the program.
    QCOMPARE(contents(path("Tools.zrd")), catalogue);
    QCOMPARE(contents(path("bin/ZARUN.ini")), settings);
    QStringList beside = QDir(path("bin")).entryList(QDir::Files | QDir::NoDotAndDotDot);
    beside.sort();
    QCOMPARE(beside, (QStringList{"ZARUN.ini", "zarun"}));
}

void tst_HeadlessCommands::build_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("failIn"); // the stand-in fails projects whose path holds this
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("cases");
    const QStringList chain{"build", "%C", "--category", "Chain", "--ide-command", "%I", "--junit", "%D/report.xml"};
    QTest::newRow("the DLL first") << chain << QString() << 0 << QStringList{"Lib:built", "User:built"};
    QTest::newRow("a failure stops the rest") << chain << "/lib/" << 1 << QStringList{"Lib:failed", "User:skipped"};
    QTest::newRow("--keep-going") << (QStringList(chain) << "--keep-going") << "/lib/" << 1
                                  << QStringList{"Lib:failed", "User:built"};
    const QStringList tools{"build", "%C", "--category", "Tools", "--ide-command", "%I", "--junit", "%D/report.xml"};
    QTest::newRow("up to date: skipped") << tools << QString() << 0 << QStringList{"Unbuilt:built", "Fresh:skipped"};
    QTest::newRow("a .vbp gone: failed") << QStringList{"build", "%C", "--category", "Gone", "--ide-command", "%I", "--junit",
                                                    "%D/report.xml"}
                                       << QString() << 1 << QStringList{"Lost:failed(no log)"};
    QTest::newRow("--all builds it too") << (QStringList(tools) << "--all") << QString() << 0
                                         << QStringList{"Fresh:built", "Unbuilt:built"};
}

void tst_HeadlessCommands::build()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, failIn);
    QFETCH(int, exitCode);
    QFETCH(QStringList, cases);
    QProcessEnvironment env = environment();
    if (!failIn.isEmpty())
        env.insert("ZARUN_FAKE_IDE_FAIL", failIn);
    const Run result = run(arguments, env);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(result.out.isEmpty());
    // A progress line per build that ran.
    const bool ran = !cases.filter(QRegularExpression(QStringLiteral(":(built|failed)$"))).isEmpty();
    QVERIFY2(result.err.contains("[1/") == ran, result.err.constData());
    QString failure;
    QCOMPARE(reportCases(contents(path("report.xml")), &failure), cases);
    QCOMPARE(failure.contains("Compile Error"), !failIn.isEmpty());
}

void tst_HeadlessCommands::terminationCancelsAndReports()
{
    QProcessEnvironment env = environment();
    const QString release = path("release");
    env.insert("ZARUN_FAKE_IDE_HOLD", release);
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(path("bin/zarun"), expand({"build", "%C", "--category", "Chain", "--ide-command", "%I", "--junit",
                                             "%D/report.xml"}));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(release + ".started"), 30000);
    const QStringList pids = QString::fromLatin1(contents(release + ".started")).simplified().split(' ');
    QCOMPARE(pids.size(), 2);
    program.terminate();
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    // The IDE and the helper it started in a session of its own are gone; the report is there.
    QTRY_VERIFY(processEnded(pids[0]) && processEnded(pids[1]));
    QCOMPARE(reportCases(contents(path("report.xml"))), (QStringList{"Lib:skipped", "User:skipped"}));
    QVERIFY(!QFileInfo::exists(path("lib/Lib.dll")));
}

QTEST_GUILESS_MAIN(tst_HeadlessCommands)
#include "tst_HeadlessCommands.moc"
