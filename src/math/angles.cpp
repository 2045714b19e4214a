#include "math/angles.h"

#include "base/exact_math.h"

namespace vorlith {

void buildAngleTables(float* sinTable, float* cosTable) {
  for (int i = 0; i < 256; ++i) {
    const double a = i * angleStep;
    sinTable[i] = static_cast<float>(exactSin(a));
    cosTable[i] = static_cast<float>(exactCos(a));
  }
}

}  // namespace vorlith
