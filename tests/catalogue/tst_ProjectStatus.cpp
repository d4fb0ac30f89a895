// The status of a project from its files: the .vbp's source list, where the listed files lie, and
// the rule on their times, on real files whose times are set with utimensat.
#include "catalogue/LookCache.h"
#include "catalogue/ProjectScan.h"
#include "catalogue/ReferenceCheck.h"
#include "catalogue/SourceList.h"
#include "common/FileBytes.h"

#include "platform/FileSystem.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using catalogue::ProjectState;

class tst_ProjectStatus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listedSources_data();
    void listedSources();
    void sourcePaths_data();
    void sourcePaths();
    void companions_data();
    void companions();
    void keptSources_data();
    void keptSources();
    void keptPath_data();
    void keptPath();
    void status_data();
    void status();
    void watchedFolders_data();
    void watchedFolders();
    void vbpReadAgainOnlyWhenChanged();
    void failedReadIsNoLook();
    void missingReferencesKept_data();
    void missingReferencesKept();
    void looksKeptBetweenRuns_data();
    void looksKeptBetweenRuns();
    void keptLooksReplaceALinkInTheirPlace();
};

void tst_ProjectStatus::listedSources_data()
{
    QTest::addColumn<QByteArray>("vbp");
    QTest::addColumn<QStringList>("sources");
    QTest::newRow("the kinds of source line, in file order")
        << QByteArray("Type=Exe\r\nForm=frmMain.frm\r\nReference=*\\G{0}#2.0#0#..\\x.tlb#OLE\r\n"
                      "Module=basMain; basMain.bas\r\nClass=CItem; ..\\Common\\CItem.cls\r\n"
                      "UserControl=ctl\\Grid.ctl\r\nPropertyPage=Page.pag\r\nUserDocument=Doc.dob\r\n"
                      "Designer=Report.Dsr\r\nRelatedDoc=..\\doc\\readme.txt\r\nResFile32=\"App.RES\"\r\n"
                      "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX\r\nName=\"App\"\r\n")
        << QStringList{"frmMain.frm", "basMain.bas", "..\\Common\\CItem.cls", "ctl\\Grid.ctl", "Page.pag",
                       "Doc.dob", "Report.Dsr", "..\\doc\\readme.txt", "App.RES"};
    QTest::newRow("quoted paths and blanks")
        << QByteArray("Form=\"My Forms\\Main.frm\"\r\nModule=Util;  \"..\\lib\\Util.bas\" \r\nClass=C;C.cls\r\n")
        << QStringList{"My Forms\\Main.frm", "..\\lib\\Util.bas", "C.cls"};
    QTest::newRow("LF and lone CR end lines too")
        << QByteArray("Form=a.frm\nForm=b.frm\rModule=m; c.bas\n") << QStringList{"a.frm", "b.frm", "c.bas"};
    QTest::newRow("code page 932 names")
        << QByteArray("UserControl=\x8c\x76\x8e\x5a" "ctl.ctl\r\n") << QStringList{QStringLiteral("計算ctl.ctl")};
    QTest::newRow("malformed: empty values, no name part, keys that only begin alike, indented")
        << QByteArray("Form=\r\nModule=\r\nClass=NoFile;\r\nModule=Plain.bas\r\nFormula=x.frm\r\n"
                      "Forms=y.frm\r\n  Form=indented.frm\r\nForm\r\n=z.frm\r\nform=lower.frm\r\n")
        << QStringList{"Plain.bas", "lower.frm"};
    QTest::newRow("binary junk") << QByteArray("\x00\xff\xfe\r\n\x81\r\nForm=\x00.frm\r\n", 20)
                                 << QStringList{QStringLiteral("\u0000.frm")};
}

void tst_ProjectStatus::listedSources()
{
    QFETCH(QByteArray, vbp);
    QFETCH(QStringList, sources);
    QCOMPARE(catalogue::ListedSources(vbp), sources);
}

void tst_ProjectStatus::sourcePaths_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("windows");
    QTest::addColumn<QString>("path"); // null: no place on this system
    QTest::newRow("beside the project") << "/src/App" << "Main.frm" << false << "/src/App/Main.frm";
    QTest::newRow("subfolder with backslash") << "/src/App" << "forms\\Main.frm" << false << "/src/App/forms/Main.frm";
    QTest::newRow("..\\ goes up") << "/src/App" << "..\\..\\lib\\Util.bas" << false << "/lib/Util.bas";
    QTest::newRow("above the root stays at it") << "/src" << "..\\..\\x.bas" << false << "/x.bas";
    QTest::newRow("up to the root itself") << "/src" << "..\\.." << false << "/";
    QTest::newRow("absolute") << "/src/App" << "/opt/vb/x.bas" << false << "/opt/vb/x.bas";
    QTest::newRow("Wine's Z: is the root") << "/src/App" << "Z:\\home\\u\\x.bas" << false << "/home/u/x.bas";
    QTest::newRow("z: in lower case") << "/src/App" << "z:x.bas" << false << "/x.bas";
    QTest::newRow("another drive") << "/src/App" << "C:\\VB\\x.bas" << false << QString();
    QTest::newRow("a network share") << "/src/App" << "\\\\server\\share\\x.bas" << false << QString();
    QTest::newRow("Windows: relative") << "C:\\Src\\App" << "..\\lib\\x.bas" << true << "C:\\Src\\lib\\x.bas";
    QTest::newRow("Windows: other drive") << "C:\\Src\\App" << "D:\\x.bas" << true << "D:\\x.bas";
    QTest::newRow("Windows: above the drive's root") << "C:\\Src" << "..\\..\\x.bas" << true << "C:\\x.bas";
}

void tst_ProjectStatus::sourcePaths()
{
    QFETCH(QString, folder);
    QFETCH(QString, written);
    QFETCH(bool, windows);
    QFETCH(QString, path);
    const QString got = catalogue::SourcePath(folder, written, windows ? PathStyle::Windows : PathStyle::Posix);
    QCOMPARE(got, path);
    QCOMPARE(got.isNull(), path.isNull());
}

void tst_ProjectStatus::companions_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("companion");
    QTest::newRow("form") << "/p/Main.frm" << "/p/Main.frx";
    QTest::newRow("control in upper case") << "/p/GRID.CTL" << "/p/GRID.CTX";
    QTest::newRow("designer, mixed case") << "/p/Report.Dsr" << "/p/Report.Dsx";
    QTest::newRow("property page") << "/p/a.pag" << "/p/a.pgx";
    QTest::newRow("document") << "/p/a.dob" << "/p/a.dox";
    QTest::newRow("module has none") << "/p/a.bas" << QString();
    QTest::newRow("a dot in the folder only") << "/p.frm/readme" << QString();
    QTest::newRow("no extension") << "frm" << QString();
}

void tst_ProjectStatus::companions()
{
    QFETCH(QString, source);
    QFETCH(QString, companion);
    QCOMPARE(catalogue::CompanionOf(source), companion);
}

void tst_ProjectStatus::keptSources_data()
{
    // ASCII names are kept without being decoded: they must read as decoded ones would.
    QTest::addColumn<QByteArray>("vbp");
    QTest::addColumn<QString>("kept"); // one a line, relative to /p where they lie in it
    QTest::newRow("bare, quoted, blanks") << QByteArray("Form=a.frm\r\nForm= \" b.frm \" \r\nModule=M;\tc.bas\t\r\n")
                                          << "a.frm\nb.frm\nc.bas";
    QTest::newRow("a quote inside") << QByteArray("Form=\"a\"b.frm\"\r\n") << "a\"b.frm";
    QTest::newRow("not bare names") << QByteArray("Form=.\r\nForm=..\r\nForm=f\\x.frm\r\nForm=/abs/y.frm\r\nForm=\"\"\r\n")
                                    << "/p\n/\nf/x.frm\n/abs/y.frm";
    QTest::newRow("code page 932, ideographic blank trimmed")
        << QByteArray("Form=\x81\x40\x8c\x76\x8e\x5a.frm\x81\x40\r\n") << QStringLiteral("計算.frm");
}

void tst_ProjectStatus::keptSources()
{
    QFETCH(QByteArray, vbp);
    QFETCH(QString, kept);
    QCOMPARE(QString::fromUtf8(catalogue::SourceFilesOf("/p/App.vbp", vbp)), kept);
}

void tst_ProjectStatus::keptPath_data()
{
    QTest::addColumn<QString>("project");
    QTest::addColumn<QString>("path");
    QTest::newRow("beside") << "/p/App.vbp" << "/p/App.exe";
    QTest::newRow("in the root") << "/App.vbp" << "/App.exe";
    QTest::newRow("no folder") << "App.vbp" << "App.exe";
    QTest::newRow("elsewhere") << "/p/App.vbp" << "/q/App.exe";
    QTest::newRow("a longer folder of the same start") << "/p/App.vbp" << "/pp/App.exe";
    QTest::newRow("the folder itself") << "/p/App.vbp" << "/p/";
    QTest::newRow("Windows style") << "C:\\p\\App.vbp" << "C:\\p\\App.exe";
    QTest::newRow("empty") << "/p/App.vbp" << "";
    QTest::newRow("null") << "/p/App.vbp" << QString();
}

void tst_ProjectStatus::keptPath()
{
    QFETCH(QString, project);
    QFETCH(QString, path);
    const catalogue::KeptPath kept(project, path);
    QCOMPARE(kept.In(project), path);
    QCOMPARE(kept.In(project).isNull(), path.isNull());
    QCOMPARE(kept.IsEmpty(), path.isEmpty());
    // A look keeps its sources after the path, in the same block.
    const catalogue::KeptPath withTail = kept.WithTail("a.frm\nb.bas");
    QCOMPARE(withTail.In(project), path);
    QCOMPARE(withTail.In(project).isNull(), path.isNull());
    QVERIFY(withTail == kept);
    QCOMPARE(withTail.Tail(), "a.frm\nb.bas");
}

namespace {

constexpr qint64 kBase = 1700000000;

// Writes each "path@seconds" below root (times relative to kBase); a path ending in "/" is a folder.
bool layFiles(const QString &root, const QStringList &files, const QByteArray &vbp)
{
    for (const QString &entry : files) {
        const QString relative = entry.section(u'@', 0, 0);
        const QString path = root + u'/' + relative;
        if (relative.endsWith(u'/')) {
            if (!QDir().mkpath(path))
                return false;
            continue;
        }
        if (!put(path, relative.endsWith(QLatin1String(".vbp")) ? vbp : QByteArray("x"))
            || !setModified(path, kBase + entry.section(u'@', 1).toLongLong()))
            return false;
    }
    return true;
}

} // namespace

void tst_ProjectStatus::status_data()
{
    QTest::addColumn<QStringList>("files"); // "path@seconds"; the project is p/App.vbp
    QTest::addColumn<QByteArray>("vbp");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("newer"); // the file found newer than the executable

    const QByteArray app("Form=Main.frm\r\nModule=Util; ..\\shared\\Util.bas\r\nClass=CItem; \"Item Class.cls\"\r\n"
                         "ExeName32=\"App.exe\"\r\n");
    const QStringList sources{"p/Main.frm@10", "p/Main.frx@10", "shared/Util.bas@10", "p/Item Class.cls@10"};
    QTest::newRow("no .vbp") << QStringList{"p/App.exe@100"} << app << int(ProjectState::VbpMissing) << "";
    QTest::newRow("a folder named like the .vbp") << QStringList{"p/App.vbp/"} << app << int(ProjectState::VbpMissing) << "";
    QTest::newRow("no executable") << (QStringList{"p/App.vbp@50"} + sources) << app << int(ProjectState::ExeMissing)
                                   << "";
    QTest::newRow("everything older than the executable")
        << (QStringList{"p/App.vbp@50", "p/App.exe@100"} + sources) << app << int(ProjectState::UpToDate) << "";
    QTest::newRow("same second as the executable")
        << (sources + QStringList{"p/App.vbp@100", "p/App.exe@100", "p/Main.frm@100"}) << app
        << int(ProjectState::UpToDate) << "";
    QTest::newRow(".vbp newer") << (QStringList{"p/App.vbp@150", "p/App.exe@100"} + sources) << app
                                << int(ProjectState::OutOfDate) << "p/App.vbp";
    QTest::newRow("form newer") << (sources + QStringList{"p/App.vbp@50", "p/App.exe@100", "p/Main.frm@101"}) << app
                                << int(ProjectState::OutOfDate) << "p/Main.frm";
    QTest::newRow("only the form's .frx newer")
        << (sources + QStringList{"p/App.vbp@50", "p/App.exe@100", "p/Main.frm@50", "p/Main.frx@120"}) << app
        << int(ProjectState::OutOfDate) << "p/Main.frx";
    QTest::newRow("module in a folder beside, through ..\\")
        << (sources + QStringList{"p/App.vbp@50", "p/App.exe@100", "shared/Util.bas@200"}) << app
        << int(ProjectState::OutOfDate)
        << "shared/Util.bas";
    QTest::newRow("quoted class path with a blank")
        << (sources + QStringList{"p/App.vbp@50", "p/App.exe@100", "p/Item Class.cls@200"}) << app
        << int(ProjectState::OutOfDate) << "p/Item Class.cls";
    QTest::newRow("letter case as written on Windows")
        << QStringList{"p/App.vbp@50", "p/App.exe@100", "p/Main.frm@10", "p/Item Class.cls@10", "Shared/UTIL.BAS@200"}
        << app << int(ProjectState::OutOfDate)
        << "Shared/UTIL.BAS";
    QTest::newRow("a form and its .frx in other letter case")
        << QStringList{"p/App.vbp@50", "p/App.exe@100", "p/MAIN.FRM@50", "p/MAIN.FRX@200", "shared/Util.bas@10",
                       "p/Item Class.cls@10"}
        << app
        << int(ProjectState::OutOfDate) << "p/MAIN.FRX";
    // Wine writes CASEP.EXE when that is on disk and the .vbp says CaseP.exe.
    QTest::newRow("the executable in another letter case")
        << (sources + QStringList{"p/App.vbp@50", "p/APP.EXE@100"}) << app << int(ProjectState::UpToDate) << "";
    // A build would fail on a missing source: it goes before the executable's statuses.
    QTest::newRow("a listed source missing names it")
        << QStringList{"p/App.vbp@50", "p/App.exe@100", "p/Main.frm@10", "p/Item Class.cls@10"} << app
        << int(ProjectState::SourceMissing) << "shared/Util.bas";
    QTest::newRow("a source missing while out of date")
        << QStringList{"p/App.vbp@150", "p/App.exe@100", "p/Main.frm@10"} << app << int(ProjectState::SourceMissing)
        << "shared/Util.bas";
    QTest::newRow("a source missing without an executable")
        << QStringList{"p/App.vbp@50", "shared/Util.bas@10", "p/Item Class.cls@10"} << app
        << int(ProjectState::SourceMissing) << "p/Main.frm";
    QTest::newRow("a missing companion counts for nothing")
        << QStringList{"p/App.vbp@50", "p/App.exe@100", "p/Main.frm@10", "shared/Util.bas@10", "p/Item Class.cls@10"}
        << app << int(ProjectState::UpToDate) << "";
    QTest::newRow("no ExeName32: the project's name with .exe")
        << QStringList{"p/App.vbp@50", "p/App.exe@40", "p/Main.frm@10"} << QByteArray("Form=Main.frm\r\n")
        << int(ProjectState::OutOfDate)
        << "p/App.vbp";
    QTest::newRow("executable is a folder") << (sources + QStringList{"p/App.vbp@50", "p/App.exe/"}) << app
                                            << int(ProjectState::ExeMissing) << "";
}

void tst_ProjectStatus::status()
{
    QFETCH(QStringList, files);
    QFETCH(QByteArray, vbp);
    QFETCH(int, state);
    QFETCH(QString, newer);
    QTemporaryDir dir;
    QVERIFY(layFiles(dir.path(), files, vbp));
    const QString project = dir.filePath(QStringLiteral("p/App.vbp"));
    catalogue::CaseFolding folding;
    const catalogue::ScanResult result = catalogue::ScanProject(project, QString(), nullptr, &folding);
    QCOMPARE(int(result.state), state);
    QCOMPARE(result.statusFile.IsEmpty() ? QString() : QDir(dir.path()).relativeFilePath(result.statusFile.In(project)),
             newer.isEmpty() ? QString() : newer);
    if (state == int(ProjectState::UpToDate) || state == int(ProjectState::OutOfDate))
        QCOMPARE(result.exeModifiedNs / 1000000000, kBase + 100 - (vbp.contains("ExeName32") ? 0 : 60));
}

void tst_ProjectStatus::watchedFolders_data()
{
    QTest::addColumn<QStringList>("files"); // the project is p/App.vbp
    QTest::addColumn<QByteArray>("vbp");
    QTest::addColumn<QStringList>("folders"); // below the root
    QTest::newRow("as written") << QStringList{"p/forms/Main.frm@0"} << QByteArray("Form=forms\\Main.frm\r\n")
                                << QStringList{"p/forms"};
    QTest::newRow("the folder in another letter case")
        << QStringList{"p/Forms/frmMain.frm@0"} << QByteArray("Form=forms\\FRMMAIN.FRM\r\n") << QStringList{"p/Forms"};
    QTest::newRow("two spellings of one folder")
        << QStringList{"p/Forms/a.frm@0", "p/Forms/b.frm@0"} << QByteArray("Form=forms\\a.frm\r\nForm=FORMS\\b.frm\r\n")
        << QStringList{"p/Forms"};
    QTest::newRow("a folder not there stays as written")
        << QStringList{"p/Main.frm@0"} << QByteArray("Form=Main.frm\r\nModule=M; gone\\M.bas\r\n")
        << QStringList{"p", "p/gone"};
}

void tst_ProjectStatus::watchedFolders()
{
    QFETCH(QStringList, files);
    QFETCH(QByteArray, vbp);
    QFETCH(QStringList, folders);
    QTemporaryDir dir;
    QVERIFY(layFiles(dir.path(), files + QStringList{"p/App.vbp@0"}, vbp));
    const QString project = dir.filePath(QStringLiteral("p/App.vbp"));
    const catalogue::ScanResult scan = catalogue::ScanProject(project, QString(), nullptr, nullptr);
    QVERIFY(scan.sources);
    QStringList got;
    for (const QString &folder : catalogue::SourceFoldersOf(project, *scan.sources))
        got.append(QDir(dir.path()).relativeFilePath(folder));
    QCOMPARE(got, folders);
}

void tst_ProjectStatus::vbpReadAgainOnlyWhenChanged()
{
    QTemporaryDir dir;
    QVERIFY(layFiles(dir.path(), {"p/App.vbp@50", "p/App.exe@100", "p/A.frm@10", "p/B.frm@10"},
                     "Form=A.frm\r\nExeName32=\"App.exe\"\r\n"));
    const QString project = dir.filePath(QStringLiteral("p/App.vbp"));
    const catalogue::ScanResult first = catalogue::ScanProject(project, QString(), nullptr, nullptr);
    QCOMPARE(first.state, ProjectState::UpToDate);
    // A source touched: the list read before is used, the new time is seen.
    QVERIFY(setModified(dir.filePath(QStringLiteral("p/A.frm")), kBase + 300));
    const catalogue::ScanResult second = catalogue::ScanProject(project, QString(), first.sources, nullptr);
    QCOMPARE(second.state, ProjectState::OutOfDate);
    QCOMPARE(second.sources, first.sources);
    // The .vbp rewritten with another list (and an older time than the executable): read again.
    QVERIFY(put(project, "Form=B.frm\r\nExeName32=\"App.exe\"\r\n"));
    QVERIFY(setModified(project, kBase + 50));
    const catalogue::ScanResult third = catalogue::ScanProject(project, QString(), second.sources, nullptr);
    QVERIFY(third.sources != second.sources);
    QCOMPARE(third.state, ProjectState::UpToDate);
    // The executable the catalogue holds wins over the one the .vbp names now.
    const catalogue::ScanResult held =
        catalogue::ScanProject(project, dir.filePath(QStringLiteral("p/Other.exe")), third.sources, nullptr);
    QCOMPARE(held.state, ProjectState::ExeMissing);
}

void tst_ProjectStatus::failedReadIsNoLook()
{
    QTemporaryDir dir;
    QVERIFY(layFiles(dir.path(), {"p/App.vbp@50", "p/Other.exe@100"}, "ExeName32=\"Other.exe\"\r\n"));
    const QString project = dir.filePath(QStringLiteral("p/App.vbp"));
    catalogue::FailProjectReadsForTesting(project);
    const catalogue::ScanResult failed = catalogue::ScanProject(project, QString(), nullptr, nullptr);
    catalogue::FailProjectReadsForTesting(QString());
    // Not "App.exe not made" from a file that said nothing, and no look to keep: the next look reads it.
    QCOMPARE(failed.state, ProjectState::Unknown);
    QVERIFY(!failed.read && !failed.sources && failed.exe.IsEmpty());
    QCOMPARE(catalogue::ScanProject(project, QString(), failed.sources, nullptr).state, ProjectState::UpToDate);
}

void tst_ProjectStatus::missingReferencesKept_data()
{
    QTest::addColumn<QByteArray>("registry");
    QTest::addColumn<bool>("fileThere");
    QTest::addColumn<QString>("missing");
    QTest::addColumn<bool>("readAgain"); // by the next look against the same registry
    const QByteArray comctl("[Software\\\\Classes\\\\Typelib\\\\{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}\\\\2.0\\\\0\\\\win32]\n"
                            "@=\"C:\\\\windows\\\\system32\\\\mscomctl.ocx\"\n");
    QTest::newRow("registered, its file there") << comctl << true << QString() << false;
    // Registering it changes the registry: only then is it looked for again.
    QTest::newRow("not registered") << QByteArray() << true << QStringLiteral("MSCOMCTL.OCX (未登録)") << false;
    // The file may be put back alone.
    QTest::newRow("registered, its file gone") << comctl << false << QStringLiteral("MSCOMCTL.OCX (ﾌｧｲﾙなし)") << true;
}

void tst_ProjectStatus::missingReferencesKept()
{
    QFETCH(QByteArray, registry);
    QFETCH(bool, fileThere);
    QFETCH(QString, missing);
    QFETCH(bool, readAgain);
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("prefix"));
    QVERIFY(put(prefix + QStringLiteral("/system.reg"), "WINE REGISTRY Version 2\n\n" + registry));
    QVERIFY(!fileThere || put(prefix + QStringLiteral("/drive_c/windows/system32/mscomctl.ocx"), "MZ"));
    QVERIFY(layFiles(dir.path(), {"p/App.vbp@50"},
                     "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX\r\nExeName32=\"App.exe\"\r\n"));
    const QString project = dir.filePath(QStringLiteral("p/App.vbp"));
    platform::WineRegistry wineRegistry(prefix);
    const std::shared_ptr<const platform::TypeLibTable> table = wineRegistry.TypeLibs();
    catalogue::ReferenceCheck check(prefix, table);
    const catalogue::ReferenceLookup lookup{&check, table->Tag()};
    const catalogue::ScanResult first = catalogue::ScanProject(project, QString(), nullptr, nullptr, nullptr, &lookup);
    QVERIFY(first.sources);
    QCOMPARE(first.sources->MissingText(), missing);
    QCOMPARE(first.sources->HasMissing(), !missing.isEmpty()); // nothing kept for a project without
    QCOMPARE(catalogue::ScanProject(project, QString(), first.sources, nullptr, nullptr, &lookup).read, readAgain);
    const catalogue::ReferenceLookup changed{&check, table->Tag() + 1};
    QVERIFY(catalogue::ScanProject(project, QString(), first.sources, nullptr, nullptr, &changed).read);
    // Kept between runs with the registry it was checked against.
    const QString file = dir.filePath(QStringLiteral("cache/looks"));
    QVERIFY(catalogue::LookCache::Write(file, {first.sources}, platform::WallClockNs()));
    const catalogue::SourcesPtr kept = catalogue::LookCache::Read(file)->Find(project, first.sources->Stamp());
    QVERIFY(kept);
    QCOMPARE(kept->referenceTag, table->Tag());
    QCOMPARE(kept->MissingText(), missing);
}

void tst_ProjectStatus::looksKeptBetweenRuns_data()
{
    QTest::addColumn<QString>("change"); // between the run that kept the look and the next
    QTest::addColumn<bool>("readAgain");
    QTest::newRow("nothing") << "" << false;
    QTest::newRow("the .vbp rewritten") << "rewrite" << true;
    QTest::newRow("reached by another path") << "link" << true;
    QTest::newRow("changed just before it was kept") << "recent" << true;
    QTest::newRow("damaged: cut short") << "cut" << true;
    QTest::newRow("damaged: another program's file") << "foreign" << true;
    QTest::newRow("damaged: more looks than bytes") << "count" << true;
    QTest::newRow("damaged: one bit of a name") << "bit" << true;
    QTest::newRow("damaged: 200 MB of zeros after the looks") << "zeros" << true;
    QTest::newRow("a link in the cache's place") << "cache link" << true;
    QTest::newRow("others may write the cache") << "shared" << true;
}

void tst_ProjectStatus::looksKeptBetweenRuns()
{
    QFETCH(QString, change);
    QFETCH(bool, readAgain);
    QTemporaryDir dir;
    QVERIFY(layFiles(dir.path(), {"p/App.vbp@50", "p/App.exe@100", "p/A.frm@10", "p/B.frm@10"},
                     "Form=A.frm\r\nExeName32=\"App.exe\"\r\n"));
    QString project = dir.filePath(QStringLiteral("p/App.vbp"));
    const catalogue::ScanResult first = catalogue::ScanProject(project, QString(), nullptr, nullptr);
    QVERIFY(first.read);
    const QString file = dir.filePath(QStringLiteral("cache/looks"));
    const qint64 keptUpTo = change == "recent" ? first.sources->Stamp().changedNs - 1 : platform::WallClockNs();
    QVERIFY(catalogue::LookCache::Write(file, {first.sources}, keptUpTo));
    QByteArray bytes = contents(file);
    if (change == "rewrite") {
        QVERIFY(put(project, "Form=B.frm\r\nExeName32=\"App.exe\"\r\n"));
        QVERIFY(setModified(project, kBase + 50)); // its time as before; the change time tells
    } else if (change == "link") {
        QVERIFY(QFile::link(project, dir.filePath(QStringLiteral("p/Link.vbp"))));
        project = dir.filePath(QStringLiteral("p/Link.vbp"));
    } else if (change == "cut") {
        QVERIFY(put(file, bytes.chopped(3)));
    } else if (change == "foreign") {
        QVERIFY(put(file, "[Main]\r\nStartFile=x.zrd\r\n"));
    } else if (change == "count") {
        bytes[24] = '\x7f'; // the count's first byte
        QVERIFY(put(file, bytes));
    } else if (change == "bit") {
        bytes[bytes.size() - 9] ^= 1; // "A.frm" becomes "A.frl" (a tag and a null array follow)
        QVERIFY(put(file, bytes));
    } else if (change == "zeros") {
        QFile grown(file); // sparse: the test costs no disk
        QVERIFY(grown.resize(200 * 1024 * 1024));
    } else if (change == "cache link") {
        QVERIFY(QFile::rename(file, file + QStringLiteral(".kept")));
        QVERIFY(QFile::link(file + QStringLiteral(".kept"), file));
    } else if (change == "shared") {
        QVERIFY(::chmod(QFile::encodeName(file).constData(), 0622) == 0);
    }
    const std::shared_ptr<const catalogue::LookCache> cache = catalogue::LookCache::Read(file);
    QCOMPARE(cache->Size(), change.isEmpty() || change == "rewrite" || change == "link" ? 1 : 0);
    const catalogue::ScanResult next = catalogue::ScanProject(project, QString(), nullptr, nullptr, cache.get());
    QCOMPARE(next.read, readAgain);
    QCOMPARE(next.state, first.state);
    QCOMPARE(next.exe.In(project), first.exe.In(project));
    if (!readAgain)
        QCOMPARE(next.sources->Files(), first.sources->Files());
}

namespace {

int modeOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

} // namespace

// A link where the cache goes once led the write into the user's catalogue.
void tst_ProjectStatus::keptLooksReplaceALinkInTheirPlace()
{
    QTemporaryDir dir;
    QVERIFY(layFiles(dir.path(), {"p/App.vbp@50", "p/App.exe@100"}, "ExeName32=\"App.exe\"\r\n"));
    const catalogue::ScanResult look = catalogue::ScanProject(dir.filePath(QStringLiteral("p/App.vbp")), QString(), nullptr, nullptr);
    const QString catalogue = dir.filePath(QStringLiteral("My.zrd"));
    const QByteArray entries("[Tools]\r\nApp=p/App.vbp\r\n");
    QVERIFY(put(catalogue, entries));
    const QString folder = dir.filePath(QStringLiteral("cache"));
    const QString file = folder + QStringLiteral("/looks");
    QVERIFY(QDir().mkdir(folder) && ::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
    QVERIFY(QFile::link(catalogue, file));
    QVERIFY(catalogue::LookCache::Write(file, {look.sources}, platform::WallClockNs()));
    QCOMPARE(contents(catalogue), entries);
    QCOMPARE(modeOf(file), 0600); // a file, no longer the link
    QCOMPARE(modeOf(folder), 0700);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("looks")});
    QCOMPARE(catalogue::LookCache::Read(file)->Size(), 1);
    // Another user's folder is not used; only root can give one away here (CI runs as root).
    if (::geteuid() == 0) {
        QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
        QCOMPARE(catalogue::LookCache::Read(file)->Size(), 0);
        QVERIFY(!catalogue::LookCache::Write(file, {look.sources}, platform::WallClockNs()));
    }
}

QTEST_GUILESS_MAIN(tst_ProjectStatus)
#include "tst_ProjectStatus.moc"
