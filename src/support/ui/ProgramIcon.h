#pragma once

#include <QIcon>
#include <QPixmap>

namespace support {

// The program's icon (window icon, version window), built into the program.
QIcon ProgramIcon();
// The icon's 32 by 32 image; a null pixmap when the image cannot be read.
QPixmap ProgramIconImage();

} // namespace support
