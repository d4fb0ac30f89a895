#include "catalogue/CatalogueFile.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/cVbAnalyze.h"
#include "common/FileBytes.h"
#include "common/FakeIdeEnvironment.h"
#include "common/ScriptedUserInterface.h"
#include "settings/Settings.h"
#include "platform/IniStore.h"
#include "platform/ProgramFolder.h"
#include "tooling/mMain.h"
#include "common/ResetGlobals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>

using catalogue::cVbAnalyze;
using catalogue::ProjectState;
using catalogue::State;

namespace {

bool writeVbp(const QString &path, const QString &name, const QString &exe)
{
    return put(path, "Type=Exe\r\nName=\"" + name.toUtf8() + "\"\r\nExeName32=\"" + exe.toUtf8() + "\"\r\n");
}

const QString kNoIdeMessage =
    QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ(*.vbp)に関連付けられたﾌﾟﾛｸﾞﾗﾑがないため、実行ﾌｧｲﾙを作成できません。");
const QString kUnset = QStringLiteral("<unset>");

QStringList names(const cVbAnalyze &c)
{
    QStringList out;
    for (qint32 i = 1; i <= c.Count(); ++i)
        out.append(c.ProjectName(i));
    return out;
}

QStringList files(const cVbAnalyze &c)
{
    QStringList out;
    for (qint32 i = 1; i <= c.Count(); ++i)
        out.append(c.ProjectFile(i).isNull() ? kUnset : c.ProjectFile(i));
    return out;
}

QStringList folders(const cVbAnalyze &c)
{
    QStringList out;
    for (qint32 i = 1; i <= c.Count(); ++i)
        out.append(c.ProjectFolder(i));
    return out;
}

QStringList exes(const cVbAnalyze &c)
{
    QStringList out;
    for (qint32 i = 1; i <= c.Count(); ++i)
        out.append(c.ProjectExe(i));
    return out;
}

} // namespace

class tst_cVbAnalyze : public QObject {
    Q_OBJECT
public:
    explicit tst_cVbAnalyze(const FakeIdeEnvironment &environment) : env_(environment) {}

private Q_SLOTS:
    void init();
    void cleanup();

    void addProject_data();
    void addProject();
    void addProjectBuildsThroughTheIde();
    void lookAheadAtACategoryNotShown();
    void sameFileTwice();

    void deleteProject_data();
    void deleteProject();
    void deleteProjectGoneFromTheFile();
    void deleteProjectReadOnlyFile();

    void categoryLoads_data();
    void categoryLoads();
    void categoryWriteReloads();

    void projectFileWrite_data();
    void projectFileWrite();

private:
    QString path(const QString &name) const { return dir_->filePath(name); }
    QString catalogueFile() const { return path(QStringLiteral("cat.zrd")); }

    const FakeIdeEnvironment &env_;
    std::unique_ptr<QTemporaryDir> dir_;
    // Rows the project list model is told of.
    std::unique_ptr<QSignalSpy> inserted_;
};

void tst_cVbAnalyze::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    env_.ClearCalls();
    ResetGlobals();
    platform::SetProgramFolderForTesting(dir_->path());
    inserted_ = std::make_unique<QSignalSpy>(&catalogue::State(), &catalogue::CatalogueState::ProjectInserted);
    State().CatalogueFilePath = catalogueFile();
}

void tst_cVbAnalyze::cleanup()
{
    inserted_.reset();
    ResetGlobals();
    platform::SetProgramFolderForTesting(QString());
    dir_.reset();
}

void tst_cVbAnalyze::addProject_data()
{
    QTest::addColumn<QString>("givenName");
    QTest::addColumn<bool>("vbpExists");
    QTest::addColumn<bool>("exeExists");
    QTest::addColumn<bool>("autoMake");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("build");

    QTest::newRow("read name, exe missing, auto") << "" << true << false << true << "App1" << true;
    QTest::newRow("read name, exe missing, no auto") << "" << true << false << false << "App1" << false;
    QTest::newRow("read name, exe present, auto") << "" << true << true << true << "App1" << false;
    QTest::newRow("named, exe missing, auto") << "Mine" << true << false << true << "Mine" << false;
    QTest::newRow("named, exe present") << "Mine" << true << true << true << "Mine" << false;
    QTest::newRow("named, vbp missing") << "Gone" << false << false << true << "Gone" << false;
}

void tst_cVbAnalyze::addProject()
{
    QFETCH(QString, givenName);
    QFETCH(bool, vbpExists);
    QFETCH(bool, exeExists);
    QFETCH(bool, autoMake);
    QFETCH(QString, name);
    QFETCH(bool, build);

    const QString folder = path("Src");
    const QString project = folder + "/App.vbp";
    QVERIFY(QDir().mkpath(folder));
    if (vbpExists)
        QVERIFY(writeVbp(project, "App1", "App1.exe"));
    if (exeExists)
        QVERIFY(put(folder + "/App1.exe", "MZ"));
    settings::Values().AutoMakeExe = autoMake;
    ScriptedUserInterface ui;

    cVbAnalyze category;
    QString inOut = givenName;
    category.AddProject(project, inOut);

    QCOMPARE(inOut, name);
    QCOMPARE(category.Count(), 1);
    QCOMPARE(category.ProjectName(1), name);
    QCOMPARE(category.ProjectFile(1), project);
    QCOMPARE(category.ProjectFolder(1), folder);
    QCOMPARE(category.ProjectExe(1), vbpExists ? folder + "/App1.exe" : QString());
    // Every entry is a row of the list that shows the category, named or not.
    QCOMPARE(inserted_->count(), 1);
    // Without an IDE, a build attempt is told to the user at once.
    QCOMPARE(ui.messages, build ? QStringList {kNoIdeMessage} : QStringList());
    QVERIFY(!QFileInfo::exists(catalogueFile()));
}

void tst_cVbAnalyze::lookAheadAtACategoryNotShown()
{
    const QString project = path("Ahead") + "/App.vbp";
    QVERIFY(writeVbp(project, "App1", "App1.exe"));
    catalogue::ProjectReader reader(State());
    cVbAnalyze category;
    category.AppendLoadedEntry("App1", project);
    category.AppendLoadedEntry("Gone", path("Gone") + "/Gone.vbp");
    reader.LookAhead(category);
    QTRY_COMPARE(category.Record(2)->Shown(), ProjectState::VbpMissing);
    QCOMPARE(category.Record(1)->Shown(), ProjectState::ExeMissing);
    QCOMPARE(category.Record(1)->exe.In(project), path("Ahead") + "/App1.exe");
    QCOMPARE(category.AttentionCount(), 2);
}

void tst_cVbAnalyze::addProjectBuildsThroughTheIde()
{
    const QString folder = path("My Src");
    const QString project = folder + "/App.vbp";
    QVERIFY(writeVbp(project, "App1", "App1.exe"));
    ScriptedUserInterface ui;
    mMain::VbIdePath = mMain::GetVbIdePath();
    QVERIFY(!mMain::VbIdePath.isEmpty());

    catalogue::ProjectReader reader(State()); // as the window's, looks again after the build
    cVbAnalyze category;
    QString name;
    category.AddProject(project, name);
    QCOMPARE(name, QString("App1"));
    QCOMPARE(ui.progress, QStringList {"App1.exe を作成中"});
    QVERIFY(ui.messages.isEmpty());
    QCOMPARE(category.Record(1)->Shown(), ProjectState::Building);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(folder + "/App1.exe"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(env_.Calls().size(), 1, 20000);
    QCOMPARE(env_.Calls().first().mid(1), (QStringList {project, "/make", "/out", tooling::BuildOutputOf(project)}));
    // The row followed the build and was looked at again when the IDE ended.
    QTRY_COMPARE_WITH_TIMEOUT(category.Record(1)->Shown(), ProjectState::UpToDate, 20000);

    // Now the executable exists: adding the project again starts nothing.
    env_.ClearCalls();
    name.clear();
    category.AddProject(project, name);
    QCOMPARE(category.Count(), 2);
    QCOMPARE(ui.progress.size(), 1);
    QCOMPARE(inserted_->count(), 2);
}

void tst_cVbAnalyze::sameFileTwice()
{
    const QString project = path("A/App.vbp");
    QVERIFY(writeVbp(project, "App", "App.exe"));
    settings::Values().AutoMakeExe = false;
    cVbAnalyze category;
    QString first;
    QString second = QStringLiteral("App");
    category.AddProject(project, first);
    category.AddProject(project, second);
    QCOMPARE(names(category), (QStringList {"App", "App"}));
    QCOMPARE(files(category), (QStringList {project, project}));
    QCOMPARE(inserted_->count(), 2);
}

void tst_cVbAnalyze::deleteProject_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<QStringList>("left");

    QTest::newRow("only one") << 1 << 1 << true << QStringList();
    QTest::newRow("first of four") << 4 << 1 << true << QStringList {"P2", "P3", "P4"};
    QTest::newRow("second of four") << 4 << 2 << true << QStringList {"P1", "P3", "P4"};
    QTest::newRow("last of four") << 4 << 4 << true << QStringList {"P1", "P2", "P3"};
    QTest::newRow("index 0") << 4 << 0 << false << QStringList {"P1", "P2", "P3", "P4"};
    QTest::newRow("index past the end") << 4 << 5 << false << QStringList {"P1", "P2", "P3", "P4"};
    QTest::newRow("negative index") << 2 << -1 << false << QStringList {"P1", "P2"};
}

void tst_cVbAnalyze::deleteProject()
{
    QFETCH(int, count);
    QFETCH(int, index);
    QFETCH(bool, deleted);
    QFETCH(QStringList, left);

    auto line = [&](int k) { return QString("P%1=%2/p%1/P%1.vbp\r\n").arg(k).arg(dir_->path()).toUtf8(); };
    QByteArray text = "[Other]\r\nP1=elsewhere\r\n[Tools]\r\n";
    for (int k = 1; k <= count; ++k) {
        QVERIFY(writeVbp(path(QString("p%1/P%1.vbp").arg(k)), "x", QString("E%1.exe").arg(k)));
        text += line(k);
    }
    QVERIFY(put(catalogueFile(), text));
    ScriptedUserInterface ui;
    QCOMPARE(catalogue::LoadCategories(), 2);
    cVbAnalyze &category = *State().CategoryAt(2);
    QCOMPARE(category.Count(), count);

    QCOMPARE(category.DeleteProject(index), deleted);
    QVERIFY(ui.messages.isEmpty());
    QCOMPARE(names(category), left);
    QStringList wantFiles, wantFolders, wantExes;
    QByteArray wantText = "[Other]\r\nP1=elsewhere\r\n[Tools]\r\n";
    for (const QString &n : left) {
        const int k = n.mid(1).toInt();
        wantFolders.append(path(QString("p%1").arg(k)));
        wantFiles.append(wantFolders.last() + QString("/P%1.vbp").arg(k));
        wantExes.append(wantFolders.last() + QString("/E%1.exe").arg(k));
        wantText += line(k);
    }
    QCOMPARE(files(category), wantFiles);
    QCOMPARE(folders(category), wantFolders);
    QCOMPARE(exes(category), wantExes);
    // Only the key of the deleted project leaves the file; the same key in another section stays.
    QCOMPARE(contents(catalogueFile()), deleted ? wantText : text);
}

void tst_cVbAnalyze::deleteProjectGoneFromTheFile()
{
    // Another program removed the key meanwhile: the row goes, and nothing else is written.
    QVERIFY(put(catalogueFile(), "[Tools]\r\nOld=/old.vbp\r\nNew=/new.vbp\r\n"));
    ScriptedUserInterface ui;
    QCOMPARE(catalogue::LoadCategories(), 1);
    const QByteArray theirs = "[Tools]\r\nOld=/old.vbp\r\n";
    QVERIFY(put(catalogueFile(), theirs));

    QVERIFY(State().CategoryAt(1)->DeleteProject(2));
    QCOMPARE(names(*State().CategoryAt(1)), QStringList {"Old"});
    QVERIFY(ui.messages.isEmpty());
    QCOMPARE(contents(catalogueFile()), theirs);
}

void tst_cVbAnalyze::deleteProjectReadOnlyFile()
{
    const QByteArray text = "[Tools]\r\nA=/a.vbp\r\nB=/b.vbp\r\n";
    QVERIFY(put(catalogueFile(), text));
    ScriptedUserInterface ui;
    QCOMPARE(catalogue::LoadCategories(), 1);
    cVbAnalyze &category = *State().CategoryAt(1);
    QCOMPARE(::chmod(QFile::encodeName(catalogueFile()).constData(), 0444), 0);

    QVERIFY(!category.DeleteProject(1));
    QCOMPARE(ui.messages, QStringList {"ｷｰの削除に失敗しました。\r\n" + catalogueFile() + " は書き込みできません。"});
    QCOMPARE(names(category), (QStringList {"A", "B"}));
    QCOMPARE(files(category), (QStringList {"/a.vbp", "/b.vbp"}));
    QCOMPARE(contents(catalogueFile()), text);
}

void tst_cVbAnalyze::categoryLoads_data()
{
    QTest::addColumn<QByteArray>("fileText");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("exes");

    // "@" stands for the test folder, where calc/Calc.vbp exists and gone/Gone.vbp does not.
    const QByteArray two = "[Games]\r\nPuzzle=@/p/Puzzle.vbp\r\n[Tools]\r\nCalc=@/calc/Calc.vbp\r\nGone=@/gone/Gone.vbp\r\n";
    const QStringList twoNames {"Calc", "Gone"};
    const QStringList twoFiles {"@/calc/Calc.vbp", "@/gone/Gone.vbp"};
    const QStringList twoFolders {"@/calc", "@/gone"};
    const QStringList twoExes {"@/calc/Calc1.exe", ""};

    QTest::newRow("second section") << two << "Tools" << twoNames << twoFiles << twoFolders << twoExes;
    QTest::newRow("section name in other case") << two << "TOOLS" << twoNames << twoFiles << twoFolders << twoExes;
    QTest::newRow("lf only") << QByteArray(two).replace("\r\n", "\n") << "Tools" << twoNames << twoFiles << twoFolders
                             << twoExes;
    QTest::newRow("missing section") << two << "Nothing" << QStringList() << QStringList() << QStringList()
                                     << QStringList();
    QTest::newRow("empty section") << QByteArray("[Tools]\r\n[Games]\r\nx=y\r\n") << "Tools" << QStringList()
                                   << QStringList() << QStringList() << QStringList();
    QTest::newRow("no file") << QByteArray() << "Tools" << QStringList() << QStringList() << QStringList()
                             << QStringList();
    QTest::newRow("empty value") << QByteArray("[Tools]\r\nCalc=\r\nMemo=@/m/Memo.vbp\r\n") << "Tools"
                                 << QStringList {"Calc", "Memo"} << QStringList {kUnset, "@/m/Memo.vbp"}
                                 << QStringList {"", "@/m"} << QStringList {"", ""};
    QTest::newRow("blank lines and a comment") << QByteArray("; note\r\n[Tools]\r\n\r\nCalc=@/calc/Calc.vbp\r\n\r\n")
                                         << "Tools" << QStringList {"Calc"} << QStringList {"@/calc/Calc.vbp"}
                                         << QStringList {"@/calc"} << QStringList {"@/calc/Calc1.exe"};
}

void tst_cVbAnalyze::categoryLoads()
{
    QFETCH(QByteArray, fileText);
    QFETCH(QString, category);
    QFETCH(QStringList, names);
    QFETCH(QStringList, files);
    QFETCH(QStringList, folders);
    QFETCH(QStringList, exes);
    const QString root = dir_->path();
    auto expand = [&](QStringList list) { return list.replaceInStrings("@", root); };
    QVERIFY(writeVbp(path("calc/Calc.vbp"), "Calc", "Calc1.exe"));
    if (!fileText.isEmpty())
        QVERIFY(put(catalogueFile(), fileText.replace("@", root.toUtf8())));

    cVbAnalyze c;
    QString name = QStringLiteral("Stale");
    c.AddProject(path("stale.vbp"), name);
    c.SetCategory(category);
    QCOMPARE(c.Category(), category);
    QCOMPARE(::names(c), names);
    QCOMPARE(::files(c), expand(files));
    QCOMPARE(::folders(c), expand(folders));
    QCOMPARE(::exes(c), expand(exes));
    QCOMPARE(inserted_->count(), 1); // the stale project only: a load replaces the list at once
}

void tst_cVbAnalyze::categoryWriteReloads()
{
    QVERIFY(put(catalogueFile(), "[Tools]\r\nA=/a.vbp\r\n"));
    ScriptedUserInterface ui;
    cVbAnalyze c;
    c.SetCategory("Tools");
    QString name = QStringLiteral("Added");
    c.AddProject("/added.vbp", name);
    QCOMPARE(c.Count(), 2);

    // The same name again: unsaved additions are dropped, and a change on disk is seen.
    QVERIFY(put(catalogueFile(), "[Tools]\r\nA=/a.vbp\r\nB=/b.vbp\r\n"));
    c.SetCategory("Tools");
    QCOMPARE(names(c), (QStringList {"A", "B"}));
    QCOMPARE(files(c), (QStringList {"/a.vbp", "/b.vbp"}));

    // A new name without a section comes back empty, as a rename needs.
    c.SetCategory("Renamed");
    QCOMPARE(c.Category(), QString("Renamed"));
    QCOMPARE(c.Count(), 0);
    QCOMPARE(c.ProjectName(1), QString());
    QVERIFY(ui.messages.isEmpty());
}

void tst_cVbAnalyze::projectFileWrite_data()
{
    QTest::addColumn<QString>("newFile");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("exe");
    QTest::newRow("existing vbp") << "new/New.vbp" << "new" << "new/NewApp.exe";
    QTest::newRow("vbp without ExeName32") << "bare/Bare.vbp" << "bare" << "bare/Bare.exe";
}

void tst_cVbAnalyze::projectFileWrite()
{
    QFETCH(QString, newFile);
    QFETCH(QString, folder);
    QFETCH(QString, exe);
    QVERIFY(writeVbp(path("old/Old.vbp"), "Old", "Old.exe"));
    QVERIFY(writeVbp(path("new/New.vbp"), "New", "NewApp.exe"));
    QVERIFY(put(path("bare/Bare.vbp"), "Type=Exe\r\n"));
    QVERIFY(put(catalogueFile(), "[Tools]\r\nFirst=" + path("old/Old.vbp").toUtf8() + "\r\nSecond=/s.vbp\r\n"));
    const QByteArray before = contents(catalogueFile());
    cVbAnalyze c;
    c.SetCategory("Tools");
    QCOMPARE(c.ProjectExe(1), path("old/Old.exe"));

    c.SetProjectFile(1, path(newFile));
    QCOMPARE(c.ProjectName(1), QString("First"));
    QCOMPARE(c.ProjectFile(1), path(newFile));
    QCOMPARE(c.ProjectFolder(1), path(folder));
    QCOMPARE(c.ProjectExe(1), path(exe));
    QCOMPARE(files(c).last(), QString("/s.vbp"));
    // Memory only: the file is written by the caller.
    QCOMPARE(contents(catalogueFile()), before);
}

ZARUN_FAKE_IDE_TEST_MAIN(QCoreApplication, tst_cVbAnalyze)
#include "tst_cVbAnalyze.moc"
