#include "platform/DirectoryEntry.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace platform {

bool IsVisibleEntry(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.exists() || !(info.isDir() || info.isFile()))
        return false;
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t *>(path.utf16()));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    return !(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
#else
    // Only the entry's own name counts, as with a hidden attribute.
    const QString name = QFileInfo(QDir::cleanPath(path)).fileName();
    return !(name.startsWith(u'.') && name != u"." && name != u"..");
#endif
}

} // namespace platform
