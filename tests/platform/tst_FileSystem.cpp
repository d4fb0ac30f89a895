#include "platform/FileSystem.h"
#include "common/FileBytes.h"

#include <QDir>
#include <QDirIterator>
#include <QtEndian>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

// An access list as the kernel keeps it in system.posix_acl_*: version 2, then entries of tag,
// permissions and id, sorted by tag.
struct AclEntry {
    quint16 tag;
    quint16 permissions;
    quint32 id = 0xFFFFFFFF;
};
enum : quint16 { UserObj = 0x01, User = 0x02, GroupObj = 0x04, Mask = 0x10, Other = 0x20 };

QByteArray accessList(std::initializer_list<AclEntry> entries)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToLittleEndian<quint32>(2, bytes.data());
    for (const AclEntry &entry : entries) {
        char raw[8];
        qToLittleEndian<quint16>(entry.tag, raw);
        qToLittleEndian<quint16>(entry.permissions, raw + 2);
        qToLittleEndian<quint32>(entry.id, raw + 4);
        bytes.append(raw, sizeof raw);
    }
    return bytes;
}

// False when the file system of the path takes no such attribute.
bool setAttribute(const QString &path, const char *name, const QByteArray &value)
{
    return ::setxattr(QFile::encodeName(path).constData(), name, value.constData(), size_t(value.size()), 0) == 0;
}

QByteArray attribute(const QString &path, const char *name)
{
    QByteArray value(4096, Qt::Uninitialized);
    const ssize_t n = ::getxattr(QFile::encodeName(path).constData(), name, value.data(), size_t(value.size()));
    return n < 0 ? QByteArray("<none>") : value.left(n);
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
    void newFileTakesFolderDefaultAccessList();
    void replaceKeepsModeAndLeavesNoTemporary();
    void replaceKeepsExtendedAttributes_data();
    void replaceKeepsExtendedAttributes();
    void refusals_data();
    void refusals();
    void failedWriteKeepsOldContent_data();
    void failedWriteKeepsOldContent();
    void piecesWrittenInOrder_data();
    void piecesWrittenInOrder();
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

// The kernel gives a new file its mode: a folder's default access list then takes the umask's place
// (a writer that worked the mode out from the umask itself would give 0644 here).
void tst_FileSystem::newFileTakesFolderDefaultAccessList()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("shared");
    QVERIFY(QDir().mkdir(folder));
    if (!setAttribute(folder, "system.posix_acl_default", accessList({{UserObj, 6}, {GroupObj, 6}, {Other, 0}})))
        QSKIP("the file system of the temporary folder takes no access lists");
    const mode_t saved = ::umask(022);
    const WriteStatus status = WriteFileAtomically(folder + "/new.zrd", "[a]\r\n");
    ::umask(saved);
    QCOMPARE(status, WriteStatus::Ok);
    QCOMPARE(modeOf(folder + "/new.zrd"), mode_t(0660));
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

// Who may read and write the file stays as it was: the replacement takes the old file's attributes.
void tst_FileSystem::replaceKeepsExtendedAttributes_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("mode"); // as the attribute leaves it
    QTest::newRow("user attribute") << QByteArray("user.zarun.note") << QByteArray("kept") << 0640;
    // A colleague (uid 54321) may write; the group's bits are the list's mask.
    QTest::newRow("access list")
        << QByteArray("system.posix_acl_access")
        << accessList({{UserObj, 6}, {User, 6, 54321}, {GroupObj, 4}, {Mask, 6}, {Other, 0}}) << 0660;
    QTest::newRow("empty value") << QByteArray("user.zarun.empty") << QByteArray("") << 0640;
}

void tst_FileSystem::replaceKeepsExtendedAttributes()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, value);
    QFETCH(int, mode);
    QTemporaryDir dir;
    const QString path = dir.filePath("c.zrd");
    QVERIFY(put(path, "old"));
    ::chmod(QFile::encodeName(path).constData(), 0640);
    if (!setAttribute(path, name.constData(), value))
        QSKIP(qPrintable("the file system of the temporary folder takes no " + name));
    const quint64 inode = StatFile(path).inode;

    QCOMPARE(WriteFileAtomically(path, "new"), WriteStatus::Ok);
    QVERIFY(StatFile(path).inode != inode); // replaced, not written in place
    QCOMPARE(attribute(path, name.constData()), value);
    QCOMPARE(modeOf(path), mode_t(mode));
}

void tst_FileSystem::refusals_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("expected");
    QTest::newRow("read-only file") << "file0444" << int(WriteStatus::ReadOnly);
    QTest::newRow("read-only folder, existing file: written in place") << "folder0555" << int(WriteStatus::Ok);
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
        QCOMPARE(contents(path), expected == int(WriteStatus::Ok) ? QByteArray("new") : QByteArray("old"));
    QVERIFY(leftovers(folder).size() <= 1);
}

void tst_FileSystem::failedWriteKeepsOldContent_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::newRow("replaced") << false;
    // Part of the new bytes went into the file before the disk was full: the old ones go back.
    QTest::newRow("written in place") << true;
}

void tst_FileSystem::failedWriteKeepsOldContent()
{
    QFETCH(bool, readOnlyFolder);
    QTemporaryDir dir;
    const QString folder = dir.filePath("f");
    const QString path = folder + "/big.zrd";
    QVERIFY(put(path, "old content"));
    if (readOnlyFolder)
        ::chmod(QFile::encodeName(folder).constData(), 0555);
    const QByteArray large(64 * 1024, 'x');
    WriteStatus status;
    {
        FileSizeLimit limit(4096);
        status = WriteFileAtomically(path, large);
    }
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    QCOMPARE(status, WriteStatus::IoError);
    QCOMPARE(contents(path), QByteArray("old content"));
    QCOMPARE(leftovers(folder), QStringList{"big.zrd"});
}

// A document written from its runs: empty ones among them, more than one call takes.
void tst_FileSystem::piecesWrittenInOrder_data()
{
    QTest::addColumn<int>("pieces");
    QTest::addColumn<int>("scale"); // piece i holds (i % 5) * scale bytes
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::newRow("none") << 0 << 1 << false;
    QTest::newRow("a few, empty ones among them") << 7 << 1 << false;
    QTest::newRow("more pieces than one call takes") << 2500 << 1 << false;
    QTest::newRow("more pieces than one call takes, in place") << 2500 << 1 << true;
    QTest::newRow("more bytes than one call takes") << 3 << (5 << 20) << false;
}

void tst_FileSystem::piecesWrittenInOrder()
{
    QFETCH(int, pieces);
    QFETCH(int, scale);
    QFETCH(bool, readOnlyFolder);
    QTemporaryDir dir;
    const QString folder = dir.filePath("f");
    const QString path = folder + "/doc.zrd";
    QVERIFY(put(path, "old content, longer than a few pieces"));
    QList<QByteArray> bytes;
    QByteArray whole;
    for (int i = 0; i < pieces; ++i) {
        bytes.append(QByteArray(i % 5 * scale, char('a' + i % 26)));
        whole += bytes.back();
    }
    const std::vector<QByteArrayView> views(bytes.begin(), bytes.end());
    if (readOnlyFolder)
        ::chmod(QFile::encodeName(folder).constData(), 0555);
    const WriteStatus status = WriteFileAtomically(path, views);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    QCOMPARE(status, WriteStatus::Ok);
    QCOMPARE(contents(path), whole);
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
    const WriteStatus status = WriteFileAtomically(path, "new", [&](const QString &target, bool) {
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

// A killed write leaves its temporary file; the next write into the folder (of a catalogue, or of
// a backup copy) removes the old ones that only the writers make, and nothing else: not the user's
// own hidden copies, not the lock file beside a catalogue.
void tst_FileSystem::staleTemporaryFiles_data()
{
    QTest::addColumn<QString>("name"); // "*": the name a write really gave its temporary file
    QTest::addColumn<QString>("kind"); // file, folder, link, foreign (another owner)
    QTest::addColumn<int>("ageSeconds");
    QTest::addColumn<bool>("copy"); // the writer is WriteCopyFile, else WriteFileAtomically
    QTest::addColumn<bool>("removed");
    QTest::newRow("ours") << ".c.zrd.zarun-Ab12Cd.tmp" << "file" << 120 << false << true;
    QTest::newRow("ours, for another file") << ".ZARUN.ini.zarun-0aZ9xy.tmp" << "file" << 120 << false << true;
    QTest::newRow("ours, beside a backup copy") << ".c.zrd.zarun-Ab12Cd.tmp" << "file" << 120 << true << true;
    QTest::newRow("a name the writer made") << "*" << "file" << 120 << false << true;
    QTest::newRow("user's .backup") << ".c.zrd.backup" << "file" << 120 << false << false;
    QTest::newRow("user's .before") << ".c.zrd.before" << "file" << 120 << false << false;
    QTest::newRow("user's dated copy") << ".c.zrd.241208" << "file" << 120 << false << false;
    QTest::newRow("settings' backup") << ".ZARUN.ini.backup" << "file" << 120 << false << false;
    QTest::newRow("user's .backup, beside a backup copy") << ".c.zrd.backup" << "file" << 120 << true << false;
    QTest::newRow("earlier pattern, this file") << ".c.zrd.Ab12Cd" << "file" << 120 << false << false;
    QTest::newRow("earlier pattern, another file") << ".d.zrd.Ab12Cd" << "file" << 120 << false << false;
    QTest::newRow("mark without the suffix") << ".c.zrd.zarun-Ab12Cd" << "file" << 120 << false << false;
    QTest::newRow("lock file") << ".c.zrd.zarun-lock" << "file" << 120 << false << false;
    QTest::newRow("lock file, beside a backup copy") << ".c.zrd.zarun-lock" << "file" << 120 << true << false;
    QTest::newRow("younger than a minute") << ".c.zrd.zarun-Ab12Cd.tmp" << "file" << 20 << false << false;
    QTest::newRow("five random characters") << ".c.zrd.zarun-Ab12C.tmp" << "file" << 120 << false << false;
    QTest::newRow("not from our alphabet") << ".c.zrd.zarun-Ab12C-.tmp" << "file" << 120 << false << false;
    QTest::newRow("no name before the mark") << "..zarun-Ab12Cd.tmp" << "file" << 120 << false << false;
    QTest::newRow("not hidden") << "c.zrd.zarun-Ab12Cd.tmp" << "file" << 120 << false << false;
    QTest::newRow("folder") << ".c.zrd.zarun-Ab12Cd.tmp" << "folder" << 120 << false << false;
    QTest::newRow("link") << ".c.zrd.zarun-Ab12Cd.tmp" << "link" << 120 << false << false;
    QTest::newRow("another user's") << ".c.zrd.zarun-Ab12Cd.tmp" << "foreign" << 120 << false << false;
}

void tst_FileSystem::staleTemporaryFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(int, ageSeconds);
    QFETCH(bool, copy);
    QFETCH(bool, removed);
    QTemporaryDir dir;
    const QString path = dir.filePath("c.zrd");
    QVERIFY(put(path, "old"));
    if (name == "*") {
        QStringList made;
        const auto seeTemporary = [&](const QString &, bool) { made = leftovers(dir.path()).filter(".zarun-"); };
        QCOMPARE(WriteFileAtomically(path, "old", seeTemporary), WriteStatus::Ok);
        QCOMPARE(made.size(), 1);
        name = made.front();
    }
    const QString leftover = dir.filePath(name);
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

    const QString written = copy ? dir.filePath("copy.zrd") : path;
    if (copy)
        QVERIFY(WriteCopyFile(written, "new"));
    else
        QCOMPARE(WriteFileAtomically(written, "new"), WriteStatus::Ok);
    QCOMPARE(QFileInfo(leftover).exists() || QFileInfo(leftover).isSymLink(), !removed);
    QCOMPARE(contents(written), QByteArray("new"));
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
