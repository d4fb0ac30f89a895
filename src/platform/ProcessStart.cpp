#include "platform/ProcessStart.h"

#include <QProcess>
#include <QTimer>

#ifndef Q_OS_WIN
#include <csignal>
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
#endif

} // namespace

bool StartDetached(const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments, workingDirectory);
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
    // As a detached start has it: the terminal's output, no input; no pipe that could fill up.
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    process_->setStandardInputFile(QProcess::nullDevice());
#ifndef Q_OS_WIN
    // A session of its own: a stop reaches the whole group, and a signal for this program's
    // terminal (Ctrl+C, hang-up) does not reach the build.
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
    forceStop_ = new QTimer(this);
    forceStop_->setSingleShot(true);
    connect(forceStop_, &QTimer::timeout, this, [this] { signalGroup(group_, SIGKILL); });
    forceStop_->start(graceMs);
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
    if (stopping_)
        signalGroup(group_, SIGKILL);
#endif
    Q_EMIT Finished(succeeded);
}

} // namespace platform
