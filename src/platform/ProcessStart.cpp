#include "platform/ProcessStart.h"

#include "platform/DesktopAssociation.h"

#include <QProcess>

namespace platform {

bool StartDetached(const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments, workingDirectory);
}

bool StartCommandDetached(const QString &command, const QStringList &extraArguments,
                          const QString &workingDirectory)
{
    const std::optional<QStringList> words = SplitCommandLine(command);
    if (!words || words->isEmpty())
        return false;
    return StartDetached(words->first(), words->mid(1) + extraArguments, workingDirectory);
}

} // namespace platform
