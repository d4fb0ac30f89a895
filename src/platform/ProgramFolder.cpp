#include "platform/ProgramFolder.h"

#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

QString &overrideFolder()
{
    static QString folder;
    return folder;
}

QStringList &overrideTrees()
{
    static QStringList trees;
    return trees;
}

#ifndef Q_OS_WIN
// Where packages and installs put programs; the build's own install prefix among them.
QStringList systemTrees()
{
    if (!overrideTrees().isEmpty())
        return overrideTrees();
    QStringList trees = {QStringLiteral("/usr"),   QStringLiteral("/opt"),   QStringLiteral("/bin"),
                         QStringLiteral("/sbin"),  QStringLiteral("/lib"),   QStringLiteral("/lib32"),
                         QStringLiteral("/lib64"), QStringLiteral("/libx32"), QStringLiteral("/snap"),
                         QStringLiteral("/nix/store"), QStringLiteral("/gnu/store")};
#ifdef ZARUN_INSTALL_PREFIX
    if (const QString prefix = QDir::cleanPath(QStringLiteral(ZARUN_INSTALL_PREFIX)); prefix != u'/')
        trees.append(prefix);
#endif
    return trees;
}

bool inTree(const QString &path, const QString &tree)
{
    // The tree as it is on disk too: /lib may be a link to /usr/lib.
    for (const QString &root : {QDir::cleanPath(tree), QFileInfo(tree).canonicalFilePath()}) {
        if (root.isEmpty())
            continue;
        if (path == root || path.startsWith(root.endsWith(u'/') ? root : root + u'/'))
            return true;
    }
    return false;
}
#endif

} // namespace

QString ExecutableFolder() { return QCoreApplication::applicationDirPath(); }

bool IsOwnProgramFolder(const QString &folder)
{
    if (folder.isEmpty() || !IsWritableFolder(folder))
        return false;
#ifndef Q_OS_WIN
    // Judged where the folder really is, whatever links lead there.
    const QString real = QFileInfo(folder).canonicalFilePath();
    struct stat st {};
    if (real.isEmpty() || ::stat(QFile::encodeName(real).constData(), &st) != 0)
        return false;
    const uid_t user = ::geteuid();
    if (st.st_uid != user)
        return false;
    if (user == 0) {
        for (const QString &tree : systemTrees())
            if (inTree(real, tree))
                return false;
    }
#endif
    return true;
}

QString ProgramFolderFor(const QString &executableFolder)
{
    if (IsOwnProgramFolder(executableFolder))
        return executableFolder;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);
    return config;
}

QString ProgramFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    static const QString folder = ProgramFolderFor(ExecutableFolder());
    return folder;
}

void SetProgramFolderForTesting(const QString &folder) { overrideFolder() = folder; }

void SetSystemTreesForTesting(const QStringList &trees) { overrideTrees() = trees; }

QString JoinPath(const QString &folder, const QString &fileName)
{
    return QDir::toNativeSeparators(folder + QLatin1Char('/') + fileName);
}

} // namespace platform
