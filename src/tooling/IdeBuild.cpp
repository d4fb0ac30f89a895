#include "tooling/IdeBuild.h"

#include "catalogue/ProjectScan.h"
#include "catalogue/cVbAnalyze.h"
#include "platform/FileSystem.h"
#include "platform/ProcessStart.h"
#include "platform/TextCodec.h"
#include "platform/Wine.h"
#include "tooling/IdeCommand.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>

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

QString BuildOutputOf(const QString &projectFile) { return BuildLogOf(projectFile) + QStringLiteral(".out"); }

namespace {

// Where the IDE's and Wine's own output (standard output and error) goes during the build.
QString consoleOf(const QString &log) { return log + QStringLiteral(".console"); }

const QString kIdePage = QStringLiteral("ZARUN 設定の「IDE」");

// The variable that gives the IDE its code page under Wine, and its value.
std::pair<QString, QString> decidingLocale(const QProcessEnvironment &environment)
{
    for (const QString &name : {QStringLiteral("LC_ALL"), QStringLiteral("LC_CTYPE"), QStringLiteral("LANG")}) {
        if (const QString value = environment.value(name); !value.isEmpty())
            return {name, value};
    }
    return {QStringLiteral("LANG"), QString()};
}

// Locales for which Wine gives Windows programs code page 1252; other code pages are not judged.
bool westernLocale(const QString &locale)
{
    static const QStringList languages = {QStringLiteral("C"),  QStringLiteral("POSIX"), QStringLiteral("en"),
                                          QStringLiteral("de"), QStringLiteral("fr"),    QStringLiteral("es"),
                                          QStringLiteral("it"), QStringLiteral("pt"),    QStringLiteral("nl"),
                                          QStringLiteral("sv"), QStringLiteral("da"),    QStringLiteral("nb"),
                                          QStringLiteral("nn"), QStringLiteral("no"),    QStringLiteral("fi")};
    const QString language = locale.section(u'.', 0, 0).section(u'@', 0, 0).section(u'_', 0, 0);
    return locale.isEmpty() || languages.contains(language);
}

bool cp1252CanHold(QStringView text)
{
    static const QStringView extras = u"\u20AC\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152"
                                      u"\u017D\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A"
                                      u"\u0153\u017E\u0178";
    for (const QChar c : text) {
        if (c.unicode() < 0x80 || (c.unicode() >= 0xA0 && c.unicode() <= 0xFF) || extras.contains(c))
            continue;
        return false;
    }
    return true;
}

// Text past this size is not kept in the log: Wine can be told to trace everything.
constexpr qint64 kMaxLogPartBytes = 4 * 1024 * 1024;

QByteArray readPart(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    // The end tells most: the last error.
    if (file.size() > kMaxLogPartBytes)
        file.seek(file.size() - kMaxLogPartBytes);
    return file.read(kMaxLogPartBytes);
}

} // namespace

QString LikelyFailureCause(const idecommand::Command &command, const QString &projectFile)
{
    // No shell reads the command, so a "~" left in a value (a user not known here) stays a "~".
    for (const QString &assignment : idecommand::Environment(command)) {
        if (assignment.mid(assignment.indexOf(u'=') + 1).startsWith(u'~'))
            return QStringLiteral("IDEのｺﾏﾝﾄﾞの環境変数  ") + assignment
                   + QStringLiteral("  の ~ はﾎｰﾑﾌｫﾙﾀﾞに置き換えられません。ﾌｫﾙﾀﾞをﾌﾙﾊﾟｽで指定してください（")
                   + kIdePage + QStringLiteral("）。");
    }
    const QStringList wine = idecommand::WineWords(command);
    if (wine.isEmpty())
        return QString();
    const QString ide = idecommand::WineProgram(command);
    if (const QString file = platform::UnixPathForWine(wine, ide); !file.isEmpty()) {
        // Wine finds it ignoring letter case, as Windows does.
        QString onDisk;
        const platform::FileStamp stamp = catalogue::CaseFolding().Stat(file, &onDisk);
        if (!stamp.regular)
            return QStringLiteral("IDE  ") + ide + QStringLiteral("  がWineのﾌﾟﾚﾌｨｯｸｽ  ") + platform::WinePrefixOf(wine)
                   + QStringLiteral("  にありません（") + file + QStringLiteral("）。") + kIdePage
                   + QStringLiteral("でIDEのﾊﾟｽと WINEPREFIX を確認してください。");
        if (platform::WindowsExecutableBits(onDisk) == 32 && !platform::WineRuns32Bit(wine))
            return QStringLiteral("IDE  ") + ide
                   + QStringLiteral("  は32ﾋﾞｯﾄのﾌﾟﾛｸﾞﾗﾑですが、このWineは32ﾋﾞｯﾄのﾌﾟﾛｸﾞﾗﾑを実行できません。"
                                    "32ﾋﾞｯﾄのWineをｲﾝｽﾄｰﾙしてください（Debian: sudo dpkg --add-architecture i386、"
                                    "sudo apt update、sudo apt install wine32:i386）。");
    }
    // An ANSI IDE gets the path in the code page of Wine's locale: "My ?? Projects" otherwise.
    const auto [variable, locale] = decidingLocale(platform::EnvironmentWith(wine));
    if (locale.startsWith(QStringLiteral("ja")) || !westernLocale(locale))
        return QString();
    const QString windowsPath = mMain::WinePathConverter(command)(projectFile);
    if (cp1252CanHold(windowsPath))
        return QString();
    // Said without the path: a category's summary tells it once for all such projects.
    return QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙのﾊﾟｽに、IDEのｺｰﾄﾞﾍﾟｰｼﾞで表せない文字（日本語など）があります。"
                          "IDEには ? として渡ります。IDEのｺﾏﾝﾄﾞで日本語のﾛｹｰﾙを設定してください（")
           + kIdePage + QStringLiteral("。例: env ") + variable + QStringLiteral("=ja_JP.UTF-8 wine \"C:\\VB98\\VB6.EXE\"）。");
}

QString BuildFailureMessage(const QString &projectFile, const QString &cause)
{
    return QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ  ") + projectFile + QStringLiteral("  の実行ﾌｧｲﾙを作成できませんでした。\n\n")
           + (cause.isEmpty() ? QStringLiteral("IDEのﾒｯｾｰｼﾞはﾋﾞﾙﾄﾞﾛｸﾞにあります（ﾌﾟﾛｼﾞｪｸﾄ ﾒﾆｭｰの「ﾋﾞﾙﾄﾞﾛｸﾞを開く」）。")
                              : cause);
}

IdeBuild::IdeBuild(const std::weak_ptr<catalogue::ProjectRecord> &record)
    : QObject(&followed()), record_(record)
{
}

IdeBuild::Started IdeBuild::Start(const QString &projectFile, const std::weak_ptr<catalogue::ProjectRecord> &record)
{
    const QString &ideCommand = mMain::VbIdePath;
    const idecommand::Command command = idecommand::Parse(ideCommand);
    if (const idecommand::Refusal refusal = idecommand::BuildRefusal(command); refusal != idecommand::Refusal::None)
        return {nullptr, mMain::BuildRefusalMessage(ideCommand, refusal)};
    if (const auto shared = record.lock(); shared && shared->building)
        return {nullptr, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ  ") + projectFile + QStringLiteral("  の実行ﾌｧｲﾙは作成中です。")};

    // Without a log folder the build goes on without a log: the IDE then shows its messages itself.
    // The log of the last build stays until this one has ended: the IDE writes beside it.
    QString log = BuildLogOf(projectFile);
    QString out;
    if (QDir().mkpath(BuildLogFolder())) {
        out = BuildOutputOf(projectFile);
        // Left by a build this program did not see end: it would be taken for this one's.
        QFile::remove(out);
        QFile::remove(consoleOf(log));
    } else {
        log.clear();
    }
    // The project path and the switches stay single arguments, whatever the paths hold.
    const QStringList arguments =
        idecommand::BuildArguments(command, projectFile, mMain::WinePathConverter(command), out).arguments;

    auto *build = new IdeBuild(record);
    build->projectFile_ = projectFile;
    build->command_ = command;
    build->log_ = log;
    // The row knows its executable once the background reader has been there: no second read.
    const auto known = record.lock();
    build->exe_ = known && known->exeKnown && !known->exe.IsEmpty() ? known->Exe() : mMain::GetProjectExe(projectFile);
    build->exeBaseNs_ = catalogue::CaseFolding().Stat(build->exe_).modifiedNs;
    build->previouslyFailed_ = known && known->buildFailed;
    build->process_ = new platform::ChildProcess(build);
    if (!log.isEmpty())
        build->process_->SetOutputFile(consoleOf(log));
    if (arguments.isEmpty()
        || !build->process_->Start(arguments.first(), arguments.mid(1), QDir::currentPath())) {
        delete build;
        QFile::remove(consoleOf(log));
        return {nullptr, QStringLiteral("ﾌﾟﾛｸﾞﾗﾑ  ") + ideCommand + QStringLiteral("  を起動できません。")};
    }
    connect(build->process_, &platform::ChildProcess::Finished, build, &IdeBuild::ended);
    catalogue::State().BuildStarted(record, build->exeBaseNs_);
    return {build, QString()};
}

int IdeBuild::Running() { return int(followed().findChildren<IdeBuild *>(Qt::FindDirectChildrenOnly).size()); }

void IdeBuild::Stop()
{
    stopped_ = true;
    process_->Stop();
}

void IdeBuild::StopNow()
{
    stopped_ = true;
    // Nobody is left to hear of the end: the row and the files are set right here.
    process_->disconnect(this);
    process_->StopNow();
    ended(false);
}

void IdeBuild::ended(bool succeeded)
{
    if (stopped_) {
        // Not a build that failed: the row shows what it showed before, the last log stays.
        catalogue::State().BuildFinished(record_, false);
        if (const auto record = record_.lock()) {
            record->buildEnded = false;
            record->buildFailed = previouslyFailed_;
        }
        if (!log_.isEmpty()) {
            QFile::remove(BuildOutputOf(projectFile_));
            QFile::remove(consoleOf(log_));
        }
    } else {
        catalogue::State().BuildFinished(record_, succeeded);
    }
    // Under Wine the IDE may have written CASEP.EXE for CaseP.exe.
    const platform::FileStamp exe = catalogue::CaseFolding().Stat(exe_);
    const bool built = !stopped_ && succeeded && exe.exists && exe.modifiedNs > exeBaseNs_;
    if (!stopped_) {
        if (!built)
            cause_ = LikelyFailureCause(command_, projectFile_);
        writeLog(built);
    }
    // Gone from the count before anyone hears of the end.
    setParent(nullptr);
    deleteLater();
    Q_EMIT Finished(built);
}

void IdeBuild::writeLog(bool built)
{
    if (log_.isEmpty())
        return;
    const QString outFile = BuildOutputOf(projectFile_);
    QByteArray out = readPart(outFile);
    // The IDE writes in its code page: 932 for the Japanese IDE.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(out);
    if (utf8.hasError())
        out = platform::DecodeCp932(out).toUtf8();
    const QByteArray console = readPart(consoleOf(log_));
    QByteArray text = out;
    const auto part = [&text](const QByteArray &title, const QByteArray &body) {
        if (!text.isEmpty() && !text.endsWith('\n'))
            text += '\n';
        text += "--- " + title + " ---\n" + body;
    };
    if (!console.isEmpty())
        part(QStringLiteral("IDEとWineの出力").toUtf8(), console);
    if (!built)
        part(QByteArrayLiteral("ZARUN"), BuildFailureMessage(projectFile_, cause_).toUtf8() + '\n');
    // The last build's log is replaced only by a whole new one.
    platform::WriteFileAtomically(log_, text);
    QFile::remove(outFile);
    QFile::remove(consoleOf(log_));
}

} // namespace tooling
