// INI engine timings on a catalogue-sized file: 100 sections x 100 keys (about 1 MB), beside a
// reader that scans the file on every call (open, read, look for the section and key, close), the
// cost model of the classic profile functions, and beside one rewrite of the file (the floor of
// any change). Each line shows the first run, which starts with the file out of the page cache
// and the engine holding nothing, beside the median of the runs.
#include "../common/Measure.h"
#include "catalogue/mIniFile.h"
#include "platform/IniStore.h"
#include "platform/TextCodec.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
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

[[noreturn]] void Fail(const char *what, const QString &path)
{
    std::fprintf(stderr, "%s: %s\n", what, qPrintable(path));
    std::exit(1);
}

// A catalogue last written long ago, as one is when the program opens it; nothing of it held in memory.
void PrepareFile(const QString &path, const QByteArray &bytes, bool evict)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        Fail("cannot write", path);
    f.close();
    utimbuf times{};
    times.actime = times.modtime = 1'600'000'000;
    utime(QFile::encodeName(path).constData(), &times);
    // The change time cannot be set back: wait until the engine trusts it.
    std::this_thread::sleep_for(std::chrono::nanoseconds(platform::IniStore::kRacyWindowNs) + std::chrono::milliseconds(10));
    platform::IniStore::Instance().Reset();
    if (evict)
        Evict(path);
}

struct Timing {
    double first = 0;
    double median = 0;
};

// prepare(first) runs untimed before each timed body; the first run gets first == true.
Timing Measure(int runs, const std::function<void(bool)> &prepare, const std::function<void()> &body)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        prepare(i == 0);
        ms.push_back(TimeMs(body));
    }
    return {ms.front(), Median(ms)};
}

volatile qsizetype g_sink = 0;

// ---- the per-call scanner: every call opens, reads and closes the file --------------------------

QByteArray ReadFile(const QString &path)
{
    QByteArray bytes;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        bytes.resize(qsizetype(st.st_size));
        qsizetype got = 0;
        ssize_t n;
        while (got < bytes.size() && (n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got))) > 0)
            got += n;
        bytes.truncate(got);
    }
    ::close(fd);
    return bytes;
}

void WriteFileInPlace(const QString &path, const QByteArray &bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
        Fail("cannot write", path);
    ::close(fd);
}

// Calls fn(line start, next line's start, section name or null, key or null) for each line, until fn
// returns false. Names are views into text.
template <typename Fn> void ScanLines(const QByteArray &text, Fn fn)
{
    const char *const base = text.constData();
    qsizetype at = 0;
    while (at < text.size()) {
        const char *nl = static_cast<const char *>(std::memchr(base + at, '\n', size_t(text.size() - at)));
        const qsizetype end = nl ? nl - base : text.size();
        const qsizetype next = nl ? end + 1 : end;
        QByteArrayView line(base + at, end - at);
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArrayView trimmed = line.trimmed();
        if (trimmed.startsWith('[') && trimmed.endsWith(']')) {
            if (!fn(at, next, trimmed.sliced(1, trimmed.size() - 2).trimmed(), QByteArrayView()))
                return;
        } else if (const qsizetype eq = line.indexOf('='); eq > 0) {
            if (!fn(at, next, QByteArrayView(), line.first(eq).trimmed()))
                return;
        }
        at = next;
    }
}

bool SameName(QByteArrayView a, QByteArrayView b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

QStringList ScanSectionNames(const QString &file)
{
    QStringList names;
    ScanLines(ReadFile(file), [&](qsizetype, qsizetype, QByteArrayView section, QByteArrayView) {
        if (!section.isNull())
            names.append(platform::DecodeCp932(section));
        return true;
    });
    return names;
}

QStringList ScanKeys(const QString &file, const QString &section)
{
    const QByteArray wanted = *platform::EncodeCp932(section);
    QStringList keys;
    bool inside = false;
    ScanLines(ReadFile(file), [&](qsizetype, qsizetype, QByteArrayView name, QByteArrayView key) {
        if (!name.isNull()) {
            if (inside)
                return false;
            inside = SameName(name, wanted);
        } else if (inside) {
            keys.append(platform::DecodeCp932(key));
        }
        return true;
    });
    return keys;
}

// Where the key's line starts and ends in text; both -1 when it is not there.
std::pair<qsizetype, qsizetype> FindKey(const QByteArray &text, const QString &section, const QString &key)
{
    const QByteArray wantedSection = *platform::EncodeCp932(section);
    const QByteArray wantedKey = *platform::EncodeCp932(key);
    bool inside = false;
    std::pair<qsizetype, qsizetype> found{-1, -1};
    ScanLines(text, [&](qsizetype from, qsizetype to, QByteArrayView name, QByteArrayView k) {
        if (!name.isNull()) {
            if (inside)
                return false;
            inside = SameName(name, wantedSection);
        } else if (inside && SameName(k, wantedKey)) {
            found = {from, to};
            return false;
        }
        return true;
    });
    return found;
}

QString ScanReadString(const QString &file, const QString &section, const QString &key)
{
    const QByteArray text = ReadFile(file);
    const auto [from, to] = FindKey(text, section, key);
    if (from < 0)
        return QString();
    const QByteArrayView line = QByteArrayView(text).sliced(from, to - from).trimmed();
    return platform::DecodeCp932(line.sliced(line.indexOf('=') + 1).trimmed());
}

// Replaces an existing key's value; the file is written back in place, as the classic functions do.
void ScanWriteString(const QString &file, const QString &section, const QString &key, const QString &value)
{
    QByteArray text = ReadFile(file);
    const auto [from, to] = FindKey(text, section, key);
    if (from < 0)
        Fail("key missing in the scanned file", file);
    text.replace(from, to - from, *platform::EncodeCp932(key + QLatin1Char('=') + value + QStringLiteral("\r\n")));
    WriteFileInPlace(file, text);
}

void ScanDeleteKey(const QString &file, const QString &section, const QString &key)
{
    QByteArray text = ReadFile(file);
    const auto [from, to] = FindKey(text, section, key);
    if (from < 0)
        Fail("key missing in the scanned file", file);
    text.remove(from, to - from);
    WriteFileInPlace(file, text);
}

// ---- the floor of a change: one atomic rewrite, as durable as the engine's ------------------------

void RewriteFile(const QString &path, const QByteArray &bytes)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temp = target + ".rewrite";
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size() || ::fsync(fd) != 0)
        Fail("cannot write", path);
    ::close(fd);
    if (::rename(temp.constData(), target.constData()) != 0)
        Fail("cannot rename", path);
    const QByteArray folder = target.left(target.lastIndexOf('/'));
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::fsync(dir);
    ::close(dir);
}

// ---- the call patterns ---------------------------------------------------------------------------

// What opening a catalogue asks: the categories, each one's keys, every value.
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

void ScanEveryKey(const QString &file)
{
    for (const QString &section : ScanSectionNames(file))
        for (const QString &key : ScanKeys(file, section))
            g_sink = g_sink + ScanReadString(file, section, key).size();
}

void WriteEveryKey(const QString &file, int count, bool scan)
{
    int n = 0;
    for (int s = 0; s < kSections && n < count; ++s)
        for (int k = 0; k < kKeys && n < count; ++k, ++n) {
            if (scan)
                ScanWriteString(file, SectionName(s), KeyName(k), ValueFor(s, k, "new"));
            else
                mIniFile::WriteIniString(SectionName(s), KeyName(k), ValueFor(s, k, "new"), file);
        }
}

void Row(const char *what, const Timing &engine, const Timing &other, const char *note = "")
{
    std::printf("%-46s %9.2f %9.2f   %9.2f %9.2f%s\n", what, engine.first, engine.median, other.first, other.median,
                note);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    // "engine" as second argument skips the slow scanning baseline (for profiling).
    const bool scan = !(argc > 2 && std::strcmp(argv[2], "engine") == 0);
    const int scanRuns = std::min(runs, 3);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Bench.zrd"));
    const QByteArray bytes = CatalogueBytes();

    std::printf("file: %d sections x %d keys, %lld bytes; ms, the first run (file out of the page cache, engine\n"
                "empty) beside the median of %d runs (%d for the scanner)\n",
                kSections, kKeys, static_cast<long long>(bytes.size()), runs, scanRuns);
    std::printf("%-46s %19s   %19s\n", "", "engine", "scan per call");
    std::printf("%-46s %9s %9s   %9s %9s\n", "", "first", "median", "first", "median");

    auto fresh = [&](bool first) { PrepareFile(file, bytes, first); };
    const Timing none{};

    const Timing read = Measure(runs, fresh, [&] { ReadEveryKey(file); });
    const Timing readScan = scan ? Measure(scanRuns, fresh, [&] { ScanEveryKey(file); }) : none;
    Row("read every key once (10,000 values)", read, readScan);

    const Timing batch = Measure(runs, fresh, [&] {
        mIniFile::IniBatch batch(file);
        WriteEveryKey(file, kSections * kKeys, false);
        batch.Commit();
    });
    // The scanner rewrites the file on every call: 100 of them, scaled to 10,000.
    Timing writeScan = scan ? Measure(scanRuns, fresh, [&] { WriteEveryKey(file, 100, true); }) : none;
    writeScan.first *= 100;
    writeScan.median *= 100;
    Row("10,000 writes in one batch", batch, writeScan, "  (scan: 100 writes x 100)");

    // What the user waits for: deleting a project right after the catalogue was opened, then
    // another one a moment later (the file now as the engine itself has just written it).
    std::vector<double> afterLoad, next;
    for (int i = 0; i < runs; ++i) {
        fresh(i == 0);
        ReadEveryKey(file);
        afterLoad.push_back(TimeMs([&] { mIniFile::DeleteIniKey(SectionName(50), KeyName(50), file); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        next.push_back(TimeMs([&] { mIniFile::DeleteIniKey(SectionName(60), KeyName(60), file); }));
    }
    const Timing deleteScan =
        scan ? Measure(runs, fresh, [&] { ScanDeleteKey(file, SectionName(50), KeyName(50)); }) : none;
    Row("one delete right after opening the file", {afterLoad.front(), Median(afterLoad)}, deleteScan);
    Row("the next delete, 200 ms later", {next.front(), Median(next)}, deleteScan);
    const Timing rewrite = Measure(runs, fresh, [&] { RewriteFile(file, bytes); });
    std::printf("%-46s %9.2f %9.2f\n", "floor of a change: one atomic rewrite (fsync)", rewrite.first, rewrite.median);
    std::printf("(the scanner writes in place without fsync, as the classic functions do)\n");

    // Sanity: the batch and the scanner did their work on disk.
    bool ok = true;
    PrepareFile(file, bytes, false);
    {
        mIniFile::IniBatch batch(file);
        WriteEveryKey(file, kSections * kKeys, false);
    }
    platform::IniStore::Instance().Reset();
    ok = ok && mIniFile::ReadIniString(SectionName(99), KeyName(99), QString(), file) == ValueFor(99, 99, "new");
    ok = ok && ScanReadString(file, SectionName(99), KeyName(99)) == ValueFor(99, 99, "new");
    PrepareFile(file, bytes, false);
    ScanWriteString(file, SectionName(7), KeyName(7), ValueFor(7, 7, "new"));
    ScanDeleteKey(file, SectionName(8), KeyName(8));
    ok = ok && mIniFile::ReadIniString(SectionName(7), KeyName(7), QString(), file) == ValueFor(7, 7, "new");
    ok = ok && mIniFile::ReadIniString(SectionName(8), KeyName(8), QStringLiteral("gone"), file) == QStringLiteral("gone");
    ok = ok && ScanKeys(file, SectionName(8)).size() == kKeys - 1 && ScanSectionNames(file).size() == kSections;
    std::printf("results on disk: %s\n", ok ? "ok" : "WRONG");
    return ok ? 0 : 1;
}
