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

// A program started like StartDetached, but followed until it ends. It and everything it starts
// carry a mark of their own: an environment value, which Wine hands on to every Windows process
// and to the processes of its own that it starts, whatever session they put themselves in.
// Stopping ends every process of this user that carries the mark. Deleting this object leaves a
// program still running to end by itself; so does the end of this program.
class ChildProcess : public QObject {
    Q_OBJECT
public:
    // The environment value that marks the processes; its value differs for each start.
    static constexpr const char *kMarkName = "ZARUN_BUILD_MARK";

    explicit ChildProcess(QObject *parent = nullptr);
    ~ChildProcess() override;

    // Before Start: the program's standard output and error go to this file (created or
    // emptied), instead of this program's own.
    void SetOutputFile(const QString &path) { outputFile_ = path; }
    // Before Start: NAME=value settings added to the program's environment.
    void SetEnvironment(const QStringList &assignments) { environment_ = assignments; }

    // False when it could not be started; at most once per object.
    bool Start(const QString &program, const QStringList &arguments, const QString &workingDirectory);
    bool Running() const;
    // The mark's value (empty before Start).
    QString Mark() const { return mark_; }
    // Asks the program and every marked process to end, and ends them after graceMs if they have
    // not; whatever is left when the program ends goes with it.
    void Stop(int graceMs = 1000);
    // The same at once, before this program ends: waits at most graceMs for them to go.
    void StopNow(int graceMs = 500);

Q_SIGNALS:
    // The program ended; succeeded: of itself, with status 0.
    void Finished(bool succeeded);

private:
    void ended(bool succeeded);

    QProcess *process_ = nullptr;
    QTimer *forceStop_ = nullptr;
    QString outputFile_;
    QStringList environment_;
    QString mark_;
    qint64 group_ = 0;
    bool stopping_ = false;
};

// The processes of this user whose environment holds NAME=value (for the mark above); empty where
// that cannot be told.
QList<qint64> MarkedProcesses(const QString &name, const QString &value);

} // namespace platform
