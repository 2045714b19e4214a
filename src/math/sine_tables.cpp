#include "math/sine_tables.h"

#include "base/exact_math.h"

namespace vorlith {

void buildTrigTables(float* sinTable, float* cosTable, int count, double step) {
  for (int i = 0; i < count; ++i) {
    const double a = i * step;
    sinTable[i] = static_cast<float>(exactSin(a));
    cosTable[i] = static_cast<float>(exactCos(a));
  }
}

}  // namespace vorlith
