#pragma once

#include "platform/FileSystem.h"

#include <QByteArrayView>
#include <QHash>
#include <QMutex>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// What a Wine prefix has registered, read from its registry files (system.reg, user.reg) as text,
// without starting Wine.
namespace platform {

struct RegisteredTypeLib {
    quint16 major = 0;
    quint16 minor = 0;
    QString win32; // the file registered for 32-bit programs, as the registry holds it
    friend bool operator==(const RegisteredTypeLib &, const RegisteredTypeLib &) = default;
};

// The type libraries registered for 32-bit programs (TypeLib\{GUID}\<version>\0\win32).
class TypeLibTable {
public:
    // Adds what the text of one registry file registers; a version registered already takes the
    // later file's entry (user.reg after system.reg, as the classes root merges them).
    void Add(QByteArrayView registryText);
    // The version a program asking for major.minor loads: the same major, the highest minor at
    // least the one asked. guid in either case, without braces.
    std::optional<RegisteredTypeLib> Match(QStringView guid, quint16 major, quint16 minor) const;
    // Every version registered for the library, in the order read.
    std::vector<RegisteredTypeLib> Versions(QStringView guid) const;
    qsizetype Size() const { return libs_.size(); }
    // Tells one reading of the registry files from another, the same in every run while the files
    // stay as they are; never 0 for a table WineRegistry read.
    quint32 Tag() const { return tag_; }
    void SetTag(quint32 tag) { tag_ = tag; }

private:
    quint32 tag_ = 0;
    QHash<QString, std::vector<RegisteredTypeLib>> libs_; // by GUID in upper case
};

// One prefix's table, read again only when system.reg or user.reg changed (size, times, inode).
// Safe to share between threads.
class WineRegistry {
public:
    explicit WineRegistry(QString prefix) : prefix_(std::move(prefix)) {}
    const QString &Prefix() const { return prefix_; }
    // The table as the files are now: two stats, and a read when either differs from the last.
    std::shared_ptr<const TypeLibTable> TypeLibs();
    // How often the files were read (tests).
    int Reads() const;

private:
    QString prefix_;
    mutable QMutex mutex_;
    FileStamp system_;
    FileStamp user_;
    std::shared_ptr<const TypeLibTable> table_;
    int reads_ = 0;
};

} // namespace platform
