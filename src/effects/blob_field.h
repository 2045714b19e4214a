#pragma once
#include <cstdint>
#include <memory>

#include "image/image.h"

namespace vorlith {

// One particle of a BlobField.
struct BlobParticle {
  int32_t x = 0, y = 0, z = 0;                // position; the cloud's centre is the origin
  int32_t screenX = 0, screenY = 0, fade = 0;  // written by render
  int32_t colour = 0;                         // as last given; not read by render
  int32_t red = 0, green = 0, blue = 0;
  int32_t visible = 0;  // 0: neither projected nor drawn
};

// A cloud of glowing blobs: turned by three angles, projected in perspective
// and added onto the frame, tinted with each particle's colour and dimmed
// with depth. Blobs in front of the centre plane add over anything; blobs
// behind it show only on pixels that are still exactly 0.
class BlobField {
 public:
  // Tables and particleCount white, visible particles at the centre (the
  // owner places them); the sprite is the picture every particle draws
  // (null: nothing is drawn).
  void init(int particleCount, OwnedImage sprite);
  // Stores the low byte of each angle (256ths of a turn).
  void setRotation(int angleX, int angleY, int angleZ);
  // Both setters ignore an index outside the particle array.
  void setParticlePosition(int index, int x, int y, int z);
  void setParticleColour(int index, uint32_t colour);
  // Projects every visible particle and adds its blob onto a 320x200 frame.
  void render(Image& frame);
  void destroy();

  std::unique_ptr<BlobParticle[]> particles;
  int32_t particleCount = 0;
  float sinTable[256] = {};
  float cosTable[256] = {};
  uint8_t angleX = 0;  // about the horizontal axis
  uint8_t angleY = 0;  // about the vertical axis
  uint8_t angleZ = 0;  // about the viewing axis
  int32_t spriteWidth = 0;
  int32_t spriteHeight = 0;
  OwnedImage sprite;  // null when there is no picture: nothing is drawn
};

}  // namespace vorlith
