#include "catalogue/LookCache.h"

#include "platform/PrivateFile.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>
#include <optional>

namespace catalogue {

namespace {

constexpr quint32 kMagic = 0x5a4c4b31; // "ZLK1"
constexpr quint32 kVersion = 4; // 4: the references' registry tag and what was missing
// Magic, version, the file's size and the checksum of what follows them.
constexpr qint64 kHeaderBytes = 4 + 4 + 8 + 8;
// A hundred thousand looks make some 15 MB: anything near this is no file of ours.
constexpr qint64 kMaxBytes = 128 * 1024 * 1024;
// The least a look takes: hash, five stamp fields, a flag, two empty byte arrays, a tag and a
// third empty byte array.
constexpr qint64 kMinLookBytes = 8 + 5 * 8 + 1 + 4 + 4 + 4 + 4;

QString &overrideFolder()
{
    static QString folder;
    return folder;
}

auto place(const platform::FileStamp &s) { return std::pair(s.device, s.inode); }
auto place(const SourcesPtr &look) { return look->Place(); }

// Eight bytes a step, the same whatever pieces the bytes come in.
class Checksum {
public:
    void Add(const char *data, qsizetype size)
    {
        length_ += quint64(size);
        for (; size > 0 && pending_ > 0; --size)
            take(*data++);
        for (; size >= 8; data += 8, size -= 8)
            sum_ = step(sum_, qFromLittleEndian<quint64>(data));
        for (; size > 0; --size)
            take(*data++);
    }
    // The bytes short of a word count as padded with zeros, which the length tells apart.
    quint64 Value() const { return step(step(sum_, word_), length_); }

private:
    // One-to-one in both the sum and the word: no single changed word goes unseen.
    static quint64 step(quint64 sum, quint64 word) { return (((sum << 5) | (sum >> 59)) ^ word) * 0x9e3779b97f4a7c15ULL; }
    void take(char c)
    {
        word_ |= quint64(uchar(c)) << (8 * pending_);
        if (++pending_ == 8) {
            sum_ = step(sum_, word_);
            word_ = 0;
            pending_ = 0;
        }
    }
    quint64 sum_ = 0;
    quint64 word_ = 0;
    int pending_ = 0;
    quint64 length_ = 0;
};

// Of the bytes from the file's position to its end, read in blocks: a damaged file is found
// before any look is made from it, and a large one is never held whole.
std::optional<quint64> checksumOfRest(QFile &file)
{
    Checksum sum;
    QByteArray block(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(block.data(), block.size());
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return sum.Value();
        sum.Add(block.constData(), n);
    }
}

// A byte array as QDataStream writes it (its length, all ones for a null one, then its bytes),
// into a buffer that keeps its room.
void readBytes(QDataStream &stream, qint64 fileSize, QByteArray &into, bool &null)
{
    quint32 length = 0;
    stream >> length;
    null = length == 0xffffffffU;
    if (stream.status() != QDataStream::Ok || null) {
        into.resize(0);
        return;
    }
    if (qint64(length) > fileSize) {
        stream.setStatus(QDataStream::ReadCorruptData);
        return;
    }
    into.resize(qsizetype(length));
    if (stream.readRawData(into.data(), int(length)) != int(length))
        stream.setStatus(QDataStream::ReadPastEnd);
}

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
    // Never through a link, never a pipe, and the size is known before anything is read.
    QFile in;
    if (!platform::OpenPrivateFile(file, kMaxBytes, &in))
        return cache;
    const qint64 size = in.size();
    QDataStream stream(&in);
    stream.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0, version = 0;
    quint64 written = 0, checksum = 0;
    stream >> magic >> version >> written >> checksum;
    if (stream.status() != QDataStream::Ok || magic != kMagic || version != kVersion || written != quint64(size))
        return cache;
    // Streamed twice, the second time from the page cache: nothing is made of a damaged file.
    if (checksumOfRest(in) != checksum || !in.seek(kHeaderBytes))
        return cache;
    quint32 count = 0;
    stream >> count;
    if (stream.status() != QDataStream::Ok || count > (size - kHeaderBytes) / kMinLookBytes)
        return cache;
    cache->looks_.reserve(count);
    // The texts are read into buffers used again for every look, and each look is made only when
    // read whole: no short-lived allocation between the kept ones, which would leave the heap in holes.
    QByteArray exe, files, missing;
    for (quint32 i = 0; i < count; ++i) {
        platform::FileStamp s;
        quint64 pathHash = 0;
        quint32 referenceTag = 0;
        bool inFolder = false;
        bool exeNull = false, unused = false;
        stream >> pathHash >> s.size >> s.modifiedNs >> s.changedNs >> s.inode >> s.device >> inFolder;
        readBytes(stream, size, exe, exeNull);
        readBytes(stream, size, files, unused);
        stream >> referenceTag;
        readBytes(stream, size, missing, unused);
        // One look per file, in order: Find depends on it.
        if (stream.status() != QDataStream::Ok
            || (!cache->looks_.empty() && !(place(cache->looks_.back()) < place(s))))
            return std::make_shared<LookCache>();
        auto look = std::make_shared<ProjectSources>();
        look->pathHash = pathHash;
        look->referenceTag = referenceTag;
        look->SetStamp(s);
        look->SetTexts(KeptPath::FromParts(exeNull ? QByteArray() : exe, inFolder), files, missing);
        cache->looks_.push_back(std::move(look));
    }
    if (!in.atEnd())
        return std::make_shared<LookCache>();
    return cache;
}

bool LookCache::Write(const QString &file, std::vector<SourcesPtr> looks, qint64 notAfterNs)
{
    // Sorted where they are, with no second list: at a hundred thousand looks every copy counts.
    std::erase_if(looks, [notAfterNs](const SourcesPtr &look) {
        return !look || look->Stamp().changedNs > notAfterNs || look->Stamp().modifiedNs > notAfterNs;
    });
    std::sort(looks.begin(), looks.end(), [](const SourcesPtr &a, const SourcesPtr &b) { return place(a) < place(b); });
    // One look per file: two entries may name one .vbp.
    looks.erase(std::unique(looks.begin(), looks.end(),
                            [](const SourcesPtr &a, const SourcesPtr &b) { return place(a) == place(b); }),
                looks.end());
    // Streamed to a new file that then takes the name: a link there is replaced, not written
    // through (it may lead to a catalogue). Nothing depends on the file lasting through a crash:
    // one cut short reads as damaged, and the next start reads the .vbp files.
    return platform::ReplacePrivateFile(file, [&looks](QFile &out) {
        QDataStream stream(&out);
        stream.setVersion(QDataStream::Qt_6_0);
        stream << kMagic << kVersion << quint64(0) << quint64(0) << quint32(looks.size());
        for (const SourcesPtr &look : looks) {
            const platform::FileStamp s = look->Stamp();
            stream << look->pathHash << s.size << s.modifiedNs << s.changedNs << s.inode << s.device
                   << look->exe.InFolder() << look->exe.Text().toUtf8() << look->Files().toByteArray()
                   << look->referenceTag
                   << look->Missing().toByteArray();
            if (out.pos() > kMaxBytes)
                return false; // it would be refused when read
        }
        if (stream.status() != QDataStream::Ok || !out.flush() || !out.seek(kHeaderBytes))
            return false;
        const qint64 size = out.size();
        const std::optional<quint64> checksum = checksumOfRest(out);
        if (!checksum || !out.seek(0))
            return false;
        stream << kMagic << kVersion << quint64(size) << *checksum;
        return stream.status() == QDataStream::Ok;
    });
}

SourcesPtr LookCache::Find(const QString &projectFile, const platform::FileStamp &stamp) const
{
    const auto at = std::lower_bound(looks_.begin(), looks_.end(), stamp, [](const SourcesPtr &look, const platform::FileStamp &s) {
        return place(look) < place(s);
    });
    if (at == looks_.end() || !((*at)->Stamp() == stamp) || (*at)->pathHash != ProjectPathHash(projectFile))
        return nullptr;
    return *at;
}

} // namespace catalogue
