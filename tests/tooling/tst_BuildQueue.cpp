#include "catalogue/ProjectReader.h"
#include "catalogue/cVbAnalyze.h"
#include "common/FakeIdeEnvironment.h"
#include "common/FileBytes.h"
#include "platform/DesktopAssociation.h"
#include "tooling/BuildQueue.h"
#include "tooling/IdeBuild.h"
#include "tooling/mMain.h"
#include "common/ResetGlobals.h"

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using catalogue::ProjectRecord;
using catalogue::ProjectState;
using tooling::BuildQueue;
using tooling::IdeBuild;

namespace {

constexpr qint64 kBase = 1700000000;

// A process that is gone, or a zombie nobody has reaped yet.
bool ProcessEnded(const QString &pid)
{
    const QByteArray status = contents("/proc/" + pid + "/status");
    return status == "<missing>" || status.contains("\nState:\tZ");
}

} // namespace

class tst_BuildQueue : public QObject {
    Q_OBJECT
public:
    explicit tst_BuildQueue(const FakeIdeEnvironment &environment) : env_(environment) {}

private Q_SLOTS:
    void init();
    void cleanup();

    void logNames_data();
    void logNames();
    void run_data();
    void run();
    void dependencyOrder_data();
    void dependencyOrder();
    void singleBuild_data();
    void singleBuild();
    void cancel_data();
    void cancel();
    void joinedOnceAndEndedEarly();
    void queueGoneEndsTheIdeAndWhatItStarted();

private:
    // A project in a folder of its own: "unbuilt" (no executable), "stale" (older than its form),
    // "stale, APP.EXE" (named so on disk), "fresh", "novbp" (nothing there). The stand-in fails on projects whose name holds "broken".
    std::shared_ptr<ProjectRecord> project(const QString &name, const QString &state);
    QString exeOf(const QString &name) const { return dir_->filePath(name + "/App.exe"); }
    int builds() const;
    // Runs the queue to its end; the summary.
    BuildQueue::Summary runToEnd(BuildQueue &queue, const std::vector<std::shared_ptr<ProjectRecord>> &records);

    const FakeIdeEnvironment &env_;
    std::unique_ptr<QTemporaryDir> dir_;
    // As the window's: shows the builds in their records and looks again after each.
    catalogue::ProjectReader reader_{catalogue::State()};
};

void tst_BuildQueue::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    env_.ClearCalls();
    mMain::VbIdePath = platform::JoinCommandLine({FakeIdeEnvironment::IdeProgram(), "%f"});
    qputenv("ZARUN_FAKE_IDE_FAIL", "broken");
}

void tst_BuildQueue::cleanup()
{
    ResetGlobals();
    for (const char *name : {"ZARUN_FAKE_IDE_FAIL", "ZARUN_FAKE_IDE_FAIL_STATUS", "ZARUN_FAKE_IDE_HOLD",
                             "ZARUN_FAKE_IDE_IGNORE_TERM"})
        qunsetenv(name);
    // Nothing a test started is left running for the next.
    put(dir_->filePath("release"), "");
    QTRY_COMPARE_WITH_TIMEOUT(IdeBuild::Running(), 0, 30000);
}

std::shared_ptr<ProjectRecord> tst_BuildQueue::project(const QString &name, const QString &state)
{
    const QString folder = dir_->filePath(name);
    auto record = std::make_shared<ProjectRecord>();
    record->texts = platform::StoredPair(platform::StoredText(name), platform::StoredText(folder + "/App.vbp"));
    if (state == "novbp")
        return record;
    const bool ok = put(record->File(), "Form=Main.frm\r\nName=\"" + name.toUtf8() + "\"\r\nExeName32=\"App.exe\"\r\n")
                    && setModified(record->File(), kBase) && put(folder + "/Main.frm", "x")
                    && setModified(folder + "/Main.frm", kBase)
                    && (state == "unbuilt"
                        || (put(exeOf(name), "MZ") && setModified(exeOf(name), state == "fresh" ? kBase + 100 : kBase - 100)))
                    // Copied from Windows: APP.EXE on disk for the .vbp's App.exe.
                    && (state != "stale, APP.EXE" || QFile::rename(exeOf(name), folder + "/APP.EXE"));
    return ok ? record : nullptr;
}

int tst_BuildQueue::builds() const
{
    int count = 0;
    for (const QStringList &call : env_.Calls())
        count += call.contains("/make") ? 1 : 0;
    return count;
}

BuildQueue::Summary tst_BuildQueue::runToEnd(BuildQueue &queue, const std::vector<std::shared_ptr<ProjectRecord>> &records)
{
    BuildQueue::Summary summary;
    connect(&queue, &BuildQueue::Finished, this, [&summary](const BuildQueue::Summary &s) { summary = s; });
    QSignalSpy finished(&queue, &BuildQueue::Finished);
    std::vector<std::weak_ptr<ProjectRecord>> weak(records.begin(), records.end());
    QString error;
    if (!queue.Start(weak, &error) || !finished.wait(60000))
        summary.error = "<did not run>" + error;
    return summary;
}

void tst_BuildQueue::logNames_data()
{
    QTest::addColumn<QString>("project");
    QTest::addColumn<QString>("start"); // of the log's name, before the hash
    QTest::newRow("name and folder") << "/home/u/src/Calc/App.vbp" << "App_Calc-";
    QTest::newRow("japanese") << "/home/u/ソフト　計算/計算.vbp" << "計算_ソフト　計算-";
    QTest::newRow("characters Windows refuses") << "/home/u/a:b/Q?*<>|\"\\x.vbp" << "Q_______x_a_b-";
    QTest::newRow("control character") << QString("/home/u/p/A\nB.vbp") << "A_B_p-";
    QTest::newRow("trailing dots") << "/home/u/dir./App..vbp" << "App_dir-";
    QTest::newRow("in the root") << "/App.vbp" << "App-";
    QTest::newRow("only an extension") << "/home/u/p/.vbp" << "project_p-";
    QTest::newRow("long name cut") << "/home/u/p/" + QString(200, u'x') + ".vbp" << QString(60, u'x') + "_p-";
}

void tst_BuildQueue::logNames()
{
    QFETCH(QString, project);
    QFETCH(QString, start);
    const QString log = tooling::BuildLogOf(project);
    QCOMPARE(QFileInfo(log).path(), tooling::BuildLogFolder());
    const QString name = QFileInfo(log).fileName();
    QVERIFY2(name.startsWith(start) && name.endsWith(".log") && name.size() == start.size() + 12, qPrintable(name));
    // The same names elsewhere keep a log of their own.
    QVERIFY(tooling::BuildLogOf("/elsewhere" + project) != log);
}

void tst_BuildQueue::run_data()
{
    QTest::addColumn<QStringList>("projects"); // name:state
    QTest::addColumn<QString>("ide");
    QTest::addColumn<QList<int>>("counts");    // built, failed, skipped, not built
    QTest::addColumn<QString>("error");        // part of it; null when the run went through

    const QString fake = "fake";
    QTest::newRow("missing executable built") << QStringList {"a:unbuilt"} << fake << QList<int> {1, 0, 0, 0} << QString();
    QTest::newRow("out of date built, up to date skipped")
        << QStringList {"a:stale", "b:fresh"} << fake << QList<int> {1, 0, 1, 0} << QString();
    QTest::newRow("executable in another letter case rebuilt")
        << QStringList {"a:stale, APP.EXE"} << fake << QList<int> {1, 0, 0, 0} << QString();
    QTest::newRow("failure keeps the old executable")
        << QStringList {"broken:stale"} << fake << QList<int> {0, 1, 0, 0} << QString();
    // Judged by the executable, not by the IDE's status.
    QTest::newRow("failure ending with status 0")
        << QStringList {"broken:stale", "a:unbuilt"} << "fake, status 0" << QList<int> {1, 1, 0, 0} << QString();
    QTest::newRow("mixed") << QStringList {"a:unbuilt", "broken:unbuilt", "c:fresh", "d:novbp"} << fake
                           << QList<int> {1, 1, 2, 0} << QString();
    QTest::newRow("nothing to build") << QStringList {"a:fresh", "b:novbp"} << fake << QList<int> {0, 0, 2, 0} << QString();
    QTest::newRow("gone before the run") << QStringList {"gone:unbuilt", "b:unbuilt"} << fake
                                         << QList<int> {1, 0, 1, 0} << QString();
    QTest::newRow("IDE missing: one error for the run")
        << QStringList {"a:unbuilt", "b:unbuilt"} << "missing" << QList<int> {0, 0, 0, 2} << "を起動できません。";
    QTest::newRow("no IDE: nothing starts") << QStringList {"a:unbuilt"} << "" << QList<int> {} << "実行ﾌｧｲﾙを作成できません";
}

void tst_BuildQueue::run()
{
    QFETCH(QStringList, projects);
    QFETCH(QString, ide);
    QFETCH(QList<int>, counts);
    QFETCH(QString, error);
    if (ide == "fake, status 0")
        qputenv("ZARUN_FAKE_IDE_FAIL_STATUS", "0");
    if (ide == "missing")
        mMain::VbIdePath = platform::JoinCommandLine({dir_->filePath("no-ide"), "%f"});
    else if (ide.isEmpty())
        mMain::VbIdePath.clear();
    std::vector<std::shared_ptr<ProjectRecord>> records;
    for (const QString &entry : projects) {
        records.push_back(project(entry.section(':', 0, 0), entry.section(':', 1)));
        QVERIFY(records.back());
    }
    if (projects.first().startsWith("gone"))
        records.front().reset(); // deleted with its category before the run started

    BuildQueue queue;
    int mostAtOnce = 0;
    connect(&queue, &BuildQueue::Progress, this, [&] { mostAtOnce = qMax(mostAtOnce, IdeBuild::Running() + 1); });
    if (counts.isEmpty()) {
        QString told;
        QVERIFY(!queue.Start({records.begin(), records.end()}, &told));
        QVERIFY2(told.contains(error), qPrintable(told));
        QVERIFY(!queue.Running());
        return;
    }
    const BuildQueue::Summary summary = runToEnd(queue, records);
    QCOMPARE((QList<int> {summary.built, summary.failed, summary.skipped, summary.notBuilt}), counts);
    QVERIFY2(error.isNull() ? summary.error.isEmpty() : summary.error.contains(error), qPrintable(summary.error));
    QVERIFY(!summary.cancelled);
    const bool fake = ide.startsWith("fake");
    QCOMPARE(builds(), fake ? summary.built + summary.failed : 0);
    QVERIFY(mostAtOnce <= 1);

    // Each row ends as its files say, a failure until a later build succeeds; the IDE's messages are kept.
    for (size_t i = 0; i < records.size(); ++i) {
        const QString name = projects[qsizetype(i)].section(':', 0, 0);
        const QString state = projects[qsizetype(i)].section(':', 1);
        if (!fake || name == "gone" || state == "fresh" || state == "novbp")
            continue;
        const QByteArray log = contents(tooling::BuildLogOf(records[i]->File()));
        if (name.startsWith("broken")) {
            QTRY_COMPARE(records[i]->Shown(), ProjectState::Failed);
            // The IDE's /out text, what it (or Wine) wrote on standard error, and what was told.
            QVERIFY2(log.contains("Compile Error") && log.contains("fake_ide: err: the build of " + records[i]->File().toUtf8())
                         && log.contains("--- ZARUN ---"),
                     log.constData());
        } else {
            QTRY_COMPARE(records[i]->Shown(), ProjectState::UpToDate);
            QVERIFY2(log.contains("succeeded"), log.constData());
        }
    }
}

void tst_BuildQueue::dependencyOrder_data()
{
    QTest::addColumn<QStringList>("projects"); // name:the project whose executable it references
    QTest::addColumn<QStringList>("order");    // of the builds, and as the progress window shows it
    QTest::addColumn<QList<QStringList>>("cycles");
    QTest::newRow("a DLL listed after the project using it goes first")
        << QStringList{"app:lib", "lib:", "other:"} << QStringList{"lib", "app", "other"} << QList<QStringList>{};
    QTest::newRow("a cycle: told, built in list order")
        << QStringList{"a:b", "b:a"} << QStringList{"a", "b"} << QList<QStringList>{{"a", "b"}};
    QTest::newRow("a reference to no catalogued project")
        << QStringList{"app:elsewhere"} << QStringList{"app"} << QList<QStringList>{};
}

void tst_BuildQueue::dependencyOrder()
{
    QFETCH(QStringList, projects);
    QFETCH(QStringList, order);
    QFETCH(QList<QStringList>, cycles);
    std::vector<std::shared_ptr<ProjectRecord>> records;
    for (const QString &entry : projects) {
        const QString name = entry.section(':', 0, 0);
        const QString uses = entry.section(':', 1);
        records.push_back(project(name, "unbuilt"));
        QVERIFY(records.back());
        if (!uses.isEmpty())
            QVERIFY(put(records.back()->File(), "Form=Main.frm\r\nReference=*\\G{00000000-0000-0000-0000-00000000000A}#1.0#0#..\\"
                                                    + uses.toUtf8() + "\\App.exe#" + uses.toUtf8() + "\r\nExeName32=\"App.exe\"\r\n"));
    }
    BuildQueue queue;
    QSignalSpy ordered(&queue, &BuildQueue::Ordered);
    const BuildQueue::Summary summary = runToEnd(queue, records);
    QCOMPARE(summary.built, int(order.size()));
    QStringList built;
    for (const QStringList &call : env_.Calls())
        if (call.contains("/make"))
            for (const QString &argument : call)
                if (argument.endsWith("/App.vbp"))
                    built.append(QFileInfo(argument).dir().dirName());
    QCOMPARE(built, order);
    QCOMPARE(ordered.size(), 1);
    QCOMPARE(ordered.first().at(0).toStringList(), order);
    QCOMPARE(summary.cycles, cycles);
    for (const QStringList &cycle : cycles)
        QVERIFY(tooling::SummaryText("c", summary).contains(tooling::CycleText(cycle)));
}

void tst_BuildQueue::singleBuild_data()
{
    QTest::addColumn<QString>("libState");  // of the DLL the project references, in another category
    QTest::addColumn<QString>("baseState"); // of what the DLL references, in the project's category
    QTest::addColumn<QStringList>("order"); // the plan; the run builds it so
    QTest::newRow("up to date: the project alone") << "fresh" << "stale" << QStringList{"app"};
    QTest::newRow("out of date, and what it references") << "stale" << "unbuilt"
                                                           << QStringList{"base", "lib [Libs]", "app"};
    QTest::newRow("out of date, what it references up to date") << "unbuilt" << "fresh"
                                                                 << QStringList{"lib [Libs]", "app"};
}

void tst_BuildQueue::singleBuild()
{
    QFETCH(QString, libState);
    QFETCH(QString, baseState);
    QFETCH(QStringList, order);
    // app (Apps, up to date) -> lib (Libs) -> base (Apps); none of them chosen but app.
    const auto record = [this](const QString &name, const QString &state, const QString &uses) {
        std::shared_ptr<ProjectRecord> made = project(name, state);
        if (made && !uses.isEmpty())
            put(made->File(), "Form=Main.frm\r\nReference=*\\G{00000000-0000-0000-0000-00000000000A}#1.0#0#..\\"
                                  + uses.toUtf8() + "\\App.exe#x\r\nExeName32=\"App.exe\"\r\n");
        if (made) {
            setModified(made->File(), kBase);
            made->exe = catalogue::KeptPath(made->File(), exeOf(name));
            made->exeKnown = true;
        }
        return made;
    };
    const std::shared_ptr<ProjectRecord> app = record("app", "fresh", "lib");
    const std::shared_ptr<ProjectRecord> lib = record("lib", libState, "base");
    const std::shared_ptr<ProjectRecord> base = record("base", baseState, "");
    QVERIFY(app && lib && base);
    for (const auto &[name, records] : {std::pair{QString("Apps"), QList{app, base}}, std::pair{QString("Libs"), QList{lib}}}) {
        auto category = std::make_unique<catalogue::cVbAnalyze>();
        category->SetEntries(name, {}, false);
        for (const std::shared_ptr<ProjectRecord> &one : records)
            category->AppendRecord(one);
        catalogue::State().AppendCategory(std::move(category));
    }

    const tooling::ProjectBuildPlan plan = tooling::PlanProjectBuild(app);
    QCOMPARE(plan.names, order);
    QCOMPARE(plan.Dependencies(), order.mid(0, order.size() - 1));
    BuildQueue queue;
    QSignalSpy finished(&queue, &BuildQueue::Finished);
    QString error;
    QVERIFY(queue.StartPlanned(plan, &error));
    QVERIFY(finished.wait(60000));
    QStringList built;
    for (const QStringList &call : env_.Calls())
        if (call.contains("/make"))
            for (const QString &argument : call)
                if (argument.endsWith("/App.vbp"))
                    built.append(QFileInfo(argument).dir().dirName());
    order.replaceInStrings(" [Libs]", "");
    QCOMPARE(built, order);
}

void tst_BuildQueue::cancel_data()
{
    QTest::addColumn<bool>("ignoresTerm");
    QTest::newRow("IDE ends when asked") << false;
    QTest::newRow("IDE hangs: ended anyway") << true;
}

void tst_BuildQueue::cancel()
{
    QFETCH(bool, ignoresTerm);
    const QString release = dir_->filePath("release");
    qputenv("ZARUN_FAKE_IDE_HOLD", QFile::encodeName(release));
    if (ignoresTerm)
        qputenv("ZARUN_FAKE_IDE_IGNORE_TERM", "1");
    const std::vector<std::shared_ptr<ProjectRecord>> records {project("a", "unbuilt"), project("b", "unbuilt"),
                                                              project("c", "stale")};
    // The last build's log stays until a new one is whole.
    const QString log = tooling::BuildLogOf(records[0]->File());
    QVERIFY(put(log, "the last build"));
    BuildQueue queue;
    BuildQueue::Summary summary;
    connect(&queue, &BuildQueue::Finished, this, [&summary](const BuildQueue::Summary &s) { summary = s; });
    QSignalSpy finished(&queue, &BuildQueue::Finished);
    QString error;
    QVERIFY(queue.Start({records.begin(), records.end()}, &error));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(release + ".started"), 30000);
    QTRY_COMPARE(records[0]->Shown(), ProjectState::Building);
    QCOMPARE(contents(log), QByteArray("the last build"));
    const QStringList pids = QString::fromLatin1(contents(release + ".started")).simplified().split(' ');
    QCOMPARE(pids.size(), 2);

    queue.Cancel();
    QVERIFY(finished.wait(30000));
    QVERIFY(summary.cancelled);
    QCOMPARE((QList<int> {summary.built, summary.failed, summary.skipped, summary.notBuilt}), (QList<int> {0, 0, 0, 3}));
    // The IDE and what it started are gone, the helper in its own session too (it stops
    // writing); nothing else was started.
    QTRY_VERIFY(ProcessEnded(pids[0]) && ProcessEnded(pids[1]));
    QCOMPARE(IdeBuild::Running(), 0);
    QVERIFY(env_.Calls().isEmpty());
    // A cancelled build is no failed one: the row shows what it showed before.
    QTRY_COMPARE(records[0]->Shown(), ProjectState::ExeMissing);
    QCOMPARE(contents(log), QByteArray("the last build"));
    QVERIFY(!QFileInfo::exists(tooling::BuildOutputOf(records[0]->File())));
    QVERIFY(!QFileInfo::exists(exeOf("a")) && !QFileInfo::exists(exeOf("b")));
    QVERIFY(!queue.Running());
}

void tst_BuildQueue::joinedOnceAndEndedEarly()
{
    const QString release = dir_->filePath("release");
    qputenv("ZARUN_FAKE_IDE_HOLD", QFile::encodeName(release));
    std::vector<std::shared_ptr<ProjectRecord>> records {project("a", "unbuilt"), project("b", "unbuilt"),
                                                        project("c", "unbuilt")};
    std::shared_ptr<ProjectRecord> single = project("d", "unbuilt");
    BuildQueue queue;
    BuildQueue::Summary summary;
    connect(&queue, &BuildQueue::Finished, this, [&summary](const BuildQueue::Summary &s) { summary = s; });
    QSignalSpy finished(&queue, &BuildQueue::Finished);
    QVERIFY(!queue.Join(single, single->File())); // no run: the caller builds it itself
    QString error;
    QVERIFY(queue.Start({records.begin(), records.end()}, &error));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(release + ".started"), 30000);
    // Single builds asked for meanwhile join the run, each once: no second IDE beside it.
    for (const std::shared_ptr<ProjectRecord> &record : {records[0], records[1], single})
        QVERIFY(queue.Join(record, record->File()));
    QCOMPARE(IdeBuild::Running(), 1);
    // The category goes (deleted, or another catalogue opened) while "a" is built.
    records.resize(1);
    single.reset();
    QVERIFY(put(release, ""));
    QVERIFY(finished.wait(30000));
    QVERIFY(summary.cancelled);
    QCOMPARE((QList<int> {summary.built, summary.failed, summary.skipped, summary.notBuilt}), (QList<int> {1, 0, 0, 3}));
    QVERIFY(tooling::SummaryText("A", summary).contains(QStringLiteral("中止")));
    QCOMPARE(builds(), 1);
}

void tst_BuildQueue::queueGoneEndsTheIdeAndWhatItStarted()
{
    const QString release = dir_->filePath("release");
    qputenv("ZARUN_FAKE_IDE_HOLD", QFile::encodeName(release));
    const std::vector<std::shared_ptr<ProjectRecord>> records {project("a", "unbuilt"), project("b", "unbuilt")};
    auto queue = std::make_unique<BuildQueue>();
    QString error;
    QVERIFY(queue->Start({records.begin(), records.end()}, &error));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(release + ".started"), 30000);
    const QStringList pids = QString::fromLatin1(contents(release + ".started")).simplified().split(' ');
    QCOMPARE(pids.size(), 2);

    // The run ends with its owner (the main window closed, the program ending): the build under
    // way ends there and then, with the helper Wine would have put in a session of its own.
    queue.reset();
    QCOMPARE(IdeBuild::Running(), 0);
    QTRY_VERIFY(ProcessEnded(pids[0]) && ProcessEnded(pids[1]));
    QTRY_COMPARE(records[0]->Shown(), ProjectState::ExeMissing);
    QCOMPARE(builds(), 0);
    QVERIFY(!QFileInfo::exists(exeOf("a")) && !QFileInfo::exists(exeOf("b")));
}

ZARUN_FAKE_IDE_TEST_MAIN(QCoreApplication, tst_BuildQueue)
#include "tst_BuildQueue.moc"
