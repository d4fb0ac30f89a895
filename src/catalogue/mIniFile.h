#pragma once

#include "platform/IniStore.h"

#include <QString>
#include <QStringList>

// Settings and catalogue files: the only way the program reads and writes INI entries.
// A null QString is "unset": as a value it removes the key, as a default it comes back unchanged.
namespace mIniFile {

QString ReadIniString(const QString &section, const QString &key, const QString &defaultValue, const QString &file);
qint32 ReadIniLong(const QString &section, const QString &key, qint32 defaultValue, const QString &file);
bool ReadIniBool(const QString &section, const QString &key, bool defaultValue, const QString &file);
void WriteIniString(const QString &section, const QString &key, const QString &value, const QString &file);
void WriteIniLong(const QString &section, const QString &key, qint32 value, const QString &file);
void WriteIniBool(const QString &section, const QString &key, bool value, const QString &file);
bool DeleteIniSection(const QString &section, const QString &file);
bool DeleteIniKey(const QString &section, const QString &key, const QString &file);
qint32 ReadIniSection(const QString &section, QStringList &names, const QString &file);
qint32 ReadIniSectionNames(QStringList &names, const QString &file);

// The same write with its outcome, for callers that must tell the user.
platform::IniStatus TryWriteIniString(const QString &section, const QString &key, const QString &value,
                                      const QString &file);


// Whether the file can hold the text at all (its encoding; code page 932 for a new file).
bool IniCanHold(const QString &text, const QString &file);

// Value reads return at most this many bytes; list reads return every entry.
inline constexpr qsizetype kValueBufferBytes = 1024;

// A stored value as a read by key hands it back (one pair of matching quotes removed), but whole.
QString ValueText(const QString &stored);

// Collects the writes to one file in memory; they reach the disk in one atomic replace
// at Commit (or at the end of the scope, when Commit was not called).
class IniBatch {
public:
    explicit IniBatch(const QString &file);
    ~IniBatch();
    IniBatch(const IniBatch &) = delete;
    IniBatch &operator=(const IniBatch &) = delete;

    platform::IniStatus Commit();
    // Drops the batch's changes: the file stays as it is and is read again.
    void Abandon();

private:
    QString file_;
    bool open_ = true;
};

} // namespace mIniFile
