#pragma once
#include <cstdint>

#include "image/image.h"

namespace vorlith {

// A textured, shiny column that twists about its vertical axis, one slice per row.
class RibbonField {
 public:
  static constexpr int rows = 200;

  void init();
  void loadTexture();
  void render(Image& frame);
  void destroy();

  int32_t rowShift[rows] = {};
  float rowAngle[rows] = {};
  int32_t textureRowOffset = 0;
  int32_t firstRow = 0;
  int32_t endRow = rows;
};

}  // namespace vorlith
