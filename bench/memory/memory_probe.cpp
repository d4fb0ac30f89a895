// What opening a catalogue costs in memory, in process, step by step: the read, the lists, the
// looks. Prints VmRSS after each step and per project.
//   memory_probe <catalogue.zrd>
#include "catalogue/CatalogueFile.h"
#include "catalogue/CatalogueModels.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/cVbAnalyze.h"
#include "mainwindow/CatalogueCommands.h"
#include "settings/Settings.h"
#include "tooling/UserInterface.h"

#include <QCoreApplication>
#include <QFile>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>

#include <cstdio>
#include <malloc.h>

namespace {

long StatusKiB(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    settings::Values().AutoMakeExe = false;
    catalogue::ProjectReader reader(catalogue::State());
    const long empty = StatusKiB("VmRSS:");
    catalogue::CategoryListModel categories(catalogue::State());
    catalogue::ProjectListModel projects(catalogue::State());
    CatalogueCommands commands;
    commands.SetReader(&reader);
    catalogue::State().CatalogueFilePath = QString::fromLocal8Bit(argv[1]);
    QElapsedTimer load;
    load.start();
    catalogue::PreparedCatalogue prepared = catalogue::PrepareCatalogue(catalogue::State().CatalogueFilePath);
    const double prepareMs = load.nsecsElapsed() / 1e6;
    load.restart();
    commands.LoadCatalogue(std::move(prepared));
    const double loadMs = load.nsecsElapsed() / 1e6;
    projects.ShowCategory(catalogue::State().Current());
    qint64 count = 0;
    for (qint32 i = 1; i <= catalogue::State().CategoryCount; ++i)
        count += catalogue::State().CategoryAt(i)->Count();
    malloc_trim(0);
    const long loaded = StatusKiB("VmRSS:");
    // The longest time the event loop was held while the looks came in.
    QElapsedTimer gap;
    gap.start();
    double longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, gap.nsecsElapsed() / 1e6);
        gap.restart();
    });
    tick.start(1);
    while (!reader.Idle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    tick.stop();
    QCoreApplication::processEvents();
    malloc_trim(0);
    const long filled = StatusKiB("VmRSS:");
    QElapsedTimer refresh;
    refresh.start();
    reader.RefreshAll();
    std::printf("every project looked at again (back from another program): %.0f ms on the window's thread\n",
                refresh.nsecsElapsed() / 1e6);
    std::printf("prepared (a worker's part) in %.0f ms, taken on the window's thread in %.0f ms, longest hold while the "
                "looks came in %.0f ms\n",
                prepareMs, loadMs, longest);
    std::printf("%lld projects: empty %ld KiB; loaded +%ld KiB (%.0f B a project); filled +%ld KiB (%.0f B a project); peak %ld KiB\n",
                static_cast<long long>(count), empty, loaded - empty, (loaded - empty) * 1024.0 / count, filled - empty,
                (filled - empty) * 1024.0 / count, StatusKiB("VmHWM:"));
    return 0;
}
