// What opening a catalogue costs in memory, in process, step by step: the read, the lists, the
// looks. Prints VmRSS after each step and per project.
//   memory_probe <catalogue.zrd>
#include "catalogue/CatalogueModels.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/cVbAnalyze.h"
#include "mainwindow/CatalogueCommands.h"
#include "mainwindow/Settings.h"
#include "tooling/UserInterface.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

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
    const long empty = StatusKiB("VmRSS:");
    catalogue::CategoryListModel categories;
    catalogue::ProjectListModel projects;
    CatalogueCommands commands;
    catalogue::State().CatalogueFilePath = QString::fromLocal8Bit(argv[1]);
    commands.LoadCatalogue(false);
    projects.ShowCategory(catalogue::State().Current());
    qint64 count = 0;
    for (qint32 i = 1; i <= catalogue::State().CategoryCount; ++i)
        count += catalogue::State().CategoryAt(i)->Count();
    malloc_trim(0);
    const long loaded = StatusKiB("VmRSS:");
    while (!catalogue::ProjectReader::Instance().Idle()) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    QCoreApplication::processEvents();
    malloc_trim(0);
    const long filled = StatusKiB("VmRSS:");
    std::printf("%lld projects: empty %ld KiB; loaded +%ld KiB (%.0f B a project); filled +%ld KiB (%.0f B a project); peak %ld KiB\n",
                static_cast<long long>(count), empty, loaded - empty, (loaded - empty) * 1024.0 / count, filled - empty,
                (filled - empty) * 1024.0 / count, StatusKiB("VmHWM:"));
    return 0;
}
