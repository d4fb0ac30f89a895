// Every change of the catalogue on a realistic tree, in the main window (offscreen unless
// QT_QPA_PLATFORM says otherwise), against the floor of any change: one write, fsync and rename of
// the same bytes, with the folder synced, made with the bare system calls.
//   bench_changes <projects> [<categories> [<runs>]]     defaults: 10000 100 7
// The tree: a folder per project with a .vbp of about 860 bytes listing frmMain.frm/.frx,
// frmSub.frm and modMain.bas, all present; the executable for 90 % (70 % up to date, 20 % older
// than the sources); Japanese paths of about 110 characters. BENCH_WORK=<folder> keeps the tree
// between runs. Each change waits 200 ms after the last write, as a user's next command would; the
// floor is taken the same way, in turns with the changes. The first run comes first in each row,
// then the median. Closing with nothing changed is timed on windows opened for it.
#include "../common/Measure.h"
#include "catalogue/CatalogueChanges.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/cVbAnalyze.h"
#include "dialogs/fEdit.h"
#include "dialogs/fMove.h"
#include "mainwindow/ui/ProjectListView.h"
#include "settings/Settings.h"
#include "mainwindow/ui/MainLists.h"
#include "mainwindow/ui/MainMenus.h"
#include "mainwindow/ui/fMain.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QQueue>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

[[noreturn]] void Fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::exit(1);
}

// Answers questions from a queue; messages are failures here.
class ScriptedQuiet : public ui::UserInterface {
public:
    void Message(const QString &text) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        Fail("a change failed");
    }
    bool Confirm(const QString &, const QString &) override { return true; }
    bool Ask(const QString &) override { return false; }
    QString InputBox(const QString &, const QString &, const QString &) override
    {
        return answers.isEmpty() ? QString() : answers.dequeue();
    }
    void ShowProgress(const QString &) override {}
    void HideProgress() override {}
    QQueue<QString> answers;
};

bool Put(const QString &path, const QByteArray &bytes, qint64 modified = 0)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    if (modified > 0) {
        utimbuf times{};
        times.actime = times.modtime = modified;
        utime(QFile::encodeName(path).constData(), &times);
    }
    return true;
}

QByteArray VbpText(int p)
{
    QByteArray text = "Type=Exe\r\n"
                      "Reference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#..\\..\\..\\Windows\\SysWOW64\\stdole2.tlb#OLE Automation\r\n"
                      "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX\r\n"
                      "Form=frmMain.frm\r\nForm=frmSub.frm\r\nModule=modMain; modMain.bas\r\n"
                      "IconForm=\"frmMain\"\r\nStartup=\"frmMain\"\r\nHelpFile=\"\"\r\n";
    const QByteArray name = *platform::EncodeCp932(QStringLiteral("在庫管理ツール_%1").arg(p, 7, 10, QLatin1Char('0')));
    text += "Title=\"" + name + "\"\r\nExeName32=\"" + name + ".exe\"\r\nCommand32=\"\"\r\nName=\"" + name + "\"\r\n";
    text += "HelpContextID=\"0\"\r\nCompatibleMode=\"0\"\r\nMajorVer=1\r\nMinorVer=0\r\nRevisionVer=0\r\n"
            "AutoIncrementVer=0\r\nServerSupportFiles=0\r\nVersionCompanyName=\"Example\"\r\nCompilationType=0\r\n"
            "OptimizationType=0\r\nFavorPentiumPro(tm)=0\r\nCodeViewDebugInfo=0\r\nNoAliasing=0\r\nBoundsCheck=0\r\n"
            "OverflowCheck=0\r\nFlPointCheck=0\r\nFDIVCheck=0\r\nUnroundedFP=0\r\nStartMode=0\r\nUnattended=0\r\n"
            "Retained=0\r\nThreadPerObject=0\r\nMaxNumberOfThreads=1\r\n\r\n[MS Transaction Server]\r\nAutoRefresh=1\r\n";
    return text;
}

struct Tree {
    QString catalogue;
    QByteArray bytes;     // the catalogue as made
    QStringList spare;    // .vbp files not in the catalogue, for the additions
};

QString ProjectFile(const QString &root, int category, int p)
{
    const QString name = QStringLiteral("在庫管理ツール_%1").arg(p, 7, 10, QLatin1Char('0'));
    return root + QStringLiteral("/開発資産/業務アプリケーション群/在庫管理システム/分類%1/%2/%2.vbp")
                      .arg(category, 5, 10, QLatin1Char('0'))
                      .arg(name);
}

void MakeProject(const QString &vbp, int p)
{
    const QString folder = vbp.left(vbp.lastIndexOf(u'/'));
    if (QFileInfo::exists(vbp))
        return;
    QDir().mkpath(folder);
    const qint64 sources = 1'600'000'000;
    bool ok = Put(vbp, VbpText(p), sources);
    for (const char *source : {"frmMain.frm", "frmMain.frx", "frmSub.frm", "modMain.bas"})
        ok = ok && Put(folder + u'/' + QLatin1String(source), "VERSION 5.00\r\nAttribute VB_Name = \"x\"\r\n", sources);
    // 90 % built: 70 % after the sources, 20 % before them.
    if (p % 10 < 7)
        ok = ok && Put(vbp.chopped(4) + QStringLiteral(".exe"), "MZ", sources + 3600);
    else if (p % 10 < 9)
        ok = ok && Put(vbp.chopped(4) + QStringLiteral(".exe"), "MZ", sources - 3600);
    if (!ok)
        Fail("cannot make the tree");
}

Tree MakeTree(const QString &root, int projects, int categories)
{
    Tree tree;
    tree.catalogue = root + QStringLiteral("/開発資産/在庫管理カタログ.zrd");
    QString text;
    int p = 0;
    for (int c = 1; c <= categories; ++c) {
        text += QStringLiteral("[業務分類%1]\r\n").arg(c, 5, 10, QLatin1Char('0'));
        const int count = projects / categories + (c <= projects % categories ? 1 : 0);
        for (int k = 0; k < count; ++k) {
            ++p;
            const QString vbp = ProjectFile(root, c, p);
            MakeProject(vbp, p);
            text += QStringLiteral("在庫管理ツール_%1=%2\r\n").arg(p, 7, 10, QLatin1Char('0')).arg(vbp);
        }
    }
    for (int s = 1; s <= 200; ++s) {
        tree.spare.append(ProjectFile(root, 0, projects + s));
        MakeProject(tree.spare.last(), projects + s);
    }
    tree.bytes = *platform::EncodeCp932(text);
    return tree;
}

// The floor of any change: one atomic rewrite of the same bytes, as durable as the program's.
void RewriteFile(const QString &path, const QByteArray &bytes)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temp = target + ".floor";
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size() || ::fsync(fd) != 0)
        Fail("cannot write the floor's file");
    ::close(fd);
    if (::rename(temp.constData(), target.constData()) != 0)
        Fail("cannot rename the floor's file");
    const QByteArray folder = target.left(target.lastIndexOf('/'));
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::fsync(dir);
    ::close(dir);
}

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Settle(int ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void WaitForReader(const catalogue::ProjectReader &reader)
{
    while (!reader.Idle()) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

struct Series {
    const char *what;
    std::vector<double> ms;
    std::vector<double> floor; // the rewrite of the same bytes, right after
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const int projects = argc > 1 ? std::max(100, std::atoi(argv[1])) : 10000;
    const int categories = argc > 2 ? std::max(2, std::atoi(argv[2])) : 100;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
    QTemporaryDir temporary;
    const QString work = qEnvironmentVariableIsEmpty("BENCH_WORK") ? temporary.path() : qEnvironmentVariable("BENCH_WORK");
    const QString root = work + QStringLiteral("/tree-%1-%2").arg(projects).arg(categories);
    platform::SetProgramFolderForTesting(temporary.path());
    settings::Values().AutoMakeExe = false;
    ScriptedQuiet quiet;
    ui::SetCurrent(&quiet);

    std::fprintf(stderr, "making the tree of %d projects in %d categories ...\n", projects, categories);
    const Tree tree = MakeTree(root, projects, categories);
    if (!Put(tree.catalogue, tree.bytes, 1'600'000'000))
        Fail("cannot write the catalogue");
    const QString floorFile = tree.catalogue.chopped(4) + QStringLiteral("-floor.zrd");

    Series addOne{"add a project", {}, {}};
    Series addTen{"add 10 projects at once (a drop)", {}, {}};
    Series edit{"edit a project", {}, {}};
    Series move{"move a project", {}, {}};
    Series rename{"rename a category", {}, {}};
    Series removeProject{"delete a project", {}, {}};
    Series removeCategory{"delete a category", {}, {}};
    std::vector<double> save;
    std::vector<double> close;
    std::vector<Series *> all{&addOne, &addTen, &edit, &move, &rename, &removeProject, &removeCategory};

    auto timed = [&](Series &series, const std::function<void()> &change) {
        Settle(200);
        series.ms.push_back(TimeMs(change));
        const QByteArray bytes = Contents(tree.catalogue);
        Settle(200);
        series.floor.push_back(TimeMs([&] { RewriteFile(floorFile, bytes); }));
    };

    // Gone before the windows below: each window reads with a reader of its own.
    {
        fMain window;
        window.resize(1000, 700);
        catalogue::State().CatalogueFilePath = tree.catalogue;
        window.Commands().LoadCatalogue();
        window.show();
        WaitForReader(window.Reader());
        int spare = 0;
        for (int r = 0; r < runs; ++r) {
            catalogue::CatalogueState &state = catalogue::State();
            window.Commands().SelectCategory(1 + r % categories);
            timed(addOne, [&] { window.Commands().AddDroppedFiles({tree.spare[spare++]}); });
            window.Commands().SelectCategory(1 + (r + 1) % categories);
            timed(addTen, [&] {
                window.Commands().AddDroppedFiles(tree.spare.mid(spare, 10));
            });
            spare += 10;
            window.Commands().SelectCategory(1 + (r + 2) % categories);
            window.Commands().SelectProject(1);
            {
                fEdit dialog(&window);
                dialog.txtProjectName->setText(QStringLiteral("編集済み_%1").arg(r));
                timed(edit, [&] { dialog.cmdOK_Click(); });
                if (!dialog.Edited())
                    Fail("edit did nothing");
            }
            window.Commands().SelectCategory(1 + (r + 3) % categories);
            window.Commands().SelectProject(1);
            {
                fMove dialog(&window);
                dialog.cmbCategory->setCurrentIndex((r + 4) % categories);
                timed(move, [&] { dialog.cmdOK_Click(); });
                if (!dialog.Moved())
                    Fail("move did nothing");
            }
            window.Commands().SelectCategory(1 + (r + 5) % categories);
            quiet.answers.enqueue(QStringLiteral("改名した業務分類_%1").arg(r));
            timed(rename, [&] { window.Commands().RenameCategory(); });
            window.Commands().SelectCategory(1 + (r + 6) % categories);
            window.Commands().SelectProject(1);
            timed(removeProject, [&] { window.Commands().DeleteSelectedProject(); });
            // A category of its own, so that the catalogue keeps its size run after run.
            quiet.answers.enqueue(QStringLiteral("一時分類_%1").arg(r));
            window.Commands().AddCategory();
            window.Commands().AddDroppedFiles({tree.spare[spare++]});
            timed(removeCategory, [&] { window.Commands().DeleteCategory(); });
            Settle(200);
            const platform::FileStamp before = platform::StatFile(tree.catalogue);
            save.push_back(TimeMs([&] { window.SaveCatalogue(); }));
            if (platform::StatFile(tree.catalogue) != before || state.CategoryCount != categories)
                Fail("save with nothing changed wrote the catalogue");
        }
        window.close();
    }

    // Closing with nothing changed, each on a window of its own with the catalogue open.
    for (int r = 0; r < std::min(runs, 5); ++r) {
        fMain other;
        catalogue::State().CatalogueFilePath = tree.catalogue;
        other.Commands().LoadCatalogue();
        other.show();
        WaitForReader(other.Reader());
        const platform::FileStamp before = platform::StatFile(tree.catalogue);
        close.push_back(TimeMs([&] { other.close(); }));
        if (platform::StatFile(tree.catalogue) != before)
            Fail("closing wrote the catalogue");
    }

    std::printf("%d projects in %d categories, catalogue of %lld bytes, paths of %lld characters; ms, the first run\n"
                "beside the median of %d; the floor: one write+fsync+rename of the same bytes\n",
                projects, categories, static_cast<long long>(Contents(tree.catalogue).size()),
                static_cast<long long>(tree.spare.front().size()), runs);
    std::printf("%-36s %9s %9s %9s %8s\n", "", "first", "median", "floor", "ratio");
    for (const Series *s : all)
        std::printf("%-36s %9.2f %9.2f %9.2f %7.2fx\n", s->what, s->ms.front(), Median(s->ms), Median(s->floor),
                    Median(s->ms) / Median(s->floor));
    std::printf("%-36s %9.2f %9.2f\n", "save with nothing changed", save.front(), Median(save));
    std::printf("%-36s %9.2f %9.2f\n", "close with nothing changed", close.front(), Median(close));
    ui::SetCurrent(nullptr);
    return 0;
}
