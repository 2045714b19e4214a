#include "effects/overbright.h"

#include <algorithm>
#include <array>

namespace vorlith {

const uint8_t* overbrightTable() {
  static const std::array<uint8_t, 256 * 256> table = [] {
    std::array<uint8_t, 256 * 256> t{};
    for (int e = 0; e < 256; ++e)
      for (int c = 0; c < 256; ++c) t[e * 256 + c] = static_cast<uint8_t>(std::min(255, overbright(c, e)));
    return t;
  }();
  return table.data();
}

void overbrightAdditions(int red, int green, int blue, uint32_t additions[256]) {
  const uint8_t* row = overbrightTable();
  for (int e = 0; e < 256; ++e, row += 256)
    additions[e] = uint32_t{row[red]} << 16 | uint32_t{row[green]} << 8 | row[blue];
}

}  // namespace vorlith
