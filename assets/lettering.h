#pragma once
// The lettering of the pictures: text set with FreeType from a Debian font,
// then shaded as bevelled chrome with a dark outline.
#include <cstdint>
#include <string>
#include <vector>

#include "paint.h"

namespace vorlith::assets {

// How a line of text is set.
struct TextStyle {
  double capHeight = 40;  // height of a capital letter, in samples
  double widen = 1.0;     // horizontal stretch of the glyphs
  double embolden = 0.0;  // extra stroke weight, as a fraction of the cap height
  double slant = 0.0;     // horizontal shear (positive leans right)
  double tracking = 0.0;  // extra space between letters, as a fraction of the cap height
};

// A line of text as a coverage mask (1 = ink), cropped to the ink.
struct TextMask {
  int width = 0, height = 0;
  std::vector<uint8_t> ink;  // 0 or 1 per sample
  bool ok() const { return width > 0 && height > 0; }
};

// Sets one line of capitals. Empty (not ok) when the font can't be used.
TextMask setText(const std::string& text, const TextStyle& style);

// Sets `text` as large as fits in maxWidth x maxHeight samples (ink only).
TextMask fitText(const std::string& text, TextStyle style, double maxWidth, double maxHeight);

// How lettering is shaded. Distances are in picture pixels.
struct ChromeStyle {
  Ramp ramp{{0.0, hex(0x4060C0)}, {1.0, hex(0xFFFFFF)}};  // from the top of the letters to the bottom
  double outline = 2.0;       // dark outline width
  Colour outlineColour = hex(0x080A18);
  double bevel = 2.5;         // bevel width
  double reflect = 0.35;      // how far the bevel normals shift the ramp
  double specular = 0.9;      // highlight strength
};

// The chrome of the whole lettering family: deep blue sky at the top of the
// letters, white-hot at the middle, a thin dark horizon, warm gold below.
Ramp chromeRamp();
// The same with a wider white-hot middle, for the logo whose bright parts
// feed the light rays.
Ramp hotChromeRamp();
// A cooler steel for small labels.
Ramp steelRamp();

// Shades `mask` onto the canvas with its top-left ink sample at (x, y) in samples.
void paintChrome(Canvas& canvas, const TextMask& mask, int x, int y, const ChromeStyle& style);

// The room (in samples) the outline needs around a mask.
int outlineMargin(const Canvas& canvas, const ChromeStyle& style);

}  // namespace vorlith::assets
