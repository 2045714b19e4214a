#include "effects/blob_field.h"

#include <algorithm>
#include <cstddef>

#include "effects/overbright.h"
#include "effects/truncate.h"
#include "image/raster.h"
#include "math/angles.h"

namespace vorlith {

namespace {

// Where a particle's blob goes and how it is drawn this frame.
struct Projection {
  int32_t screenX, screenY, fade;
  float z3;
};

Projection project(const BlobParticle& p, double sA, double cA, double sB, double cB, double sC, double cC,
                   int spriteWidth, int spriteHeight) {
  const double x = p.x, y = p.y, z = p.z;
  // About the vertical axis, then the viewing axis, then the horizontal one;
  // the values kept in float are rounded where they are formed.
  const float x1 = static_cast<float>(x * cB - z * sB);
  const double z1 = x * sB + z * cB;
  const float y2 = static_cast<float>(y * cC - x1 * sC);
  const double x2 = x1 * cC + y * sC;
  const float z3 = static_cast<float>(z1 * cA - y2 * sA);
  const double y3 = y2 * cA + z1 * sA;

  // The viewer sits at z = 150; the blob's centre falls on the projected point.
  const float d = static_cast<float>(z3 - 150.0);
  Projection out;
  if (d == 0.0f) {
    // On the viewer's own plane: no projection at all, so off screen.
    out.screenX = out.screenY = INT32_MIN;
  } else {
    out.screenX = truncateSaturated(x2 * -150 / d + (160 - spriteWidth / 2));
    out.screenY = truncateSaturated(y3 * -150 / d + (100 - spriteHeight / 2));
  }
  out.fade = static_cast<int32_t>(std::clamp(150.0 - z3, 0.0, 255.0));
  out.z3 = z3;
  return out;
}

// Adds one blob at (sx, sy), which the caller has checked lies wholly inside
// the frame, by additions[h] for a sprite pixel of brightness h (the blob's
// colour overbright by h). In front of the centre plane it adds over
// anything; behind it, only onto pixels that are exactly 0. Every pixel
// drawn gets a fourth byte of 0.
template <bool behind>
void drawBlobRows(uint32_t* row, const uint32_t* src, int width, int height, int fade, const uint32_t* additions) {
  for (int r = 0; r < height; ++r, row += frameWidth) {
    for (int c = 0; c < width; ++c, ++src) {
      const uint32_t d = row[c];
      // max(t, 0) and the test below without branches: both go either way
      // from pixel to pixel.
      const int t = static_cast<int>(*src & 0xFF) - fade;
      const int v = t & -static_cast<int>(t > 0);
      const uint32_t lit = saturatedSum(d, additions[std::min(2 * v, 255)]) & 0x00FFFFFFu;
      row[c] = behind && d != 0 ? d : lit;
    }
  }
}

}  // namespace

void BlobField::init(int count, OwnedImage picture) {
  destroy();
  buildAngleTables(sinTable, cosTable);
  count = std::max(count, 0);
  particles = zeroedArray<BlobParticle>(static_cast<size_t>(count));
  particleCount = particles ? count : 0;
  for (int i = 0; i < particleCount; ++i) {
    BlobParticle& p = particles[i];
    p.colour = 0xFFFFFF;
    p.red = p.green = p.blue = 255;
    p.visible = 1;
  }
  sprite = std::move(picture);
  spriteWidth = sprite ? sprite->width : 0;
  spriteHeight = sprite ? sprite->height : 0;
  angleX = angleY = angleZ = 0;
}

void BlobField::setRotation(int x, int y, int z) {
  angleX = static_cast<uint8_t>(x);
  angleY = static_cast<uint8_t>(y);
  angleZ = static_cast<uint8_t>(z);
}

void BlobField::setParticlePosition(int index, int x, int y, int z) {
  if (index < 0 || index >= particleCount) return;
  particles[index].x = x;
  particles[index].y = y;
  particles[index].z = z;
}

void BlobField::setParticleColour(int index, uint32_t colour) {
  if (index < 0 || index >= particleCount) return;
  BlobParticle& p = particles[index];
  p.colour = static_cast<int32_t>(colour);
  p.red = (colour >> 16) & 0xFF;
  p.green = (colour >> 8) & 0xFF;
  p.blue = colour & 0xFF;
}

void BlobField::render(Image& frame) {
  if (!imageIs(&frame, frameWidth, frameHeight)) return;
  const double cA = cosTable[angleX], sA = sinTable[angleX];
  const double cB = cosTable[angleY], sB = sinTable[angleY];
  const double cC = cosTable[angleZ], sC = sinTable[angleZ];
  const bool drawable = imageIs(sprite.get(), spriteWidth, spriteHeight);
  uint32_t* const words = imageWords(frame);
  uint32_t additions[256];
  int additionsColour[3] = {-1, -1, -1};  // none yet

  for (int i = 0; i < particleCount; ++i) {
    BlobParticle& p = particles[i];
    if (!p.visible) continue;
    const Projection at = project(p, sA, cA, sB, cB, sC, cC, spriteWidth, spriteHeight);
    p.screenX = at.screenX;
    p.screenY = at.screenY;
    p.fade = at.fade;

    // Only whole blobs, with a pixel to spare at the right and bottom.
    if (!drawable || at.z3 == 0.0f) continue;
    if (at.screenX < 0 || at.screenX >= frameWidth - spriteWidth) continue;
    if (at.screenY < 0 || at.screenY >= frameHeight - spriteHeight) continue;
    // The additions are worked out again only when the colour changes.
    const int colour[3] = {p.red, p.green, p.blue};
    if (!std::equal(colour, colour + 3, additionsColour)) {
      std::copy(colour, colour + 3, additionsColour);
      overbrightAdditions(colour[0], colour[1], colour[2], additions);
    }
    const auto drawRows = at.z3 < 0.0f ? drawBlobRows<true> : drawBlobRows<false>;
    drawRows(words + static_cast<std::ptrdiff_t>(at.screenY) * frameWidth + at.screenX, imageWords(*sprite),
             spriteWidth, spriteHeight, at.fade, additions);
  }
}

void BlobField::destroy() {
  particles.reset();
  particleCount = 0;
  sprite.reset();
  spriteWidth = spriteHeight = 0;
}

}  // namespace vorlith
