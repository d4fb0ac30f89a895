// The real program, started twice with the same program folder: the second start ends at
// once without touching the settings, the first keeps running. And its command line.
#include "mainwindow/ui/InstanceChannel.h"
#include "platform/SingleInstance.h"

#include <QFile>
#include <QSignalSpy>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class tst_StartTwice : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void secondStartEndsSilently();
    void laterStartHandsItsFileOver_data();
    void laterStartHandsItsFileOver();
    void commandLine_data();
    void commandLine();
};

void tst_StartTwice::secondStartEndsSilently()
{
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("zarun"));
    QVERIFY(QFile::copy(QStringLiteral(ZARUN_EXECUTABLE), exe));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(exe, {});
    QVERIFY(first.waitForStarted());
    // The first instance has started up once its settings file exists.
    const QString ini = dir.filePath(QStringLiteral("ZARUN.ini"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ini), 20000);
    QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
    QFile marker(ini);
    QVERIFY(marker.open(QIODevice::WriteOnly | QIODevice::Append));
    marker.write("; first\r\n");
    marker.close();

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(exe, {});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
    QFile settings(ini);
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QCOMPARE(settings.readAll(), QByteArray("; first\r\n"));

    first.kill();
    first.waitForFinished();
    // Killed, it leaves its lock and socket in the user's private folder, outside dir.
    QFile::remove(platform::SingleInstance::LockPath(ini));
    QFile::remove(platform::SingleInstance::ChannelPath(ini));
}

void tst_StartTwice::laterStartHandsItsFileOver_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("handed"); // relative to the working folder; empty: only the wish to be seen
    QTest::addColumn<bool>("runtimeFolder"); // the later start's session has XDG_RUNTIME_DIR, as this one
    QTest::newRow("a catalogue, relative path") << QStringList {"計算 list.zrd"} << "計算 list.zrd" << true;
    QTest::newRow("after --") << QStringList {"--", "-odd.zrd"} << "-odd.zrd" << true;
    QTest::newRow("-h after --: a file") << QStringList {"--", "-h"} << "-h" << true;
    QTest::newRow("nothing") << QStringList {} << "" << true;
    // su or ssh: a session without a runtime folder still finds the running instance.
    QTest::newRow("session without XDG_RUNTIME_DIR") << QStringList {"x.zrd"} << "x.zrd" << false;
}

void tst_StartTwice::laterStartHandsItsFileOver()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, handed);
    QFETCH(bool, runtimeFolder);
    // This test is the running instance: it holds the lock of the program's settings file and listens.
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("zarun"));
    QVERIFY(QFile::copy(QStringLiteral(ZARUN_EXECUTABLE), exe));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    const QString settingsFile = dir.filePath(QStringLiteral("ZARUN.ini"));
    platform::SingleInstance instance;
    QVERIFY(instance.TryAcquire(settingsFile));
    InstanceChannel channel;
    QVERIFY(channel.Listen(platform::SingleInstance::ChannelPath(settingsFile)));
    QSignalSpy received(&channel, &InstanceChannel::Received);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (runtimeFolder)
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    else
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    QProcess later;
    later.setProcessEnvironment(env);
    later.setWorkingDirectory(dir.filePath(QStringLiteral("work")));
    QVERIFY(QDir().mkpath(later.workingDirectory()));
    later.start(exe, arguments);
    QVERIFY(received.wait(20000));
    // The later start ends once this instance has answered, which needs its event loop.
    QTRY_COMPARE_WITH_TIMEOUT(later.state(), QProcess::NotRunning, 20000);
    QCOMPARE(later.exitStatus(), QProcess::NormalExit);
    QCOMPARE(later.exitCode(), 0);
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.first().first().toString(),
             handed.isEmpty() ? QString() : QDir(later.workingDirectory()).filePath(handed));
    QVERIFY(!QFile::exists(settingsFile));
}

void tst_StartTwice::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // the start of the standard output, or of the error output
    QTest::newRow("version") << QStringList {"--version"} << 0 << QStringLiteral("zarun " ZARUN_VERSION_STRING "\n");
    QTest::newRow("version beats a file") << QStringList {"x.zrd", "-v"} << 0 << QStringLiteral("zarun " ZARUN_VERSION_STRING "\n");
    QTest::newRow("help") << QStringList {"-h"} << 0 << QStringLiteral("使い方: zarun [オプション] [データファイル.zrd]\n");
    QTest::newRow("unknown option") << QStringList {"--bogus"} << 2 << QStringLiteral("zarun: 不明なオプションです: --bogus\n使い方:");
    QTest::newRow("two files") << QStringList {"a.zrd", "b.zrd"} << 2 << QStringLiteral("zarun: 開けるデータファイルは一つだけです: b.zrd\n");
}

void tst_StartTwice::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);
    // No display is needed for any of them, and no window or settings file appears.
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("zarun"));
    QVERIFY(QFile::copy(QStringLiteral(ZARUN_EXECUTABLE), exe));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), status == 0 ? QStringLiteral("xcb") : QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(exe, arguments);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), status);
    const QString text = QString::fromUtf8(status == 0 ? process.readAllStandardOutput() : process.readAllStandardError());
    QVERIFY2(text.startsWith(output), qPrintable(text));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("ZARUN.ini"))));
}

QTEST_GUILESS_MAIN(tst_StartTwice)
#include "tst_StartTwice.moc"
