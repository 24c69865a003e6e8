#pragma once
// The windows name their typefaces as "宋体" (a Song typeface) and "隶书" (a clerical script);
// the machine has other families installed, so the names are mapped by font substitution.

#include <QFont>
#include <QString>

namespace velmora {

// Maps the named typefaces to installed ones. Call once before the first window is created.
void installFontSubstitutions();

// A font of the given family and height in pixels (12 pixels is 9 points on a 96-dpi screen).
QFont fontOf(const QString& family, int pixelSize);

// "宋体" at the given height: the font of nearly every window.
QFont songFont(int pixelSize = 12);

}  // namespace velmora
