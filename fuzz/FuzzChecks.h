#pragma once

#include "platform/IniDocument.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

// A broken property ends the run with the message; libFuzzer keeps the input.
#define FUZZ_CHECK(condition, message)                                                                     \
    do {                                                                                                   \
        if (!(condition)) {                                                                                \
            std::fprintf(stderr, "property failed: %s (%s) at %s:%d\n", message, #condition, __FILE__,       \
                         __LINE__);                                                                        \
            std::abort();                                                                                  \
        }                                                                                                  \
    } while (false)

namespace fuzz {

inline QByteArray Bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// One folder for the whole run, in memory where possible: the atomic writer syncs every file.
inline const QString &ScratchFolder()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/zarun-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/zarun-fuzz-XXXXXX"));
    static const QString path = dir.path();
    return path;
}

// Two documents read the same through every reader: encoding, bytes, sections, key lines, lookups.
inline bool SameDocument(const platform::IniDocument &a, const platform::IniDocument &b)
{
    if (a.Encoding() != b.Encoding() || a.Serialize() != b.Serialize() || a.SectionNames() != b.SectionNames())
        return false;
    for (const QString &section : a.SectionNames()) {
        const auto lines = a.KeyLines(section);
        if (lines != b.KeyLines(section))
            return false;
        for (const auto &line : lines) {
            const std::optional<QString> x = a.FindValue(section, line.first);
            const std::optional<QString> y = b.FindValue(section, line.first);
            if (!x || !y || *x != *y)
                return false;
        }
    }
    return true;
}

} // namespace fuzz
