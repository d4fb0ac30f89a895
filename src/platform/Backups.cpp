#include "platform/Backups.h"

#include "platform/FileSystem.h"
#include "platform/OffThread.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

#include <algorithm>
#include <functional>
#include <utility>

namespace platform {

namespace {

QString &overrideFolder()
{
    static QString folder;
    return folder;
}

QString stateHome()
{
#ifdef Q_OS_WIN
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
    // Qt 6.4 knows no state location; the XDG rules, and the test area as Qt's test mode has it.
    if (QStandardPaths::isTestModeEnabled())
        return QDir::homePath() + QStringLiteral("/.qttest/state");
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    if (QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.local/state");
#endif
}

constexpr char kTimeFormat[] = "yyyy-MM-dd_HH-mm-ss-zzz";
constexpr qsizetype kTimeLength = 23;
// "<UTC time>Z_<sequence>": the sequence, one more than the highest of the catalogue's backups,
// orders them whatever the clock did. Written with at least six digits, read with at most fifteen.
constexpr int kSequenceWidth = 6;
constexpr qsizetype kMaxSequenceDigits = 15;
constexpr qint64 kMaxSequence = 999'999'999'999'999;

// Cut by UTF-8 bytes, never inside a character: a backup's name must fit the 255 bytes a file
// name may have, whatever script the catalogue's name is in.
QString cutToBytes(const QString &text, qsizetype maxBytes)
{
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char16_t c = text[i].unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const qsizetype length = pair ? 4 : c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (bytes + length > maxBytes)
            break;
        bytes += length;
        i += pair ? 2 : 1;
    }
    return text.first(i);
}

// How earlier versions cut names: by characters. Only to find the backups they made.
QString cutToCharacters(const QString &text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    return text.first(text[length - 1].isHighSurrogate() ? length - 1 : length);
}

struct NameParts {
    QString prefix; // "Tools_"
    QString suffix; // "_src-1a2b3c4d.zrd"
};

struct Names {
    NameParts current;
    NameParts earlier; // as versions that named backups by local time cut the names
};

// At most 121 + 40 + 71 bytes: room to spare within 255.
Names namesOf(const QString &file)
{
    const QFileInfo info(file);
    QString path = info.canonicalFilePath();
    if (path.isEmpty())
        path = info.absoluteFilePath();
    const QFileInfo canonical(path);
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(8));
    const auto parts = [&](const std::function<QString(const QString &, qsizetype)> &cut, qsizetype baseLength) {
        const QString folder = cut(canonical.dir().dirName(), 40);
        const QString extension = canonical.suffix();
        return NameParts{cut(canonical.completeBaseName(), baseLength) + u'_',
                         u'_' + (folder.isEmpty() ? hash : folder + u'-' + hash)
                             + (extension.isEmpty() ? QString() : u'.' + cut(extension, 20))};
    };
    return {parts(cutToBytes, 120), parts(cutToCharacters, 80)};
}

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

bool isTime(QStringView text)
{
    if (text.size() != kTimeLength)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool separator = i == 4 || i == 7 || i == 10 || i == 13 || i == 16 || i == 19;
        if (isAsciiDigit(text[i]) == separator)
            return false;
    }
    return true;
}

// The sequence of "<time>Z_<sequence>"; -1 when the text is not that.
qint64 sequenceIn(QStringView middle)
{
    if (middle.size() < kTimeLength + 3 || !isTime(middle.first(kTimeLength)) || middle[kTimeLength] != u'Z'
        || middle[kTimeLength + 1] != u'_')
        return -1;
    const QStringView digits = middle.sliced(kTimeLength + 2);
    if (digits.size() > kMaxSequenceDigits || !std::all_of(digits.begin(), digits.end(), isAsciiDigit))
        return -1;
    return digits.toLongLong();
}

// The middle of name between the parts, when name has them.
bool middleOf(const QString &name, const NameParts &parts, QStringView *middle)
{
    if (name.size() <= parts.prefix.size() + parts.suffix.size() || !name.startsWith(parts.prefix)
        || !name.endsWith(parts.suffix))
        return false;
    *middle = QStringView(name).sliced(parts.prefix.size(), name.size() - parts.prefix.size() - parts.suffix.size());
    return true;
}

struct Backup {
    QString name;
    qint64 sequence; // 0: named by local time by an earlier version, older than any numbered one
};

QList<Backup> backupsIn(const QString &folder, const Names &names)
{
    // Names only: nothing of the others in the folder is looked at.
    QList<Backup> found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        QStringView middle;
        if (middleOf(name, names.current, &middle)) {
            if (const qint64 sequence = sequenceIn(middle); sequence >= 0) {
                found.append({name, sequence});
                continue;
            }
        }
        if (middleOf(name, names.earlier, &middle) && isTime(middle))
            found.append({name, 0});
    }
    std::sort(found.begin(), found.end(), [](const Backup &a, const Backup &b) {
        return a.sequence != b.sequence ? a.sequence < b.sequence : a.name < b.name;
    });
    return found; // oldest first
}

QString nameAt(const NameParts &parts, const QDateTime &time, qint64 sequence)
{
    return parts.prefix + time.toUTC().toString(QLatin1String(kTimeFormat)) + QStringLiteral("Z_")
        + QString::number(sequence).rightJustified(kSequenceWidth, u'0') + parts.suffix;
}

// The user is told once per run that backups cannot be kept, not at every change.
struct FailureNotice {
    QMutex lock;
    bool noted = false;
    QString folder; // until taken
};

FailureNotice &failureNotice()
{
    static FailureNotice notice;
    return notice;
}

void noteFailure(const QString &folder)
{
    FailureNotice &notice = failureNotice();
    const QMutexLocker locker(&notice.lock);
    if (notice.noted)
        return;
    notice.noted = true;
    notice.folder = folder;
}

} // namespace

QString BackupFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return stateHome() + QStringLiteral("/ZARUN/backups");
}

void SetBackupFolderForTesting(const QString &folder) { overrideFolder() = folder; }

QString BackupFileName(const QString &file, const QDateTime &time, qint64 sequence)
{
    return nameAt(namesOf(file).current, time, sequence);
}

QStringList BackupsOf(const QString &file)
{
    const QString folder = BackupFolder();
    QStringList paths;
    for (const Backup &backup : backupsIn(folder, namesOf(file)))
        paths.append(folder + u'/' + backup.name);
    return paths;
}

QString TakeBackupFailure()
{
    FailureNotice &notice = failureNotice();
    const QMutexLocker locker(&notice.lock);
    return std::exchange(notice.folder, QString());
}

void ResetBackupFailureForTesting()
{
    FailureNotice &notice = failureNotice();
    const QMutexLocker locker(&notice.lock);
    notice.noted = false;
    notice.folder = QString();
}

namespace {

bool taken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool storeNewest(const QString &folder, const QString &file, const std::function<bool(const QString &)> &store)
{
    if (!QFileInfo(folder).isDir()) {
        if (!QDir().mkpath(folder))
            return false;
        // Catalogues can name private places; their history is the user's alone.
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const Names names = namesOf(file);
    const QList<Backup> existing = backupsIn(folder, names);
    qint64 sequence = existing.isEmpty() ? 1 : existing.back().sequence + 1;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // Another instance saving the same catalogue may take a number first: the next one then.
    for (int attempt = 0; attempt < 100 && sequence <= kMaxSequence; ++attempt, ++sequence) {
        const QString path = folder + u'/' + nameAt(names.current, now, sequence);
        if (taken(path))
            continue;
        if (store(path))
            return true;
        if (!taken(path))
            return false;
    }
    return false;
}

// Stores the newest backup of the file through store(path).
bool keep(const QString &file, const std::function<bool(const QString &)> &store)
{
    const QString folder = BackupFolder();
    if (storeNewest(folder, file, store))
        return true;
    noteFailure(folder);
    return false;
}

void prune(const QString &folder, const QString &file)
{
    // The newest, the one just made among them, stay: the order is by sequence, not by the clock.
    const QList<Backup> backups = backupsIn(folder, namesOf(file));
    for (qsizetype i = 0; i + kBackupsKept < backups.size(); ++i)
        QFile::remove(folder + u'/' + backups[i].name);
}

} // namespace

bool KeepBackup(const QString &file, QByteArrayView bytes)
{
    return keep(file, [&](const QString &path) { return WriteCopyFile(path, bytes); });
}

void PruneBackupsLater(const QString &file)
{
    // The application waits for this pool before it ends. Two tidyings at once each keep the newest
    // of what they saw, and backups only come newer, so none removes one too many.
    Workers().start([folder = BackupFolder(), file] { prune(folder, file); });
}

bool KeepBackupOfFile(const QString &file, qint64 maxBytes, bool writtenInPlace)
{
    return keep(file, [&](const QString &path) {
        // A write by rename leaves the old file as it is, so a second name for it is the backup.
        // A write in place changes that very file: a copy then, as for another file system.
        if (!writtenInPlace && LinkFile(file, path))
            return true;
        QByteArray bytes;
        return ReadWholeFile(file, maxBytes, &bytes) == ReadStatus::Ok && WriteCopyFile(path, bytes);
    });
}

} // namespace platform
