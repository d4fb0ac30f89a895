#pragma once

#include "platform/Backups.h"

#include <QStandardPaths>
#include <QTemporaryDir>

// QStandardPaths' test mode, and catalogue backups in a folder that goes with the test: in the
// test area of the home folder every run would leave its own.
inline void UseTestFolders()
{
    QStandardPaths::setTestModeEnabled(true);
    static QTemporaryDir backups;
    platform::SetBackupFolderForTesting(backups.path());
}
