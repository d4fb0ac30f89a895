#include "tooling/ProjectActions.h"

#include "catalogue/ProjectScan.h"
#include "platform/DesktopAssociation.h"
#include "platform/DirectoryEntry.h"
#include "platform/ProcessStart.h"
#include "platform/Wine.h"
#include "tooling/IdeCommand.h"
#include "tooling/UserInterface.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace tooling {

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

bool start(const QStringList &arguments, const QString &workingDirectory)
{
    return !arguments.isEmpty() && platform::StartDetached(arguments.first(), arguments.mid(1), workingDirectory);
}

// How a Windows program is started: with the Wine (and its environment) of the IDE command,
// else with the desktop's program for its type, else with wine from PATH. Empty when none.
QStringList windowsProgramArguments(const QString &program)
{
    const idecommand::Command ide = idecommand::Parse(mMain::VbIdePath);
    if (QStringList arguments = idecommand::WineRunArguments(ide, program); !arguments.isEmpty())
        return arguments;
    const idecommand::Command associated = idecommand::Parse(platform::DefaultApplicationCommand(program));
    if (associated.valid)
        return idecommand::OpenArguments(associated, program, mMain::WinePathConverter(associated));
    const QString wine = platform::WineOnPath();
    if (!wine.isEmpty())
        return {wine, program};
    return {};
}

} // namespace

bool OpenTarget(const QString &target)
{
    // "https:", "mailto:" ...: a scheme of two characters or more, so "C:\x" stays a path.
    static const QRegularExpression address(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (!address.match(target).hasMatch() && !mFunction::FileExists(target)) {
        ui::Current().Message(target + QStringLiteral(" が存在しません。"));
        return false;
    }
    if (mFunction::ShellOpen(target) > 32)
        return true;
    ui::Current().Message(target + QStringLiteral(" を開くﾌﾟﾛｸﾞﾗﾑがないか、起動できませんでした。"));
    return false;
}

void OpenSource(const QString &projectFile)
{
    if (!projectFilePresent(projectFile))
        return;
    if (mMain::VbIdePath.isEmpty()) {
        OpenTarget(projectFile);
        return;
    }
    const idecommand::Command ide = idecommand::Parse(mMain::VbIdePath);
    if (ide.substitution) {
        ui::Current().Message(mMain::VbIdePath + mMain::SubstitutionText());
        return;
    }
    if (!start(idecommand::OpenArguments(ide, projectFile, mMain::WinePathConverter(ide)), QDir::currentPath()))
        ui::Current().Message(QStringLiteral("ﾌﾟﾛｸﾞﾗﾑ  ") + mMain::VbIdePath + QStringLiteral("  を起動できません。"));
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
    OpenTarget(folder);
}

void RunExe(const QString &exePath)
{
    if (exePath.isEmpty()) {
        ui::Current().Message(QStringLiteral("実行ﾌｧｲﾙが設定されていません。"));
        return;
    }
    // An absolute path, so that a bare file name is never looked up in PATH; found ignoring letter
    // case, as Windows finds it (CASEP.EXE for CaseP.exe).
    QString program = QFileInfo(exePath).absoluteFilePath();
    if (!mFunction::FileExists(program))
        catalogue::CaseFolding().Stat(program, &program);
    if (!mFunction::FileExists(program)) {
        ui::Current().Message(QStringLiteral("実行ﾌｧｲﾙ  ") + exePath + QStringLiteral("  が見つかりません。"));
        return;
    }
    // What the IDE builds is a Windows program; anything else named so (a script called App.exe)
    // is not started, least of all as a program of this system.
    if (!platform::IsWindowsExecutable(program)) {
        ui::Current().Message(QStringLiteral("実行ﾌｧｲﾙ  ") + exePath
                              + QStringLiteral("  はWindowsのﾌﾟﾛｸﾞﾗﾑ(PE形式)ではないため、起動しません。"));
        return;
    }
    const QStringList arguments = windowsProgramArguments(program);
    if (arguments.isEmpty()) {
        ui::Current().Message(QStringLiteral("実行ﾌｧｲﾙ  ") + exePath
                              + QStringLiteral("  はWindowsのﾌﾟﾛｸﾞﾗﾑです。起動するにはWineが必要ですが、見つかりません。"));
        return;
    }
    // A Windows program finds its files beside itself, as when started from Explorer.
    if (!start(arguments, QFileInfo(program).absolutePath()))
        ui::Current().Message(QStringLiteral("実行ﾌｧｲﾙ  ") + exePath + QStringLiteral("  を起動できません。"));
}

void MakeExecutable(const QString &projectFile) { MakeExecutableFor(projectFile, {}); }

void MakeExecutableFor(const QString &projectFile, const std::weak_ptr<catalogue::ProjectRecord> &record)
{
    if (projectFilePresent(projectFile))
        mMain::MakeExe(projectFile, record);
}

} // namespace tooling
