#include "image/additive_line.h"

#include <algorithm>
#include <cstdlib>

namespace vorlith {

namespace {

// Adds (r, g, b) to one pixel, each channel held at 255; the fourth byte stays.
inline void addPixel(uint32_t* p, uint32_t r, uint32_t g, uint32_t b) {
  const uint32_t d = *p;
  const uint32_t red = std::min<uint32_t>(255, ((d >> 16) & 0xFF) + r);
  const uint32_t green = std::min<uint32_t>(255, ((d >> 8) & 0xFF) + g);
  const uint32_t blue = std::min<uint32_t>(255, (d & 0xFF) + b);
  *p = (d & 0xFF000000u) | (red << 16) | (green << 8) | blue;
}

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
  if ((addR | addG | addB) == 0) return;

  // 64-bit throughout: the ends may lie anywhere in the 32-bit range.
  const int64_t dx = int64_t{x1} - x0;
  const int64_t dy = int64_t{y1} - y0;
  const int64_t sx = (dx > 0) - (dx < 0);
  const int64_t sy = (dy > 0) - (dy < 0);
  const int64_t adx = std::llabs(dx);
  const int64_t ady = std::llabs(dy);

  // A 45-degree line counts as y-major; the error starts at half the major length.
  const bool xMajor = adx > ady;
  const int64_t major = xMajor ? adx : ady;
  const int64_t minor = xMajor ? ady : adx;
  const int64_t straightX = xMajor ? sx : 0;
  const int64_t straightY = xMajor ? 0 : sy;
  const int64_t straightStep = straightY * frameWidth + straightX;
  const int64_t diagonalStep = sy * frameWidth + sx;

  uint32_t* const words = imageWords(image);
  int64_t x = x0, y = y0;
  int64_t offset = y * frameWidth + x;
  int64_t err = major / 2;
  for (int64_t n = major + 1; n > 0; --n) {
    if (static_cast<uint64_t>(x) < static_cast<uint64_t>(frameWidth) &&
        static_cast<uint64_t>(y) < static_cast<uint64_t>(frameHeight))
      addPixel(words + offset, addR, addG, addB);
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

}  // namespace vorlith
