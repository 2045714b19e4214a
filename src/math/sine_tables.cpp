#include "math/sine_tables.h"

#include "base/exact_math.h"

namespace vorlith {

void buildSineTables(float* sinTable, float* cosTable) {
  for (int i = 0; i < sineTableSize; ++i) {
    const double a = i * sineTableStep;
    sinTable[i] = static_cast<float>(exactSin(a));
    cosTable[i] = static_cast<float>(exactCos(a));
  }
}

}  // namespace vorlith
