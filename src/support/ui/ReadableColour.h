#pragma once

#include <QColor>

#include <initializer_list>

// Text colours that stay readable whatever colour scheme the desktop uses.
namespace support {

// Contrast ratio of two colours as accessibility guidelines measure it: 1 (none) to 21.
double ContrastRatio(const QColor &a, const QColor &b);

// Contrast the program asks of its own text colours (the guidelines' level for normal text).
inline constexpr double kReadableContrast = 4.5;

// The wanted colour where it reads well on the background, else the first of the alternatives
// that does (colours of the palette), else the wanted colour moved towards white or black,
// whichever reads better, until it does.
QColor ReadableOn(const QColor &wanted, const QColor &background, std::initializer_list<QColor> alternatives = {});

} // namespace support
