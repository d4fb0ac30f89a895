#include "platform/PrivateFolder.h"
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QSysInfo>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using platform::SingleInstance;

namespace {

// The private folder of the instances this test starts, passed on to the other processes.
constexpr char kPrivateRoot[] = "TST_SINGLEINSTANCE_PRIVATE_ROOT";

QStringList sharedPrivateFolder() { return {QFile::decodeName(qgetenv(kPrivateRoot)) + QStringLiteral("/private")}; }

// Exit codes of the second process.
constexpr int kAcquired = 0;
constexpr int kRefused = 1;

// The test binary started again as another instance: "--try <settings>" takes the
// lock and ends at once; "--hold <settings>" says "held" and keeps it until its input closes.
int runAsOtherInstance(const char *mode, const char *settingsFile)
{
    SingleInstance instance;
    if (!instance.TryAcquire(QFile::decodeName(settingsFile)))
        return kRefused;
    if (std::strcmp(mode, "--hold") == 0) {
        std::fputs("held\n", stdout);
        std::fflush(stdout);
        char buffer[64];
        while (std::fgets(buffer, sizeof buffer, stdin)) {
        }
    }
    return kAcquired;
}

} // namespace

class tst_SingleInstance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void inOneProcess();
    void otherProcessRefused();
    void otherProcessHolds();
    void crashedHolderDoesNotBlock();
    void lockLivesOutsideTheSettingsFolder();
    void leftoverLockFile_data();
    void leftoverLockFile();
    void liveHolderKeepsAnUnreadableLock();
    void privateFolder_data();
    void privateFolder();
    void linksLeadToOneLock_data();
    void linksLeadToOneLock();

private:
    QString settings(const QString &name = QStringLiteral("ZARUN.ini")) const { return dir_->filePath(name); }
    int runOther(const QString &settingsFile);
    void startHolder(QProcess &holder, const QString &settingsFile);

    std::unique_ptr<QTemporaryDir> dir_;
};

void tst_SingleInstance::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void tst_SingleInstance::cleanup()
{
    platform::SetPrivateFolderCandidatesForTesting(sharedPrivateFolder());
    ::chmod(QFile::encodeName(dir_->path()).constData(), 0755);
    dir_.reset();
}

int tst_SingleInstance::runOther(const QString &settingsFile)
{
    QProcess other;
    other.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--try"), settingsFile});
    if (!other.waitForFinished(30000) || other.exitStatus() != QProcess::NormalExit)
        return -1;
    return other.exitCode();
}

void tst_SingleInstance::startHolder(QProcess &holder, const QString &settingsFile)
{
    holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), settingsFile});
    QVERIFY(holder.waitForStarted(30000));
    while (!holder.canReadLine())
        QVERIFY2(holder.waitForReadyRead(30000), "the other instance did not take the lock");
    QCOMPARE(holder.readLine(), QByteArray("held\n"));
}

void tst_SingleInstance::inOneProcess()
{
    SingleInstance first, second, other;
    QVERIFY(first.TryAcquire(settings()));
    QVERIFY(!second.TryAcquire(settings()));
    // Another settings file is another program installation.
    QVERIFY(other.TryAcquire(settings("other/ZARUN.ini")));
    // The same file named relative to the current folder.
    const QString current = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_->path()));
    const bool relativeRefused = !second.TryAcquire(QStringLiteral("ZARUN.ini"));
    QVERIFY(QDir::setCurrent(current));
    QVERIFY(relativeRefused);

    first.Release();
    QVERIFY(second.TryAcquire(settings()));
    {
        SingleInstance scoped;
        QVERIFY(!scoped.TryAcquire(settings()));
    }
    // A refused attempt does not disturb the holder.
    QVERIFY(!first.TryAcquire(settings()));
    second.Release();
    {
        SingleInstance scoped;
        QVERIFY(scoped.TryAcquire(settings()));
    }
    // Ending the holder frees the lock.
    QVERIFY(first.TryAcquire(settings()));
}

void tst_SingleInstance::otherProcessRefused()
{
    SingleInstance first;
    QVERIFY(first.TryAcquire(settings()));
    QCOMPARE(runOther(settings()), kRefused);
    QCOMPARE(runOther(settings("elsewhere.ini")), kAcquired);
    first.Release();
    QCOMPARE(runOther(settings()), kAcquired);
    // The other process's end freed it again.
    QVERIFY(first.TryAcquire(settings()));
}

void tst_SingleInstance::otherProcessHolds()
{
    QProcess holder;
    startHolder(holder, settings());
    SingleInstance mine;
    QVERIFY(!mine.TryAcquire(settings()));
    QCOMPARE(runOther(settings()), kRefused);

    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(30000));
    QCOMPARE(holder.exitCode(), kAcquired);
    QVERIFY(mine.TryAcquire(settings()));
}

void tst_SingleInstance::crashedHolderDoesNotBlock()
{
    QProcess holder;
    startHolder(holder, settings());
    holder.kill();
    QVERIFY(holder.waitForFinished(30000));
    QCOMPARE(holder.exitStatus(), QProcess::CrashExit);
    SingleInstance next;
    QVERIFY(next.TryAcquire(settings()));
}

void tst_SingleInstance::lockLivesOutsideTheSettingsFolder()
{
    const QString lock = SingleInstance::LockPath(settings());
    QVERIFY(!lock.startsWith(dir_->path()));
    QCOMPARE(SingleInstance::LockPath(settings()), lock);
    QVERIFY(SingleInstance::LockPath(settings("other.ini")) != lock);

    // A program folder that cannot be written still gets its lock.
    QCOMPARE(::chmod(QFile::encodeName(dir_->path()).constData(), 0555), 0);
    SingleInstance first, second;
    QVERIFY(first.TryAcquire(settings()));
    QVERIFY(!second.TryAcquire(settings()));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void tst_SingleInstance::leftoverLockFile_data()
{
    QTest::addColumn<QByteArray>("text");
    // What a power cut between creating and filling the lock file leaves, or another writer.
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("garbage") << QByteArray("\x01\x02 not a lock\n");
    QTest::newRow("process that is gone") << QByteArray("999999999\nzarun\n") + QSysInfo::machineHostName().toUtf8() + "\n";
}

void tst_SingleInstance::leftoverLockFile()
{
    QFETCH(QByteArray, text);
    // Nobody runs, so the lock must be taken: otherwise the program would never start again.
    const QString lock = SingleInstance::LockPath(settings());
    QVERIFY(QDir().mkpath(QFileInfo(lock).absolutePath()));
    QFile file(lock);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(text), text.size());
    QVERIFY(file.flush());
    // Old enough that no starting instance can still be writing it.
    QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-60), QFileDevice::FileModificationTime));
    file.close();
    SingleInstance instance;
    QVERIFY(instance.TryAcquire(settings()));
    QCOMPARE(runOther(settings()), kRefused);
    instance.Release();
    QVERIFY(!QFileInfo::exists(lock));
}

void tst_SingleInstance::liveHolderKeepsAnUnreadableLock()
{
    QProcess holder;
    startHolder(holder, settings());
    QFile file(SingleInstance::LockPath(settings()));
    QVERIFY(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
    QVERIFY(file.write("garbage\n") > 0 && file.flush());
    QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-60), QFileDevice::FileModificationTime));
    file.close();

    SingleInstance mine;
    QVERIFY(!mine.TryAcquire(settings()));
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(30000));
    QVERIFY(mine.TryAcquire(settings()));
}

void tst_SingleInstance::privateFolder_data()
{
    QTest::addColumn<QString>("preferred"); // what lies at the preferred folder's name
    QTest::addColumn<QString>("chosen");    // preferred, fallback or none
    QTest::newRow("missing: made 0700") << "missing" << "preferred";
    QTest::newRow("ours") << "ours" << "preferred";
    // Squatted, or not private: the other folder, and the squatted one left as it is.
    QTest::newRow("a link to a private folder") << "link" << "fallback";
    QTest::newRow("a file") << "file" << "fallback";
    QTest::newRow("group can write") << "0770" << "fallback";
    QTest::newRow("others can write") << "0703" << "fallback";
    QTest::newRow("someone else's") << "other owner" << "fallback";
    QTest::newRow("in a folder others can write, not sticky") << "open parent" << "fallback";
    QTest::newRow("too long for a socket beside it") << "long" << "fallback";
    QTest::newRow("fallback squatted too") << "link, fallback a file" << "none";
}

void tst_SingleInstance::privateFolder()
{
    QFETCH(QString, preferred);
    QFETCH(QString, chosen);
    QString wanted = dir_->filePath(QStringLiteral("p/zarun"));
    const QString fallback = dir_->filePath(QStringLiteral("f/zarun"));
    const QByteArray wantedName = QFile::encodeName(wanted);
    QVERIFY(QDir().mkpath(dir_->filePath(QStringLiteral("p"))));
    QVERIFY(QDir().mkpath(dir_->filePath(QStringLiteral("f"))));
    QVERIFY(QDir().mkpath(dir_->filePath(QStringLiteral("elsewhere"))));
    QCOMPARE(::chmod(QFile::encodeName(dir_->filePath(QStringLiteral("elsewhere"))).constData(), 0700), 0);
    if (preferred.startsWith(QStringLiteral("link"))) {
        QVERIFY(QFile::link(dir_->filePath(QStringLiteral("elsewhere")), wanted));
    } else if (preferred == QStringLiteral("file")) {
        QVERIFY(QFile(wanted).open(QIODevice::WriteOnly));
    } else if (preferred == QStringLiteral("ours") || preferred.startsWith(u'0') || preferred == QStringLiteral("other owner")) {
        QCOMPARE(::mkdir(wantedName.constData(), 0700), 0);
        if (preferred.startsWith(u'0'))
            QCOMPARE(::chmod(wantedName.constData(), preferred.toUInt(nullptr, 8)), 0);
        if (preferred == QStringLiteral("other owner") && ::lchown(wantedName.constData(), 65534, 65534) != 0)
            QSKIP("needs root to give a folder away");
    } else if (preferred == QStringLiteral("open parent")) {
        QCOMPARE(::chmod(QFile::encodeName(dir_->filePath(QStringLiteral("p"))).constData(), 0777), 0);
    } else if (preferred == QStringLiteral("long")) {
        wanted = dir_->filePath(QStringLiteral("p/") + QString(platform::kMaxPrivateFolderBytes, u'x'));
    }
    if (preferred.endsWith(QStringLiteral("fallback a file")))
        QVERIFY(QFile(fallback).open(QIODevice::WriteOnly));
    struct stat before {};
    const bool existed = ::lstat(QFile::encodeName(wanted).constData(), &before) == 0;

    platform::SetPrivateFolderCandidatesForTesting({wanted, fallback});
    const QString folder = platform::PrivateFolder();
    QCOMPARE(folder, chosen == QStringLiteral("preferred") ? wanted
                     : chosen == QStringLiteral("fallback") ? fallback : QString());
    struct stat after {};
    const bool exists = ::lstat(QFile::encodeName(wanted).constData(), &after) == 0;
    if (chosen != QStringLiteral("preferred")) {
        QCOMPARE(exists, existed);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_uid, before.st_uid);
    }
    if (folder.isEmpty()) {
        // Nowhere safe for a lock: the program runs rather than refusing every start.
        QCOMPARE(SingleInstance::LockPath(settings()), QString());
        QCOMPARE(SingleInstance::ChannelPath(settings()), QString());
        SingleInstance unguarded;
        QVERIFY(unguarded.TryAcquire(settings()));
        return;
    }
    QVERIFY(::lstat(QFile::encodeName(folder).constData(), &after) == 0);
    QVERIFY(S_ISDIR(after.st_mode));
    QCOMPARE(after.st_mode & 0777, mode_t(0700));
    QCOMPARE(QFileInfo(SingleInstance::LockPath(settings())).absolutePath(), folder);
    QCOMPARE(QFileInfo(SingleInstance::ChannelPath(settings())).absolutePath(), folder);
    SingleInstance first, second;
    QVERIFY(first.TryAcquire(settings()));
    QVERIFY(!second.TryAcquire(settings()));
}

void tst_SingleInstance::linksLeadToOneLock_data()
{
    QTest::addColumn<QString>("alias"); // a link, relative to the test folder
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("fileExists");
    QTest::newRow("link to the folder") << "via/ZARUN.ini" << "via" << true;
    QTest::newRow("link to the folder, no file yet") << "via/ZARUN.ini" << "via" << false;
    QTest::newRow("link to the file") << "alias.ini" << "alias.ini" << true;
    QTest::newRow("link to a file not there yet") << "alias.ini" << "alias.ini" << false;
}

void tst_SingleInstance::linksLeadToOneLock()
{
    QFETCH(QString, alias);
    QFETCH(QString, target);
    QFETCH(bool, fileExists);
    const QString real = settings(QStringLiteral("real/ZARUN.ini"));
    QVERIFY(QDir().mkpath(QFileInfo(real).absolutePath()));
    if (fileExists)
        QVERIFY(QFile(real).open(QIODevice::WriteOnly));
    // The link to the folder names it; the link to the file names the file.
    QVERIFY(QFile::link(target == QStringLiteral("via") ? QFileInfo(real).absolutePath() : real, settings(target)));
    QCOMPARE(SingleInstance::LockPath(settings(alias)), SingleInstance::LockPath(real));
    SingleInstance first, second;
    QVERIFY(first.TryAcquire(real));
    QVERIFY(!second.TryAcquire(settings(alias)));
}

int main(int argc, char *argv[])
{
    if (argc == 3 && (std::strcmp(argv[1], "--try") == 0 || std::strcmp(argv[1], "--hold") == 0)) {
        QCoreApplication app(argc, argv);
        QStandardPaths::setTestModeEnabled(true);
        platform::SetPrivateFolderCandidatesForTesting(sharedPrivateFolder());
        return runAsOtherInstance(argv[1], argv[2]);
    }
    // Locks go to a private folder of our own, shared with the other instances started here.
    QTemporaryDir root;
    if (!root.isValid())
        return 2;
    qputenv(kPrivateRoot, QFile::encodeName(root.path()));
    platform::SetPrivateFolderCandidatesForTesting(sharedPrivateFolder());
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    tst_SingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_SingleInstance.moc"
