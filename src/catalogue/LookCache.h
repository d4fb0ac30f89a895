#pragma once

#include "catalogue/ProjectScan.h"

#include <QString>

#include <memory>
#include <vector>

namespace catalogue {

// What the reader learnt from each .vbp of a catalogue (the executable it names, the sources it
// lists), kept between runs in the cache folder: at the next start a .vbp with the same size,
// times, inode and device costs one stat instead of an open, a read and a parse.
class LookCache {
public:
    // The file that keeps the looks of this catalogue.
    static QString FileFor(const QString &catalogue);
    // Tests keep it elsewhere; an empty path restores the default.
    static void SetFolderForTesting(const QString &folder);

    // Reads a cache file; empty for a missing, foreign, damaged or oversized one, for a link in its
    // place, and for one that others could write (the file's folder is kept at mode 0700). Any thread.
    static std::shared_ptr<const LookCache> Read(const QString &file);
    // Writes these looks in one replace of the file (mode 0600, in a folder of mode 0700; a link
    // in its place is replaced), leaving out .vbp files changed after notAfterNs (a time stamp
    // that close to the read may hide a later change). Any thread.
    static bool Write(const QString &file, std::vector<SourcesPtr> looks, qint64 notAfterNs);

    // The look kept for the .vbp at this path with this stamp; null when there is none, or the file
    // changed or was reached by another path (a look holds paths found from the project's folder).
    SourcesPtr Find(const QString &projectFile, const platform::FileStamp &stamp) const;
    qsizetype Size() const { return qsizetype(looks_.size()); }

private:
    std::vector<SourcesPtr> looks_; // by device and inode
};

} // namespace catalogue
