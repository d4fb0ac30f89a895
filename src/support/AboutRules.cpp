#include "support/AboutRules.h"

#include <QVersionNumber>

#include <cmath>

namespace support {

QString VersionLine(const QString &version)
{
    const QVersionNumber number = QVersionNumber::fromString(version.trimmed());
    return QStringLiteral("Version   %1.%2").arg(number.majorVersion()).arg(number.minorVersion());
}

QString ProgramVersionLine() { return VersionLine(QStringLiteral(ZARUN_VERSION_STRING)); }

qint32 CentreTwips(qint32 screen, qint32 window) { return screen / 2 - window / 2; }

qint32 TwipsToPixels(qint32 twips)
{
    return static_cast<qint32>(std::lround(static_cast<double>(twips) / kTwipsPerPixel));
}

} // namespace support
