#include "tooling/mFunction.h"

#include "platform/DesktopAssociation.h"

#include <QDir>
#include <QFileInfo>

namespace mFunction {

namespace {

bool isSeparator(QChar c, PathStyle style)
{
    return style == PathStyle::Windows ? (c == u'\\' || c == u'/') : c == u'/';
}

} // namespace

bool FileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

QString GetFolderName(const QString &path) { return GetFolderName(path, platform::kNativePathStyle); }

QString GetFolderName(const QString &path, PathStyle style)
{
    if (style == PathStyle::Posix) {
        const qsizetype slash = path.lastIndexOf(u'/');
        if (slash < 0)
            return QString();
        return slash == 0 ? QStringLiteral("/") : path.left(slash);
    }
    // Only the rightmost "\" or ":" counts.
    QString result;
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (path[i] == u'\\') {
            result = path.left(i);
            break;
        }
        if (path[i] == u':') {
            result = path.left(i + 1) + u'\\';
            break;
        }
    }
    if (result.size() == 1)
        result += u'\\';
    return result;
}

QString GetFileName(const QString &path) { return GetFileName(path, platform::kNativePathStyle); }

QString GetFileName(const QString &path, PathStyle style)
{
    // A separator counts only when something other than a separator follows it.
    qsizetype start = 0;
    for (qsizetype i = 0; i + 1 < path.size(); ++i) {
        const QChar c = path[i];
        const bool separator = isSeparator(c, style) || (style == PathStyle::Windows && c == u':');
        if (separator && !isSeparator(path[i + 1], style))
            start = i + 1;
    }
    return path.mid(start);
}

QString UnquotePath(const QString &text)
{
    if (text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"'))
        return text.mid(1, text.size() - 2);
    return QStringLiteral("");
}

QString GetExtension(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot < 0 ? QStringLiteral("") : path.mid(dot + 1);
}

qint32 ShellOpen(const QString &target)
{
    // The shell's "open" reports success as a value above 32.
    return platform::OpenWithDefaultHandler(target) ? 33 : 0;
}

QString FindAssociatedExe(const QString &folder, const QString &fileName)
{
    if (fileName.isEmpty())
        return QStringLiteral("");
    const QString file = folder.isEmpty() ? fileName : QDir(folder).filePath(fileName);
    // The lookup is for an existing file only.
    if (!QFileInfo(file).isFile())
        return QStringLiteral("");
    return platform::DefaultApplicationCommand(file);
}

} // namespace mFunction
