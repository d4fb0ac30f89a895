#include "platform/FileSystem.h"
#include "common/FileBytes.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

namespace {

mode_t modeOf(const QString &path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

QStringList leftovers(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Makes every write beyond a few bytes fail, as a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_ {};
    void (*previous_)(int) = nullptr;
};

} // namespace

class tst_FileSystem : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void newFileTakesUmaskMode();
    void replaceKeepsModeAndLeavesNoTemporary();
    void refusals_data();
    void refusals();
    void failedWriteKeepsOldContent();
    void symbolicLinkChains_data();
    void symbolicLinkChains();
    void staleTemporaryFiles_data();
    void staleTemporaryFiles();
    void stampSeesReplacement();
    void readLimits();
};

void tst_FileSystem::newFileTakesUmaskMode()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("new.ini");
    const mode_t saved = ::umask(027);
    const WriteStatus status = WriteFileAtomically(path, "[a]\r\n");
    ::umask(saved);
    QCOMPARE(status, WriteStatus::Ok);
    QCOMPARE(contents(path), QByteArray("[a]\r\n"));
    QCOMPARE(modeOf(path), mode_t(0640));
}

void tst_FileSystem::replaceKeepsModeAndLeavesNoTemporary()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.ini");
    QVERIFY(put(path, "old"));
    ::chmod(QFile::encodeName(path).constData(), 0640);
    QCOMPARE(WriteFileAtomically(path, "new content"), WriteStatus::Ok);
    QCOMPARE(contents(path), QByteArray("new content"));
    QCOMPARE(modeOf(path), mode_t(0640));
    QCOMPARE(leftovers(dir.path()), QStringList{"keep.ini"});
    QCOMPARE(TruncateFileAtomically(path), WriteStatus::Ok);
    QCOMPARE(QFileInfo(path).size(), 0);
}

void tst_FileSystem::refusals_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("expected");
    QTest::newRow("read-only file") << "file0444" << int(WriteStatus::ReadOnly);
    QTest::newRow("read-only folder, existing file") << "folder0555" << int(WriteStatus::ReadOnly);
    QTest::newRow("read-only folder, new file") << "folder0555new" << int(WriteStatus::ReadOnly);
    QTest::newRow("folder in place of the file") << "directory" << int(WriteStatus::NotAFile);
    QTest::newRow("missing folder") << "nofolder" << int(WriteStatus::ReadOnly);
    QTest::newRow("empty path") << "empty" << int(WriteStatus::IoError);
}

void tst_FileSystem::refusals()
{
    QFETCH(QString, setup);
    QFETCH(int, expected);
    QTemporaryDir dir;
    const QString folder = dir.filePath("f");
    QDir().mkpath(folder);
    QString path = folder + "/c.zrd";
    if (setup != "folder0555new" && setup != "directory")
        QVERIFY(put(path, "old"));
    if (setup == "file0444")
        ::chmod(QFile::encodeName(path).constData(), 0444);
    if (setup.startsWith("folder0555"))
        ::chmod(QFile::encodeName(folder).constData(), 0555);
    if (setup == "directory")
        QDir().mkpath(path);
    if (setup == "nofolder")
        path = dir.filePath("missing/c.zrd");
    if (setup == "empty")
        path.clear();

    QCOMPARE(int(WriteFileAtomically(path, "new")), expected);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    if (setup == "directory")
        QVERIFY(QFileInfo(path).isDir());
    else if (setup != "folder0555new" && setup != "nofolder" && setup != "empty")
        QCOMPARE(contents(path), QByteArray("old"));
    QVERIFY(leftovers(folder).size() <= 1);
}

void tst_FileSystem::failedWriteKeepsOldContent()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("big.zrd");
    QVERIFY(put(path, "old content"));
    const QByteArray large(64 * 1024, 'x');
    WriteStatus status;
    {
        FileSizeLimit limit(4096);
        status = WriteFileAtomically(path, large);
    }
    QCOMPARE(status, WriteStatus::IoError);
    QCOMPARE(contents(path), QByteArray("old content"));
    QCOMPARE(leftovers(dir.path()), QStringList{"big.zrd"});
}

// links: "name>target" in creation order, relative to the test folder ("@" stands for it in
// absolute targets); real: where the bytes must go, empty when nothing may be written.
void tst_FileSystem::symbolicLinkChains_data()
{
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QString>("real");
    QTest::addColumn<int>("read"); // how the path reads afterwards
    const int ok = int(ReadStatus::Ok);
    QTest::newRow("one link") << QStringList{"a.zrd>real.zrd"} << "real.zrd" << ok;
    QTest::newRow("relative chain") << QStringList{"b>real.zrd", "a.zrd>b"} << "real.zrd" << ok;
    QTest::newRow("absolute chain") << QStringList{"b>@/real.zrd", "a.zrd>@/b"} << "real.zrd" << ok;
    QTest::newRow("links in other folders")
        << QStringList{"y/b>../z/real.zrd", "x/a.zrd>../y/b"} << "z/real.zrd" << ok;
    // "linked/.." is the folder above the link's target, not x itself.
    QTest::newRow("'..' after a linked folder")
        << QStringList{"x/linked>../deep/er", "x/a.zrd>linked/../real.zrd"} << "deep/real.zrd" << ok;
    QTest::newRow("loop") << QStringList{"b>a.zrd", "a.zrd>b"} << "" << int(ReadStatus::Unreadable);
    QTest::newRow("link to itself") << QStringList{"a.zrd>a.zrd"} << "" << int(ReadStatus::Unreadable);
    QTest::newRow("dangling") << QStringList{"b>gone.zrd", "a.zrd>b"} << "" << int(ReadStatus::Missing);
}

void tst_FileSystem::symbolicLinkChains()
{
    QFETCH(QStringList, links);
    QFETCH(QString, real);
    QFETCH(int, read);
    QTemporaryDir dir;
    for (const QString folder : {"x", "y", "z", "deep/er"})
        QVERIFY(QDir().mkpath(dir.filePath(folder)));
    for (const QString file : {"real.zrd", "z/real.zrd", "deep/real.zrd"})
        QVERIFY(put(dir.filePath(file), "old"));
    for (const QString &link : links) {
        const QStringList parts = link.split('>');
        QVERIFY(::symlink(QFile::encodeName(QString(parts[1]).replace('@', dir.path())).constData(),
                          QFile::encodeName(dir.filePath(parts[0])).constData()) == 0);
    }
    const QString path = dir.filePath(QString(links.back()).section('>', 0, 0));

    QString replaced;
    QStringList temporaries;
    const WriteStatus status = WriteFileAtomically(path, "new", [&](const QString &target) {
        replaced = target;
        temporaries = leftovers(QFileInfo(target).path()).filter(".zarun-");
    });
    for (const QString &link : links)
        QVERIFY(QFileInfo(dir.filePath(link.section('>', 0, 0))).isSymLink());
    if (real.isEmpty()) {
        QCOMPARE(status, WriteStatus::NotAFile);
        QVERIFY(replaced.isNull());
        QVERIFY(!QFileInfo::exists(dir.filePath("gone.zrd")));
    } else {
        QCOMPARE(status, WriteStatus::Ok);
        QCOMPARE(QFileInfo(replaced).canonicalFilePath(), QFileInfo(dir.filePath(real)).canonicalFilePath());
        QCOMPARE(temporaries.size(), 1); // beside the final target
        QCOMPARE(contents(dir.filePath(real)), QByteArray("new"));
    }
    for (const QString file : {"real.zrd", "z/real.zrd", "deep/real.zrd"})
        if (file != real)
            QCOMPARE(contents(dir.filePath(file)), QByteArray("old"));
    QDirIterator it(dir.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        QVERIFY2(!it.next().contains(".zarun-"), qPrintable(it.filePath()));
    QByteArray bytes;
    QCOMPARE(ReadWholeFile(path, 100, &bytes), ReadStatus(read));
}

// A killed write leaves its temporary file; the next write into the folder removes the old ones
// that only this writer makes, and nothing else.
void tst_FileSystem::staleTemporaryFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind"); // file, folder, link, foreign (another owner)
    QTest::addColumn<int>("ageSeconds");
    QTest::addColumn<bool>("removed");
    QTest::newRow("ours") << ".c.zrd.zarun-Ab12Cd" << "file" << 120 << true;
    QTest::newRow("ours, for another file") << ".ZARUN.ini.zarun-0aZ9xy" << "file" << 120 << true;
    QTest::newRow("earlier pattern, this file") << ".c.zrd.Ab12Cd" << "file" << 120 << true;
    QTest::newRow("earlier pattern, another file") << ".d.zrd.Ab12Cd" << "file" << 120 << false;
    QTest::newRow("younger than a minute") << ".c.zrd.zarun-Ab12Cd" << "file" << 20 << false;
    QTest::newRow("five random characters") << ".c.zrd.zarun-Ab12C" << "file" << 120 << false;
    QTest::newRow("not from mkstemp's alphabet") << ".c.zrd.zarun-Ab12C-" << "file" << 120 << false;
    QTest::newRow("no name before the mark") << "..zarun-Ab12Cd" << "file" << 120 << false;
    QTest::newRow("not hidden") << "c.zrd.zarun-Ab12Cd" << "file" << 120 << false;
    QTest::newRow("folder") << ".c.zrd.zarun-Ab12Cd" << "folder" << 120 << false;
    QTest::newRow("link") << ".c.zrd.zarun-Ab12Cd" << "link" << 120 << false;
    QTest::newRow("another user's") << ".c.zrd.zarun-Ab12Cd" << "foreign" << 120 << false;
}

void tst_FileSystem::staleTemporaryFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(int, ageSeconds);
    QFETCH(bool, removed);
    QTemporaryDir dir;
    const QString path = dir.filePath("c.zrd");
    const QString leftover = dir.filePath(name);
    QVERIFY(put(path, "old"));
    if (kind == "folder")
        QVERIFY(QDir().mkdir(leftover));
    else if (kind == "link")
        QVERIFY(QFile::link(path, leftover));
    else
        QVERIFY(put(leftover, "half"));
    if (kind == "foreign" && ::chown(QFile::encodeName(leftover).constData(), ::geteuid() + 1, gid_t(-1)) != 0)
        QSKIP("changing a file's owner needs root");
    const timespec times[2] = {{::time(nullptr) - ageSeconds, 0}, {::time(nullptr) - ageSeconds, 0}};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(leftover).constData(), times, AT_SYMLINK_NOFOLLOW) == 0);

    QCOMPARE(WriteFileAtomically(path, "new"), WriteStatus::Ok);
    QCOMPARE(QFileInfo(leftover).exists() || QFileInfo(leftover).isSymLink(), !removed);
    QCOMPARE(contents(path), QByteArray("new"));
}

void tst_FileSystem::stampSeesReplacement()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("s.ini");
    QVERIFY(!StatFile(path).exists);
    QVERIFY(put(path, "abc"));
    const FileStamp before = StatFile(path);
    QVERIFY(before.exists && before.regular);
    QCOMPARE(before.size, 3);
    QCOMPARE(StatFile(path), before);
    // Same size, new inode: an atomic replace by another program is seen.
    QCOMPARE(WriteFileAtomically(path, "xyz"), WriteStatus::Ok);
    QVERIFY(StatFile(path) != before);
    QVERIFY(!StatFile(dir.path()).regular);
}

void tst_FileSystem::readLimits()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("r.ini");
    QByteArray bytes("junk");
    QCOMPARE(ReadWholeFile(path, 100, &bytes), ReadStatus::Missing);
    QVERIFY(bytes.isEmpty());
    QVERIFY(put(path, QByteArray(101, 'a')));
    QCOMPARE(ReadWholeFile(path, 100, &bytes), ReadStatus::TooLarge);
    QCOMPARE(ReadWholeFile(path, 101, &bytes), ReadStatus::Ok);
    QCOMPARE(bytes.size(), 101);
    QCOMPARE(ReadWholeFile(path, 1'000'000'000, &bytes), ReadStatus::Ok); // a huge limit costs nothing
    QCOMPARE(bytes, QByteArray(101, 'a'));
    put(path, QByteArray());
    QCOMPARE(ReadWholeFile(path, 100, &bytes), ReadStatus::Ok);
    QVERIFY(bytes.isEmpty());
    QCOMPARE(ReadWholeFile(dir.path(), 100, &bytes), ReadStatus::Unreadable);
}

QTEST_GUILESS_MAIN(tst_FileSystem)
#include "tst_FileSystem.moc"
#include "common/FileBytes.h"
