#pragma once

#include "platform/LockFile.h"

#include <QString>

namespace catalogue {

// Keeps two writers of one catalogue apart (two instances, or two users on a shared folder): a lock
// file beside the catalogue, or in the user's private folder when the catalogue's folder cannot take
// one. A lock left by a process that is gone is taken over.
class CatalogueLock {
public:
    enum class Result { Locked, Busy, Failed };

    // A write on a slow network folder can hold the lock for seconds.
    static constexpr int kWaitMs = 10'000;

    CatalogueLock();
    ~CatalogueLock();
    CatalogueLock(const CatalogueLock &) = delete;
    CatalogueLock &operator=(const CatalogueLock &) = delete;

    // Waits up to waitMs (negative: kWaitMs, or what a test set) for the lock of the catalogue file.
    Result Lock(const QString &catalogueFile, int waitMs = -1);
    // Tests wait less for a lock they hold themselves; negative restores kWaitMs.
    static void SetWaitForTesting(int waitMs);
    void Unlock();

    // ".<name>.zarun-lock" beside the file the path leads to (links followed, so that every way to
    // the file takes the same lock).
    static QString PathFor(const QString &catalogueFile);

private:
    platform::LockFile lock_;
};

} // namespace catalogue
