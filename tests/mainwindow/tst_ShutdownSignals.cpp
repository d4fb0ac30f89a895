// The real program, ended by a signal as a log-out, a terminal or Ctrl+C ends it: it runs the
// same shut-down as closing its window, so ZARUN.ini gets the window's placement.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

class tst_ShutdownSignals : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void signalRunsTheShutDown_data();
    void signalRunsTheShutDown();
};

void tst_ShutdownSignals::signalRunsTheShutDown_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_ShutdownSignals::signalRunsTheShutDown()
{
    QFETCH(int, signalNumber);
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("zarun"));
    QVERIFY(QFile::copy(QStringLiteral(ZARUN_EXECUTABLE), exe));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const char *name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        env.insert(QString::fromLatin1(name), dir.path());

    QProcess program;
    program.setProcessEnvironment(env);
    program.start(exe, {});
    QVERIFY(program.waitForStarted());
    // Start-up creates the settings file empty; the shut-down fills it.
    const QString ini = dir.filePath(QStringLiteral("ZARUN.ini"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ini), 20000);
    QCOMPARE(::kill(pid_t(program.processId()), signalNumber), 0);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QFile settings(ini);
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QVERIFY2(settings.readAll().contains("[Window]\r\nMAXIMIZE=False\r\n"), qPrintable(ini));
}

QTEST_GUILESS_MAIN(tst_ShutdownSignals)
#include "tst_ShutdownSignals.moc"
