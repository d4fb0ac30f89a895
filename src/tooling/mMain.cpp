#include "tooling/mMain.h"

#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "platform/Wine.h"
#include "tooling/IdeBuild.h"
#include "tooling/UserInterface.h"
#include "tooling/mFunction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTimer>

#include <cstring>

namespace mMain {

QString VbIdePath;

namespace {

constexpr qint64 kChunkBytes = 64 * 1024;

// The key test on one line's raw bytes. Line starts are character starts in
// code page 932, so "Name" can be tested on the bytes; "ExeName32" can hide in
// trail bytes and is confirmed on the decoded text.
std::optional<QString> valueIfKey(QByteArrayView line, ProjectKey key)
{
    QString text;
    if (key == ProjectKey::Name) {
        if (!line.startsWith("Name"))
            return std::nullopt;
        text = platform::DecodeCp932(line);
    } else {
        if (!line.contains("ExeName32"))
            return std::nullopt;
        text = platform::DecodeCp932(line);
        if (!text.contains(u"ExeName32"))
            return std::nullopt;
    }
    const qsizetype equals = text.indexOf(u'=');
    return mFunction::UnquotePath(equals < 0 ? text : text.mid(equals + 1));
}

bool isSeparator(QChar c, PathStyle style)
{
    return style == PathStyle::Windows ? (c == u'\\' || c == u'/' || c == u':') : c == u'/';
}

} // namespace

std::optional<QString> ReadProjectValue(QIODevice &device, ProjectKey key)
{
    // One reader of the keys: the text (up to the limit) is read whole and looked at as a whole.
    QByteArray bytes;
    while (bytes.size() < kMaxProjectFileBytes) {
        qint64 want = qMin(kChunkBytes, kMaxProjectFileBytes - bytes.size());
        // read(n) allocates n bytes: a small file of known size gets a small buffer.
        if (!device.isSequential())
            want = qBound(qint64(1), device.size() - device.pos() + 1, want);
        const QByteArray chunk = device.read(want);
        if (chunk.isEmpty())
            break;
        bytes += chunk;
    }
    return ProjectValueIn(bytes, key);
}

qsizetype ProjectLineSize(QByteArrayView text)
{
    // Two memchr calls beat a loop over the bytes, even on the short lines of a .vbp.
    const char *begin = text.data();
    const void *lf = text.isEmpty() ? nullptr : std::memchr(begin, '\n', size_t(text.size()));
    const qsizetype upToLf = lf ? static_cast<const char *>(lf) - begin : text.size();
    const void *cr = upToLf == 0 ? nullptr : std::memchr(begin, '\r', size_t(upToLf));
    return cr ? static_cast<const char *>(cr) - begin : upToLf;
}

std::optional<QString> ProjectValueIn(QByteArrayView bytes, ProjectKey key)
{
    // The lines as the device reader splits them. Only a line holding the key's bytes can match:
    // they are searched for in the whole text, and only their lines are looked at.
    const QByteArrayView text = bytes.first(qMin<qsizetype>(bytes.size(), kMaxProjectFileBytes));
    const QByteArrayView needle = key == ProjectKey::Name ? QByteArrayView("Name") : QByteArrayView("ExeName32");
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype at = text.indexOf(needle, from);
        if (at < 0)
            break;
        qsizetype start = at;
        while (start > 0 && text[start - 1] != '\r' && text[start - 1] != '\n')
            --start;
        const qsizetype end = at + ProjectLineSize(text.sliced(at));
        if (auto value = valueIfKey(text.sliced(start, end - start), key))
            return value;
        from = end + 1;
    }
    return std::nullopt;
}

std::optional<QString> ReadProjectValue(const QString &projectFile, ProjectKey key)
{
    // Only regular files: a folder, a pipe or a device is no project file and could block a read.
    if (projectFile.isEmpty() || !QFileInfo(projectFile).isFile())
        return std::nullopt;
    QFile file(projectFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return ReadProjectValue(file, key);
}

QString ProjectNameFrom(const QString &projectFile, const std::optional<QString> &name, PathStyle style)
{
    return name ? *name : mFunction::GetFileName(projectFile, style);
}

QString ProjectExeFrom(const QString &projectFile, const std::optional<QString> &exeName, PathStyle style)
{
    if (exeName) {
        // The executable lies in the project's folder. The IDE writes a bare file name; folder
        // parts ("..\\x", "/usr/bin/x") would let a project point Run at any program, so they go.
        QString name = exeName->mid(qMax(qMax(exeName->lastIndexOf(u'\\'), exeName->lastIndexOf(u'/')),
                                         exeName->lastIndexOf(u':')) + 1);
        if (name == u"." || name == u"..")
            name = QStringLiteral("");
        const QString folder = mFunction::GetFolderName(projectFile, style);
        if (folder.isEmpty())
            return name;
        // Exactly sized: every project keeps this string, and a grown one carries spare room.
        const bool separated = style == PathStyle::Posix && folder.endsWith(u'/');
        QString path;
        path.reserve(folder.size() + 1 + name.size());
        path += folder;
        if (!separated)
            path += style == PathStyle::Windows ? u'\\' : u'/';
        path += name;
        return path;
    }
    // No such line: the project path with ".exe" for the file name's extension.
    qsizetype start = 0;
    for (qsizetype i = projectFile.size() - 1; i >= 0; --i) {
        if (isSeparator(projectFile[i], style)) {
            start = i + 1;
            break;
        }
    }
    const qsizetype dot = projectFile.lastIndexOf(u'.');
    if (dot < start)
        return QStringLiteral("");
    return projectFile.left(dot) + QStringLiteral(".exe");
}

QString GetProjectName(const QString &projectFile)
{
    return ProjectNameFrom(projectFile, ReadProjectValue(projectFile, ProjectKey::Name),
                           platform::kNativePathStyle);
}

QString GetProjectExe(const QString &projectFile)
{
    return ProjectExeFrom(projectFile, ReadProjectValue(projectFile, ProjectKey::ExeName32),
                          platform::kNativePathStyle);
}

QString ExecutableOfExisting(const QString &projectFile, bool *readFailed)
{
    QByteArray bytes;
    platform::FileStamp stamp;
    if (readFailed)
        *readFailed = false;
    switch (platform::ReadSmallFile(projectFile, kMaxProjectFileBytes, &bytes, &stamp)) {
    case platform::FileKind::Missing:
        return QString();
    case platform::FileKind::Other:
        return ProjectExeFrom(projectFile, std::nullopt, platform::kNativePathStyle);
    case platform::FileKind::Regular:
        break;
    }
    // A read that failed gives no bytes of a file that has some.
    if (bytes.isEmpty() && stamp.size > 0) {
        if (readFailed)
            *readFailed = true;
        return QString();
    }
    return ProjectExeFrom(projectFile, ProjectValueIn(bytes, ProjectKey::ExeName32), platform::kNativePathStyle);
}

QString GetVbIdePath()
{
    const QString folder = platform::ProgramFolder();
    if (folder.isEmpty())
        return QStringLiteral("");
    // The lookup needs an existing .vbp file. A temp.vbp of the user's stays
    // untouched: then another free name is used.
    QString probe;
    QFile fixed(platform::JoinPath(folder, QStringLiteral("temp.vbp")));
    QTemporaryFile other(platform::JoinPath(folder, QStringLiteral("temp-XXXXXX.vbp")));
    if (fixed.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        fixed.close();
        probe = fixed.fileName();
    } else if (other.open()) {
        other.close();
        probe = other.fileName();
    } else {
        return QStringLiteral("");
    }
    const QString nativeProbe = QDir::toNativeSeparators(probe);
    const QString exe = mFunction::FindAssociatedExe(mFunction::GetFolderName(nativeProbe),
                                                     mFunction::GetFileName(nativeProbe));
    QFile::remove(probe);
    return exe;
}

QString MakeExeCaption(const QString &exePath)
{
    return mFunction::GetFileName(exePath) + QStringLiteral(" を作成中");
}

QString BuildRefusalMessage(const QString &command, idecommand::Refusal refusal)
{
    const QString howTo = QStringLiteral("実行ﾌｧｲﾙを作成するには、ZARUN 設定の「IDE」でIDEのｺﾏﾝﾄﾞを設定してください。");
    switch (refusal) {
    case idecommand::Refusal::None:
        break;
    case idecommand::Refusal::NoCommand:
        return QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ(*.vbp)に関連付けられたﾌﾟﾛｸﾞﾗﾑがないため、実行ﾌｧｲﾙを作成できません。");
    case idecommand::Refusal::Malformed:
        return QStringLiteral("ﾌﾟﾛｸﾞﾗﾑ  ") + command + QStringLiteral("  を起動できません。");
    case idecommand::Refusal::ShellScript:
        return command + QStringLiteral("  はﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙをｼｪﾙｽｸﾘﾌﾟﾄの中で渡すため、/make をIDEに渡せません。") + howTo;
    case idecommand::Refusal::WineStart:
        return command + QStringLiteral("  は wine start でﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙを開くため、/make をIDEに渡せません。") + howTo;
    case idecommand::Refusal::Substitution:
        return command + SubstitutionText();
    }
    return QString();
}

QString SubstitutionText()
{
    return QStringLiteral("  はﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙのﾊﾟｽをｼｪﾙｽｸﾘﾌﾟﾄの $(…)・`…`・${…} の中に置くため、起動しません"
                          "（ﾊﾟｽの文字がｺﾏﾝﾄﾞとして実行されるおそれがあります）。"
                          "ZARUN 設定の「IDE」でIDEのｺﾏﾝﾄﾞを設定してください（例: env WINEPREFIX=… wine \"C:\\VB98\\VB6.EXE\"）。");
}

idecommand::PathConverter WinePathConverter(const idecommand::Command &command)
{
    const QStringList wine = idecommand::WineWords(command);
    return [wine](const QString &path) { return platform::WindowsPathForWine(wine, path); };
}

bool MakeExe(const QString &projectFile) { return MakeExe(projectFile, {}); }

bool MakeExe(const QString &projectFile, const std::weak_ptr<catalogue::ProjectRecord> &record)
{
    ui::UserInterface &ui = ui::Current();
    const idecommand::Command command = idecommand::Parse(VbIdePath);
    if (const idecommand::Refusal refusal = idecommand::BuildRefusal(command); refusal != idecommand::Refusal::None) {
        ui.Message(BuildRefusalMessage(VbIdePath, refusal));
        return false;
    }
    ui.ShowProgress(MakeExeCaption(GetProjectExe(projectFile)));
    const tooling::IdeBuild::Started started = tooling::IdeBuild::Start(projectFile, record);
    ui.HideProgress();
    if (!started.build) {
        ui.Message(started.error);
        return false;
    }
    // A failure is told once the IDE has ended, with its likely cause.
    tooling::IdeBuild *build = started.build;
    QObject::connect(build, &tooling::IdeBuild::Finished, build, [build](bool built) {
        if (built || build->Stopped())
            return;
        // Shown after the ended process's signal has returned: a message box runs its own event loop.
        QTimer::singleShot(0, QCoreApplication::instance(),
                           [text = tooling::BuildFailureMessage(build->ProjectFile(), build->Cause())] {
                               ui::Current().Message(text);
                           });
    });
    return true;
}

} // namespace mMain
