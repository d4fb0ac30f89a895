#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace platform {

// Held for the whole run: a second start of the program with the same settings
// file finds the lock taken and ends before doing anything.
class SingleInstance {
public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // False when another running instance holds the lock for this settings file. True without a
    // lock when there is no private folder to hold one (LockPath is empty then).
    bool TryAcquire(const QString &settingsFile);
    void Release();

    // Where the lock for a settings file lives: in PrivateFolder(), named for the file's real path
    // (outside the program's folder, which may be read-only). Empty when there is no such folder.
    static QString LockPath(const QString &settingsFile);
    // The local socket on which the instance holding that lock listens for later starts; beside it.
    static QString ChannelPath(const QString &settingsFile);

private:
    std::unique_ptr<QLockFile> lock_;
};

} // namespace platform
