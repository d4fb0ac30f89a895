#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

// The rules of the file dialog wrapper that need no window: the filter forms,
// the file-name buffer and the error numbers. cCommonDlg (zarun_ui) applies them.
namespace support {

// Option bits of the Windows file dialogs, as the callers pass them.
namespace ofn {
inline constexpr quint32 ReadOnly = 0x00000001;
inline constexpr quint32 OverwritePrompt = 0x00000002;
inline constexpr quint32 HideReadOnly = 0x00000004;
inline constexpr quint32 NoChangeDir = 0x00000008;
inline constexpr quint32 AllowMultiSelect = 0x00000200;
inline constexpr quint32 PathMustExist = 0x00000800;
inline constexpr quint32 FileMustExist = 0x00001000;
inline constexpr quint32 CreatePrompt = 0x00002000;
inline constexpr quint32 Explorer = 0x00080000;
inline constexpr quint32 LongNames = 0x00200000;
} // namespace ofn

// Error numbers, in the numbering of ErrDescription's table.
namespace dlgerr {
inline constexpr qint32 None = 0;
inline constexpr qint32 DialogFailure = -32768;
inline constexpr qint32 BufferTooSmall = 20476;
inline constexpr qint32 InvalidFileName = 20477;
} // namespace dlgerr

inline constexpr qint16 ActionOpen = 1;
inline constexpr qint16 ActionSave = 2;

// One entry of the dialog's file-type list.
struct FilterPair {
    QString description;
    QStringList patterns; // never empty: a missing pattern means every file ("*")
    bool operator==(const FilterPair &) const = default;
};

// The caller's "desc|pattern|desc|pattern" text in the platform's form: every
// "|" becomes NUL and the result ends with a NUL.
QString PlatformFilter(const QString &filter);

// The pairs the platform reads from its filter form: items in twos, up to the
// first empty description; an empty or missing pattern stands for every file;
// patterns are separated by ";".
QList<FilterPair> FilterPairs(const QString &platformFilter);

// A pair as a Qt name filter: "description (pattern pattern)".
QString NameFilter(const FilterPair &pair);

// The 0-based entry the dialog preselects for a 1-based filter index; the
// first entry when the index names none (0 included), -1 when the list is empty.
int SelectedFilter(qint32 filterIndex, qsizetype pairCount);

// Bytes a name takes in the file-name buffer (code page 932, without its NUL).
qsizetype BufferLength(const QString &text);

// The proposed name as it fits the buffer: at most maxFileSize - 1 bytes, cut
// between characters. Empty when the buffer has no room (maxFileSize < 2).
QString ProposedFileName(const QString &fileName, qint32 maxFileSize);

// What a finished dialog hands back.
struct DialogResult {
    bool ok = false;          // false: the dialog failed, treated like a cancel
    qint32 errNumber = 0;     // dlgerr number when !ok
    QString fileName;         // one path, or "folder NUL name NUL name" for several
    QString fileTitle;        // the chosen file's name for one file, else empty
};

// Builds the result of a dialog from the chosen paths (absolute, any separator).
// Several paths need multiSelect; they are given as the folder they share and
// their names relative to it, each part separated by one NUL. A result that does
// not fit maxFileSize (each part with its NUL, plus one NUL for several) fails
// with BufferTooSmall; no path, an empty or NUL-holding path, or several paths
// without multiSelect fail with InvalidFileName.
DialogResult ChosenFiles(const QStringList &paths, bool multiSelect, qint32 maxFileSize);

// The Japanese message for an error number; "未知のｴﾗｰです。" for any other.
QString ErrDescription(qint32 number);

// A file's size as the file list shows it: whole kilobytes (1024 bytes), rounded up, with the
// locale's digit grouping ("0 KB", "1 KB", "1,206 KB"); empty for a size that is not one.
QString FileSizeText(qint64 bytes, const QLocale &locale);

// Everything a file dialog is set up with, as cCommonDlg hands it to the dialog
// (or to a test's answerer).
struct FileDialogRequest {
    qint16 action = ActionOpen;   // ActionOpen or ActionSave
    QString title;                // DialogTitle
    QString initialFolder;        // InitDir
    QString proposedName;         // FileName, already cut to the buffer
    QList<FilterPair> filters;
    int selectedFilter = -1;      // index into filters
    quint32 flags = 0;
    QString defaultSuffix;        // DefaultExt without NULs and leading dot; empty for none
    qint32 maxFileSize = 255;

    bool multiSelect() const { return action == ActionOpen && (flags & ofn::AllowMultiSelect); }
};

} // namespace support
