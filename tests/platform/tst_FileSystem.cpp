#include "platform/FileSystem.h"
#include "common/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
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
    void symbolicLinkIsFollowed();
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

void tst_FileSystem::symbolicLinkIsFollowed()
{
    QTemporaryDir dir;
    const QString target = dir.filePath("real.ini");
    const QString link = dir.filePath("link.ini");
    QVERIFY(put(target, "old"));
    QVERIFY(QFile::link(target, link));
    QCOMPARE(WriteFileAtomically(link, "new"), WriteStatus::Ok);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(contents(target), QByteArray("new"));
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
