#include "effects/overbright.h"

#include <algorithm>

namespace vorlith {

void overbrightAdditions(int red, int green, int blue, uint32_t additions[256]) {
  // Channels as the colour setters leave them, whatever an owner wrote.
  red = std::clamp(red, 0, 255);
  green = std::clamp(green, 0, 255);
  blue = std::clamp(blue, 0, 255);
  const uint8_t* row = overbrightTable();
  for (int e = 0; e < 256; ++e, row += 256)
    additions[e] = uint32_t{row[red]} << 16 | uint32_t{row[green]} << 8 | row[blue];
}

}  // namespace vorlith
