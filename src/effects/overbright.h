#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace vorlith {

// How much intensity e (0..255) adds to a channel of value c: e*c/128 below
// 128, and from 128 upwards e*(c + 2e - 256)/128, which pushes every channel
// towards white whatever its colour. The caller adds it and caps at 255.
constexpr int32_t overbright(int32_t c, int32_t e) {
  return e < 128 ? e * c / 128 : e * (c + 2 * e - 256) / 128;
}

namespace detail {
inline constexpr std::array<uint8_t, 256 * 256> overbrightEntries = [] {
  std::array<uint8_t, 256 * 256> table{};
  for (int e = 0; e < 256; ++e)
    for (int c = 0; c < 256; ++c) {
      const int32_t v = overbright(c, e);
      table[static_cast<size_t>(e * 256 + c)] = static_cast<uint8_t>(v < 255 ? v : 255);
    }
  return table;
}();
}  // namespace detail

// overbright(c, e) held at 255 for every e and c in 0..255: row e, entry c at
// e * 256 + c. For loops that shade pixel after pixel.
inline const uint8_t* overbrightTable() { return detail::overbrightEntries.data(); }

// What each intensity e (0..255) adds to a pixel of colour (red, green, blue),
// each first held to 0..255: the three contributions held at 255 and packed
// like a pixel, fourth byte 0, into additions[e].
void overbrightAdditions(int red, int green, int blue, uint32_t additions[256]);

}  // namespace vorlith
