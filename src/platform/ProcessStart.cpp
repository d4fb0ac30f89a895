#include "platform/ProcessStart.h"

#include <QProcess>

namespace platform {

bool StartDetached(const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments, workingDirectory);
}

} // namespace platform
