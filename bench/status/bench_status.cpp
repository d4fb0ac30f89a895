// The status of 10,000 projects whose executables are all up to date (so that every listed file
// is looked at), beside the floor: a plain loop calling stat() once on each of the same files.
// Reported: the first run of each (a process that has done nothing yet) and the median of the runs.
//   bench_status [runs] [projects]
#include "../common/Measure.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/ProjectScan.h"
#include "catalogue/cVbAnalyze.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

void write(const QString &path, const QByteArray &bytes, time_t when)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::abort();
    f.close();
    const utimbuf times{when, when};
    ::utime(QFile::encodeName(path).constData(), &times);
}

void print(const char *what, const std::vector<double> &runs, double floor)
{
    std::printf("%-44s first %8.1f ms   median %8.1f ms   %5.2fx the floor\n", what, runs.front(), Median(runs),
                Median(runs) / floor);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const int projects = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10000;
    QTemporaryDir dir;
    const time_t old = 1700000000;

    // Each project: three forms with their .frx, two modules (one shared by all), a class and a
    // user control with its .ctx, in a folder of its own; the executable newer than all of them.
    QDir().mkpath(dir.filePath("shared"));
    write(dir.filePath("shared/Common.bas"), "x", old);
    std::vector<QByteArray> floorFiles;
    floorFiles.push_back(QFile::encodeName(dir.filePath("shared/Common.bas")));
    QList<catalogue::KeyEntry> entries;
    for (int p = 0; p < projects; ++p) {
        const QString folder = dir.filePath(QStringLiteral("src/p%1").arg(p, 5, 10, QLatin1Char('0')));
        QDir().mkpath(folder);
        const QByteArray vbp = "Type=Exe\r\nReference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#stdole2.tlb#OLE\r\n"
                               "Form=frmMain.frm\r\nForm=frmEdit.frm\r\nForm=forms\\frmAbout.frm\r\n"
                               "Module=basMain; basMain.bas\r\nModule=Common; ..\\..\\shared\\Common.bas\r\n"
                               "Class=CItem; CItem.cls\r\nUserControl=Grid.ctl\r\nStartup=\"frmMain\"\r\n"
                               "ExeName32=\"App.exe\"\r\nName=\"App\"\r\nMajorVer=1\r\n";
        write(folder + "/App.vbp", vbp, old);
        QDir().mkpath(folder + "/forms");
        for (const char *name : {"frmMain.frm", "frmMain.frx", "frmEdit.frm", "frmEdit.frx", "forms/frmAbout.frm",
                                 "forms/frmAbout.frx", "basMain.bas", "CItem.cls", "Grid.ctl", "Grid.ctx"})
            write(folder + u'/' + QLatin1String(name), "x", old);
        write(folder + "/App.exe", "MZ", old + 100);
        // The files one look stats, in its order: the .vbp, the executable, the listed ones.
        for (const char *name : {"App.vbp", "App.exe", "frmMain.frm", "frmMain.frx", "frmEdit.frm", "frmEdit.frx",
                                 "forms/frmAbout.frm", "forms/frmAbout.frx", "basMain.bas"})
            floorFiles.push_back(QFile::encodeName(folder + u'/' + QLatin1String(name)));
        floorFiles.push_back(QFile::encodeName(dir.filePath("shared/Common.bas")));
        for (const char *name : {"CItem.cls", "Grid.ctl", "Grid.ctx"})
            floorFiles.push_back(QFile::encodeName(folder + u'/' + QLatin1String(name)));
        entries.append({QStringLiteral("p%1").arg(p), folder + "/App.vbp"});
    }

    catalogue::ProjectReader reader(catalogue::State());
    const auto settle = [&] {
        while (!reader.Idle())
            app.processEvents(QEventLoop::WaitForMoreEvents);
    };

    std::vector<double> floor, first, again, serial;
    for (int r = 0; r < runs; ++r) {
        floor.push_back(TimeMs([&] {
            struct stat st {};
            long sink = 0;
            for (const QByteArray &file : floorFiles)
                sink += ::stat(file.constData(), &st) == 0 ? 1 : 0;
            if (sink != long(floorFiles.size()))
                std::abort();
        }));
        // A catalogue loaded: every .vbp read once, every file stat'ed once.
        std::vector<std::unique_ptr<catalogue::cVbAnalyze>> fresh(1);
        fresh.push_back(std::make_unique<catalogue::cVbAnalyze>());
        fresh.back()->SetEntries(QStringLiteral("All"), entries);
        catalogue::ResetState();
        first.push_back(TimeMs([&] {
            catalogue::State().ReplaceCategories(std::move(fresh));
            // As a load does: the category shown is asked for first.
            reader.Queue(catalogue::State().CategoryAt(1), true);
            settle();
        }));
        // Looked at again (the window back at the front): one stat per file.
        again.push_back(TimeMs([&] {
            reader.RefreshAll();
            settle();
        }));
        const catalogue::cVbAnalyze *all = catalogue::State().CategoryAt(1);
        for (qint32 j = 1; j <= all->Count(); ++j)
            if (all->Record(j)->state != catalogue::ProjectState::UpToDate)
                std::abort();
        // The same look on this thread alone: what the scan costs beside the stats themselves.
        serial.push_back(TimeMs([&] {
            catalogue::CaseFolding folding;
            for (qint32 j = 1; j <= all->Count(); ++j) {
                const catalogue::ProjectRecord *record = all->Record(j);
                if (catalogue::ScanProject(record->File(), record->Exe(), record->sources, &folding).state
                    != catalogue::ProjectState::UpToDate)
                    std::abort();
            }
        }));
    }
    const double base = Median(floor);
    std::printf("%d projects, %zu stats a look (%.1f a project); %d runs on %d threads\n", projects,
                floorFiles.size(), double(floorFiles.size()) / projects, runs, QThread::idealThreadCount());
    print("floor: stat() each file once, one thread", floor, base);
    print("status at load (.vbp read, files stat'ed)", first, base);
    print("status looked at again (stats only)", again, base);
    print("one thread, no pool (stats only)", serial, base);
    catalogue::ResetState();
    return 0;
}
