#pragma once

#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <memory>

namespace catalogue {

class cVbAnalyze;

// Reads the executables of loaded projects from their .vbp files on worker threads, so that
// opening a catalogue never waits for the disk; a command that needs a project's executable
// before it arrives reads that one file itself. Results reach the catalogue on the thread
// that owns it, in batches.
class ExecutableReader : public QObject {
    Q_OBJECT
public:
    // Created on the user-interface thread; follows the catalogue's events from then on.
    static ExecutableReader &Instance();

    // Reads the category's unknown executables; urgent ones go before everything queued.
    void Queue(const cVbAnalyze *category, bool urgent = false);
    // Drops what is queued (a catalogue is replaced); results still under way are ignored.
    void Cancel();
    // Nothing queued or under way.
    bool Idle() const { return pending_ == 0; }

Q_SIGNALS:
    // Every queued executable has been read.
    void AllRead();

private:
    ExecutableReader();
    ~ExecutableReader() override;
    void queueAll();
    void arrived(int count);

    QThreadPool pool_;
    std::shared_ptr<std::atomic<int>> generation_;
    int pending_ = 0;
    bool announceScheduled_ = false;
};

} // namespace catalogue
