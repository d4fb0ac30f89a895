#include "tooling/ProjectActions.h"

#include "platform/DirectoryEntry.h"
#include "platform/ProcessStart.h"
#include "tooling/UserInterface.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include <QDir>
#include <QFileInfo>

namespace ProjectActions {

namespace {

// The project file's messages serve both the open and the make command.
bool projectFilePresent(const QString &projectFile)
{
    if (projectFile.isEmpty()) {
        ui::Current().Message(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙが設定されていません。"));
        return false;
    }
    if (!mFunction::FileExists(projectFile)) {
        ui::Current().Message(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ　") + projectFile + QStringLiteral("　が見つかりません。"));
        return false;
    }
    return true;
}

} // namespace

void OpenSource(const QString &projectFile)
{
    if (projectFilePresent(projectFile))
        mFunction::ShellOpen(projectFile);
}

void OpenFolder(const QString &folder)
{
    if (folder.isEmpty()) {
        ui::Current().Message(QStringLiteral("ﾌｫﾙﾀﾞが設定されていません。"));
        return;
    }
    if (!platform::IsVisibleEntry(folder)) {
        ui::Current().Message(QStringLiteral("ﾌｫﾙﾀﾞ　") + folder + QStringLiteral("  が見つかりません"));
        return;
    }
    mFunction::ShellOpen(folder);
}

void RunExe(const QString &exePath)
{
    if (exePath.isEmpty()) {
        ui::Current().Message(QStringLiteral("実行ﾌｧｲﾙが設定されていません。"));
        return;
    }
    if (!mFunction::FileExists(exePath)) {
        ui::Current().Message(QStringLiteral("実行ﾌｧｲﾙ  ") + exePath + QStringLiteral("  が見つかりません。"));
        return;
    }
    // An absolute path, so that a bare file name is never looked up in PATH.
    const QString program = QFileInfo(exePath).absoluteFilePath();
    if (!platform::StartDetached(program, {}, QDir::currentPath()))
        ui::Current().Message(QStringLiteral("実行ﾌｧｲﾙ  ") + exePath + QStringLiteral("  を起動できません。"));
}

void MakeExecutable(const QString &projectFile)
{
    if (projectFilePresent(projectFile))
        mMain::MakeExe(projectFile);
}

} // namespace ProjectActions
