// The main window in process (offscreen unless QT_QPA_PLATFORM says otherwise) with a catalogue
// of 100 categories x 100 projects whose .vbp files all exist: opening it to a shown window and
// until every row holds its executable, clicking a category, and the peak memory. Each line shows
// the first run, which starts with the catalogue and every .vbp out of the page cache, beside the
// median, and the floor: reading every .vbp once. The changes are measured by bench_changes.
// The real program's start (process, window system, cold and warm) is measured by bench/open.
#include "../common/Measure.h"
#include "catalogue/cVbAnalyze.h"
#include "mainwindow/ui/ProjectListView.h"
#include "mainwindow/ui/MainLists.h"
#include "mainwindow/ui/MainMenus.h"
#include "mainwindow/ui/fMain.h"
#include "platform/IniStore.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "tooling/mMain.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

namespace {

constexpr int kCategories = 100;
constexpr int kProjects = 100;
// How long opening may take to fill every row before it counts as never.
constexpr int kFillSeconds = 10;

// Shows nothing: the progress window and messages would only measure the window system.
class QuietUserInterface : public ui::UserInterface {
public:
    void Message(const QString &text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    bool Confirm(const QString &, const QString &) override { return true; }
    bool Ask(const QString &) override { return false; }
    QString InputBox(const QString &, const QString &, const QString &) override { return {}; }
    void ShowProgress(const QString &) override {}
    void HideProgress() override {}
};

[[noreturn]] void Fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::exit(1);
}

long PeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The floor of opening: every .vbp opened, read to the end and closed, nothing else.
qint64 ReadRaw(const QStringList &files)
{
    qint64 total = 0;
    char buf[65536];
    for (const QString &file : files) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            Fail("cannot open a .vbp");
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0)
            total += n;
        ::close(fd);
    }
    return total;
}

// The catalogue as the user's is when the program opens it: last written long ago.
void RestoreCatalogue(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        Fail("cannot write the catalogue");
    f.close();
    utimbuf times{};
    times.actime = times.modtime = 1'600'000'000;
    utime(QFile::encodeName(path).constData(), &times);
    // The change time cannot be set back: wait until the store trusts it.
    std::this_thread::sleep_for(std::chrono::nanoseconds(platform::IniStore::kRacyWindowNs) + std::chrono::milliseconds(10));
}

struct Series {
    const char *what;
    std::vector<double> ms;
};

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
            if (!f.open(QIODevice::WriteOnly))
                Fail("cannot write a .vbp");
            f.write("Type=Exe\r\nReference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#stdole2.tlb#OLE Automation\r\n"
                    "Form=Form1.frm\r\nStartup=\"Form1\"\r\nExeName32=\"Tool"
                    + QByteArray::number(p) + ".exe\"\r\nName=\"Tool" + QByteArray::number(p)
                    + "\"\r\nMajorVer=1\r\nMinorVer=0\r\n");
            vbps.append(vbp);
            catalogueText += QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ%1=%2\r\n").arg(p).arg(vbp);
        }
    }
    const QString catalogueFile = dir.filePath(QStringLiteral("Big.zrd"));
    const QByteArray catalogueBytes = *platform::EncodeCp932(catalogueText);
    auto evictAll = [&] {
        Evict(catalogueFile);
        for (const QString &vbp : vbps)
            Evict(vbp);
    };

    Series rawRead{"floor: read every .vbp once", {}};
    Series programRead{"the program's reader on every .vbp", {}};
    for (int r = 0; r < runs; ++r) {
        RestoreCatalogue(catalogueFile, catalogueBytes);
        if (r == 0)
            evictAll();
        rawRead.ms.push_back(TimeMs([&] {
            if (ReadRaw(vbps) == 0)
                Fail("read nothing");
        }));
        if (r == 0)
            evictAll();
        programRead.ms.push_back(TimeMs([&] {
            qsizetype sink = 0;
            for (const QString &vbp : vbps)
                sink += mMain::GetProjectExe(vbp).size();
            if (sink == 0)
                Fail("read nothing");
        }));
    }

    auto unfilledRows = [] {
        int left = 0;
        const catalogue::CatalogueState &state = catalogue::State();
        for (qint32 i = 1; i <= state.CategoryCount; ++i)
            for (qint32 j = 1; j <= state.CategoryAt(i)->Count(); ++j)
                left += state.CategoryAt(i)->Record(j)->exeKnown ? 0 : 1;
        return left;
    };
    const long peakBefore = PeakKiB();
    Series open{"open to a shown window", {}};
    Series filled{"open until every row is filled", {}};
    Series click{"click a category", {}};
    for (int r = 0; r < runs; ++r) {
        RestoreCatalogue(catalogueFile, catalogueBytes);
        if (r == 0)
            evictAll();
        platform::IniStore::Instance().Reset();
        catalogue::ResetState();
        catalogue::State().CatalogueFilePath = catalogueFile;
        fMain window;
        window.resize(1000, 700);
        const auto t0 = std::chrono::steady_clock::now();
        open.ms.push_back(TimeMs([&] {
            window.Commands().LoadCatalogue();
            window.show();
            QApplication::processEvents();
        }));
        // Filled: every project's executable known, whatever the reader announces.
        const auto deadline = t0 + std::chrono::seconds(kFillSeconds);
        while (unfilledRows() > 0 && std::chrono::steady_clock::now() < deadline) {
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (const int left = unfilledRows(); left > 0) {
            std::fprintf(stderr, "run %d: %d of %d rows still without their executable after %d s\n", r + 1, left,
                         kCategories * kProjects, kFillSeconds);
            filled.ms.push_back(std::numeric_limits<double>::infinity());
        } else {
            filled.ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        }
        if (window.Lists().lvwCategory()->RowCount() != kCategories || catalogue::State().Current()->Count() != kProjects)
            Fail("catalogue not loaded");
        click.ms.push_back(TimeMs([&] {
            window.Commands().SelectCategory(2 + r % (kCategories - 1));
            QApplication::processEvents();
        }));
        window.close();
    }
    const long peak = PeakKiB();

    std::printf("catalogue: %d categories x %d projects (%lld bytes), every .vbp present; ms, the first run\n"
                "(files out of the page cache) beside the median of %d runs\n",
                kCategories, kProjects, static_cast<long long>(catalogueBytes.size()), runs);
    std::printf("%-42s %9s %9s\n", "", "first", "median");
    auto row = [](const Series &s, const char *note = "") {
        auto cell = [](double ms) {
            if (ms == std::numeric_limits<double>::infinity())
                std::printf(" %9s", "never");
            else
                std::printf(" %9.2f", ms);
        };
        std::printf("%-42s", s.what);
        cell(s.ms.front());
        cell(Median(s.ms));
        std::printf("%s\n", note);
    };
    const double floorRead = Median(rawRead.ms);
    char note[64];
    row(rawRead);
    row(programRead);
    row(open);
    if (Median(filled.ms) == std::numeric_limits<double>::infinity())
        std::snprintf(note, sizeof note, "  (not within %d s)", kFillSeconds);
    else
        std::snprintf(note, sizeof note, "  (%.1fx the floor)", Median(filled.ms) / floorRead);
    row(filled, note);
    row(click);
    std::printf("%-42s %9.1f MB  (%.1f MB before the first window)\n", "peak memory (max RSS)", peak / 1024.0,
                peakBefore / 1024.0);
    ui::SetCurrent(nullptr);
    return 0;
}
