#include "platform/Wine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace platform {

namespace {

// winepath starts the Wine server when none runs; a working one answers well within this.
constexpr int kWinePathTimeoutMs = 20000;

} // namespace

bool IsEnvironmentAssignment(const QString &word)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*="));
    return name.match(word).hasMatch();
}

namespace {

// The prefix that Wine would use with these assignments.
QString winePrefix(const QProcessEnvironment &environment)
{
    const QString prefix = environment.value(QStringLiteral("WINEPREFIX"));
    if (!prefix.isEmpty())
        return prefix;
    return QDir::home().filePath(QStringLiteral(".wine"));
}

// winepath of the same Wine: beside the wine program, with the same suffix first (wine-stable ->
// winepath-stable), then plain winepath.
QString winePathProgram(const QString &wine)
{
    QString located = wine;
    if (!wine.contains(u'/'))
        located = QStandardPaths::findExecutable(wine);
    if (located.isEmpty())
        return {};
    const QFileInfo info(located);
    QString suffix = info.fileName();
    suffix.remove(QRegularExpression(QStringLiteral("^wine(64)?")));
    for (const QString &name : {QStringLiteral("winepath") + suffix, QStringLiteral("winepath")}) {
        const QFileInfo candidate(info.dir().filePath(name));
        if (candidate.isFile() && candidate.isExecutable())
            return candidate.filePath();
    }
    return {};
}

// A drive path or a \\?\ path, one line, nothing lost to a code page ('?').
bool usableAnswer(const QString &path)
{
    static const QRegularExpression form(QStringLiteral("^([A-Za-z]:\\\\|\\\\\\\\\\?\\\\)[^\\r\\n?\\x{FFFD}]*$"));
    return form.match(path).hasMatch();
}

} // namespace

bool IsWindowsExecutable(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

QString WineDriveZPath(const QString &unixPath)
{
    return QStringLiteral("Z:") + QFileInfo(unixPath).absoluteFilePath().replace(u'/', u'\\');
}

QString WindowsPathForWine(const QStringList &wineCommand, const QString &unixPath)
{
    const QString fallback = WineDriveZPath(unixPath);
    if (wineCommand.isEmpty())
        return fallback;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &word : wineCommand.mid(0, wineCommand.size() - 1)) {
        if (IsEnvironmentAssignment(word)) {
            const qsizetype equals = word.indexOf(u'=');
            environment.insert(word.left(equals), word.mid(equals + 1));
        }
    }
    // Without a prefix winepath would create one: minutes of work and set-up windows.
    if (!QFileInfo(QDir(winePrefix(environment)).filePath(QStringLiteral("system.reg"))).isFile())
        return fallback;
    const QString program = winePathProgram(wineCommand.last());
    if (program.isEmpty())
        return fallback;
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, {QStringLiteral("-w"), QFileInfo(unixPath).absoluteFilePath()});
    if (!process.waitForFinished(kWinePathTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return fallback;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return fallback;
    QString answer = QString::fromLocal8Bit(process.readAllStandardOutput());
    while (answer.endsWith(u'\n') || answer.endsWith(u'\r'))
        answer.chop(1);
    return usableAnswer(answer) ? answer : fallback;
}

QString WineOnPath() { return QStandardPaths::findExecutable(QStringLiteral("wine")); }

} // namespace platform
