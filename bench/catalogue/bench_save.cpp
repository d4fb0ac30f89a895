// A save of 10,000 projects (100 categories x 100) that really writes the file, with and
// without the backup of the previous version. Each run changes one project, so every save
// replaces the whole file (fsync included). The first run of each kind is cold (first write
// of the process there, first backup into a new folder); the medians are warm.
#include "../common/Measure.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/cVbAnalyze.h"
#include "platform/Backups.h"
#include "platform/IniStore.h"
#include "platform/TextCodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr int kCategories = 100;
constexpr int kProjects = 100;

QByteArray CatalogueBytes()
{
    QString text;
    for (int c = 0; c < kCategories; ++c) {
        text += QStringLiteral("[分類%1]\r\n").arg(c, 3, 10, QLatin1Char('0'));
        for (int p = 0; p < kProjects; ++p)
            text += QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ%1=/home/開発者/src/Group%2/Project%1/Project%1.vbp\r\n").arg(p).arg(c);
    }
    return *platform::EncodeCp932(text);
}

struct Kind {
    const char *label;
    bool backup;
    QString file;
    catalogue::CatalogueState state;
    QStringList sections;
    std::vector<double> ms;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const int runs = argc > 1 ? std::max(2, std::atoi(argv[1])) : 21;
    QTemporaryDir dir;
    platform::SetBackupFolderForTesting(dir.filePath(QStringLiteral("state/ZARUN/backups")));
    const QByteArray bytes = CatalogueBytes();
    auto &store = platform::IniStore::Instance();

    Kind kinds[] = {{"plain save", false, dir.filePath(QStringLiteral("Plain.zrd")), {}, {}, {}},
                    {"save with backup", true, dir.filePath(QStringLiteral("Backup.zrd")), {}, {}, {}}};
    for (Kind &kind : kinds) {
        QFile f(kind.file);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
    }
    // Past the engine's racy window: a catalogue being opened is older than that.
    std::this_thread::sleep_for(std::chrono::nanoseconds(platform::IniStore::kRacyWindowNs) + std::chrono::milliseconds(10));
    for (Kind &kind : kinds) {
        catalogue::ResetState();
        catalogue::State().CatalogueFilePath = kind.file;
        if (catalogue::LoadCategories() != kCategories)
            return 1;
        for (qint32 i = 1; i <= kCategories; ++i)
            kind.sections.append(catalogue::State().CategoryAt(i)->Category());
        kind.state = std::move(catalogue::State());
    }

    // The kinds take turns, so that drift in the machine's load hits both alike.
    for (int r = 0; r < runs; ++r) {
        for (Kind &kind : kinds) {
            std::swap(catalogue::State(), kind.state);
            store.SetKeepingBackups(kind.backup);
            catalogue::State().CategoryAt(1 + r % kCategories)
                ->SetProjectFile(1, QStringLiteral("/home/開発者/moved/%1/Project.vbp").arg(r));
            const auto t0 = std::chrono::steady_clock::now();
            const platform::IniStatus status = catalogue::SaveCategories(kind.sections);
            kind.ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
            std::swap(catalogue::State(), kind.state);
            if (status != platform::IniStatus::Ok) {
                std::fprintf(stderr, "save failed\n");
                return 1;
            }
        }
        // A save is seconds after the last one, long past the racy window.
        std::this_thread::sleep_for(std::chrono::nanoseconds(platform::IniStore::kRacyWindowNs) + std::chrono::milliseconds(10));
    }

    const qsizetype backups = platform::BackupsOf(kinds[1].file).size();
    if (!platform::BackupsOf(kinds[0].file).isEmpty() || backups != std::min(runs, platform::kBackupsKept)) {
        std::fprintf(stderr, "wrong number of backups: %lld\n", static_cast<long long>(backups));
        return 1;
    }
    std::printf("save of %d categories x %d projects (%lld bytes), one project changed per run; %d runs\n",
                kCategories, kProjects, static_cast<long long>(QFileInfo(kinds[0].file).size()), runs);
    std::printf("%-20s %12s %12s\n", "", "first (cold)", "median");
    for (const Kind &kind : kinds)
        std::printf("%-20s %9.2f ms %9.2f ms\n", kind.label, kind.ms.front(),
                    Median(std::vector<double>(kind.ms.begin() + 1, kind.ms.end())));
    // The backup step alone: the old bytes, already in memory, into a new file (the oldest backups
    // are removed after the save, on a worker, and are not counted).
    std::vector<double> alone;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        platform::KeepBackup(kinds[1].file, bytes);
        alone.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::printf("%-20s %9.2f ms %9.2f ms\n", "the backup alone", alone.front(),
                Median(std::vector<double>(alone.begin() + 1, alone.end())));
    const double ratio = Median(std::vector<double>(kinds[1].ms.begin() + 1, kinds[1].ms.end()))
        / Median(std::vector<double>(kinds[0].ms.begin() + 1, kinds[0].ms.end()));
    std::printf("backup / plain (medians): %.2fx %s\n", ratio, ratio <= 1.5 ? "(within 1.5x)" : "(OVER 1.5x)");
    return ratio <= 1.5 ? 0 : 1;
}
