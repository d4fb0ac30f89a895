#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Earlier versions of catalogues, kept so that a wrong step can be undone by hand.
namespace platform {

inline constexpr int kBackupsKept = 10;

// $XDG_STATE_HOME/ZARUN/backups, ~/.local/state/ZARUN/backups by default (in QStandardPaths'
// test mode under ~/.qttest/state).
QString BackupFolder();
// Tests point it elsewhere; an empty path restores the default.
void SetBackupFolderForTesting(const QString &folder);

// /home/me/src/Tools.zrd saved at 11:45:12.345 UTC on 1 May 2024 as its 42nd backup ->
// "Tools_2024-05-01_11-45-12-345Z_000042_src-1a2b3c4d.zrd": the catalogue's name, the time in UTC,
// the sequence number, then the name of its folder and a short hash of its whole path, which keep
// apart catalogues of the same name in different folders. Names are cut by UTF-8 bytes so that the
// whole fits the 255 bytes a file name may have. Backups are ordered by their sequence (one more
// than the highest there is), never by the clock; those of earlier versions, named by local time
// ("Tools_2024-05-01_13-45-12-345_src-1a2b3c4d.zrd"), count as older than any numbered one.
QString BackupFileName(const QString &file, const QDateTime &time, qint64 sequence);

// Keeps bytes (the content the file is about to lose) as its newest backup. The file is the one
// at the end of its links. False when nothing could be stored.
bool KeepBackup(const QString &file, QByteArrayView bytes);
// The same for the file as it is on disk now, just before a write replaces it: without a copy
// where the backup folder lies on the file's file system, unless the write goes into the file
// itself (writtenInPlace), which a second name for it would not survive.
bool KeepBackupOfFile(const QString &file, qint64 maxBytes, bool writtenInPlace);
// Once the write that made the newest backup has replaced the file (a failed write leaves every
// backup), removes all but the newest kBackupsKept backups of it, on a worker thread: the user
// waits for the change, not for the tidying.
void PruneBackupsLater(const QString &file);

// The backups of the file, oldest first.
QStringList BackupsOf(const QString &file);

// The backup folder the first time in this run that a backup could not be stored; null after that.
QString TakeBackupFailure();
// Tests start each case as a new run would.
void ResetBackupFailureForTesting();

} // namespace platform
