#pragma once
#include <cstdint>

namespace vorlith {

// How much intensity e (0..255) adds to a channel of value c: e*c/128 below
// 128, and from 128 upwards e*(c + 2e - 256)/128, which pushes every channel
// towards white whatever its colour. The caller adds it and caps at 255.
inline int32_t overbright(int32_t c, int32_t e) {
  return e < 128 ? e * c / 128 : e * (c + 2 * e - 256) / 128;
}

}  // namespace vorlith
