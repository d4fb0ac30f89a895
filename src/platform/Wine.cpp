#include "platform/Wine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>

namespace platform {

bool IsEnvironmentAssignment(const QString &word)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*="));
    return name.match(word).hasMatch();
}

namespace {

// The prefix that Wine would use with these assignments.
QString winePrefix(const QProcessEnvironment &environment)
{
    const QString prefix = environment.value(QStringLiteral("WINEPREFIX"));
    if (!prefix.isEmpty())
        return prefix;
    return QDir::home().filePath(QStringLiteral(".wine"));
}

// The path through the prefix's drives; empty when none of them holds it.
QString pathThroughDrives(const QString &prefix, const QString &unixPath)
{
    // Each drive by the folder it leads to; of two drives on one folder the first letter counts.
    QHash<QString, QChar> drives;
    const QDir devices(QDir(prefix).filePath(QStringLiteral("dosdevices")));
    for (char16_t letter = u'a'; letter <= u'z'; ++letter) {
        const QFileInfo link(devices.filePath(QString(QChar(letter)) + u':'));
        const QString folder = link.canonicalFilePath();
        if (!folder.isEmpty() && QFileInfo(folder).isDir() && !drives.contains(folder))
            drives.insert(folder, QChar(letter).toUpper());
    }
    if (drives.isEmpty())
        return {};
    // As Wine does: the path's folders from the deepest up, each by where it leads; the rest of
    // the path as written.
    const QString path = QDir::cleanPath(QFileInfo(unixPath).absoluteFilePath());
    for (QString folder = path;;) {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (const auto drive = drives.constFind(canonical); !canonical.isEmpty() && drive != drives.constEnd()) {
            QString rest = path.mid(folder.size());
            if (rest.startsWith(u'/'))
                rest.remove(0, 1);
            return *drive + QStringLiteral(":\\") + rest.replace(u'/', u'\\');
        }
        if (folder == u'/')
            return {};
        const qsizetype slash = folder.lastIndexOf(u'/');
        folder = slash <= 0 ? QStringLiteral("/") : folder.left(slash);
    }
}

} // namespace

bool IsWindowsExecutable(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

QString WineDriveZPath(const QString &unixPath)
{
    return QStringLiteral("Z:") + QFileInfo(unixPath).absoluteFilePath().replace(u'/', u'\\');
}

QString WindowsPathForWine(const QStringList &wineCommand, const QString &unixPath)
{
    const QString fallback = WineDriveZPath(unixPath);
    if (wineCommand.isEmpty())
        return fallback;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &word : wineCommand.mid(0, wineCommand.size() - 1)) {
        if (IsEnvironmentAssignment(word)) {
            const qsizetype equals = word.indexOf(u'=');
            environment.insert(word.left(equals), word.mid(equals + 1));
        }
    }
    // A prefix not made yet has no drives: the default mapping is all there will be.
    const QString prefix = winePrefix(environment);
    if (!QFileInfo(QDir(prefix).filePath(QStringLiteral("system.reg"))).isFile())
        return fallback;
    const QString through = pathThroughDrives(prefix, unixPath);
    return through.isEmpty() ? fallback : through;
}

QString WineOnPath() { return QStandardPaths::findExecutable(QStringLiteral("wine")); }

} // namespace platform
