#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;
class QTimer;

// Starting other programs, never through a shell.
namespace platform {

// Starts program with exactly these arguments in workingDirectory, detached: never waited for.
// False when the program could not be started (missing, not executable, not a program).
bool StartDetached(const QString &program, const QStringList &arguments, const QString &workingDirectory);

// A program started like StartDetached, but followed until it ends. It runs in a process group
// (session) of its own, so that stopping it also stops what it started: Wine's processes. Deleting
// this object leaves a program still running to end by itself; so does the end of this program.
class ChildProcess : public QObject {
    Q_OBJECT
public:
    explicit ChildProcess(QObject *parent = nullptr);
    ~ChildProcess() override;

    // False when it could not be started; at most once per object.
    bool Start(const QString &program, const QStringList &arguments, const QString &workingDirectory);
    bool Running() const;
    // Asks the program and everything in its group to end, and ends them after graceMs if they
    // have not; whatever of the group is left when the program ends goes with it.
    void Stop(int graceMs = 3000);

Q_SIGNALS:
    // The program ended; succeeded: of itself, with status 0.
    void Finished(bool succeeded);

private:
    void ended(bool succeeded);

    QProcess *process_ = nullptr;
    QTimer *forceStop_ = nullptr;
    qint64 group_ = 0;
    bool stopping_ = false;
};

} // namespace platform
