#include "platform/PrivateFolder.h"

#include <QDir>

namespace platform {

// Stand-in until the checked folder lands.
QString PrivateFolder()
{
    const QString folder = QDir::tempPath() + QStringLiteral("/zarun-private");
    QDir().mkpath(folder);
    return folder;
}

} // namespace platform
