#include "tooling/mMain.h"

#include "platform/FileSystem.h"
#include "platform/ProcessStart.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "tooling/UserInterface.h"
#include "tooling/mFunction.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace mMain {

QString VbIdePath;

namespace {

constexpr qint64 kChunkBytes = 64 * 1024;

// The key test on one line's raw bytes. Line starts are character starts in
// code page 932, so "Name" can be tested on the bytes; "ExeName32" can hide in
// trail bytes and is confirmed on the decoded text.
std::optional<QString> valueIfKey(const QByteArray &line, ProjectKey key)
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
    // A line ends at CR LF or a lone CR; a lone LF stays inside the line.
    QByteArray line;
    bool dropLeadingLf = false;
    qint64 total = 0;
    while (total < kMaxProjectFileBytes) {
        qint64 want = qMin(kChunkBytes, kMaxProjectFileBytes - total);
        // read(n) allocates n bytes: a small file of known size gets a small buffer.
        if (!device.isSequential())
            want = qBound(qint64(1), device.size() - device.pos() + 1, want);
        const QByteArray chunk = device.read(want);
        if (chunk.isEmpty())
            break;
        total += chunk.size();
        qsizetype from = 0;
        if (dropLeadingLf && chunk.startsWith('\n'))
            from = 1;
        dropLeadingLf = false;
        while (from < chunk.size()) {
            const qsizetype cr = chunk.indexOf('\r', from);
            if (cr < 0) {
                line.append(chunk.constData() + from, chunk.size() - from);
                break;
            }
            line.append(chunk.constData() + from, cr - from);
            if (auto value = valueIfKey(line, key))
                return value;
            line.clear();
            from = cr + 1;
            if (from == chunk.size())
                dropLeadingLf = true;
            else if (chunk[from] == '\n')
                ++from;
        }
    }
    if (!line.isEmpty())
        return valueIfKey(line, key);
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
        // The executable lies in the project's folder.
        const QString folder = mFunction::GetFolderName(projectFile, style);
        if (folder.isEmpty())
            return *exeName;
        if (style == PathStyle::Windows)
            return folder + u'\\' + *exeName;
        return folder.endsWith(u'/') ? folder + *exeName : folder + u'/' + *exeName;
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

QString ExecutableOfExisting(const QString &projectFile)
{
    QByteArray bytes;
    switch (platform::ReadSmallFile(projectFile, kMaxProjectFileBytes, &bytes)) {
    case platform::FileKind::Missing:
        return QString();
    case platform::FileKind::Other:
        return ProjectExeFrom(projectFile, std::nullopt, platform::kNativePathStyle);
    case platform::FileKind::Regular:
        break;
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return ProjectExeFrom(projectFile, ReadProjectValue(buffer, ProjectKey::ExeName32), platform::kNativePathStyle);
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

bool MakeExe(const QString &projectFile)
{
    ui::UserInterface &ui = ui::Current();
    if (VbIdePath.isEmpty()) {
        ui.Message(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ(*.vbp)に関連付けられたﾌﾟﾛｸﾞﾗﾑがないため、実行ﾌｧｲﾙを作成できません。"));
        return false;
    }
    ui.ShowProgress(MakeExeCaption(GetProjectExe(projectFile)));
    // The project path and the switch stay single arguments, whatever the path holds.
    const bool started = platform::StartCommandDetached(
        VbIdePath, {projectFile, QStringLiteral("/make")}, QDir::currentPath());
    ui.HideProgress();
    if (!started)
        ui.Message(QStringLiteral("ﾌﾟﾛｸﾞﾗﾑ  ") + VbIdePath + QStringLiteral("  を起動できません。"));
    return started;
}

} // namespace mMain
