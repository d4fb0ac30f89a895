#include "platform/ProcessStart.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>

#ifndef Q_OS_WIN
#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

#ifndef Q_OS_WIN
void signalGroup(qint64 group, int signal)
{
    if (group > 1)
        ::kill(-pid_t(group), signal);
}

// Signals every marked process; how many there were.
int signalMarked(const QString &mark, int signal)
{
    const QList<qint64> pids = MarkedProcesses(QString::fromLatin1(ChildProcess::kMarkName), mark);
    for (const qint64 pid : pids)
        ::kill(pid_t(pid), signal);
    return int(pids.size());
}

// Ends the marked processes for good. A process may start another between the look and the
// signal: looked at again until none is left, a bounded number of times.
void killMarked(const QString &mark)
{
    for (int round = 0; round < 20 && signalMarked(mark, SIGKILL) > 0; ++round)
        QThread::msleep(5);
}
#endif

} // namespace

bool StartDetached(const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments, workingDirectory);
}

QList<qint64> MarkedProcesses(const QString &name, const QString &value)
{
    QList<qint64> pids;
#ifndef Q_OS_WIN
    if (name.isEmpty() || value.isEmpty())
        return pids;
    const QByteArray wanted = (name + u'=' + value).toUtf8();
    const uid_t user = ::geteuid();
    const qint64 self = ::getpid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == self)
            continue;
        const QByteArray folder = "/proc/" + entry.toLatin1();
        struct stat st {};
        if (::stat(folder.constData(), &st) != 0 || st.st_uid != user)
            continue;
        // The environment the process was started with, NUL-separated; a zombie has none.
        QFile environ(QString::fromLatin1(folder + "/environ"));
        if (!environ.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            continue;
        const QByteArray all = environ.read(1024 * 1024);
        for (qsizetype at = all.indexOf(wanted); at >= 0; at = all.indexOf(wanted, at + 1)) {
            const qsizetype end = at + wanted.size();
            if ((at == 0 || all[at - 1] == '\0') && (end == all.size() || all[end] == '\0')) {
                pids.append(pid);
                break;
            }
        }
    }
#else
    Q_UNUSED(name);
    Q_UNUSED(value);
#endif
    return pids;
}

ChildProcess::ChildProcess(QObject *parent) : QObject(parent) {}

ChildProcess::~ChildProcess()
{
    if (!Running())
        return;
    // Whoever started the program decides how long it runs: the process object is left to
    // follow it, and goes when it ends (or with this program, leaving the program running).
    process_->disconnect(this);
    process_->setParent(nullptr);
    connect(process_, &QProcess::finished, process_, &QObject::deleteLater);
}

bool ChildProcess::Start(const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    if (program.isEmpty() || process_)
        return false;
    process_ = new QProcess(this);
    process_->setProgram(program);
    process_->setArguments(arguments);
    process_->setWorkingDirectory(workingDirectory);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &assignment : environment_) {
        const qsizetype equals = assignment.indexOf(u'=');
        if (equals > 0)
            environment.insert(assignment.left(equals), assignment.mid(equals + 1));
    }
    // Only this start's processes carry this value: this program's id, and chance.
    mark_ = QString::number(QCoreApplication::applicationPid()) + u'-'
            + QString::number(QRandomGenerator::system()->generate64(), 16);
    environment.insert(QString::fromLatin1(kMarkName), mark_);
    process_->setProcessEnvironment(environment);
    if (outputFile_.isEmpty()) {
        // As a detached start has it: the terminal's output; no pipe that could fill up.
        process_->setProcessChannelMode(QProcess::ForwardedChannels);
    } else {
        process_->setProcessChannelMode(QProcess::MergedChannels);
        process_->setStandardOutputFile(outputFile_, QIODevice::Truncate);
    }
    process_->setStandardInputFile(QProcess::nullDevice());
#ifndef Q_OS_WIN
    // A session of its own: a signal for this program's terminal (Ctrl+C, hang-up) does not
    // reach the build.
    process_->setChildProcessModifier([] { ::setsid(); });
#endif
    connect(process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        ended(status == QProcess::NormalExit && code == 0);
    });
    process_->start();
    if (!process_->waitForStarted(30000)) {
        process_->disconnect(this);
        process_->kill();
        return false;
    }
    group_ = process_->processId();
    return true;
}

bool ChildProcess::Running() const { return process_ && process_->state() != QProcess::NotRunning; }

void ChildProcess::Stop(int graceMs)
{
    if (!Running() || stopping_)
        return;
    stopping_ = true;
#ifndef Q_OS_WIN
    signalGroup(group_, SIGTERM);
    signalMarked(mark_, SIGTERM);
    forceStop_ = new QTimer(this);
    forceStop_->setSingleShot(true);
    connect(forceStop_, &QTimer::timeout, this, [this] {
        signalGroup(group_, SIGKILL);
        killMarked(mark_);
    });
    forceStop_->start(graceMs);
#else
    Q_UNUSED(graceMs);
    process_->kill();
#endif
}

void ChildProcess::StopNow(int graceMs)
{
    if (!Running())
        return;
    stopping_ = true;
#ifndef Q_OS_WIN
    signalGroup(group_, SIGTERM);
    signalMarked(mark_, SIGTERM);
    const QDeadlineTimer deadline(graceMs);
    while (!deadline.hasExpired() && !MarkedProcesses(QString::fromLatin1(kMarkName), mark_).isEmpty())
        QThread::msleep(20);
    signalGroup(group_, SIGKILL);
    killMarked(mark_);
#else
    Q_UNUSED(graceMs);
    process_->kill();
#endif
}

void ChildProcess::ended(bool succeeded)
{
    if (forceStop_)
        forceStop_->stop();
#ifndef Q_OS_WIN
    // Stopped: what the program started and left behind goes too.
    if (stopping_) {
        signalGroup(group_, SIGKILL);
        killMarked(mark_);
    }
#endif
    Q_EMIT Finished(succeeded);
}

} // namespace platform
