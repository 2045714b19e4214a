#include "image/additive_line.h"

#include <algorithm>
#include <cstdlib>

#include "image/raster.h"

namespace vorlith {

namespace {

// The plain walk: every point checked against the frame, the position kept
// in 64 bits (the ends may lie anywhere in the 32-bit range).
void walkChecked(uint32_t* words, int64_t x, int64_t y, int64_t sx, int64_t sy, bool xMajor, int64_t major,
                 int64_t minor, uint32_t add) {
  const int64_t straightX = xMajor ? sx : 0;
  const int64_t straightY = xMajor ? 0 : sy;
  const int64_t straightStep = straightY * frameWidth + straightX;
  const int64_t diagonalStep = sy * frameWidth + sx;
  int64_t offset = y * frameWidth + x;
  int64_t err = major / 2;
  for (int64_t n = major + 1; n > 0; --n) {
    if (static_cast<uint64_t>(x) < static_cast<uint64_t>(frameWidth) &&
        static_cast<uint64_t>(y) < static_cast<uint64_t>(frameHeight))
      words[offset] = saturatedSum(words[offset], add);
    err += minor;
    if (err < major) {
      x += straightX;
      y += straightY;
      offset += straightStep;
    } else {
      x += sx;
      y += sy;
      offset += diagonalStep;
      err -= major;
    }
  }
}

// The same walk for a line whose ends both lie in the frame, so that every
// point does: no checks, and the step chosen without a branch (a line's
// pattern of steps is too irregular to predict).
void walkInside(uint32_t* words, int x, int y, int sx, int sy, bool xMajor, int major, int minor, uint32_t add) {
  const int straightStep = xMajor ? sx : sy * frameWidth;
  const int diagonalStep = sy * frameWidth + sx;
  uint32_t* at = words + y * frameWidth + x;
  int err = major / 2;
  for (int n = major + 1; n > 0; --n) {
    *at = saturatedSum(*at, add);
    const int diagonalErr = err + minor - major;
    const bool diagonal = diagonalErr >= 0;
    err = diagonal ? diagonalErr : err + minor;
    at += diagonal ? diagonalStep : straightStep;
  }
}

bool inFrame(int x, int y) { return x >= 0 && x < frameWidth && y >= 0 && y < frameHeight; }

}  // namespace

void drawAdditiveLine(Image& image, int x0, int y0, int x1, int y1, uint32_t colour, int intensity) {
  if (!imageIs(&image, frameWidth, frameHeight)) return;
  // The walk never leaves the box spanned by its ends: a line wholly to one
  // side of the frame has no point to draw.
  if ((x0 < 0 && x1 < 0) || (y0 < 0 && y1 < 0) || (x0 >= frameWidth && x1 >= frameWidth) ||
      (y0 >= frameHeight && y1 >= frameHeight))
    return;

  intensity = std::clamp(intensity, 0, 256);
  const uint32_t addR = ((colour >> 16) & 0xFF) * static_cast<uint32_t>(intensity) >> 8;
  const uint32_t addG = ((colour >> 8) & 0xFF) * static_cast<uint32_t>(intensity) >> 8;
  const uint32_t addB = (colour & 0xFF) * static_cast<uint32_t>(intensity) >> 8;
  // Each channel held at 255, the fourth byte kept (it gets 0 added).
  const uint32_t add = addR << 16 | addG << 8 | addB;
  if (add == 0) return;

  // A 45-degree line counts as y-major; the error starts at half the major length.
  uint32_t* const words = imageWords(image);
  if (inFrame(x0, y0) && inFrame(x1, y1)) {
    const int adx = std::abs(x1 - x0), ady = std::abs(y1 - y0);
    const bool xMajor = adx > ady;
    walkInside(words, x0, y0, sign(x1 - x0), sign(y1 - y0), xMajor, xMajor ? adx : ady, xMajor ? ady : adx, add);
    return;
  }
  const int64_t dx = int64_t{x1} - x0;
  const int64_t dy = int64_t{y1} - y0;
  const int64_t adx = std::llabs(dx);
  const int64_t ady = std::llabs(dy);
  const bool xMajor = adx > ady;
  walkChecked(words, x0, y0, (dx > 0) - (dx < 0), (dy > 0) - (dy < 0), xMajor, xMajor ? adx : ady,
              xMajor ? ady : adx, add);
}

}  // namespace vorlith
