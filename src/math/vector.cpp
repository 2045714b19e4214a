#include "math/vector.h"

#include <cmath>

namespace vorlith {

void vectorNormalize(Vector3& v) {
  const double x = v.x, y = v.y, z = v.z;
  const double length = std::sqrt(x * x + y * y + z * z);
  if (!(length > 0.0)) {  // zero or NaN
    v = Vector3{};
    return;
  }
  v.x = static_cast<float>(x / length);
  v.y = static_cast<float>(y / length);
  v.z = static_cast<float>(z / length);
}

}  // namespace vorlith
