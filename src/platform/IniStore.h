#pragma once

#include "platform/FileSystem.h"
#include "platform/IniDocument.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>

namespace platform {

enum class IniStatus {
    Ok,
    EmptyPath,  // no file named
    BadText,    // text the file cannot hold faithfully (encoding, line breaks, "=" in a key ...)
    ReadOnly,   // the file or its folder cannot be written
    NotAFile,   // the path names a folder or a device
    Unreadable, // the file exists but cannot be read; it is never overwritten blindly
    IoError,    // the write failed; the file keeps its previous content
};

// Every INI file the program touches, parsed once and kept while the file on
// disk stays the same (size, times to the nanosecond, inode). Each call checks
// the file again, so a change by any program is seen at once.
//
// A batch keeps a file's changes in memory and writes them in one atomic
// replace when the outermost batch of that file ends.
// A file read and parsed away from the store (on any thread), for the store to take later.
struct IniRead {
    QString file;
    qint64 readAtNs = 0; // wall clock, just before the stat
    FileStamp stamp;
    ReadStatus status = ReadStatus::Missing;
    QByteArray bytes;
    IniDocument document;
    // What comparing the document with the one the reader passed found (none when it passed none).
    std::shared_ptr<const IniSectionsCompared> compared;
};

class IniStore {
public:
    static IniStore &Instance();

    // Reads and parses the file without touching any store: safe on any thread. With a document
    // (one the caller holds as the file stood before), its sections compared with the read ones.
    static IniRead Read(const QString &file, const IniDocument *before = nullptr);

    // The current content of the file; an empty document when it is missing or cannot be read.
    const IniDocument &Document(const QString &file);

    IniStatus SetValue(const QString &file, const QString &section, const QString &key, const QString &value);
    IniStatus RemoveKey(const QString &file, const QString &section, const QString &key);
    IniStatus RemoveSection(const QString &file, const QString &section);

    // Whether a write to the file would be accepted: Ok, or why not.
    IniStatus Writable(const QString &file);

    // Empties the file to zero bytes (creating it when missing), with the checks, backup and
    // replace of every write.
    IniStatus Clear(const QString &file);

    // How the file's current content was read: Missing, Ok, Unreadable (also a folder or a
    // device) or TooLarge. A file that could not be read is never written.
    ReadStatus LastRead(const QString &file);

    // Whether the file's encoding (code page 932 for a new file) can hold the text.
    bool CanHold(const QString &file, const QString &text);


    void BeginBatch(const QString &file);
    // The first failure of the batch's changes or of its final write, else Ok.
    IniStatus EndBatch(const QString &file);
    // Ends the batch without writing; an enclosing batch loses its changes too.
    void AbandonBatch(const QString &file);

    // Forgets every parsed file (tests; the naive baseline of the benchmark).
    void Reset();
    void SetCaching(bool enabled) { caching_ = enabled; }
    // Tests whose files never change within one clock tick may trust a read at once.
    void SetRacyWindowNs(qint64 ns) { racyWindowNs_ = ns; }

    // Far above any real catalogue (a million projects take about 150 MB); a file beyond it is not read.
    static constexpr qint64 kMaxFileBytes = qint64(1) << 30;
    // File times advance in coarse ticks: a change this close to a read may
    // leave size and times as they were, so such a read is not trusted later.
    static constexpr qint64 kRacyWindowNs = 50'000'000;

private:
    struct Entry {
        FileStamp stamp;
        ReadStatus readStatus = ReadStatus::Missing;
        IniDocument document;
        bool loaded = false;
        bool settled = false; // read after the file's last change was old enough to trust its times
        int batchDepth = 0;
        bool batchLoaded = false;
        bool batchWritable = false;
        bool dirty = false;
        IniStatus batchStatus = IniStatus::Ok;
    };

    Entry &current(const QString &file);
    IniStatus change(const QString &file, const std::function<IniDocument::Change(IniDocument &)> &apply);
    IniStatus checkWritable(const QString &file, const Entry &entry) const;
    IniStatus flush(const QString &file, Entry &entry);
    void trim();

    QHash<QString, std::shared_ptr<Entry>> entries_;
    bool caching_ = true;
    qint64 racyWindowNs_ = kRacyWindowNs;
};

} // namespace platform
