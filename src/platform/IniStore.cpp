#include "platform/IniStore.h"


#include <QFileInfo>

namespace platform {

namespace {

constexpr qsizetype kMaxCachedFiles = 16;

IniStatus fromWriteStatus(WriteStatus status)
{
    switch (status) {
    case WriteStatus::Ok:
        return IniStatus::Ok;
    case WriteStatus::ReadOnly:
        return IniStatus::ReadOnly;
    case WriteStatus::NotAFile:
        return IniStatus::NotAFile;
    case WriteStatus::IoError:
        break;
    }
    return IniStatus::IoError;
}

// Whether a read at readAtNs came late enough after the file's last change to trust its times.
bool isSettled(const FileStamp &stamp, qint64 racyWindowNs, qint64 readAtNs = WallClockNs())
{
    if (!stamp.exists)
        return true;
    const qint64 lastChange = qMax(stamp.modifiedNs, stamp.changedNs);
    return readAtNs - lastChange > racyWindowNs;
}

} // namespace

IniStore &IniStore::Instance()
{
    static IniStore store;
    return store;
}

void IniStore::trim()
{
    if (entries_.size() <= kMaxCachedFiles)
        return;
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it.value()->batchDepth == 0)
            it = entries_.erase(it);
        else
            ++it;
    }
}

IniStore::Entry &IniStore::current(const QString &file)
{
    auto it = entries_.find(file);
    if (it == entries_.end()) {
        trim();
        it = entries_.insert(file, std::make_shared<Entry>());
    }
    Entry &entry = *it.value();
    if (entry.batchDepth > 0 && entry.batchLoaded)
        return entry; // a batch works on its copy in memory until it ends
    const FileStamp stamp = StatFile(file);
    if (!caching_ || !entry.loaded || !entry.settled || stamp != entry.stamp) {
        QByteArray bytes;
        entry.readStatus = stamp.exists ? ReadWholeFile(file, kMaxFileBytes, &bytes) : ReadStatus::Missing;
        entry.document = IniDocument::Parse(bytes);
        entry.stamp = stamp;
        entry.loaded = true;
        entry.settled = isSettled(stamp, racyWindowNs_);
    }
    if (entry.batchDepth > 0)
        entry.batchLoaded = true;
    return entry;
}

IniRead IniStore::Read(const QString &file, const IniDocument *before)
{
    IniRead read;
    read.file = file;
    read.readAtNs = WallClockNs();
    read.stamp = StatFile(file);
    read.status = read.stamp.exists ? ReadWholeFile(file, kMaxFileBytes, &read.bytes) : ReadStatus::Missing;
    read.document = IniDocument::Parse(read.bytes);
    if (before && read.status == ReadStatus::Ok)
        read.compared = std::make_shared<const IniSectionsCompared>(read.document.CompareSections(*before));
    return read;
}

const IniDocument &IniStore::Document(const QString &file) { return current(file).document; }

bool IniStore::CanHold(const QString &file, const QString &text)
{
    return file.isEmpty() ? Cp932CanHold(text) : current(file).document.CanHold(text);
}

IniStatus IniStore::checkWritable(const QString &file, const Entry &entry) const
{
    if (entry.stamp.exists && !entry.stamp.regular)
        return IniStatus::NotAFile;
    if (entry.readStatus == ReadStatus::Unreadable || entry.readStatus == ReadStatus::TooLarge)
        return IniStatus::Unreadable;
    if (entry.stamp.exists ? IsReadOnlyFile(file) : !IsWritableFolder(QFileInfo(file).absolutePath()))
        return IniStatus::ReadOnly;
    return IniStatus::Ok;
}

IniStatus IniStore::flush(const QString &file, Entry &entry)
{
    const IniStatus status = fromWriteStatus(WriteFileAtomically(file, entry.document.Serialize()));
    if (status == IniStatus::Ok) {
        entry.stamp = StatFile(file);
        entry.readStatus = ReadStatus::Ok;
        // The document is what was just written: no need to read it back. Another program's
        // change shows in the stamp like any other.
        entry.settled = true;
    } else {
        // Memory no longer matches the disk: read the file again next time.
        entry.loaded = false;
    }
    return status;
}

IniStatus IniStore::change(const QString &file, const std::function<IniDocument::Change(IniDocument &)> &apply)
{
    if (file.isEmpty())
        return IniStatus::EmptyPath;
    Entry &entry = current(file);
    const bool inBatch = entry.batchDepth > 0;
    if (inBatch && entry.batchStatus == IniStatus::ReadOnly)
        return IniStatus::ReadOnly;
    // Within a batch the file is checked once; the final write checks it again anyway.
    if (!(inBatch && entry.batchWritable)) {
        if (const IniStatus writable = checkWritable(file, entry); writable != IniStatus::Ok) {
            if (inBatch && entry.batchStatus == IniStatus::Ok)
                entry.batchStatus = writable;
            return writable;
        }
        entry.batchWritable = inBatch;
    }
    switch (apply(entry.document)) {
    case IniDocument::Change::Refused:
        if (inBatch && entry.batchStatus == IniStatus::Ok)
            entry.batchStatus = IniStatus::BadText;
        return IniStatus::BadText;
    case IniDocument::Change::Unchanged:
        return IniStatus::Ok;
    case IniDocument::Change::Changed:
        break;
    }
    if (inBatch) {
        entry.dirty = true;
        return IniStatus::Ok;
    }
    return flush(file, entry);
}

IniStatus IniStore::SetValue(const QString &file, const QString &section, const QString &key, const QString &value)
{
    return change(file, [&](IniDocument &doc) { return doc.SetValue(section, key, value); });
}

IniStatus IniStore::RemoveKey(const QString &file, const QString &section, const QString &key)
{
    if (file.isEmpty())
        return IniStatus::EmptyPath;
    if (const Entry &entry = current(file); !entry.stamp.exists && !entry.dirty)
        return IniStatus::Ok; // nothing to remove, and nothing is created
    return change(file, [&](IniDocument &doc) { return doc.RemoveKey(section, key); });
}

IniStatus IniStore::RemoveSection(const QString &file, const QString &section)
{
    if (file.isEmpty())
        return IniStatus::EmptyPath;
    if (const Entry &entry = current(file); !entry.stamp.exists && !entry.dirty)
        return IniStatus::Ok;
    return change(file, [&](IniDocument &doc) { return doc.RemoveSection(section); });
}

IniStatus IniStore::Writable(const QString &file)
{
    if (file.isEmpty())
        return IniStatus::EmptyPath;
    return checkWritable(file, current(file));
}

IniStatus IniStore::Clear(const QString &file)
{
    if (file.isEmpty())
        return IniStatus::EmptyPath;
    const bool exists = current(file).stamp.exists;
    return change(file, [exists](IniDocument &doc) {
        if (exists && doc.IsEmpty())
            return IniDocument::Change::Unchanged;
        doc = IniDocument::Parse(QByteArrayView());
        return IniDocument::Change::Changed;
    });
}

ReadStatus IniStore::LastRead(const QString &file)
{
    if (file.isEmpty())
        return ReadStatus::Missing;
    const Entry &entry = current(file);
    if (entry.stamp.exists && !entry.stamp.regular)
        return ReadStatus::Unreadable;
    return entry.readStatus;
}

void IniStore::BeginBatch(const QString &file)
{
    auto &slot = entries_[file];
    if (!slot)
        slot = std::make_shared<Entry>();
    if (slot->batchDepth++ == 0) {
        slot->batchLoaded = false;
        slot->batchWritable = false;
        slot->dirty = false;
        slot->batchStatus = IniStatus::Ok;
    }
}

IniStatus IniStore::EndBatch(const QString &file)
{
    auto it = entries_.find(file);
    if (it == entries_.end() || it.value()->batchDepth == 0)
        return IniStatus::Ok;
    Entry &entry = *it.value();
    if (--entry.batchDepth > 0)
        return entry.batchStatus;
    entry.batchLoaded = false;
    entry.batchWritable = false;
    if (entry.dirty) {
        entry.dirty = false;
        // A failed final write matters more than a refused change: nothing reached the disk.
        if (const IniStatus written = flush(file, entry); written != IniStatus::Ok)
            return written;
    }
    return entry.batchStatus;
}

void IniStore::AbandonBatch(const QString &file)
{
    auto it = entries_.find(file);
    if (it == entries_.end() || it.value()->batchDepth == 0)
        return;
    Entry &entry = *it.value();
    entry.dirty = false;
    entry.loaded = false; // memory holds changes the disk never got
    entry.batchLoaded = false;
    if (--entry.batchDepth == 0)
        entry.batchWritable = false;
}

void IniStore::Reset()
{
    entries_.clear();
}

} // namespace platform
