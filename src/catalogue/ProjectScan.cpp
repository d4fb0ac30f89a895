#include "catalogue/ProjectScan.h"

#include "catalogue/LookCache.h"
#include "catalogue/ReferenceCheck.h"
#include "catalogue/SourceList.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include <QDirIterator>
#include <QStringTokenizer>

#include <cstring>

namespace catalogue {

namespace {

QString folded(const QString &name) { return name.toCaseFolded(); }

QString parentOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// The project file's text up to its last separator, whatever the path style: a prefix of it.
qsizetype folderPrefixSize(const QString &projectFile)
{
    for (qsizetype i = projectFile.size() - 1; i >= 0; --i)
        if (projectFile[i] == u'/' || projectFile[i] == u'\\')
            return i + 1;
    return 0;
}

} // namespace

KeptPath::KeptPath(const QString &projectFile, const QString &path) : null_(path.isNull())
{
    const qsizetype prefix = folderPrefixSize(projectFile);
    inFolder_ = prefix > 0 && path.size() > prefix && QStringView(path).first(prefix) == QStringView(projectFile).first(prefix);
    bytes_ = (inFolder_ ? QStringView(path).sliced(prefix) : QStringView(path)).toUtf8();
    bytes_.squeeze(); // made with room for three bytes a character
    size_ = quint32(bytes_.size());
}

KeptPath KeptPath::FromParts(const QByteArray &utf8, bool inFolder)
{
    KeptPath kept;
    kept.bytes_ = utf8;
    kept.size_ = quint32(utf8.size());
    kept.inFolder_ = inFolder;
    kept.null_ = utf8.isNull();
    return kept;
}

KeptPath KeptPath::WithTail(QByteArrayView tail, QByteArrayView more) const
{
    KeptPath kept = *this;
    kept.bytes_ = QByteArray(qsizetype(size_) + tail.size() + more.size(), Qt::Uninitialized);
    char *out = kept.bytes_.data();
    for (const QByteArrayView piece : {Utf8(), tail, more}) {
        if (!piece.isEmpty())
            std::memcpy(out, piece.data(), size_t(piece.size()));
        out += piece.size();
    }
    return kept;
}

QString KeptPath::In(const QString &projectFile) const
{
    if (projectFile_)
        return projectFile;
    if (!inFolder_)
        return Text();
    const qsizetype prefix = folderPrefixSize(projectFile);
    const QString text = Text();
    QString path;
    path.reserve(prefix + text.size());
    path.append(QStringView(projectFile).first(prefix));
    path.append(text);
    return path;
}

platform::FileStamp ProjectSources::Stamp() const
{
    platform::FileStamp stamp;
    stamp.exists = stamp.regular = true;
    stamp.size = size_;
    stamp.modifiedNs = modifiedNs_;
    stamp.changedNs = changedNs_;
    stamp.inode = inode_;
    stamp.device = device_;
    return stamp;
}

void ProjectSources::SetStamp(const platform::FileStamp &stamp)
{
    size_ = stamp.size;
    modifiedNs_ = stamp.modifiedNs;
    changedNs_ = stamp.changedNs;
    inode_ = stamp.inode;
    device_ = stamp.device;
}

void ProjectSources::SetTexts(const KeptPath &exePath, QByteArrayView files, QByteArrayView missing)
{
    exe = exePath.WithTail(files, missing);
    filesSize_ = quint32(files.size());
}

QString CaseFolding::find(const QString &folder, const QString &name, bool mayList)
{
    auto listing = listings_.find(folder);
    if (listing == listings_.end()) {
        if (!mayList)
            return QString();
        QHash<QString, QString> names;
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            names.insert(folded(it.fileName()), it.fileName());
        }
        listing = listings_.insert(folder, names);
    }
    return listing->value(folded(name));
}

QString CaseFolding::resolveFolder(const QString &folder, int depth)
{
    if (folder == u'/' || depth > 64)
        return folder;
    if (auto known = folders_.constFind(folder); known != folders_.constEnd())
        return *known;
    QString onDisk;
    const platform::FileStamp stamp = platform::StatFile(folder);
    if (stamp.exists) {
        onDisk = folder;
    } else {
        const QString parent = resolveFolder(parentOf(folder), depth + 1);
        if (!parent.isEmpty()) {
            const QString name = find(parent, folder.mid(folder.lastIndexOf(u'/') + 1));
            if (!name.isEmpty())
                onDisk = parent.endsWith(u'/') ? parent + name : parent + u'/' + name;
        }
    }
    folders_.insert(folder, onDisk);
    return onDisk;
}

platform::FileStamp CaseFolding::Stat(const QString &path, QString *found, bool mayList)
{
    if (found)
        *found = path;
    platform::FileStamp stamp = platform::StatFile(path);
    // Only a case-sensitive file system needs the second look.
    if (stamp.exists || platform::kNativePathStyle != PathStyle::Posix || !path.startsWith(u'/'))
        return stamp;
    const QString folder = mayList ? resolveFolder(parentOf(path), 0) : parentOf(path);
    if (folder.isEmpty())
        return stamp;
    const QString name = find(folder, path.mid(path.lastIndexOf(u'/') + 1), mayList);
    if (name.isEmpty())
        return stamp;
    const QString onDisk = folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
    if (found)
        *found = onDisk;
    return platform::StatFile(onDisk);
}

namespace {

QChar separator() { return platform::kNativePathStyle == PathStyle::Windows ? u'\\' : u'/'; }

QString &failingRead()
{
    static QString path;
    return path;
}

bool isPlainName(QStringView name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c == u':')
            return false;
    }
    return true;
}

bool isAbsolute(QStringView path)
{
    return path.startsWith(u'/') || path.startsWith(u'\\') || (path.size() >= 2 && path[1] == u':');
}

// Calls take(path, companion) for every file a kept list stands for, each source followed by its
// companion when it has one, until it says stop.
template <typename Take>
void forEachFile(const QString &projectFile, QByteArrayView kept, Take take)
{
    const QString folder = mFunction::GetFolderName(projectFile);
    const QString files = QString::fromUtf8(kept);
    for (const QStringView line : QStringTokenizer(files, u'\n', Qt::SkipEmptyParts)) {
        const QString path = isAbsolute(line) ? line.toString() : folder + separator() + line.toString();
        if (!take(path, false))
            return;
        if (const QString companion = CompanionOf(path); !companion.isEmpty() && !take(companion, true))
            return;
    }
}

bool isAsciiBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

QByteArrayView trimmedAscii(QByteArrayView text)
{
    while (!text.isEmpty() && isAsciiBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isAsciiBlank(text.back()))
        text.chop(1);
    return text;
}

// A bare ASCII file name as CleanedSourceValue would give it, without decoding; null for anything else.
QByteArrayView plainAsciiName(QByteArrayView value)
{
    value = trimmedAscii(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = trimmedAscii(value.sliced(1, value.size() - 2));
    if (value.isEmpty() || value == "." || value == "..")
        return {};
    for (const char c : value)
        if (uchar(c) >= 0x80 || c == '/' || c == '\\' || c == ':' || c == '"')
            return {};
    return value;
}

} // namespace

QByteArray SourceFilesOf(const QString &projectFile, QByteArrayView vbp)
{
    QByteArray files;
    files.reserve(256); // one allocation for most lists; squeezed below
    const auto add = [&files](QByteArrayView utf8) {
        if (!files.isEmpty())
            files += '\n';
        files += utf8;
    };
    ForEachSourceValue(vbp, [&](QByteArrayView value) {
        // Most projects list bare ASCII names beside the .vbp: nothing to decode or resolve.
        if (const QByteArrayView name = plainAsciiName(value); !name.isNull()) {
            add(name);
            return;
        }
        const QString written = CleanedSourceValue(value);
        if (written.isEmpty())
            return;
        if (isPlainName(written)) {
            add(written.toUtf8());
            return;
        }
        const QString folder = mFunction::GetFolderName(projectFile);
        const QString path = SourcePath(folder, written, platform::kNativePathStyle);
        if (path.isEmpty())
            return;
        const QString inside = folder + separator();
        add((path.startsWith(inside) && !folder.isEmpty() ? QStringView(path).sliced(inside.size()) : QStringView(path)).toUtf8());
    });
    return files; // copied into the look's block, whose size is exact
}

QStringList SourcePathsOf(const QString &projectFile, const ProjectSources &sources)
{
    QStringList paths;
    forEachFile(projectFile, sources.Files(), [&](const QString &path, bool) {
        paths.append(path);
        return true;
    });
    return paths;
}

QStringList SourceFoldersOf(const QString &projectFile, const ProjectSources &sources)
{
    QStringList written;
    forEachFile(projectFile, sources.Files(), [&](const QString &path, bool) {
        if (const QString folder = mFunction::GetFolderName(path); !written.contains(folder))
            written.append(folder);
        return true;
    });
    // A folder listed in another letter case (forms\ for Forms/) is watched where it is on disk.
    CaseFolding folding;
    QStringList folders;
    for (const QString &folder : written) {
        QString onDisk;
        folding.Stat(folder, &onDisk);
        if (!folders.contains(onDisk))
            folders.append(onDisk);
    }
    return folders;
}

void FailProjectReadsForTesting(const QString &projectFile) { failingRead() = projectFile; }

quint64 ProjectPathHash(const QString &projectFile)
{
    quint64 hash = 0xcbf29ce484222325ULL; // FNV-1a over the UTF-16 units
    for (const QChar c : projectFile)
        hash = (hash ^ c.unicode()) * 0x100000001b3ULL;
    return hash;
}

ScanResult ScanProject(const QString &projectFile, const QString &knownExe, const SourcesPtr &previous,
                       CaseFolding *folding, const LookCache *cache, const ReferenceLookup *references)
{
    ScanResult result;
    if (projectFile.isEmpty()) {
        result.state = ProjectState::VbpMissing;
        return result;
    }
    // A .vbp unchanged since it was read costs one stat; a changed one is read again.
    platform::FileStamp stamp;
    if (previous || (cache && cache->Size() > 0)) {
        stamp = platform::StatFile(projectFile);
        const SourcesPtr known = previous ? previous : cache->Find(projectFile, stamp);
        if (stamp.regular && known && stamp == known->Stamp()
            && (!references
                || (known->referenceTag == references->tag
                    && (!known->HasMissing() || !NamesMissingFile(known->Missing())))))
            result.sources = known;
    }
    QString wholeExe;
    if (!result.sources) {
        QByteArray bytes;
        switch (platform::ReadSmallFile(projectFile, mMain::kMaxProjectFileBytes, &bytes, &stamp)) {
        case platform::FileKind::Missing:
            result.state = ProjectState::VbpMissing;
            return result;
        case platform::FileKind::Other:
            // A folder or device named like a project: no project, an executable by the name alone.
            result.exe = KeptPath(projectFile, mMain::ProjectExeFrom(projectFile, std::nullopt, platform::kNativePathStyle));
            result.state = ProjectState::VbpMissing;
            return result;
        case platform::FileKind::Regular:
            break;
        }
        if (!failingRead().isEmpty() && failingRead() == projectFile)
            bytes.clear(); // what the read gives on a disk error
        // Bytes the stat saw but the read did not give: a failed read says nothing about the
        // project, and what it did not say must not be kept as if it had.
        if (bytes.isEmpty() && stamp.size > 0)
            return result;
        result.read = true;
        auto sources = std::make_shared<ProjectSources>();
        sources->SetStamp(stamp);
        sources->pathHash = ProjectPathHash(projectFile);
        wholeExe = mMain::ProjectExeFrom(projectFile, mMain::ProjectValueIn(bytes, mMain::ProjectKey::ExeName32),
                                         platform::kNativePathStyle);
        QByteArray missing;
        if (references && references->check) {
            sources->referenceTag = references->tag;
            missing = references->check->MissingIn(bytes).join(u'\n').toUtf8();
        }
        sources->SetTexts(KeptPath(projectFile, wholeExe), SourceFilesOf(projectFile, bytes), missing);
        result.sources = std::move(sources);
    } else {
        wholeExe = result.sources->exe.In(projectFile);
    }
    result.exe = result.sources->exe;

    const QString exe = knownExe.isNull() ? wholeExe : knownExe;
    CaseFolding local;
    CaseFolding &lookup = folding ? *folding : local;
    // The IDE under Wine writes the executable in whatever case it finds on disk (CASEP.EXE for
    // CaseP.exe), as Windows would.
    const platform::FileStamp exeStamp = lookup.Stat(exe);
    const bool exeThere = exeStamp.regular;
    if (exeThere)
        result.exeModifiedNs = exeStamp.modifiedNs;
    qint64 newest = stamp.modifiedNs;
    QString statusFile;
    if (exeThere && newest > exeStamp.modifiedNs)
        statusFile = projectFile;
    QString onDisk;
    QString sourceOnDisk;
    QString missingSource;
    forEachFile(projectFile, result.sources->Files(), [&](const QString &file, bool companion) {
        // Once out of date (or without an executable) only a missing source can change the status.
        const bool timesMatter = exeThere && statusFile.isEmpty();
        if (companion && !timesMatter)
            return true;
        // A companion lies beside its source as found on disk; it is often missing, so it is
        // looked for ignoring case only in a folder listed for its source already.
        const platform::FileStamp source =
            companion ? lookup.Stat(CompanionOf(sourceOnDisk), &onDisk, false) : lookup.Stat(file, &onDisk);
        if (!companion) {
            sourceOnDisk = onDisk;
            if (!source.exists) {
                missingSource = file;
                return false;
            }
        }
        if (timesMatter && source.exists && source.modifiedNs > newest) {
            newest = source.modifiedNs;
            if (newest > exeStamp.modifiedNs)
                statusFile = onDisk;
        }
        return true;
    });
    if (!missingSource.isEmpty()) {
        result.state = ProjectState::SourceMissing;
        result.statusFile = KeptPath(projectFile, missingSource);
        return result;
    }
    // Most often the .vbp itself, saved after the build: kept as a mark, not as text.
    if (statusFile == projectFile)
        result.statusFile = KeptPath::OfProjectFile();
    else if (!statusFile.isEmpty())
        result.statusFile = KeptPath(projectFile, statusFile);
    if (!exeThere) {
        result.state = StatusFrom(true, std::nullopt, 0);
        return result;
    }
    result.state = StatusFrom(true, exeStamp.modifiedNs, newest);
    return result;
}

} // namespace catalogue
