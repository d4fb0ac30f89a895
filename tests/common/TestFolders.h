#pragma once

#include "catalogue/LookCache.h"
#include "platform/Backups.h"
#include "tooling/IdeBuild.h"

#include <QStandardPaths>
#include <QTemporaryDir>

// QStandardPaths' test mode, and catalogue backups, build logs and kept looks in folders that go with the test:
// in the test area of the home folder every run would leave its own.
inline void UseTestFolders()
{
    QStandardPaths::setTestModeEnabled(true);
    static QTemporaryDir backups;
    platform::SetBackupFolderForTesting(backups.path());
    static QTemporaryDir logs;
    tooling::SetBuildLogFolderForTesting(logs.path());
    static QTemporaryDir looks;
    catalogue::LookCache::SetFolderForTesting(looks.path());
}
