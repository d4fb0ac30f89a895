// The real program, started twice with the same program folder: the second start ends at
// once without touching the settings, the first keeps running.
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class tst_StartTwice : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void secondStartEndsSilently();
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
}

QTEST_GUILESS_MAIN(tst_StartTwice)
#include "tst_StartTwice.moc"
