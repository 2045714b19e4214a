#pragma once
#include <cstdint>

namespace vorlith {

// Truncates toward zero into out; false (out untouched) when v has no 32-bit
// integer form: too large, or not a number.
inline bool truncateToInt32(double v, int32_t& out) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return false;
  out = static_cast<int32_t>(v);
  return true;
}

// Truncates toward zero, a value beyond the 32-bit range landing on its end
// (not-a-number on the lower end): always far outside any frame.
inline int32_t truncateSaturated(double v) {
  int32_t out = 0;
  if (truncateToInt32(v, out)) return out;
  return v > 0 ? INT32_MAX : INT32_MIN;
}

}  // namespace vorlith
