#include "math/sine_tables.h"

#include <cmath>

namespace vorlith {

void buildSineTables(float* sinTable, float* cosTable) {
  for (int i = 0; i < sineTableSize; ++i) {
    const double a = i * sineTableStep;
    sinTable[i] = static_cast<float>(std::sin(a));
    cosTable[i] = static_cast<float>(std::cos(a));
  }
}

}  // namespace vorlith
