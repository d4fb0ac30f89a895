#pragma once

#include <QString>

// What the version window shows.
namespace support {

inline const QString kAppTitle = QStringLiteral("ZARUN");
inline const QString kWebAddress = QStringLiteral("https://zarun.example.org/");
inline const QString kMailAddress = QStringLiteral("zarun@example.org");

// "Version" and three blanks, then major.minor of a "major.minor.revision"
// text, each without leading zeros. A text that is no version gives "0.0".
QString VersionLine(const QString &version);

// The program's own version line (from the build's version).
QString ProgramVersionLine();

} // namespace support
