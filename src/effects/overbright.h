#pragma once
#include <cstdint>

namespace vorlith {

// How much intensity e (0..255) adds to a channel of value c: e*c/128 below
// 128, and from 128 upwards e*(c + 2e - 256)/128, which pushes every channel
// towards white whatever its colour. The caller adds it and caps at 255.
inline int32_t overbright(int32_t c, int32_t e) {
  return e < 128 ? e * c / 128 : e * (c + 2 * e - 256) / 128;
}

// overbright(c, e) held at 255 for every e and c in 0..255: row e, entry c at
// e * 256 + c. For loops that shade pixel after pixel.
const uint8_t* overbrightTable();

// What each intensity e (0..255) adds to a pixel of colour (red, green, blue),
// each 0..255: the three contributions held at 255 and packed like a pixel,
// fourth byte 0, into additions[e].
void overbrightAdditions(int red, int green, int blue, uint32_t additions[256]);

}  // namespace vorlith
