#include "effects/overbright.h"

namespace vorlith {

void overbrightAdditions(int red, int green, int blue, uint32_t additions[256]) {
  const uint8_t* row = overbrightTable();
  for (int e = 0; e < 256; ++e, row += 256)
    additions[e] = uint32_t{row[red]} << 16 | uint32_t{row[green]} << 8 | row[blue];
}

}  // namespace vorlith
