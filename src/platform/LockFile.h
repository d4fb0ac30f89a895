#pragma once

#include <QString>

#include <memory>

namespace platform {

// An advisory lock through a lock file that only this program makes: created exclusively and held
// (flock) while the lock is taken, so that a lock whose process has gone, here or on the machine
// sharing the folder, is told from a live one and taken over. Nothing is synced to the disk: after a
// crash the lock is left behind, and left-behind locks are taken over.
class LockFile {
public:
    enum class Result { Locked, Busy, Failed };

    LockFile();
    ~LockFile();
    LockFile(const LockFile &) = delete;
    LockFile &operator=(const LockFile &) = delete;

    // Waits up to waitMs for the lock. Where the file system cannot tell a held file (no flock), a
    // lock file older than staleMs counts as left behind.
    Result Lock(const QString &path, int waitMs, int staleMs);
    void Unlock();

private:
    struct Held;
    std::unique_ptr<Held> held_;
};

} // namespace platform
