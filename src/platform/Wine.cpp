#include "platform/Wine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include <pwd.h>
#endif

namespace platform {

bool IsEnvironmentAssignment(const QString &word)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*="));
    return name.match(word).hasMatch();
}

namespace {

// The home folder of a user named in "~user"; empty when there is no such user.
QString homeOf(const QString &user)
{
    if (user.isEmpty())
        return QDir::homePath();
#ifndef Q_OS_WIN
    struct passwd entry {};
    struct passwd *found = nullptr;
    char buffer[4096];
    if (::getpwnam_r(QFile::encodeName(user).constData(), &entry, buffer, sizeof buffer, &found) == 0 && found
        && found->pw_dir)
        return QFile::decodeName(found->pw_dir);
#endif
    return QString();
}

// "~" or "~user" at the start of part, up to its first slash.
QString expandTilde(const QString &part)
{
    if (!part.startsWith(u'~'))
        return part;
    const qsizetype slash = part.indexOf(u'/');
    const QString home = homeOf(part.mid(1, slash < 0 ? -1 : slash - 1));
    if (home.isEmpty())
        return part;
    return home + (slash < 0 ? QString() : part.mid(slash));
}

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

QString ExpandHomeInAssignment(const QString &word)
{
    const qsizetype equals = word.indexOf(u'=');
    if (equals < 0)
        return word;
    // A shell expands a tilde at the start of the value and after each colon (PATH-like values).
    QStringList parts = word.mid(equals + 1).split(u':');
    for (QString &part : parts)
        part = expandTilde(part);
    QString value = parts.join(u':');
    const QString home = QDir::homePath();
    value.replace(QStringLiteral("${HOME}"), home);
    static const QRegularExpression variable(QStringLiteral("\\$HOME(?![A-Za-z0-9_])"));
    value.replace(variable, home);
    return word.left(equals + 1) + value;
}

QProcessEnvironment EnvironmentWith(const QStringList &words)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &word : words) {
        if (IsEnvironmentAssignment(word)) {
            const qsizetype equals = word.indexOf(u'=');
            environment.insert(word.left(equals), word.mid(equals + 1));
        }
    }
    return environment;
}

QString WinePrefixOf(const QStringList &wineCommand) { return winePrefix(EnvironmentWith(wineCommand)); }

QString UnixPathForWine(const QStringList &wineCommand, const QString &windowsPath)
{
    if (windowsPath.startsWith(u'/'))
        return windowsPath;
    static const QRegularExpression drivePath(QStringLiteral("^([A-Za-z]):[\\\\/]?(.*)$"));
    const QRegularExpressionMatch match = drivePath.match(windowsPath);
    if (!match.hasMatch())
        return QString();
    const QString prefix = WinePrefixOf(wineCommand);
    const QFileInfo drive(QDir(prefix).filePath(QStringLiteral("dosdevices/") + match.captured(1).toLower() + u':'));
    const QString folder = drive.canonicalFilePath();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return QString();
    QString rest = match.captured(2);
    rest.replace(u'\\', u'/');
    return QDir::cleanPath(folder + u'/' + rest);
}

int WindowsExecutableBits(const QString &path)
{
    if (!IsWindowsExecutable(path))
        return 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray header = file.read(64);
    const quint32 offset = quint32(uchar(header[60])) | quint32(uchar(header[61])) << 8
                           | quint32(uchar(header[62])) << 16 | quint32(uchar(header[63])) << 24;
    // The COFF header's machine follows the signature.
    if (!file.seek(offset + 4))
        return 0;
    const QByteArray machine = file.read(2);
    if (machine.size() < 2)
        return 0;
    switch (quint16(uchar(machine[0]) | uchar(machine[1]) << 8)) {
    case 0x014c: // i386
    case 0x01c4: // ARM Thumb-2
        return 32;
    case 0x8664: // x86-64
    case 0xaa64: // ARM64
        return 64;
    default:
        return 0;
    }
}

bool WineRuns32Bit(const QStringList &wineCommand)
{
    if (wineCommand.isEmpty())
        return false;
    // A prefix with 32-bit Windows: beside the 64-bit one, or alone (WINEARCH=win32).
    const QDir windows(QDir(WinePrefixOf(wineCommand)).filePath(QStringLiteral("drive_c/windows")));
    if (QFileInfo(windows.filePath(QStringLiteral("syswow64/ntdll.dll"))).isFile()
        || WindowsExecutableBits(windows.filePath(QStringLiteral("system32/ntdll.dll"))) == 32)
        return true;
    QString program = wineCommand.last();
    if (!program.contains(u'/'))
        program = QStandardPaths::findExecutable(program);
    if (program.isEmpty())
        return false;
    // The loader itself, or the 32-bit one beside a 64-bit one or behind a wrapper script
    // (Debian: /usr/bin/wine runs /usr/lib/wine/wine when wine32 is installed).
    const QString folder = QFileInfo(program).absolutePath();
    const QStringList candidates = {program, folder + QStringLiteral("/wine"), folder + QStringLiteral("/../lib/wine/wine"),
                                    folder + QStringLiteral("/../lib/wine/i386-unix/wine"),
                                    folder + QStringLiteral("/../lib32/wine/wine")};
    for (const QString &candidate : candidates) {
        QFile file(candidate);
        // An ELF file of class 1 (32-bit).
        if (QFileInfo(candidate).isFile() && file.open(QIODevice::ReadOnly) && file.read(5) == QByteArray("\x7f" "ELF\x01"))
            return true;
    }
    return false;
}

bool IsWindowsExecutable(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // The DOS header's last field points at the PE signature; a DOS program or a file that only
    // starts with MZ is nothing Wine runs as a Windows program.
    const QByteArray header = file.read(64);
    if (header.size() < 64 || !header.startsWith("MZ"))
        return false;
    const quint32 offset = quint32(uchar(header[60])) | quint32(uchar(header[61])) << 8
                           | quint32(uchar(header[62])) << 16 | quint32(uchar(header[63])) << 24;
    if (offset < 64 || offset > file.size() - 4 || !file.seek(offset))
        return false;
    return file.read(4) == QByteArray("PE\0\0", 4);
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
    // A prefix not made yet has no drives: the default mapping is all there will be.
    const QString prefix = WinePrefixOf(wineCommand.mid(0, wineCommand.size() - 1));
    if (!QFileInfo(QDir(prefix).filePath(QStringLiteral("system.reg"))).isFile())
        return fallback;
    const QString through = pathThroughDrives(prefix, unixPath);
    return through.isEmpty() ? fallback : through;
}

QString WineOnPath() { return QStandardPaths::findExecutable(QStringLiteral("wine")); }

} // namespace platform
