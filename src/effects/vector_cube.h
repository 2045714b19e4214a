#pragma once
#include <cstdint>

#include "image/image.h"

namespace vorlith {

// A wireframe cube in additive lines with a trail of its earlier states.
class VectorCube {
 public:
  void init(int capacity);
  void setRotation(int angleX, int angleY, int angleZ);
  void draw(Image& image);
  void destroy();

  int32_t capacity = 0;
  int32_t drawCount = 0;
  float nearScale = 1.0f;
  float farScale = 1.0f;
  uint32_t colour = 0xFFFFFF;
  int32_t intensity = 127;
};

}  // namespace vorlith
