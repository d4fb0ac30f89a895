#pragma once

#include <QString>

// What the version window shows, and the twips arithmetic of its placement.
namespace support {

inline constexpr qint32 kTwipsPerPixel = 15;

inline const QString kAppTitle = QStringLiteral("ZARUN");
inline const QString kWebAddress = QStringLiteral("https://zarun.example.org/");
inline const QString kMailAddress = QStringLiteral("zarun@example.org");

// "Version" and three blanks, then major.minor of a "major.minor.revision"
// text, each without leading zeros. A text that is no version gives "0.0".
QString VersionLine(const QString &version);

// The program's own version line (from the build's version).
QString ProgramVersionLine();

// Left (or top) that centres a window on the screen, both in twips:
// screen div 2 - window div 2, division truncating.
qint32 CentreTwips(qint32 screen, qint32 window);

// Twips to pixels and back; pixels take the nearest whole number.
qint32 TwipsToPixels(qint32 twips);
inline constexpr qint32 PixelsToTwips(qint32 pixels) { return pixels * kTwipsPerPixel; }

} // namespace support
