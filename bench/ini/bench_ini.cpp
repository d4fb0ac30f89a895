// INI engine timings on a catalogue-sized file: 100 sections x 100 keys (about 1 MB).
// Prints medians of the cached engine beside the naive one that re-reads the file on every call.
#include "catalogue/mIniFile.h"
#include "platform/IniStore.h"
#include "platform/TextCodec.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <utime.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr int kSections = 100;
constexpr int kKeys = 100;

QString SectionName(int s) { return QStringLiteral("分類%1").arg(s, 3, 10, QLatin1Char('0')); }
QString KeyName(int k) { return QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ%1").arg(k, 3, 10, QLatin1Char('0')); }
QString ValueFor(int s, int k, const char *tag)
{
    return QStringLiteral("C:\\Users\\開発者\\Documents\\Visual Basic 6\\Projects\\Group%1\\Project%2\\%3_Project%2.vbp")
        .arg(s).arg(k).arg(QLatin1String(tag));
}

QByteArray CatalogueBytes()
{
    QString text;
    for (int s = 0; s < kSections; ++s) {
        text += QLatin1Char('[') + SectionName(s) + QStringLiteral("]\r\n");
        for (int k = 0; k < kKeys; ++k)
            text += KeyName(k) + QLatin1Char('=') + ValueFor(s, k, "old") + QStringLiteral("\r\n");
    }
    return *platform::EncodeCp932(text);
}

// A file changed in the last instant is read again on every call until its times can be
// trusted (the engine's racy window); a catalogue being opened is older than that.
void AgeFile(const QString &path)
{
    utimbuf times{};
    times.actime = times.modtime = 1'600'000'000;
    utime(QFile::encodeName(path).constData(), &times);
    std::this_thread::sleep_for(std::chrono::nanoseconds(platform::IniStore::kRacyWindowNs) + std::chrono::milliseconds(10));
}

void PrepareFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    f.close();
    AgeFile(path);
    platform::IniStore::Instance().Reset();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Runs prepare (untimed) and body (timed) `runs` times; the median in milliseconds.
double MedianMs(int runs, const std::function<void()> &prepare, const std::function<void()> &body)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const auto t0 = std::chrono::steady_clock::now();
        body();
        const auto t1 = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return Median(ms);
}

volatile qsizetype g_sink = 0;

void ReadEveryKey(const QString &file)
{
    QStringList sections;
    mIniFile::ReadIniSectionNames(sections, file);
    for (const QString &section : sections) {
        QStringList keys;
        mIniFile::ReadIniSection(section, keys, file);
        for (const QString &key : keys)
            g_sink = g_sink + mIniFile::ReadIniString(section, key, QString(), file).size();
    }
}

void WriteEveryKey(const QString &file, int count)
{
    int n = 0;
    for (int s = 0; s < kSections && n < count; ++s)
        for (int k = 0; k < kKeys && n < count; ++k, ++n)
            mIniFile::WriteIniString(SectionName(s), KeyName(k), ValueFor(s, k, "new"), file);
}

void Report(const char *what, double cached, double naive, const char *naiveNote = "")
{
    std::printf("%-44s %10.2f ms %12.2f ms%s\n", what, cached, naive, naiveNote);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    // "cached" as second argument skips the slow naive baseline (for profiling).
    const bool naive = !(argc > 2 && std::strcmp(argv[2], "cached") == 0);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Bench.zrd"));
    const QByteArray bytes = CatalogueBytes();
    auto &store = platform::IniStore::Instance();

    std::printf("file: %d sections x %d keys, %lld bytes; medians of %d runs\n", kSections, kKeys,
                static_cast<long long>(bytes.size()), runs);
    std::printf("%-44s %13s %15s\n", "", "cached", "naive");

    auto fresh = [&] { PrepareFile(file, bytes); };
    auto withCaching = [&](bool on, const std::function<double()> &measure) {
        if (!on && !naive)
            return 0.0;
        store.SetCaching(on);
        const double ms = measure();
        store.SetCaching(true);
        return ms;
    };

    const double readCached = withCaching(true, [&] { return MedianMs(runs, fresh, [&] { ReadEveryKey(file); }); });
    const double readNaive = withCaching(false, [&] { return MedianMs(3, fresh, [&] { ReadEveryKey(file); }); });
    Report("read every key once (10,000 values)", readCached, readNaive);

    const double batchCached = withCaching(true, [&] {
        return MedianMs(runs, fresh, [&] {
            mIniFile::IniBatch batch(file);
            WriteEveryKey(file, kSections * kKeys);
            batch.Commit();
        });
    });
    // Without the batch every write replaces the whole file; 100 of them, scaled to 10,000.
    const double naiveHundred = withCaching(false, [&] { return MedianMs(3, fresh, [&] { WriteEveryKey(file, 100); }); });
    Report("10,000 writes in one batch", batchCached, naiveHundred * 100, "  (100 unbatched writes x 100)");

    const double deleteCached = withCaching(true, [&] {
        return MedianMs(runs, [&] { fresh(); g_sink = mIniFile::ReadIniString(SectionName(50), KeyName(50), QString(), file).size(); },
                        [&] { mIniFile::DeleteIniKey(SectionName(50), KeyName(50), file); });
    });
    const double deleteNaive = withCaching(false, [&] {
        return MedianMs(runs, fresh, [&] { mIniFile::DeleteIniKey(SectionName(50), KeyName(50), file); });
    });
    Report("one DeleteIniKey", deleteCached, deleteNaive);

    // Sanity: the batch really reached the disk.
    PrepareFile(file, bytes);
    {
        mIniFile::IniBatch batch(file);
        WriteEveryKey(file, kSections * kKeys);
    }
    store.Reset();
    const bool ok = mIniFile::ReadIniString(SectionName(99), KeyName(99), QString(), file) == ValueFor(99, 99, "new");
    std::printf("batch result on disk: %s\n", ok ? "ok" : "WRONG");
    return ok ? 0 : 1;
}
