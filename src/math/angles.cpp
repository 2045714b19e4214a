#include "math/angles.h"

#include <cmath>

namespace vorlith {

void buildAngleTables(float* sinTable, float* cosTable) {
  for (int i = 0; i < 256; ++i) {
    const double a = i * angleStep;
    sinTable[i] = static_cast<float>(std::sin(a));
    cosTable[i] = static_cast<float>(std::cos(a));
  }
}

}  // namespace vorlith
