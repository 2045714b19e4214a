#pragma once

namespace vorlith {

// Three single-precision components, laid out contiguously (the tunnel keeps
// arrays of them).
struct Vector3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// Scales v to unit length in place. The length is formed in double and not
// rounded; a zero (or NaN) length makes v (0, 0, 0) without dividing.
void vectorNormalize(Vector3& v);

}  // namespace vorlith
