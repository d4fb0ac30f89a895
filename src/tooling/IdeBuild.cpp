#include "tooling/IdeBuild.h"

#include "catalogue/ProjectReader.h"
#include "catalogue/cVbAnalyze.h"
#include "platform/FileSystem.h"
#include "platform/ProcessStart.h"
#include "tooling/IdeCommand.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace tooling {

namespace {

QString &overrideFolder()
{
    static QString folder;
    return folder;
}

// Every build under way hangs here, whichever window or run started it.
QObject &followed()
{
    static QObject *holder = new QObject; // lives as long as the program: its builds outlive it
    return *holder;
}

// A file name part safe on Linux and for a Windows program under Wine, cut to a sane length.
QString namePart(const QString &text)
{
    constexpr qsizetype kLength = 60;
    QString out;
    for (const QChar c : text) {
        if (out.size() >= kLength && !c.isLowSurrogate())
            break;
        out += (c.unicode() < 0x20 || QStringView(u"\\/:*?\"<>|").contains(c)) ? u'_' : c;
    }
    // Windows drops a trailing dot or blank from a name.
    while (out.endsWith(u'.') || out.endsWith(u' '))
        out.chop(1);
    return out;
}

} // namespace

QString BuildLogFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/builds");
}

void SetBuildLogFolderForTesting(const QString &folder) { overrideFolder() = folder; }

QString BuildLogOf(const QString &projectFile)
{
    const QFileInfo info(projectFile);
    const QString path = info.absoluteFilePath();
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(8));
    const QString name = namePart(info.completeBaseName());
    const QString folder = namePart(info.absoluteDir().dirName());
    QString file = name.isEmpty() ? QStringLiteral("project") : name;
    if (!folder.isEmpty())
        file += u'_' + folder;
    return BuildLogFolder() + u'/' + file + u'-' + hash + QStringLiteral(".log");
}

IdeBuild::IdeBuild(const std::weak_ptr<catalogue::ProjectRecord> &record)
    : QObject(&followed()), record_(record)
{
}

IdeBuild::Started IdeBuild::Start(const QString &projectFile, const std::weak_ptr<catalogue::ProjectRecord> &record)
{
    const QString &ideCommand = mMain::VbIdePath;
    const IdeCommand::Command command = IdeCommand::Parse(ideCommand);
    if (const IdeCommand::Refusal refusal = IdeCommand::BuildRefusal(command); refusal != IdeCommand::Refusal::None)
        return {nullptr, mMain::BuildRefusalMessage(ideCommand, refusal)};
    if (const auto shared = record.lock(); shared && shared->building)
        return {nullptr, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ  ") + projectFile + QStringLiteral("  の実行ﾌｧｲﾙは作成中です。")};

    // Without a log folder the build goes on without a log: the IDE then shows its messages itself.
    QString log = BuildLogOf(projectFile);
    if (QDir().mkpath(BuildLogFolder())) {
        QFile::remove(log); // a log left from an earlier build would be taken for this one's
    } else {
        log.clear();
    }
    // The project path and the switches stay single arguments, whatever the paths hold.
    const QStringList arguments =
        IdeCommand::BuildArguments(command, projectFile, mMain::WinePathConverter(command), log).arguments;

    auto *build = new IdeBuild(record);
    // The row knows its executable once the background reader has been there: no second read.
    const auto known = record.lock();
    build->exe_ = known && known->exeKnown && !known->exe.IsEmpty() ? known->Exe() : mMain::GetProjectExe(projectFile);
    build->exeBaseNs_ = platform::StatFile(build->exe_).modifiedNs;
    build->process_ = new platform::ChildProcess(build);
    if (arguments.isEmpty()
        || !build->process_->Start(arguments.first(), arguments.mid(1), QDir::currentPath())) {
        delete build;
        return {nullptr, QStringLiteral("ﾌﾟﾛｸﾞﾗﾑ  ") + ideCommand + QStringLiteral("  を起動できません。")};
    }
    connect(build->process_, &platform::ChildProcess::Finished, build, &IdeBuild::ended);
    catalogue::ProjectReader::Instance().BuildStarted(record, build->exeBaseNs_);
    return {build, QString()};
}

int IdeBuild::Running() { return int(followed().findChildren<IdeBuild *>(Qt::FindDirectChildrenOnly).size()); }

void IdeBuild::Stop() { process_->Stop(); }

void IdeBuild::ended(bool succeeded)
{
    catalogue::ProjectReader::Instance().BuildFinished(record_, succeeded);
    const platform::FileStamp exe = platform::StatFile(exe_);
    const bool built = succeeded && exe.exists && exe.modifiedNs > exeBaseNs_;
    // Gone from the count before anyone hears of the end.
    setParent(nullptr);
    deleteLater();
    Q_EMIT Finished(built);
}

} // namespace tooling
