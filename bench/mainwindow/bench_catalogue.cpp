// The main window with a catalogue of 100 categories x 100 projects whose .vbp files all exist:
// opening it to a fully shown window, saving it, clicking a category, and the peak memory.
// Medians, beside the cost of merely reading every .vbp file once.
#include "catalogue/cVbAnalyze.h"
#include "mainwindow/ProjectListView.h"
#include "mainwindow/fMain.h"
#include "platform/IniStore.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "tooling/mMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr int kCategories = 100;
constexpr int kProjects = 100;

// Shows nothing: the progress window and messages would only measure the window system.
class QuietUserInterface : public ui::UserInterface {
public:
    void Message(const QString &text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    bool Confirm(const QString &, const QString &) override { return true; }
    QString InputBox(const QString &, const QString &, const QString &) override { return {}; }
    void ShowProgress(const QString &) override {}
    void HideProgress() override {}
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double TimeMs(const std::function<void()> &body)
{
    const auto t0 = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

long PeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    QTemporaryDir dir;
    platform::SetProgramFolderForTesting(dir.path());
    QuietUserInterface quiet;
    ui::SetCurrent(&quiet);

    // The projects, each with its own folder and .vbp file, and the catalogue naming them.
    QString catalogueText;
    QStringList vbps;
    for (int c = 0; c < kCategories; ++c) {
        catalogueText += QStringLiteral("[分類%1]\r\n").arg(c, 3, 10, QLatin1Char('0'));
        for (int p = 0; p < kProjects; ++p) {
            const QString folder = dir.filePath(QStringLiteral("src/c%1/p%2").arg(c).arg(p));
            QDir().mkpath(folder);
            const QString vbp = folder + QStringLiteral("/Project%1.vbp").arg(p);
            QFile f(vbp);
            f.open(QIODevice::WriteOnly);
            f.write("Type=Exe\r\nReference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#stdole2.tlb#OLE Automation\r\n"
                    "Form=Form1.frm\r\nStartup=\"Form1\"\r\nExeName32=\"Tool"
                    + QByteArray::number(p) + ".exe\"\r\nName=\"Tool" + QByteArray::number(p)
                    + "\"\r\nMajorVer=1\r\nMinorVer=0\r\n");
            vbps.append(vbp);
            catalogueText += QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ%1=%2\r\n").arg(p).arg(vbp);
        }
    }
    const QString catalogueFile = dir.filePath(QStringLiteral("Big.zrd"));
    {
        QFile f(catalogueFile);
        f.open(QIODevice::WriteOnly);
        f.write(*platform::EncodeCp932(catalogueText));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // past the engine's racy window

    std::vector<double> readAll, open, save, saveNew, click;
    for (int r = 0; r < runs; ++r) {
        readAll.push_back(TimeMs([&] {
            qsizetype sink = 0;
            for (const QString &vbp : vbps)
                sink += mMain::GetProjectExe(vbp).size();
            if (sink == 0)
                std::abort();
        }));
    }
    const long peakBefore = PeakKiB();
    for (int r = 0; r < runs; ++r) {
        platform::IniStore::Instance().Reset();
        catalogue::ResetState();
        fMain window;
        window.resize(1000, 700);
        open.push_back(TimeMs([&] {
            catalogue::State().CatalogueFilePath = catalogueFile;
            window.LoadCatalogue();
            window.show();
            QApplication::processEvents();
        }));
        if (window.lvwCategory->RowCount() != kCategories || catalogue::State().Current()->Count() != kProjects) {
            std::fprintf(stderr, "catalogue not loaded\n");
            return 1;
        }
        click.push_back(TimeMs([&] {
            window.ClickCategoryRow(2 + r % (kCategories - 1));
            QApplication::processEvents();
        }));
        save.push_back(TimeMs([&] { window.SaveCatalogue(); }));
        // Into a file of its own: every line written.
        catalogue::State().CatalogueFilePath = dir.filePath(QStringLiteral("Copy%1.zrd").arg(r));
        saveNew.push_back(TimeMs([&] { window.SaveCatalogue(); }));
        if (QFileInfo(catalogue::State().CatalogueFilePath).size() < 100000) {
            std::fprintf(stderr, "save wrote too little\n");
            return 1;
        }
        window.close();
    }
    const long peak = PeakKiB();

    const double read = Median(readAll);
    std::printf("catalogue: %d categories x %d projects, every .vbp present; medians of %d runs\n", kCategories,
                kProjects, runs);
    std::printf("%-36s %9.1f ms\n", "read every .vbp once (GetProjectExe)", read);
    std::printf("%-36s %9.1f ms  (%.1fx the reads)\n", "open to a fully shown window", Median(open), Median(open) / read);
    std::printf("%-36s %9.1f ms\n", "save into the file it came from", Median(save));
    std::printf("%-36s %9.1f ms\n", "save into a new file", Median(saveNew));
    std::printf("%-36s %9.2f ms\n", "click a category", Median(click));
    std::printf("%-36s %9.1f MB  (%.1f MB before the first window)\n", "peak memory (max RSS)", peak / 1024.0,
                peakBefore / 1024.0);
    ui::SetCurrent(nullptr);
    return 0;
}
