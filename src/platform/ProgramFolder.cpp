#include "platform/ProgramFolder.h"

#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace platform {

namespace {

QString &overrideFolder()
{
    static QString folder;
    return folder;
}

} // namespace

QString ExecutableFolder() { return QCoreApplication::applicationDirPath(); }

QString ProgramFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    static const QString folder = [] {
        const QString exe = ExecutableFolder();
        if (IsWritableFolder(exe))
            return exe;
        const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QDir().mkpath(config);
        return config;
    }();
    return folder;
}

void SetProgramFolderForTesting(const QString &folder) { overrideFolder() = folder; }

QString JoinPath(const QString &folder, const QString &fileName)
{
    return QDir::toNativeSeparators(folder + QLatin1Char('/') + fileName);
}

} // namespace platform
