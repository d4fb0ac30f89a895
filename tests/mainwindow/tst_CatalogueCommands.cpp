// The commands on the catalogue without a window: what each writes, asks and refuses, what the two
// item models tell their views, and that every row maps to the entry the commands act on.
#include "catalogue/CatalogueChanges.h"
#include "catalogue/CatalogueModels.h"
#include "catalogue/LookCache.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/cVbAnalyze.h"
#include "common/FileBytes.h"
#include "common/TestFolders.h"
#include "common/ResetGlobals.h"
#include "common/ScriptedUserInterface.h"
#include "mainwindow/CatalogueCommands.h"
#include "settings/Settings.h"
#include "platform/Backups.h"
#include "platform/FileSystem.h"
#include "platform/OffThread.h"
#include "platform/IniStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using catalogue::State;

namespace {

// What a model told its views, in order: "inserted 2-2", "removed 1-1", "reset", "changed 0".
struct ModelLog {
    explicit ModelLog(QAbstractItemModel *model)
    {
        QObject::connect(model, &QAbstractItemModel::rowsInserted, model, [this](const QModelIndex &, int first, int last) {
            entries.append(QStringLiteral("inserted %1-%2").arg(first).arg(last));
        });
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, model, [this](const QModelIndex &, int first, int last) {
            entries.append(QStringLiteral("removed %1-%2").arg(first).arg(last));
        });
        QObject::connect(model, &QAbstractItemModel::modelReset, model, [this] { entries.append(QStringLiteral("reset")); });
        QObject::connect(model, &QAbstractItemModel::dataChanged, model,
                         [this](const QModelIndex &from) { entries.append(QStringLiteral("changed %1").arg(from.row())); });
    }
    QStringList entries;
};

// The two lists as the main window keeps them: it lists the current category whenever the
// selection changes.
struct Lists {
    explicit Lists(CatalogueCommands &commands)
    {
        QObject::connect(&commands, &CatalogueCommands::SelectionChanged, &projects, [this] {
            if (projects.ShownCategory() != State().Current())
                projects.ShowCategory(State().Current());
        });
    }
    QStringList Categories() const
    {
        QStringList names;
        for (int r = 0; r < categories.rowCount(); ++r)
            names.append(categories.index(r).data(catalogue::PlainTextRole).toString());
        return names;
    }
    QStringList Projects() const
    {
        QStringList names;
        for (qint32 r = 1; r <= projects.rowCount(); ++r)
            names.append(projects.Text(r, catalogue::ProjectListModel::NameColumn));
        return names;
    }
    catalogue::CategoryListModel categories{State()};
    catalogue::ProjectListModel projects{State()};
};

// What a category chosen allows: its commands and adding, no project's.
const CatalogueCommands::EntryStates categoryOnly{true, true, false};

} // namespace

class tst_CatalogueCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseTestFolders(); }
    void init();
    void cleanup();
    void modelsFollowTheCommands_data();
    void modelsFollowTheCommands();
    void executablesArriveFromTheReader();
    void keptLooksComingLateAreNotWrittenAgain();
    void looksKeptATurnAtATime_data();
    void looksKeptATurnAtATime();
    void statusesFollowTheFiles();
    void buildsReportBack_data();
    void buildsReportBack();
    void backupFailureToldOnce();
    void changesWriteWorkedExample();
    void saveFailureKeepsFile_data();
    void saveFailureKeepsFile();
    void categoryAddRenameDelete();
    void categoryNamesRefused_data();
    void categoryNamesRefused();
    void projectDelete();
    void projectDeleteFailureKeepsRow();

private:
    void load(CatalogueCommands &commands, const QByteArray &bytes);
    // Adds projects as the add command does once their .vbp files are read.
    void add(const QString &category, const QList<std::pair<const char *, const char *>> &namesAndFiles);
    // Category A of count projects p<i>/P.vbp naming E<i>.exe, as catalogue text; empty when a file failed.
    QByteArray layProjects(int count);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedUserInterface> ui_;
};

void tst_CatalogueCommands::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    ResetGlobals();
    settings::Values().AutoMakeExe = false;
    ui_ = std::make_unique<ScriptedUserInterface>();
}

void tst_CatalogueCommands::cleanup()
{
    ui_.reset();
    ResetGlobals();
    dir_.reset();
}

void tst_CatalogueCommands::load(CatalogueCommands &commands, const QByteArray &bytes)
{
    State().CatalogueFilePath = dir_->filePath(QStringLiteral("Tools.zrd"));
    QVERIFY(put(State().CatalogueFilePath, bytes));
    commands.LoadCatalogue();
}

void tst_CatalogueCommands::add(const QString &category, const QList<std::pair<const char *, const char *>> &namesAndFiles)
{
    QList<catalogue::NewProject> projects;
    for (const auto &[name, file] : namesAndFiles)
        projects.append({QString::fromUtf8(file), QString::fromUtf8(name), QString()});
    const catalogue::ChangeResult result = catalogue::AddProjects(category, projects);
    QVERIFY2(result.Done, qPrintable(result.Message));
}

void tst_CatalogueCommands::modelsFollowTheCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("categoryLog");
    QTest::addColumn<QStringList>("projectLog");
    QTest::addColumn<QStringList>("categories");
    QTest::addColumn<QStringList>("projects"); // of the current category, as listed
    QTest::addColumn<qint32>("currentProject");

    const QStringList abc{"A", "B", "C"};
    QTest::newRow("add a category") << "add category" << QStringList{"inserted 3-3"} << QStringList{"reset"}
                                    << QStringList{"A", "B", "C", "D"} << QStringList{} << 0;
    QTest::newRow("delete the middle category")
        << "delete category" << QStringList{"removed 1-1"} << QStringList{"reset", "reset"} << QStringList{"A", "C"}
        << QStringList{"a1", "a2", "a3"} << 0;
    // The projects stay as they are, statuses and all: only the category's name changes.
    QTest::newRow("rename a category") << "rename category" << QStringList{"changed 1"} << QStringList{}
                                       << QStringList{"A", "Z", "C"} << QStringList{"b1"} << 0;
    // Its .vbp is missing: the category counts one project needing attention less.
    QTest::newRow("delete the second project") << "delete project" << QStringList{"changed 0"} << QStringList{"removed 1-1"}
                                               << abc << QStringList{"a1", "a3"} << 0;
    // The category's count of projects follows each one added.
    QTest::newRow("drop two files") << "drop" << QStringList{"changed 0", "changed 0"}
                                    << QStringList{"inserted 3-3", "inserted 4-4"} << abc
                                    << QStringList{"a1", "a2", "a3", "New1", "New2"} << 2;
    // A project group adds what it lists, as if each .vbp had been dropped.
    QTest::newRow("drop a project group") << "drop group" << QStringList{"changed 0", "changed 0"}
                                          << QStringList{"inserted 3-3", "inserted 4-4"}
                                          << abc << QStringList{"a1", "a2", "a3", "New1", "New2"} << 2;
}

void tst_CatalogueCommands::modelsFollowTheCommands()
{
    QFETCH(QString, command);
    QFETCH(QStringList, categoryLog);
    QFETCH(QStringList, projectLog);
    QFETCH(QStringList, categories);
    QFETCH(QStringList, projects);
    QFETCH(qint32, currentProject);
    const QString file = dir_->filePath("c.zrd");
    QVERIFY(put(file, "[A]\r\na1=/a1.vbp\r\na2=/a2.vbp\r\na3=/a3.vbp\r\n[B]\r\nb1=/b1.vbp\r\n[C]\r\n"));
    QStringList dropped;
    for (const char *name : {"New1", "New2"}) {
        dropped.append(dir_->filePath(QStringLiteral("%1.vbp").arg(name)));
        QVERIFY(put(dropped.last(), QByteArray("Name=\"") + name + "\"\r\n"));
    }

    CatalogueCommands commands;
    Lists lists(commands);
    catalogue::ProjectReader reader(State());
    commands.SetReader(&reader);
    State().CatalogueFilePath = file;
    commands.LoadCatalogue();
    commands.SelectProject(2);
    if (command.endsWith(QLatin1String("category")) && command != QLatin1String("add category"))
        commands.SelectCategory(2);
    // The statuses found after the load are in: the logs hold what the command told alone.
    QTRY_VERIFY(reader.Idle());
    QCoreApplication::processEvents();
    const ModelLog categoryEvents(&lists.categories);
    const ModelLog projectEvents(&lists.projects);

    if (command == QLatin1String("add category")) {
        ui_->inputAnswers << QStringLiteral("D");
        commands.AddCategory();
    } else if (command == QLatin1String("delete category")) {
        ui_->confirmAnswers << true;
        commands.DeleteCategory();
    } else if (command == QLatin1String("rename category")) {
        ui_->inputAnswers << QStringLiteral("Z");
        commands.RenameCategory();
    } else if (command == QLatin1String("delete project")) {
        ui_->confirmAnswers << true;
        commands.DeleteSelectedProject();
    } else if (command == QLatin1String("drop group")) {
        const QString group = dir_->filePath("Both.vbg");
        QVERIFY(put(group, "VBGROUP 5.0\r\nStartupProject=New1.vbp\r\nProject=New2.vbp\r\n"));
        commands.AddDroppedFiles({group});
    } else {
        commands.AddDroppedFiles(dropped);
    }

    QCOMPARE(ui_->messages, QStringList());
    QCOMPARE(categoryEvents.entries, categoryLog);
    QCOMPARE(projectEvents.entries, projectLog);
    QCOMPARE(lists.Categories(), categories);
    // Row r is entry r of the current category: what the commands act on is what is listed.
    QCOMPARE(lists.Projects(), projects);
    for (qint32 r = 1; r <= lists.projects.rowCount(); ++r)
        QCOMPARE(lists.projects.Text(r, 0), State().Current()->ProjectName(r));
    QCOMPARE(lists.projects.ShownCategory(), State().Current());
    QCOMPARE(State().CurrentProject, currentProject);
}

QByteArray tst_CatalogueCommands::layProjects(int count)
{
    QByteArray text = "[A]\r\n";
    for (int i = 0; i < count; ++i) {
        const QString vbp = dir_->filePath(QStringLiteral("p%1/P.vbp").arg(i));
        if (!put(vbp, QStringLiteral("Name=\"P\"\r\nExeName32=\"E%1.exe\"\r\n").arg(i).toUtf8()))
            return {};
        text += QStringLiteral("p%1=%2\r\n").arg(i).arg(vbp).toUtf8();
    }
    return text;
}

void tst_CatalogueCommands::executablesArriveFromTheReader()
{
    catalogue::ProjectReader reader(State());
    QByteArray text = layProjects(600);
    QVERIFY(!text.isEmpty());
    text += "gone=" + dir_->filePath("gone.vbp").toUtf8() + "\r\n";
    QVERIFY(put(dir_->filePath("c.zrd"), text));
    catalogue::ProjectListModel model(State());
    CatalogueCommands commands;
    State().CatalogueFilePath = dir_->filePath("c.zrd");
    commands.LoadCatalogue();
    model.ShowCategory(State().Current());
    QSignalSpy read(&State(), &catalogue::CatalogueState::ProjectsScanned);
    QSignalSpy drawn(&model, &QAbstractItemModel::dataChanged);
    QTRY_VERIFY_WITH_TIMEOUT(reader.Idle(), 20000);
    QTRY_VERIFY(read.count() > 0);
    const catalogue::cVbAnalyze *category = State().Current();
    std::vector<bool> redrawn(size_t(category->Count()), false);
    for (const QList<QVariant> &range : drawn)
        for (int row = range[0].toModelIndex().row(); row <= range[1].toModelIndex().row(); ++row)
            redrawn[size_t(row)] = true;
    for (qint32 j = 1; j <= category->Count(); ++j) {
        QVERIFY(category->Record(j)->exeKnown);
        QCOMPARE(model.Text(j, catalogue::ProjectListModel::ExeNameColumn),
                 j <= 600 ? QStringLiteral("E%1.exe").arg(j - 1) : QString());
        QVERIFY2(redrawn[size_t(j - 1)], qPrintable(QStringLiteral("row %1 never drawn again").arg(j)));
    }
    // Nothing new: no row is drawn again.
    drawn.clear();
    Q_EMIT State().ProjectsScanned();
    QCOMPARE(drawn.count(), 0);
    // What was read is kept for the next start.
    QTRY_VERIFY(QFileInfo::exists(catalogue::LookCache::FileFor(State().CatalogueFilePath)));
}

// The kept looks read after the others have begun the hard way (a million take about a second):
// what was read meanwhile is judged against them, and the same looks are not written again.
void tst_CatalogueCommands::keptLooksComingLateAreNotWrittenAgain()
{
    catalogue::ProjectReader reader(State());
    const QByteArray text = layProjects(50);
    QVERIFY(!text.isEmpty() && put(dir_->filePath("c.zrd"), text));
    State().CatalogueFilePath = dir_->filePath("c.zrd");
    const QString looks = catalogue::LookCache::FileFor(State().CatalogueFilePath);
    CatalogueCommands commands;
    QSignalSpy read(&reader, &catalogue::ProjectReader::AllRead);
    const auto loadAndKeep = [&] {
        read.clear();
        commands.LoadCatalogue();
        QTRY_VERIFY_WITH_TIMEOUT(read.count() > 0, 20000);
        platform::Workers().waitForDone(); // the looks' write
    };
    loadAndKeep();
    // Kept as a run long after they were written would keep them (files this new are left out).
    std::vector<catalogue::SourcesPtr> all;
    for (qint32 j = 1; j <= State().Current()->Count(); ++j)
        all.push_back(State().Current()->Record(j)->sources);
    QVERIFY(catalogue::LookCache::Write(looks, all, platform::WallClockNs()));
    const QDateTime kept = QDateTime::fromSecsSinceEpoch(1600000000);
    {
        QFile file(looks);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(kept, QFileDevice::FileModificationTime));
    }
    reader.SetCacheWaitMs(-1);
    loadAndKeep();
    QCOMPARE(QFileInfo(looks).lastModified(), kept);
}

void tst_CatalogueCommands::looksKeptATurnAtATime_data()
{
    QTest::addColumn<int>("aTurn");
    QTest::addColumn<QString>("before"); // what comes before the last turn
    QTest::addColumn<int>("kept");
    QTest::newRow("one turn") << 1000 << "" << 50;
    QTest::newRow("turns of 7") << 7 << "" << 50;
    QTest::newRow("another catalogue") << 7 << "cancel" << -1;
    QTest::newRow("the window closed") << 7 << "close" << 50;
}

void tst_CatalogueCommands::looksKeptATurnAtATime()
{
    QFETCH(int, aTurn);
    QFETCH(QString, before);
    QFETCH(int, kept);
    auto reader = std::make_unique<catalogue::ProjectReader>(State());
    reader->SetLooksKeptATurn(aTurn);
    reader->SetKeptIfUnchangedForNs(0); // the files were made just now
    const QByteArray text = layProjects(50);
    QVERIFY(!text.isEmpty() && put(dir_->filePath("c.zrd"), text));
    State().CatalogueFilePath = dir_->filePath("c.zrd");
    const QString looks = catalogue::LookCache::FileFor(State().CatalogueFilePath);
    if (before == "cancel")
        connect(reader.get(), &catalogue::ProjectReader::AllRead, reader.get(), &catalogue::ProjectReader::Cancel);
    QSignalSpy read(reader.get(), &catalogue::ProjectReader::AllRead);
    CatalogueCommands commands;
    commands.LoadCatalogue();
    // Until the signal and no further: the later turns are still to come.
    QVERIFY(!read.isEmpty() || read.wait(20000));
    if (before == "close")
        reader.reset();
    for (int turn = 0; turn < 50 / aTurn + 2; ++turn)
        QCoreApplication::processEvents();
    platform::Workers().waitForDone();
    QCOMPARE(QFileInfo::exists(looks) ? int(catalogue::LookCache::Read(looks)->Size()) : -1, kept);
}

namespace {

constexpr qint64 kBase = 1700000000;

// p<name>/App.vbp listing Main.frm, with the executable App.exe; times relative to kBase.
QString layProject(const QTemporaryDir &dir, const QString &name, qint64 vbp, qint64 form, qint64 exe)
{
    const QString folder = dir.filePath(name);
    const QString project = folder + QStringLiteral("/App.vbp");
    const bool ok = put(project, "Form=Main.frm\r\nExeName32=\"App.exe\"\r\n") && setModified(project, kBase + vbp)
                    && put(folder + QStringLiteral("/Main.frm"), "x") && setModified(folder + QStringLiteral("/Main.frm"), kBase + form)
                    && (exe < 0 || (put(folder + QStringLiteral("/App.exe"), "MZ") && setModified(folder + QStringLiteral("/App.exe"), kBase + exe)));
    return ok ? project : QString();
}

catalogue::ProjectState shown(qint32 project)
{
    return State().Current()->Record(project)->Shown();
}

} // namespace

void tst_CatalogueCommands::statusesFollowTheFiles()
{
    const QStringList projects{layProject(*dir_, "fresh", 10, 10, 100), layProject(*dir_, "stale", 10, 200, 100),
                               layProject(*dir_, "unbuilt", 10, 10, -1)};
    QVERIFY(!projects.contains(QString()));
    QVERIFY(put(dir_->filePath("c.zrd"), QStringLiteral("[A]\r\nf=%1\r\ns=%2\r\nu=%3\r\ng=%4\r\n[B]\r\n")
                                          .arg(projects[0], projects[1], projects[2], dir_->filePath("gone/App.vbp"))
                                          .toUtf8()));
    catalogue::ProjectReader reader(State());
    catalogue::CategoryListModel categories(State());
    CatalogueCommands commands;
    State().CatalogueFilePath = dir_->filePath("c.zrd");
    commands.LoadCatalogue();
    using S = catalogue::ProjectState;
    const auto states = [] { return QList<S>{shown(1), shown(2), shown(3), shown(4)}; };
    QTRY_COMPARE(states(), (QList<S>{S::UpToDate, S::OutOfDate, S::ExeMissing, S::VbpMissing}));
    // Beside the name on screen only.
    QTRY_COMPARE(categories.index(0).data().toString(), QStringLiteral("A (4)  要3"));
    QCOMPARE(categories.index(0).data(catalogue::PlainTextRole).toString(), QStringLiteral("A"));
    QCOMPARE(categories.index(1).data().toString(), QStringLiteral("B (0)"));
    QCOMPARE(State().Current()->Category(), QStringLiteral("A"));
    QCOMPARE(State().Current()->Record(2)->StatusFile(), dir_->filePath("stale/Main.frm"));

    // The files change; the next look sees it: a source newer, an executable built, a .vbp gone
    // (its row stays) and one come back.
    QVERIFY(setModified(dir_->filePath("fresh/Main.frm"), kBase + 300));
    QVERIFY(put(dir_->filePath("unbuilt/App.exe"), "MZ"));
    QVERIFY(QFile::remove(projects[1]));
    QVERIFY(layProject(*dir_, "gone", 10, 10, 100) == dir_->filePath("gone/App.vbp"));
    QTRY_VERIFY(reader.Idle());
    reader.RefreshAll();
    QTRY_COMPARE(states(), (QList<S>{S::OutOfDate, S::VbpMissing, S::UpToDate, S::UpToDate}));
    QCOMPARE(State().Current()->Count(), 4);
    QTRY_COMPARE(categories.index(0).data().toString(), QStringLiteral("A (4)  要2"));
    // The executable of the project whose .vbp was missing at load is known now.
    QCOMPARE(State().Current()->KnownProjectExe(4), dir_->filePath("gone/App.exe"));
    // The count follows a project that goes, as well as a look.
    QVERIFY(catalogue::DeleteProject(QStringLiteral("A"), State().Current()->Shared(2).lock()).Done);
    QCOMPARE(categories.index(0).data().toString(), QStringLiteral("A (3)  要1"));
}

void tst_CatalogueCommands::buildsReportBack_data()
{
    QTest::addColumn<bool>("newExecutable");
    QTest::addColumn<bool>("exited"); // the build process ended normally
    QTest::addColumn<int>("after");
    QTest::newRow("built") << true << true << int(catalogue::ProjectState::UpToDate);
    QTest::newRow("ended without a new executable") << false << true << int(catalogue::ProjectState::Failed);
    QTest::newRow("process failed") << true << false << int(catalogue::ProjectState::Failed);
}

void tst_CatalogueCommands::buildsReportBack()
{
    QFETCH(bool, newExecutable);
    QFETCH(bool, exited);
    QFETCH(int, after);
    const QString project = layProject(*dir_, "p", 10, 200, 100);
    QVERIFY(put(dir_->filePath("c.zrd"), "[A]\r\np=" + project.toUtf8() + "\r\n"));
    catalogue::ProjectReader reader(State());
    catalogue::CategoryListModel categories(State());
    CatalogueCommands commands;
    State().CatalogueFilePath = dir_->filePath("c.zrd");
    commands.LoadCatalogue();
    QTRY_COMPARE(shown(1), catalogue::ProjectState::OutOfDate);
    // The build code holds the record, not the row: a move or rename meanwhile changes nothing.
    const std::weak_ptr<catalogue::ProjectRecord> record = State().Current()->Shared(1);
    State().BuildStarted(record);
    QCOMPARE(shown(1), catalogue::ProjectState::Building);
    QTRY_COMPARE(categories.index(0).data().toString(), QStringLiteral("A (1)"));
    if (newExecutable)
        QVERIFY(setModified(dir_->filePath("p/App.exe"), kBase + 400));
    State().BuildFinished(record, exited);
    QTRY_COMPARE(int(shown(1)), after);
    QTRY_COMPARE(categories.index(0).data().toString(),
                 after == int(catalogue::ProjectState::UpToDate) ? QStringLiteral("A (1)") : QStringLiteral("A (1)  要1"));
    // A failure stays until a look finds the project up to date.
    reader.RefreshAll();
    QTRY_VERIFY(reader.Idle());
    QCOMPARE(int(shown(1)), after == int(catalogue::ProjectState::Failed) && !newExecutable ? after
                                                                                             : int(catalogue::ProjectState::UpToDate));
}

void tst_CatalogueCommands::backupFailureToldOnce()
{
    // A file where the backup folder would go: the changes are made, and the user hears of it once.
    QVERIFY(put(dir_->filePath("state"), "a file"));
    platform::SetBackupFolderForTesting(dir_->filePath("state/backups"));
    platform::ResetBackupFailureForTesting();
    const QString file = dir_->filePath("c.zrd");
    QVERIFY(put(file, "[A]\r\na1=/a1.vbp\r\n[B]\r\n[C]\r\n"));
    CatalogueCommands commands;
    State().CatalogueFilePath = file;
    commands.LoadCatalogue();
    commands.SelectCategory(2);
    ui_->confirmAnswers << true << true;
    commands.DeleteCategory();
    commands.DeleteCategory();
    UseTestFolders();
    QCOMPARE(contents(file), QByteArray("[C]\r\n")); // B, then A above it
    QCOMPARE(ui_->messages.size(), 1);
    QVERIFY2(ui_->messages[0].startsWith(dir_->filePath("state/backups") + u' '), qPrintable(ui_->messages[0]));
}

void tst_CatalogueCommands::changesWriteWorkedExample()
{
    CatalogueCommands commands;
    const Lists lists(commands);
    load(commands, "");
    ui_->messages.clear();
    ui_->inputAnswers << QStringLiteral("Tools");
    commands.AddCategory();
    add("Tools", {{"Calc", "C:\\Src\\Calc\\Calc.vbp"}, {"Memo Pad", "C:\\Src\\Memo\\MemoPad.vbp"},
                  {"Calc", "D:\\Old\\Calc\\Calc.vbp"}});
    ui_->inputAnswers << QStringLiteral("Games");
    commands.AddCategory();
    add("Games", {{"Puzzle", "D:\\Games\\Puzzle\\Puzzle.vbp"}});
    ui_->inputAnswers << QStringLiteral("Empty");
    commands.AddCategory();

    // On disk as each change was made; the name written is the name shown.
    const QByteArray written("[Tools]\r\nCalc=C:\\Src\\Calc\\Calc.vbp\r\nMemo Pad=C:\\Src\\Memo\\MemoPad.vbp\r\n"
                             "Calc(3)=D:\\Old\\Calc\\Calc.vbp\r\n[Games]\r\nPuzzle=D:\\Games\\Puzzle\\Puzzle.vbp\r\n");
    QCOMPARE(contents(State().CatalogueFilePath), written);
    QCOMPARE(State().CategoryAt(1)->ProjectName(3), QStringLiteral("Calc(3)"));
    // Save finds the file holding the catalogue: nothing to write.
    const platform::FileStamp stamp = platform::StatFile(State().CatalogueFilePath);
    QVERIFY(commands.SaveCatalogue());
    QCOMPARE(platform::StatFile(State().CatalogueFilePath), stamp);
    QCOMPARE(ui_->progress.last(), QStringLiteral("Tools.zrd を保存中"));
    QVERIFY(!ui_->progressShown);
    QVERIFY(ui_->messages.isEmpty());

    // Reopening gives the same catalogue; the category without projects has no section to come back from.
    commands.LoadCatalogue();
    QCOMPARE(lists.Categories(), (QStringList{QStringLiteral("Tools"), QStringLiteral("Games")}));
    QCOMPARE(lists.Projects(),
             (QStringList{QStringLiteral("Calc"), QStringLiteral("Memo Pad"), QStringLiteral("Calc(3)")}));
}

void tst_CatalogueCommands::saveFailureKeepsFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("deleted, in a read-only folder") << QStringLiteral("folder");
    QTest::newRow("folder in place of the file") << QStringLiteral("replaced");
}

void tst_CatalogueCommands::saveFailureKeepsFile()
{
    QFETCH(QString, how);
    CatalogueCommands commands;
    const Lists lists(commands);
    load(commands, "[A]\r\np1=x\r\n");
    const QString path = State().CatalogueFilePath;
    QVERIFY(QFile::remove(path));
    const QFile::Permissions folderPermissions = QFile::permissions(dir_->path());
    if (how == QLatin1String("folder"))
        QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::ExeOwner);
    else
        QVERIFY(QDir().mkdir(path));
    QVERIFY(!commands.SaveCatalogue());
    QFile::setPermissions(dir_->path(), folderPermissions);
    QCOMPARE(ui_->messages.size(), 1);
    QVERIFY2(ui_->messages[0].startsWith(path + u' '), qPrintable(ui_->messages[0]));
    QVERIFY(!ui_->progressShown);
    // Still shown, for a later Save to write back.
    QCOMPARE(lists.Projects(), QStringList{QStringLiteral("p1")});
}

void tst_CatalogueCommands::categoryAddRenameDelete()
{
    CatalogueCommands commands;
    const Lists lists(commands);
    load(commands, "[A]\r\np1=C:\\a\\p1.vbp\r\np2=\r\n=/unnamed.vbp\r\n[B]\r\nq=z\r\n");
    // Cancel and empty names do nothing.
    ui_->inputAnswers << QString() << QStringLiteral("");
    commands.AddCategory();
    commands.AddCategory();
    QCOMPARE(State().CategoryCount, 2);
    QCOMPARE(ui_->inputPrompts.first(),
             QStringLiteral("ｶﾃｺﾞﾘｰ追加|ｶﾃｺﾞﾘｰ名を入力してください。|"));

    // Rename A to a: the header line changes in place, its keys keep their lines, unset path included.
    ui_->inputAnswers << QStringLiteral("a");
    commands.RenameCategory();
    QCOMPARE(ui_->inputPrompts.last(), QStringLiteral("ｶﾃｺﾞﾘｰ編集|ｶﾃｺﾞﾘｰ名を入力してください。|A"));
    QCOMPARE(contents(State().CatalogueFilePath),
             QByteArray("[a]\r\np1=C:\\a\\p1.vbp\r\np2=\r\n=/unnamed.vbp\r\n[B]\r\nq=z\r\n"));
    QCOMPARE(lists.Categories(), (QStringList{QStringLiteral("a"), QStringLiteral("B")}));
    // Every project exactly as it was: the one without a name is not named from its file.
    QCOMPARE(lists.Projects(), (QStringList{QStringLiteral("p1"), QStringLiteral("p2"), QString()}));
    QCOMPARE(State().Current()->ProjectFile(1), QStringLiteral("C:\\a\\p1.vbp"));
    QVERIFY(State().Current()->ProjectFile(2).isNull());

    // Renaming to the same name touches nothing.
    ui_->inputAnswers << QStringLiteral("a");
    commands.RenameCategory();
    QVERIFY(ui_->messages.isEmpty());

    // Delete: Cancel keeps everything; OK removes the section at once.
    commands.SelectCategory(2);
    ui_->confirmAnswers << false << true;
    commands.DeleteCategory();
    QCOMPARE(ui_->confirmations.last(),
             QStringLiteral("ｶﾃｺﾞﾘｰ削除|ｶﾃｺﾞﾘｰ　[B]　を削除します。\r\n\r\n"
                            "登録したﾌﾟﾛｼﾞｪｸﾄﾘｽﾄも一緒に削除されますがよろしいですか。"));
    QCOMPARE(State().CategoryCount, 2);
    commands.DeleteCategory();
    QCOMPARE(contents(State().CatalogueFilePath), QByteArray("[a]\r\np1=C:\\a\\p1.vbp\r\np2=\r\n=/unnamed.vbp\r\n"));
    QCOMPARE(lists.Categories(), QStringList{QStringLiteral("a")});
    QCOMPARE(State().CurrentCategory, 1);
    QVERIFY(commands.States() == categoryOnly);

    // The last one: everything empty and off.
    ui_->confirmAnswers << true;
    commands.DeleteCategory();
    QCOMPARE(State().CategoryCount, 0);
    QCOMPARE(State().CurrentCategory, 0);
    QCOMPARE(lists.Categories(), QStringList());
    QCOMPARE(lists.Projects(), QStringList());

    // A read-only catalogue: the section cannot be removed, nothing changes.
    load(commands, "[R]\r\nr=1\r\n");
    QFile::setPermissions(State().CatalogueFilePath, QFile::ReadOwner);
    ui_->inputAnswers << QStringLiteral("S");
    ui_->confirmAnswers << true;
    commands.RenameCategory();
    commands.DeleteCategory();
    QCOMPARE(ui_->messages, QStringList(2, QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙの該当するｶﾃｺﾞﾘｰの削除に失敗しました。\r\n")
                                               + State().CatalogueFilePath + QStringLiteral(" は書き込みできません。")));
    QCOMPARE(lists.Categories(), QStringList{QStringLiteral("R")});
    QCOMPARE(State().Current()->Category(), QStringLiteral("R"));
    QFile::setPermissions(State().CatalogueFilePath, QFile::ReadOwner | QFile::WriteOwner);
}

void tst_CatalogueCommands::categoryNamesRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("closing bracket") << QStringLiteral("a]b");
    QTest::newRow("leading blank") << QStringLiteral(" a");
    QTest::newRow("trailing tab") << QStringLiteral("a\t");
    QTest::newRow("not in code page 932") << QStringLiteral("😀");
    // The file would take these for the section of B: its projects would mix with the other's.
    QTest::newRow("another category's name") << QStringLiteral("B");
    QTest::newRow("another category's name in other letter case") << QStringLiteral("b");
}

void tst_CatalogueCommands::categoryNamesRefused()
{
    QFETCH(QString, name);
    CatalogueCommands commands;
    const Lists lists(commands);
    load(commands, "[A]\r\na=1\r\n[B]\r\n");
    ui_->messages.clear();
    // Each refusal asks again with the typed text; the second answer cancels.
    ui_->inputAnswers << name << QString() << name << QString();
    commands.AddCategory();
    commands.RenameCategory();
    QCOMPARE(ui_->messages.size(), 2);
    QCOMPARE(ui_->inputPrompts.mid(1, 3),
             (QStringList{QStringLiteral("ｶﾃｺﾞﾘｰ追加|ｶﾃｺﾞﾘｰ名を入力してください。|") + name,
                          QStringLiteral("ｶﾃｺﾞﾘｰ編集|ｶﾃｺﾞﾘｰ名を入力してください。|A"),
                          QStringLiteral("ｶﾃｺﾞﾘｰ編集|ｶﾃｺﾞﾘｰ名を入力してください。|") + name}));
    QCOMPARE(State().CategoryCount, 2);
    QCOMPARE(lists.Categories(), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    QCOMPARE(contents(State().CatalogueFilePath), QByteArray("[A]\r\na=1\r\n[B]\r\n"));
}

void tst_CatalogueCommands::projectDelete()
{
    CatalogueCommands commands;
    const Lists lists(commands);
    load(commands, "[A]\r\np1=x\r\np2=y\r\np3=z\r\n");
    commands.SelectProject(2);
    ui_->confirmAnswers << false << true;
    commands.DeleteSelectedProject();
    QCOMPARE(ui_->confirmations.last(), QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ削除|ﾌﾟﾛｼﾞｪｸﾄ　[p2]　を削除しますか?"));
    QCOMPARE(State().Current()->Count(), 3);
    commands.DeleteSelectedProject();
    QCOMPARE(contents(State().CatalogueFilePath), QByteArray("[A]\r\np1=x\r\np3=z\r\n"));
    QCOMPARE(lists.Projects(), (QStringList{QStringLiteral("p1"), QStringLiteral("p3")}));
    QCOMPARE(State().Current()->ProjectName(2), QStringLiteral("p3"));
    // No project is selected afterwards, so no command acts on a row that is gone.
    QCOMPARE(State().CurrentProject, 0);
    QVERIFY(commands.States() == categoryOnly);
}

void tst_CatalogueCommands::projectDeleteFailureKeepsRow()
{
    CatalogueCommands commands;
    const Lists lists(commands);
    load(commands, "[A]\r\np1=x\r\np2=y\r\n");
    QFile::setPermissions(State().CatalogueFilePath, QFile::ReadOwner);
    commands.SelectProject(1);
    ui_->confirmAnswers << true;
    commands.DeleteSelectedProject();
    QFile::setPermissions(State().CatalogueFilePath, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(ui_->messages, QStringList{QStringLiteral("ｷｰの削除に失敗しました。\r\n") + State().CatalogueFilePath
                                        + QStringLiteral(" は書き込みできません。")});
    QCOMPARE(lists.Projects(), (QStringList{QStringLiteral("p1"), QStringLiteral("p2")}));
    QCOMPARE(State().Current()->Count(), 2);
    QCOMPARE(State().CurrentProject, 1);
}

QTEST_GUILESS_MAIN(tst_CatalogueCommands)
#include "tst_CatalogueCommands.moc"
