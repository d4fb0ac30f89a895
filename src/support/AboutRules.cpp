#include "support/AboutRules.h"

#include <QVersionNumber>

namespace support {

QString VersionLine(const QString &version)
{
    const QVersionNumber number = QVersionNumber::fromString(version.trimmed());
    return QStringLiteral("Version   %1.%2").arg(number.majorVersion()).arg(number.minorVersion());
}

QString ProgramVersionLine() { return VersionLine(QStringLiteral(ZARUN_VERSION_STRING)); }

} // namespace support
