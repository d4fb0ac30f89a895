#include "catalogue/CatalogueChanges.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/cVbAnalyze.h"
#include "common/FileBytes.h"
#include "common/TestFolders.h"
#include "platform/ProgramFolder.h"
#include "common/ResetGlobals.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using catalogue::FileProblem;
using catalogue::State;

Q_DECLARE_METATYPE(catalogue::FileProblem)

namespace {

void setMode(const QString &path, mode_t mode) { QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0); }

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
    const catalogue::cVbAnalyze *c = State().CategoryAt(category);
    for (qint32 j = 1; c && j <= c->Count(); ++j)
        out.append(c->ProjectName(j));
    return out;
}

QStringList projectFiles(qint32 category)
{
    QStringList out;
    const catalogue::cVbAnalyze *c = State().CategoryAt(category);
    for (qint32 j = 1; c && j <= c->Count(); ++j)
        out.append(c->ProjectFile(j));
    return out;
}

// Every entry the lists show: "category/name=path", in order.
QStringList shown()
{
    QStringList out;
    for (qint32 i = 1; i <= State().CategoryCount; ++i)
        for (qint32 j = 1; j <= State().CategoryAt(i)->Count(); ++j)
            out.append(State().CategoryAt(i)->Category() + u'/' + State().CategoryAt(i)->ProjectName(j) + u'='
                       + State().CategoryAt(i)->ProjectFile(j));
    return out;
}

// A category added in this run, as the category command adds it.
void addCategory(const QString &name)
{
    auto category = std::make_unique<catalogue::cVbAnalyze>();
    category->SetEntries(name, {}, false);
    category->SetInFile(false);
    State().AppendCategory(std::move(category));
}

// A section of count projects named prefix1, prefix2 ...
QByteArray section(const QByteArray &name, int count, const QByteArray &prefix)
{
    QByteArray out = '[' + name + "]\r\n";
    for (int i = 1; i <= count; ++i)
        out += prefix + QByteArray::number(i) + "=/src/" + prefix + QByteArray::number(i) + '/' + prefix + ".vbp\r\n";
    return out;
}

QList<catalogue::NewProject> projects(const QList<QPair<QString, QString>> &namesAndFiles)
{
    QList<catalogue::NewProject> out;
    for (const auto &[name, file] : namesAndFiles)
        out.append({file, name, QString()});
    return out;
}

} // namespace

class tst_CatalogueFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseTestFolders(); }
    void init();
    void cleanup();

    void workedExample();
    void distinctNames_data();
    void distinctNames();
    void usableNames_data();
    void usableNames();
    void changesKeepEveryOtherByte();
    void saveAsMergesIntoTheOtherFile();
    void saveWritesOnlyWhatTheFileLacks_data();
    void saveWritesOnlyWhatTheFileLacks();
    void failedWriteChangesNothing_data();
    void failedWriteChangesNothing();
    void leftLocksAreTakenOver_data();
    void leftLocksAreTakenOver();
    void followsAnotherProgram_data();
    void followsAnotherProgram();

    void load_data();
    void load();
    void loadWithoutSectionsKeepsCatalogue();
    void firstCategoryAlone_data();
    void firstCategoryAlone();
    void firstCategoryWhileReading_data();
    void firstCategoryWhileReading();
    void clear();

    void caption_data();
    void caption();
    void newFilePath();

private:
    QString file() const { return dir_->filePath("data.zrd"); }
    void open(const QByteArray &bytes);
    std::unique_ptr<QTemporaryDir> dir_;
};

void tst_CatalogueFile::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    ResetGlobals();
}

void tst_CatalogueFile::cleanup()
{
    ResetGlobals();
    platform::SetProgramFolderForTesting(QString());
    // Let the temporary folder go even where a test took write permission away.
    setMode(dir_->path(), 0755);
    dir_.reset();
}

void tst_CatalogueFile::open(const QByteArray &bytes)
{
    if (bytes != "<missing>")
        QVERIFY(put(file(), bytes));
    State().CatalogueFilePath = file();
    catalogue::LoadCategories();
}

void tst_CatalogueFile::workedExample()
{
    open("<missing>");
    addCategory("Tools");
    addCategory("Games");
    QVERIFY(catalogue::AddProjects("Tools", projects({{"Calc", R"(C:\Src\Calc\Calc.vbp)"},
                                                      {"Memo Pad", R"(C:\Src\Memo\MemoPad.vbp)"},
                                                      {"Calc", R"(D:\Old\Calc\Calc.vbp)"}}))
                .Done);
    QVERIFY(catalogue::AddProjects("Games", projects({{"Puzzle", R"(D:\Games\Puzzle\Puzzle.vbp)"}})).Done);
    QCOMPARE(contents(file()), QByteArray("[Tools]\r\n"
                                          "Calc=C:\\Src\\Calc\\Calc.vbp\r\n"
                                          "Memo Pad=C:\\Src\\Memo\\MemoPad.vbp\r\n"
                                          "Calc(3)=D:\\Old\\Calc\\Calc.vbp\r\n"
                                          "[Games]\r\n"
                                          "Puzzle=D:\\Games\\Puzzle\\Puzzle.vbp\r\n"));
    // The name written is the name shown, at once.
    QCOMPARE(projectNames(1), (QStringList {"Calc", "Memo Pad", "Calc(3)"}));
    const QStringList before = shown();

    catalogue::ResetState();
    State().CatalogueFilePath = file();
    QCOMPARE(catalogue::LoadCategories(), 2);
    QCOMPARE(sectionNames(), (QStringList {"Tools", "Games"}));
    QCOMPARE(shown(), before);
}

void tst_CatalogueFile::distinctNames_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("written");

    const QByteArray none = "[Tools]\r\n";
    QTest::newRow("three alike") << none << QStringList {"Calc", "Calc", "Calc"} << QStringList {"Calc", "Calc(2)", "Calc(3)"};
    QTest::newRow("already distinct") << none << QStringList {"Calc", "Calc(2)", "計算"} << QStringList {"Calc", "Calc(2)", "計算"};
    // The file matches keys without regard to case: both must survive.
    QTest::newRow("case only") << none << QStringList {"Calc", "calc"} << QStringList {"Calc", "calc(2)"};
    // A generated name may hit a name passed over; it must still not collide.
    QTest::newRow("generated name taken") << none << QStringList {"A", "A(3)", "A"} << QStringList {"A", "A(3)", "A(3)(3)"};
    // Against the section as it is on disk, a key written twice included; its keys keep their names.
    QTest::newRow("taken in the file") << QByteArray("[Tools]\r\nCALC=/old.vbp\r\ncalc=/twice.vbp\r\n")
                                       << QStringList {"Calc"} << QStringList {"CALC", "Calc(2)"};
}

void tst_CatalogueFile::distinctNames()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, names);
    QFETCH(QStringList, written);
    open(file);
    QList<QPair<QString, QString>> added;
    for (qsizetype i = 0; i < names.size(); ++i)
        added.append({names[i], QString("/src/p%1.vbp").arg(i + 1)});
    QVERIFY(catalogue::AddProjects("Tools", projects(added)).Done);
    QCOMPARE(projectNames(1), written);
    const QStringList before = shown();
    QCOMPARE(catalogue::LoadCategories(), 1);
    QCOMPARE(shown(), before);
}

void tst_CatalogueFile::usableNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("written");
    QTest::newRow("equals sign") << "a=b" << "a＝b";
    QTest::newRow("comment mark first") << ";x" << "；x";
    QTest::newRow("bracket first") << "[x]" << "［x]";
    QTest::newRow("blanks at the ends") << " \tx y " << "x y";
    QTest::newRow("nothing left: the file name") << "  " << "Proj 1";
    QTest::newRow("not in the code page") << "한" << "?";
    QTest::newRow("usable already") << "計算　ツール" << "計算　ツール";
}

void tst_CatalogueFile::usableNames()
{
    QFETCH(QString, name);
    QFETCH(QString, written);
    open("[Tools]\r\n");
    const catalogue::ChangeResult result = catalogue::AddProjects("Tools", {{"/src/Proj 1.vbp", name, QString()}});
    QVERIFY(result.Done);
    QCOMPARE(projectNames(1), QStringList {written});
    QCOMPARE(catalogue::LoadCategories(), 1);
    QCOMPARE(projectNames(1), QStringList {written});
    // One message names each project whose name was changed.
    QCOMPARE(result.Message.isNull(), name == written);
    if (name != written)
        QVERIFY2(result.Message.contains(written), qPrintable(result.Message));
}

void tst_CatalogueFile::changesKeepEveryOtherByte()
{
    // Comments, another program's keys, an empty value, LF lines and a section without "\r\n" at
    // the end: a change rewrites only the lines it concerns.
    const QByteArray before = "; made by hand\r\n[Other]\r\nx=1\r\n\r\n[Tools]\nOld=/old.vbp\nCalc=\n[Games]\r\nGo=/go.vbp";
    open(before);
    QCOMPARE(sectionNames(), (QStringList {"Other", "Tools", "Games"}));
    QVERIFY(catalogue::AddProjects("Tools", projects({{"New", "/new.vbp"}})).Done);
    QVERIFY(catalogue::RenameCategory("Games", "遊び").Done);
    QVERIFY(catalogue::DeleteProject("Tools", State().CategoryAt(2)->Shared(1).lock()).Done);
    QCOMPARE(contents(file()), QByteArray("; made by hand\r\n[Other]\r\nx=1\r\n\r\n[Tools]\nCalc=\nNew=/new.vbp\r\n"
                                          "[\x97\x56\x82\xd1]\r\nGo=/go.vbp"));
    QCOMPARE(projectNames(2), (QStringList {"Calc", "New"}));
    QCOMPARE(projectFiles(2), (QStringList {QString(), "/new.vbp"}));
}

void tst_CatalogueFile::saveAsMergesIntoTheOtherFile()
{
    const QByteArray first = "[Tools]\r\nCalc=/c.vbp\r\nMemo=/m.vbp\r\n";
    const QString other = dir_->filePath("other.zrd");
    QVERIFY(put(other, "[Games]\r\nGo=/go.vbp\r\n[Tools]\r\nMemo=/old-memo.vbp\r\n"));
    open(first);
    addCategory("Empty");

    QCOMPARE(catalogue::SaveCatalogueInto(other), FileProblem::None);
    QCOMPARE(contents(other), QByteArray("[Games]\r\nGo=/go.vbp\r\n[Tools]\r\nMemo=/m.vbp\r\nCalc=/c.vbp\r\n"));
    QCOMPARE(contents(file()), first);
    // The other file is the catalogue now, and the lists show all it holds.
    QCOMPARE(State().CatalogueFilePath, other);
    QCOMPARE(sectionNames(), (QStringList {"Games", "Tools", "Empty"}));
    QCOMPARE(projectNames(2), (QStringList {"Memo", "Calc"}));
}

void tst_CatalogueFile::saveWritesOnlyWhatTheFileLacks_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QByteArray>("after");
    const QByteArray full = "[Tools]\r\nCalc=/c.vbp\r\n";
    QTest::newRow("the file holds the catalogue") << "nothing" << full;
    QTest::newRow("deleted meanwhile") << "deleted" << full;
    QTest::newRow("replaced by a folder") << "folder" << QByteArray("<folder>");
    QTest::newRow("never written, no categories") << "new" << QByteArray("");
}

void tst_CatalogueFile::saveWritesOnlyWhatTheFileLacks()
{
    QFETCH(QString, what);
    QFETCH(QByteArray, after);
    open(what == "new" ? QByteArray("<missing>") : QByteArray("[Tools]\r\nCalc=/c.vbp\r\n"));
    const platform::FileStamp stamp = platform::StatFile(file());
    if (what == "deleted" || what == "folder")
        QVERIFY(QFile::remove(file()));
    if (what == "folder")
        QVERIFY(QDir().mkdir(file()));
    QCOMPARE(catalogue::FollowFile(), what == "nothing" || what == "new" ? catalogue::Followed::Same : catalogue::Followed::Lost);
    // The lists keep the catalogue for Save to write back.
    QCOMPARE(shown(), what == "new" ? QStringList() : QStringList {"Tools/Calc=/c.vbp"});

    QCOMPARE(catalogue::SaveWholeCatalogue(), what == "folder" ? FileProblem::NotAFile : FileProblem::None);
    QCOMPARE(QFileInfo(file()).isDir() ? QByteArray("<folder>") : contents(file()), after);
    if (what == "nothing")
        QCOMPARE(platform::StatFile(file()), stamp);
}

void tst_CatalogueFile::failedWriteChangesNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<FileProblem>("problem");
    QTest::newRow("read-only file") << "file" << FileProblem::ReadOnly;
    QTest::newRow("could not be read when opened") << "unreadable" << FileProblem::Unreadable;
    QTest::newRow("lock held by another writer") << "locked" << FileProblem::Busy;
    QTest::newRow("no file named") << "unnamed" << FileProblem::NoFile;
}

void tst_CatalogueFile::failedWriteChangesNothing()
{
    QFETCH(QString, kind);
    QFETCH(FileProblem, problem);
    const QByteArray old = "[Tools]\r\nOld=/old.vbp\r\n";
    open(kind == "unreadable" ? QByteArray("<missing>") : old);
    if (kind == "unreadable") {
        QVERIFY(QFile::link("/proc/self/mem", file())); // every read fails
        catalogue::LoadCategories();
        addCategory("Tools");
    }
    if (kind == "file")
        setMode(file(), 0444);
    if (kind == "unnamed")
        State().CatalogueFilePath.clear();
    catalogue::CatalogueLock other;
    catalogue::CatalogueLock::SetWaitForTesting(100);
    if (kind == "locked")
        QCOMPARE(other.Lock(file()), catalogue::CatalogueLock::Result::Locked);
    const QStringList before = shown();
    const QStringList entries = QDir(dir_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    catalogue::CatalogueEdit edit;
    const bool begun = edit.Begin();
    if (begun) {
        edit.Document().SetValue(u"Tools", u"Calc", u"/c.vbp");
        QVERIFY(!edit.Commit());
    }
    QCOMPARE(edit.Problem(), problem);
    QVERIFY2(kind == "unnamed" || edit.Message().startsWith(file() + u' '), qPrintable(edit.Message()));
    const catalogue::ChangeResult result = catalogue::AddProjects("Tools", projects({{"Calc", "/c.vbp"}}));
    QVERIFY(!result.Done);
    catalogue::CatalogueLock::SetWaitForTesting(-1);
    QCOMPARE(shown(), before);
    if (kind != "unreadable")
        QCOMPARE(contents(file()), old);
    // No temporary file is left behind.
    QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), entries);
}

void tst_CatalogueFile::leftLocksAreTakenOver_data()
{
    QTest::addColumn<qint64>("age"); // seconds since the lock file was made
    QTest::addColumn<bool>("changed");
    // Nobody holds the file: a crash or a kill left it.
    QTest::newRow("left by a process that is gone") << qint64(60) << true;
    // Its maker may not hold it yet: it is waited for, not taken.
    QTest::newRow("just made") << qint64(0) << false;
}

void tst_CatalogueFile::leftLocksAreTakenOver()
{
    QFETCH(qint64, age);
    QFETCH(bool, changed);
    open("[Tools]\r\n");
    const QString lock = catalogue::CatalogueLock::PathFor(file());
    QVERIFY(put(lock, "12345\nelsewhere\nzarun\n"));
    if (age > 0)
        QVERIFY(setModified(lock, QDateTime::currentSecsSinceEpoch() - age));
    catalogue::CatalogueLock::SetWaitForTesting(100);
    const catalogue::ChangeResult result = catalogue::AddProjects("Tools", projects({{"Calc", "/c.vbp"}}));
    catalogue::CatalogueLock::SetWaitForTesting(-1);
    QCOMPARE(result.Done, changed);
    QCOMPARE(contents(file()), changed ? QByteArray("[Tools]\r\nCalc=/c.vbp\r\n") : QByteArray("[Tools]\r\n"));
    QCOMPARE(QFileInfo::exists(lock), !changed);
}

void tst_CatalogueFile::followsAnotherProgram_data()
{
    QTest::addColumn<QByteArray>("theirs");  // the file as another program left it
    QTest::addColumn<QStringList>("shown");  // category/name=path, in order
    // How the read was compared with what the lists mirror: here (0), on the worker that read it
    // (1), on a worker against a document no longer mirrored (2, which must not be trusted).
    QTest::addColumn<int>("compared");

    const QList<std::tuple<const char *, QByteArray, QStringList>> changes = {
        {"value changed", "[A]\r\nk1=/1.vbp\r\nk2=/2b.vbp\r\n[B]\r\n", {"A/k1=/1.vbp", "A/k2=/2b.vbp"}},
        {"key deleted", "[A]\r\nk2=/2.vbp\r\n[B]\r\n", {"A/k2=/2.vbp"}},
        {"keys and a section added", "[A]\r\nk0=/0.vbp\r\nk1=/1.vbp\r\nk2=/2.vbp\r\n[C]\r\nc=/c.vbp\r\n[B]\r\n",
         {"A/k0=/0.vbp", "A/k1=/1.vbp", "A/k2=/2.vbp", "C/c=/c.vbp"}},
        {"sections and keys reordered", "[B]\r\n[A]\r\nk2=/2.vbp\r\nk1=/1.vbp\r\n", {"A/k2=/2.vbp", "A/k1=/1.vbp"}},
        {"another spelling", "[a]\r\nK1=/1.vbp\r\nk2=/2.vbp\r\n[B]\r\n", {"a/K1=/1.vbp", "a/k2=/2.vbp"}},
        {"every section gone", "; nothing\r\n", {}},
        // A section the same byte for byte keeps its records, moved onto the new bytes where they lie.
        {"another section changed", "[A]\r\nk1=/1.vbp\r\nk2=/2.vbp\r\n[B]\r\nb=/b.vbp\r\n",
         {"A/k1=/1.vbp", "A/k2=/2.vbp", "B/b=/b.vbp"}},
        {"unchanged section further on", "[B]\r\nb=/b.vbp\r\n[A]\r\nk1=/1.vbp\r\nk2=/2.vbp\r\n",
         {"B/b=/b.vbp", "A/k1=/1.vbp", "A/k2=/2.vbp"}},
    };
    for (int compared : {0, 1, 2})
        for (const auto &[name, theirs, shown] : changes)
            QTest::addRow("%s%s", name, compared == 0 ? "" : compared == 1 ? ", compared" : ", compared with another")
                << theirs << shown << compared;
}

void tst_CatalogueFile::followsAnotherProgram()
{
    QFETCH(QByteArray, theirs);
    QFETCH(QStringList, shown);
    QFETCH(int, compared);
    open("[A]\r\nk1=/1.vbp\r\nk2=/2.vbp\r\n[B]\r\n");
    addCategory("Mine"); // no section yet: it stays
    State().CurrentCategory = 1;
    State().CurrentProject = 2;
    const catalogue::ProjectRecord *k2 = State().CategoryAt(1)->Record(2);
    QVERIFY(put(file(), theirs));

    const platform::IniDocument another = platform::IniDocument::Parse(QByteArray("[B]\r\n[A]\r\nk1=/1.vbp\r\n"));
    const platform::IniDocument mirrored = State().Document;
    QCOMPARE(compared == 0 ? catalogue::FollowFile()
                           : catalogue::FollowRead(platform::IniStore::Read(file(), compared == 1 ? &mirrored : &another)),
             catalogue::Followed::Changed);
    QCOMPARE(::shown(), shown);
    QVERIFY(sectionNames().contains("Mine"));
    // The current project stays current while its key is there, in whatever row.
    const catalogue::cVbAnalyze *current = State().Current();
    const bool kept = !shown.filter("/k2=").isEmpty();
    QCOMPARE(current && current->Record(State().CurrentProject) == k2, kept);
    if (!kept)
        QCOMPARE(State().CurrentProject, 0);
    // Nothing was written, and a second look finds nothing new.
    QCOMPARE(contents(file()), theirs);
    QCOMPARE(catalogue::FollowFile(), catalogue::Followed::Same);
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
    open("[Stale]\r\ns=/s.vbp\r\n[Stale2]\r\n[Stale3]\r\n[Stale4]\r\n");
    QVERIFY(put(file(), text));

    // Whatever was loaded before goes.
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
        open("[Kept]\r\nk=/k.vbp\r\n");
        QFile::remove(file());
        if (text != "<missing>")
            QVERIFY(put(file(), text));
        State().CurrentCategory = 1;
        QCOMPARE(catalogue::LoadCategories(), 0);
        QCOMPARE(State().CategoryCount, 0);
        QCOMPARE(State().Catalogue.size(), size_t(2));
        QVERIFY(!State().CategoryAt(1));
        // Loading writes nothing.
        QCOMPARE(contents(file()), text);
    }
}

void tst_CatalogueFile::firstCategoryAlone_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("count"); // of the first category read alone; -1 for none

    const QByteArray rest = section("Rest", 3000, "r"); // beyond the first 64 KiB
    QTest::newRow("large") << section("First", 3, "f") + rest << 3;
    QTest::newRow("first longer than the first step") << section("First", 2000, "f") + rest << 2000;
    QTest::newRow("comments before it") << "; kept\r\nx=/x.vbp\r\n" + section("First", 1, "f") + rest << 1;
    QTest::newRow("small: read whole") << section("First", 3, "f") + section("Rest", 3, "r") << -1;
    QTest::newRow("one section only") << section("First", 3000, "f") << -1;
    QTest::newRow("its name again later") << section("First", 3, "f") + section("FIRST", 3000, "r") << -1;
}

void tst_CatalogueFile::firstCategoryAlone()
{
    QFETCH(QByteArray, text);
    QFETCH(int, count);
    QVERIFY(put(file(), text));
    const std::unique_ptr<catalogue::cVbAnalyze> first = catalogue::PrepareFirstCategory(file());
    QCOMPARE(first ? first->Count() : -1, count);
    if (first) {
        QCOMPARE(first->Category(), QString("First"));
        QCOMPARE(first->ProjectFile(count), QString("/src/f%1/f.vbp").arg(count));
    }
}

void tst_CatalogueFile::firstCategoryWhileReading_data()
{
    QTest::addColumn<bool>("changedMeanwhile");
    QTest::newRow("file as read") << false;
    QTest::newRow("first category changed meanwhile") << true;
}

void tst_CatalogueFile::firstCategoryWhileReading()
{
    QFETCH(bool, changedMeanwhile);
    const QByteArray text = section("First", 3, "f") + section("Rest", 3000, "r");
    QVERIFY(put(file(), text));
    State().CatalogueFilePath = file();
    catalogue::ShowFirstCategory(catalogue::PrepareFirstCategory(file()));
    QCOMPARE(sectionNames(), QStringList {"First"});
    const catalogue::ProjectRecord *shownFirst = State().CategoryAt(1)->Record(1);

    // Only a part of the catalogue is known: nothing may be written from it.
    catalogue::CatalogueEdit edit;
    QVERIFY(!edit.Begin());
    QCOMPARE(edit.Problem(), FileProblem::Reading);
    QCOMPARE(catalogue::SaveWholeCatalogue(), FileProblem::None);
    const QString other = dir_->filePath("other.zrd");
    QCOMPARE(catalogue::SaveCatalogueInto(other), FileProblem::Reading);
    QVERIFY(!QFileInfo::exists(other));
    QCOMPARE(contents(file()), text);

    if (changedMeanwhile)
        QVERIFY(put(file(), section("First", 4, "f") + section("Rest", 3000, "r")));
    QCOMPARE(catalogue::LoadCategories(catalogue::PrepareCatalogue(file())), 2);
    QCOMPARE(sectionNames(), (QStringList {"First", "Rest"}));
    QCOMPARE(State().CategoryAt(1)->Count(), changedMeanwhile ? 4 : 3);
    // The rows shown meanwhile stay the same records, with what was found about them.
    QCOMPARE(State().CategoryAt(1)->Record(1) == shownFirst, !changedMeanwhile);
    QVERIFY(edit.Begin());
}

void tst_CatalogueFile::clear()
{
    open("[Tools]\r\nCalc=/c.vbp\r\n[Games]\r\nGo=/g.vbp\r\n");
    State().CurrentCategory = 2;
    State().CurrentProject = 1;
    catalogue::ClearCategories();
    QCOMPARE(State().CategoryCount, 0);
    QCOMPARE(State().CurrentCategory, 0);
    QCOMPARE(State().CurrentProject, 0);
    QVERIFY(State().Catalogue.empty());
    QVERIFY(!State().Current());
    QCOMPARE(State().CatalogueFilePath, file());
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
