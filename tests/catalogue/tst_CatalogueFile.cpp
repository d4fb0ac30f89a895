#include "catalogue/CatalogueFile.h"
#include "common/TestFolders.h"
#include "common/FileBytes.h"
#include "catalogue/cVbAnalyze.h"
#include "platform/IniStore.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using catalogue::cVbAnalyze;
using catalogue::State;
using platform::IniStatus;

Q_DECLARE_METATYPE(platform::IniStatus)

namespace {

void setMode(const QString &path, mode_t mode) { QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0); }

// A category as the user built it in memory: its name, then name and .vbp path per project.
struct Category {
    QString name;
    QList<QPair<QString, QString>> projects;
};

// Puts the categories into the shared catalogue without reading any file.
void setCatalogue(const QList<Category> &categories, const QString &file)
{
    catalogue::CatalogueState &state = State();
    state.CatalogueFilePath.clear();
    state.Catalogue.clear();
    state.Catalogue.resize(size_t(categories.size()) + 1);
    for (qsizetype i = 0; i < categories.size(); ++i) {
        auto c = std::make_unique<cVbAnalyze>();
        c->SetCategory(categories[i].name);
        for (const auto &[name, path] : categories[i].projects) {
            QString n = name;
            c->AddProject(path, n);
        }
        state.Catalogue[size_t(i) + 1] = std::move(c);
    }
    state.CategoryCount = qint32(categories.size());
    state.CatalogueFilePath = file;
}

QStringList sectionNames()
{
    QStringList out;
    for (qint32 i = 1; i <= State().CategoryCount; ++i)
        out.append(State().CategoryAt(i)->Category());
    return out;
}

QStringList projectNames(qint32 category)
{
    QStringList out;
    const cVbAnalyze *c = State().CategoryAt(category);
    for (qint32 j = 1; c && j <= c->Count(); ++j)
        out.append(c->ProjectName(j));
    return out;
}

QStringList projectFiles(qint32 category)
{
    QStringList out;
    const cVbAnalyze *c = State().CategoryAt(category);
    for (qint32 j = 1; c && j <= c->Count(); ++j)
        out.append(c->ProjectFile(j));
    return out;
}

const QList<Category> kWorkedExample {
    {"Tools",
     {{"Calc", R"(C:\Src\Calc\Calc.vbp)"}, {"Memo Pad", R"(C:\Src\Memo\MemoPad.vbp)"}, {"Calc", R"(D:\Old\Calc\Calc.vbp)"}}},
    {"Games", {{"Puzzle", R"(D:\Games\Puzzle\Puzzle.vbp)"}}},
};

} // namespace

class tst_CatalogueFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseTestFolders(); }
    void init();
    void cleanup();

    void workedExample_data();
    void workedExample();
    void distinctNames_data();
    void distinctNames();
    void saveDropsUnsetPaths();
    void saveKeepsForeignLines();
    void saveAsMergesIntoTheOtherFile();
    void saveWithoutProjects_data();
    void saveWithoutProjects();
    void saveFailureKeepsFile_data();
    void saveFailureKeepsFile();
    void saveReportsNamesTheFileCannotHold();
    void saveKeepsAnotherProgramsEdits_data();
    void saveKeepsAnotherProgramsEdits();

    void load_data();
    void load();
    void loadWithoutSectionsKeepsCatalogue();
    void clear();

    void caption_data();
    void caption();
    void newFilePath();

private:
    QString file() const { return dir_->filePath("data.zrd"); }
    std::unique_ptr<QTemporaryDir> dir_;
};

void tst_CatalogueFile::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    catalogue::ResetState();
    platform::IniStore::Instance().Reset();
}

void tst_CatalogueFile::cleanup()
{
    catalogue::ResetState();
    platform::SetProgramFolderForTesting(QString());
    // Let the temporary folder go even where a test took write permission away.
    setMode(dir_->path(), 0755);
    dir_.reset();
}

void tst_CatalogueFile::workedExample_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::newRow("empty file") << true;
    QTest::newRow("no file yet") << false;
}

void tst_CatalogueFile::workedExample()
{
    QFETCH(bool, fileExists);
    if (fileExists)
        QVERIFY(put(file(), QByteArray()));
    setCatalogue(kWorkedExample, file());

    QCOMPARE(catalogue::SaveCategories({"Tools", "Games"}), IniStatus::Ok);
    QCOMPARE(contents(file()), QByteArray("[Tools]\r\n"
                                          "Calc=C:\\Src\\Calc\\Calc.vbp\r\n"
                                          "Memo Pad=C:\\Src\\Memo\\MemoPad.vbp\r\n"
                                          "Calc(3)=D:\\Old\\Calc\\Calc.vbp\r\n"
                                          "[Games]\r\n"
                                          "Puzzle=D:\\Games\\Puzzle\\Puzzle.vbp\r\n"));
    // The name written is also the name in memory.
    QCOMPARE(projectNames(1), (QStringList {"Calc", "Memo Pad", "Calc(3)"}));
    // A second save finds nothing to change.
    const QByteArray saved = contents(file());
    QCOMPARE(catalogue::SaveCategories({"Tools", "Games"}), IniStatus::Ok);
    QCOMPARE(contents(file()), saved);

    catalogue::ResetState();
    State().CatalogueFilePath = file();
    QCOMPARE(catalogue::LoadCategories(), 2);
    QCOMPARE(State().CategoryCount, 2);
    QCOMPARE(sectionNames(), (QStringList {"Tools", "Games"}));
    QCOMPARE(projectNames(1), (QStringList {"Calc", "Memo Pad", "Calc(3)"}));
    QCOMPARE(projectFiles(1).last(), QString(R"(D:\Old\Calc\Calc.vbp)"));
    QCOMPARE(projectNames(2), QStringList {"Puzzle"});
}

void tst_CatalogueFile::distinctNames_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("written");

    QTest::newRow("three alike") << QStringList {"Calc", "Calc", "Calc"} << QStringList {"Calc", "Calc(2)", "Calc(3)"};
    QTest::newRow("A B A") << QStringList {"A", "B", "A"} << QStringList {"A", "B", "A(3)"};
    QTest::newRow("already distinct") << QStringList {"Calc", "Calc(2)", "計算"} << QStringList {"Calc", "Calc(2)", "計算"};
    // The file matches keys without regard to case: both must survive.
    QTest::newRow("case only") << QStringList {"Calc", "calc"} << QStringList {"Calc", "calc(2)"};
    // A generated name may hit a name passed over; it must still not collide.
    QTest::newRow("generated name taken") << QStringList {"A", "A(3)", "A"} << QStringList {"A", "A(3)", "A(3)(3)"};
}

void tst_CatalogueFile::distinctNames()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, written);
    Category tools {"Tools", {}};
    QStringList paths;
    for (qsizetype i = 0; i < names.size(); ++i) {
        paths.append(QString("/src/p%1.vbp").arg(i + 1));
        tools.projects.append({names[i], paths.last()});
    }
    setCatalogue({tools}, file());
    QCOMPARE(catalogue::SaveCategories({"Tools"}), IniStatus::Ok);
    QCOMPARE(projectNames(1), written);

    QByteArray expected = "[Tools]\r\n";
    for (qsizetype i = 0; i < written.size(); ++i)
        expected += (written[i] + u'=' + paths[i]).toLocal8Bit() + "\r\n";
    if (!names.contains("計算"))
        QCOMPARE(contents(file()), expected);

    // Every project comes back, in order, with the name written.
    catalogue::ResetState();
    State().CatalogueFilePath = file();
    QCOMPARE(catalogue::LoadCategories(), 1);
    QCOMPARE(projectNames(1), written);
    QCOMPARE(projectFiles(1), paths);
}

void tst_CatalogueFile::saveDropsUnsetPaths()
{
    QVERIFY(put(file(), "[Tools]\r\nCalc=\r\nMemo=/m.vbp\r\nPad=\r\n[Games]\r\nGo=\r\n"));
    State().CatalogueFilePath = file();
    QCOMPARE(catalogue::LoadCategories(), 2);
    QCOMPARE(projectNames(1), (QStringList {"Calc", "Memo", "Pad"}));
    QCOMPARE(catalogue::SaveCategories(sectionNames()), IniStatus::Ok);
    QCOMPARE(contents(file()), QByteArray("[Tools]\r\nMemo=/m.vbp\r\n[Games]\r\n"));

    QCOMPARE(catalogue::LoadCategories(), 2);
    QCOMPARE(projectNames(1), QStringList {"Memo"});
    QCOMPARE(projectNames(2), QStringList());
}

void tst_CatalogueFile::saveKeepsForeignLines()
{
    QVERIFY(put(file(), "; made by hand\r\n[Other]\r\nx=1\r\n\r\n[Tools]\r\nOld=/old.vbp\r\nCalc=/before.vbp\r\n"));
    setCatalogue({{"Tools", {{"Calc", "/after.vbp"}, {"New", "/new.vbp"}}}, {"Games", {{"Puzzle", "/p.vbp"}}},
                  {"Empty", {}}},
                 file());
    QCOMPARE(catalogue::SaveCategories(sectionNames()), IniStatus::Ok);
    QCOMPARE(contents(file()), QByteArray("; made by hand\r\n[Other]\r\nx=1\r\n\r\n"
                                          "[Tools]\r\nOld=/old.vbp\r\nCalc=/after.vbp\r\nNew=/new.vbp\r\n"
                                          "[Games]\r\nPuzzle=/p.vbp\r\n"));
}

void tst_CatalogueFile::saveAsMergesIntoTheOtherFile()
{
    const QByteArray first = "[Tools]\r\nCalc=/c.vbp\r\nMemo=/m.vbp\r\n";
    const QString other = dir_->filePath("other.zrd");
    QVERIFY(put(file(), first));
    QVERIFY(put(other, "[Games]\r\nGo=/go.vbp\r\n[Tools]\r\nMemo=/old-memo.vbp\r\n"));
    State().CatalogueFilePath = file();
    QCOMPARE(catalogue::LoadCategories(), 1);

    State().CatalogueFilePath = other;
    QCOMPARE(catalogue::SaveCategories({"Tools"}), IniStatus::Ok);
    QCOMPARE(contents(other), QByteArray("[Games]\r\nGo=/go.vbp\r\n[Tools]\r\nMemo=/m.vbp\r\nCalc=/c.vbp\r\n"));
    QCOMPARE(contents(file()), first);
}

void tst_CatalogueFile::saveWithoutProjects_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("categories");
    QTest::addColumn<QByteArray>("after");
    const QByteArray full = "[Tools]\r\nCalc=/c.vbp\r\n";
    // Only the user's removal of the last category empties a file; a file that loaded nothing stays.
    QTest::newRow("no categories, file with content") << full << 0 << full;
    QTest::newRow("no categories, last one removed by the user") << full << -1 << QByteArray("");
    QTest::newRow("no categories, no file") << QByteArray() << 0 << QByteArray("");
    QTest::newRow("empty categories, file with content") << full << 2 << full;
    QTest::newRow("empty categories, no file") << QByteArray() << 2 << QByteArray("<missing>");
}

void tst_CatalogueFile::saveWithoutProjects()
{
    QFETCH(QByteArray, before);
    QFETCH(int, categories);
    QFETCH(QByteArray, after);
    if (!before.isEmpty())
        QVERIFY(put(file(), before));
    QList<Category> list;
    for (int i = 0; i < categories; ++i)
        list.append({QString("C%1").arg(i + 1), {}});
    setCatalogue(list, file());
    if (categories < 0) {
        setCatalogue({{"Tools", {}}}, file());
        QVERIFY(catalogue::RemoveCategorySection("Tools"));
        setCatalogue({}, file());
        State().EmptiedFile = file();
    }
    QCOMPARE(catalogue::SaveCategories(sectionNames()), IniStatus::Ok);
    QCOMPARE(contents(file()), after);
}

void tst_CatalogueFile::saveFailureKeepsFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("withProjects");
    QTest::addColumn<IniStatus>("status");
    for (bool withProjects : {true, false}) {
        const char *what = withProjects ? "projects" : "no categories";
        // Without categories nothing is written: the file is neither emptied nor reported.
        const auto ok = [withProjects](IniStatus status) { return withProjects ? status : IniStatus::Ok; };
        QTest::addRow("read-only file, %s", what) << "file" << withProjects << ok(IniStatus::ReadOnly);
        // A writable file in a read-only folder is written in place.
        QTest::addRow("read-only folder, %s: written in place", what) << "folder" << withProjects << IniStatus::Ok;
        QTest::addRow("folder in place of the file, %s", what) << "directory" << withProjects << ok(IniStatus::NotAFile);
        QTest::addRow("no file named, %s", what) << "unnamed" << withProjects << IniStatus::EmptyPath;
    }
}

void tst_CatalogueFile::saveFailureKeepsFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, withProjects);
    QFETCH(IniStatus, status);
    const QByteArray old = "[Tools]\r\nOld=/old.vbp\r\n";
    if (kind == "directory")
        QVERIFY(QDir().mkpath(file() + "/inside"));
    else
        QVERIFY(put(file(), old));
    QList<Category> list;
    if (withProjects)
        list.append({"Tools", {{"Calc", "/c.vbp"}}});
    setCatalogue(list, kind == "unnamed" ? QString() : file());
    if (kind == "file")
        setMode(file(), 0444);
    if (kind == "folder")
        setMode(dir_->path(), 0555);

    QCOMPARE(catalogue::SaveCategories(sectionNames()), status);
    setMode(dir_->path(), 0755);
    if (kind == "directory") {
        QVERIFY(QFileInfo::exists(file() + "/inside"));
    } else {
        QCOMPARE(contents(file()) == old, status != IniStatus::Ok || !withProjects);
    }
    // No temporary file is left behind.
    QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList {"data.zrd"});
}

void tst_CatalogueFile::saveReportsNamesTheFileCannotHold()
{
    // Such a name cannot come back as written; the rest is saved and the caller learns of it.
    for (const QString &bad : {QStringLiteral("a=b"), QStringLiteral("한국어"), QStringLiteral("[x]")}) {
        QFile::remove(file());
        setCatalogue({{"Tools", {{"First", "/f.vbp"}, {bad, "/bad.vbp"}, {"Last", "/l.vbp"}}}}, file());
        QCOMPARE(catalogue::SaveCategories({"Tools"}), IniStatus::BadText);
        QCOMPARE(contents(file()), QByteArray("[Tools]\r\nFirst=/f.vbp\r\nLast=/l.vbp\r\n"));
        QCOMPARE(State().CategoryAt(1)->Count(), 3);
    }
}

void tst_CatalogueFile::saveKeepsAnotherProgramsEdits_data()
{
    QTest::addColumn<QByteArray>("theirs");    // the file as another program left it after the load
    QTest::addColumn<bool>("addMine");         // this run adds new=/mine.vbp to A before saving
    QTest::addColumn<QByteArray>("saved");
    QTest::addColumn<QStringList>("catalogue"); // category/name=path, in order
    QTest::addColumn<QStringList>("overwritten");

    const QByteArray loaded = "[A]\r\nk1=/1.vbp\r\nk2=/2.vbp\r\n";
    const QStringList loadedCatalogue{"A/k1=/1.vbp", "A/k2=/2.vbp"};
    QTest::newRow("untouched") << loaded << true << loaded + "new=/mine.vbp\r\n"
                               << loadedCatalogue + QStringList{"A/new=/mine.vbp"} << QStringList();
    QTest::newRow("value changed") << QByteArray("[A]\r\nk1=/1.vbp\r\nk2=/2b.vbp\r\n") << false
                                   << QByteArray("[A]\r\nk1=/1.vbp\r\nk2=/2b.vbp\r\n")
                                   << QStringList{"A/k1=/1.vbp", "A/k2=/2b.vbp"} << QStringList();
    QTest::newRow("key deleted") << QByteArray("[A]\r\nk1=/1.vbp\r\n") << false << QByteArray("[A]\r\nk1=/1.vbp\r\n")
                                 << QStringList{"A/k1=/1.vbp"} << QStringList();
    QTest::newRow("keys and a section added")
        << loaded + "k3=/3.vbp\r\n[C]\r\nc=/c.vbp\r\n" << false << loaded + "k3=/3.vbp\r\n[C]\r\nc=/c.vbp\r\n"
        << loadedCatalogue + QStringList{"A/k3=/3.vbp", "C/c=/c.vbp"} << QStringList();
    QTest::newRow("both added the same key") << loaded + "NEW=/theirs.vbp\r\n" << true
                                             << loaded + "NEW=/mine.vbp\r\n"
                                             << loadedCatalogue + QStringList{"A/new=/mine.vbp"}
                                             << QStringList{"[A] new"};
}

void tst_CatalogueFile::saveKeepsAnotherProgramsEdits()
{
    QFETCH(QByteArray, theirs);
    QFETCH(bool, addMine);
    QFETCH(QByteArray, saved);
    QFETCH(QStringList, catalogue);
    QFETCH(QStringList, overwritten);
    QVERIFY(put(file(), "[A]\r\nk1=/1.vbp\r\nk2=/2.vbp\r\n"));
    State().CatalogueFilePath = file();
    QCOMPARE(catalogue::LoadCategories(), 1);
    if (addMine) {
        QString name = "new";
        State().CategoryAt(1)->AddProject("/mine.vbp", name);
    }
    QVERIFY(put(file(), theirs));

    catalogue::SaveReport report;
    QCOMPARE(catalogue::SaveCategories(sectionNames(), &report), IniStatus::Ok);
    QCOMPARE(contents(file()), saved);
    QStringList held;
    for (qint32 i = 1; i <= State().CategoryCount; ++i)
        for (qint32 j = 1; j <= State().CategoryAt(i)->Count(); ++j)
            held.append(State().CategoryAt(i)->Category() + u'/' + State().CategoryAt(i)->ProjectName(j) + u'='
                        + State().CategoryAt(i)->ProjectFile(j));
    QCOMPARE(held, catalogue);
    QCOMPARE(report.Overwritten, overwritten);
    QCOMPARE(report.CatalogueChanged, theirs != "[A]\r\nk1=/1.vbp\r\nk2=/2.vbp\r\n" && !addMine);
}

void tst_CatalogueFile::load_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("categories");
    QTest::addColumn<QList<int>>("counts");

    QTest::newRow("two sections") << QByteArray("[Tools]\r\na=/a.vbp\r\nb=/b.vbp\r\n[Games]\r\nc=/c.vbp\r\n")
                                  << QStringList {"Tools", "Games"} << QList<int> {2, 1};
    QTest::newRow("only section lines") << QByteArray("[A]\r\n[B]\r\n[C]\r\n") << QStringList {"A", "B", "C"}
                                        << QList<int> {0, 0, 0};
    QTest::newRow("keys before the first section") << QByteArray("x=/x.vbp\r\n[A]\r\ny=/y.vbp\r\n")
                                                   << QStringList {"A"} << QList<int> {1};
    QTest::newRow("lf only, japanese")
        << QByteArray("[\x83\x51\x81\x5b\x83\x80]\ngame=/g.vbp\n[Tools]\n") << QStringList {"ゲーム", "Tools"}
        << QList<int> {1, 0};
}

void tst_CatalogueFile::load()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, categories);
    QFETCH(QList<int>, counts);
    QVERIFY(put(file(), text));
    // Whatever was loaded before goes.
    setCatalogue({{"Stale", {{"s", "/s.vbp"}}}, {"Stale2", {}}, {"Stale3", {}}, {"Stale4", {}}}, file());

    QCOMPARE(catalogue::LoadCategories(), qint32(categories.size()));
    QCOMPARE(State().CategoryCount, qint32(categories.size()));
    QCOMPARE(State().Catalogue.size(), size_t(categories.size()) + 1);
    QVERIFY(!State().Catalogue[0]);
    QCOMPARE(sectionNames(), categories);
    for (qsizetype i = 0; i < counts.size(); ++i)
        QCOMPARE(State().CategoryAt(qint32(i) + 1)->Count(), counts[i]);
}

void tst_CatalogueFile::loadWithoutSectionsKeepsCatalogue()
{
    for (const QByteArray &text : {QByteArray(), QByteArray("\r\n; nothing\r\nk=v\r\n"), QByteArray("<missing>")}) {
        QFile::remove(file());
        if (text != "<missing>")
            QVERIFY(put(file(), text));
        setCatalogue({{"Kept", {{"k", "/k.vbp"}}}}, file());
        State().CurrentCategory = 1;
        QCOMPARE(catalogue::LoadCategories(), 0);
        QCOMPARE(State().CategoryCount, 0);
        QCOMPARE(State().Catalogue.size(), size_t(2));
        QVERIFY(!State().CategoryAt(1));
        // Loading writes nothing.
        QCOMPARE(contents(file()), text);
    }
}

void tst_CatalogueFile::clear()
{
    setCatalogue(kWorkedExample, file());
    State().CurrentCategory = 2;
    State().CurrentProject = 1;
    catalogue::ClearCategories();
    QCOMPARE(State().CategoryCount, 0);
    QCOMPARE(State().CurrentCategory, 0);
    QCOMPARE(State().CurrentProject, 0);
    QVERIFY(State().Catalogue.empty());
    QVERIFY(!State().Current());
    QCOMPARE(State().CatalogueFilePath, file());
    QVERIFY(!QFileInfo::exists(file()));
}

void tst_CatalogueFile::caption_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("caption");
    QTest::newRow("no file") << "ZARUN" << "" << "ZARUN";
    QTest::newRow("file") << "ZARUN" << "/data/Tools.zrd" << "ZARUN - (Tools.zrd)";
    QTest::newRow("blanks and japanese") << "ZARUN" << "/my data/道具 箱.zrd" << "ZARUN - (道具 箱.zrd)";
    QTest::newRow("no extension") << "zarun" << "/data/Tools" << "zarun - (Tools)";
}

void tst_CatalogueFile::caption()
{
    QFETCH(QString, program);
    QFETCH(QString, file);
    QFETCH(QString, caption);
    QCOMPARE(catalogue::WindowCaption(program, file), caption);
}

void tst_CatalogueFile::newFilePath()
{
    platform::SetProgramFolderForTesting(dir_->path());
    QCOMPARE(catalogue::NewCatalogueFilePath(), dir_->filePath("NewFile.zrd"));
    QVERIFY(!QFileInfo::exists(dir_->filePath("NewFile.zrd")));
}

QTEST_GUILESS_MAIN(tst_CatalogueFile)
#include "tst_CatalogueFile.moc"
