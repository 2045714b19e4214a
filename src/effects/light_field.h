#pragma once
#include <cstdint>

#include "image/image.h"

namespace vorlith {

// The glow of a few coloured point lights on black, written over a whole frame.
class LightField {
 public:
  void init(int lightCount, const Image& reference);
  void setLightPosition(int index, int x, int y);
  void setLightColour(int index, uint32_t colour);
  void render(Image& target);
  void destroy();

  int32_t lightCount = 0;
};

}  // namespace vorlith
