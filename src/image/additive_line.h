#pragma once
#include <cstdint>

#include "image/image.h"

namespace vorlith {

inline int sign(int v) { return (v > 0) - (v < 0); }

// A one-pixel line from (x0, y0) to (x1, y1), both ends included, adding
// colour * intensity / 256 to each pixel it crosses, channel by channel,
// held at 255. Points outside the 320x200 frame are skipped.
void drawAdditiveLine(Image& image, int x0, int y0, int x1, int y1, uint32_t colour, int intensity);

}  // namespace vorlith
