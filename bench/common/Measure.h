#pragma once

// Timing helpers shared by the in-process benchmarks.

#include <QFile>
#include <QString>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

inline double TimeMs(const std::function<void()> &body)
{
    const auto t0 = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Drops the file's pages from the cache, so that the next read goes to the disk.
inline void Evict(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}
