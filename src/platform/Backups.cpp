#include "platform/Backups.h"

#include "platform/FileSystem.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThreadPool>

#include <algorithm>
#include <functional>

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

// Names are cut so that a backup's name stays within the 255 bytes a file name may have.
QString cut(const QString &text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    return text.first(text[length - 1].isHighSurrogate() ? length - 1 : length);
}

struct NameParts {
    QString prefix; // "Tools_"
    QString suffix; // "_src-1a2b3c4d.zrd"
};

NameParts nameParts(const QString &file)
{
    const QFileInfo info(file);
    QString path = info.canonicalFilePath();
    if (path.isEmpty())
        path = info.absoluteFilePath();
    const QFileInfo canonical(path);
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(8));
    const QString folder = cut(canonical.dir().dirName(), 40);
    const QString extension = canonical.suffix();
    return {cut(canonical.completeBaseName(), 80) + u'_',
            u'_' + (folder.isEmpty() ? hash : folder + u'-' + hash)
                + (extension.isEmpty() ? QString() : u'.' + cut(extension, 20))};
}

bool isTime(QStringView text)
{
    if (text.size() != kTimeLength)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool digit = text[i].isDigit();
        const bool separator = i == 4 || i == 7 || i == 10 || i == 13 || i == 16 || i == 19;
        if (digit == separator)
            return false;
    }
    return true;
}

QStringList backupsIn(const QString &folder, const NameParts &parts)
{
    // Names only: nothing of the others in the folder is looked at.
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (name.size() == parts.prefix.size() + kTimeLength + parts.suffix.size() && name.startsWith(parts.prefix)
            && name.endsWith(parts.suffix) && isTime(QStringView(name).sliced(parts.prefix.size(), kTimeLength)))
            found.append(name);
    }
    found.sort();
    return found; // by name, which is by time
}

QString nameAt(const NameParts &parts, const QDateTime &time)
{
    return parts.prefix + time.toString(QLatin1String(kTimeFormat)) + parts.suffix;
}

} // namespace

QString BackupFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return stateHome() + QStringLiteral("/ZARUN/backups");
}

void SetBackupFolderForTesting(const QString &folder) { overrideFolder() = folder; }

QString BackupFileName(const QString &file, const QDateTime &time) { return nameAt(nameParts(file), time); }

QStringList BackupsOf(const QString &file)
{
    const QString folder = BackupFolder();
    QStringList paths;
    for (const QString &name : backupsIn(folder, nameParts(file)))
        paths.append(folder + u'/' + name);
    return paths;
}

namespace {

// Stores the newest backup of the file through store(path).
bool keep(const QString &file, const std::function<bool(const QString &)> &store)
{
    const QString folder = BackupFolder();
    if (!QFileInfo(folder).isDir()) {
        if (!QDir().mkpath(folder))
            return false;
        // Catalogues can name private places; their history is the user's alone.
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const NameParts parts = nameParts(file);
    // Two saves within one millisecond: the later one takes the next free millisecond.
    QDateTime time = QDateTime::currentDateTime();
    for (int attempt = 0; attempt < 1000; ++attempt, time = time.addMSecs(1)) {
        const QString path = folder + u'/' + nameAt(parts, time);
        if (QFileInfo::exists(path))
            continue;
        return store(path);
    }
    return false;
}

void prune(const QString &folder, const QString &file)
{
    const QStringList backups = backupsIn(folder, nameParts(file));
    for (qsizetype i = 0; i + kBackupsKept < backups.size(); ++i)
        QFile::remove(folder + u'/' + backups[i]);
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
    QThreadPool::globalInstance()->start([folder = BackupFolder(), file] { prune(folder, file); });
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
