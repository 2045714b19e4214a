#pragma once
#include <cstdint>

#include "image/image.h"

namespace vorlith {

struct BlobParticle {
  int32_t x = 0, y = 0, z = 0;
  int32_t screenX = 0, screenY = 0, fade = 0;
  int32_t colour = 0, red = 0, green = 0, blue = 0;
  int32_t visible = 0;
  int32_t spare[3] = {0, 0, 0};
};

// A cloud of glowing blobs, turned, projected and added onto the frame.
class BlobField {
 public:
  void init(int particleCount);
  void setRotation(int angleX, int angleY, int angleZ);
  void setParticlePosition(int index, int x, int y, int z);
  void setParticleColour(int index, uint32_t colour);
  void render(Image& frame);
  void destroy();

  BlobParticle* particles = nullptr;
  int32_t particleCount = 0;
};

}  // namespace vorlith
