#pragma once

namespace platform {

// Qt turns FreeType's stem darkening back on for CFF fonts (the Japanese ones among them: the
// lists' font is one) and then blends their glyphs gamma-corrected, a table lookup for every
// partly covered pixel: a third of what a screenful of new rows costs the window's thread. Turned
// off, such fonts are drawn as FreeType and other toolkits draw them, and Japanese no longer looks
// heavier than Latin on a dark palette. Qt keeps a FreeType library per thread that uses fonts:
// called on such a thread before its first font. Where Qt does not draw through FreeType, nothing.
void DrawCffFontsPlainly();

} // namespace platform
