#include "support/ui/ProgramIcon.h"

namespace support {

QIcon ProgramIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/zarun/zarun-32.png"));
    icon.addFile(QStringLiteral(":/zarun/zarun.png"));
    return icon;
}

QPixmap ProgramIconImage() { return QPixmap(QStringLiteral(":/zarun/zarun-32.png")); }

} // namespace support
