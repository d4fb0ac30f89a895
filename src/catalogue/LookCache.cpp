#include "catalogue/LookCache.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <tuple>

namespace catalogue {

namespace {

constexpr quint32 kMagic = 0x5a4c4b31; // "ZLK1"
constexpr quint32 kVersion = 2;

QString &overrideFolder()
{
    static QString folder;
    return folder;
}

auto place(const platform::FileStamp &s) { return std::tie(s.device, s.inode); }


} // namespace

QString LookCache::FileFor(const QString &catalogue)
{
    const QString folder = !overrideFolder().isEmpty()
                               ? overrideFolder()
                               : QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/looks");
    const QString path = QFileInfo(catalogue).absoluteFilePath();
    const QString hash =
        QString::fromLatin1(QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    return folder + u'/' + hash + QStringLiteral(".looks");
}

void LookCache::SetFolderForTesting(const QString &folder) { overrideFolder() = folder; }

std::shared_ptr<const LookCache> LookCache::Read(const QString &file)
{
    auto cache = std::make_shared<LookCache>();
    QFile in(file);
    // Only a regular file: a pipe or a device in its place must not block the reader.
    if (!QFileInfo(file).isFile() || !in.open(QIODevice::ReadOnly))
        return cache;
    QDataStream stream(&in);
    stream.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0, version = 0, count = 0;
    stream >> magic >> version >> count;
    if (stream.status() != QDataStream::Ok || magic != kMagic || version != kVersion)
        return cache;
    // A count the file cannot hold is damage; no more room than the file could fill is taken.
    cache->looks_.reserve(qMin<qsizetype>(count, in.size() / 40));
    for (quint32 i = 0; i < count; ++i) {
        auto look = std::make_shared<ProjectSources>();
        platform::FileStamp &s = look->stamp;
        QByteArray exe;
        bool inFolder = false;
        stream >> look->pathHash >> s.size >> s.modifiedNs >> s.changedNs >> s.inode >> s.device >> inFolder >> exe
            >> look->files;
        if (stream.status() != QDataStream::Ok)
            return std::make_shared<LookCache>();
        s.exists = s.regular = true;
        look->files.squeeze(); // read with room to grow; kept for every project
        look->exe = KeptPath::FromParts(QString::fromUtf8(exe), inFolder);
        cache->looks_.push_back(std::move(look));
    }
    const auto byPlace = [](const SourcesPtr &a, const SourcesPtr &b) { return place(a->stamp) < place(b->stamp); };
    if (!std::is_sorted(cache->looks_.begin(), cache->looks_.end(), byPlace))
        return std::make_shared<LookCache>();
    return cache;
}

bool LookCache::Write(const QString &file, std::vector<SourcesPtr> looks, qint64 notAfterNs)
{
    // Sorted where they are, with no second list: at a hundred thousand looks every copy counts.
    std::erase_if(looks, [notAfterNs](const SourcesPtr &look) {
        return !look || !look->stamp.regular || look->stamp.changedNs > notAfterNs || look->stamp.modifiedNs > notAfterNs;
    });
    std::sort(looks.begin(), looks.end(), [](const SourcesPtr &a, const SourcesPtr &b) { return place(a->stamp) < place(b->stamp); });
    // One look per file: two entries may name one .vbp.
    looks.erase(std::unique(looks.begin(), looks.end(),
                            [](const SourcesPtr &a, const SourcesPtr &b) { return place(a->stamp) == place(b->stamp); }),
                looks.end());
    if (!QDir().mkpath(QFileInfo(file).path()))
        return false;
    // Streamed to the file (a hundred thousand looks make some 15 MB). Nothing depends on the file
    // lasting through a crash: one cut short reads as damaged, and the next start reads the .vbp.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    QDataStream stream(&out);
    stream.setVersion(QDataStream::Qt_6_0);
    stream << kMagic << kVersion << quint32(looks.size());
    for (const SourcesPtr &look : looks) {
        const platform::FileStamp &s = look->stamp;
        stream << look->pathHash << s.size << s.modifiedNs << s.changedNs << s.inode << s.device << look->exe.InFolder()
               << look->exe.Text().toUtf8() << look->files;
    }
    return stream.status() == QDataStream::Ok && out.commit();
}

SourcesPtr LookCache::Find(const QString &projectFile, const platform::FileStamp &stamp) const
{
    const auto at = std::lower_bound(looks_.begin(), looks_.end(), stamp, [](const SourcesPtr &look, const platform::FileStamp &s) {
        return place(look->stamp) < place(s);
    });
    if (at == looks_.end() || !((*at)->stamp == stamp) || (*at)->pathHash != ProjectPathHash(projectFile))
        return nullptr;
    return *at;
}

} // namespace catalogue
