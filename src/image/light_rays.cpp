#include "image/light_rays.h"

#include <cstdlib>

namespace vorlith {

namespace {

// A channel whose accumulator has reached this stays at 255 for the rest of the ray.
constexpr int saturated = 16384;

bool holdsFrame(const Image& image) {
  return image.pixels && image.height >= 0 && image.bytesPerLine >= 0 &&
         int64_t{image.bytesPerLine} * image.height >= frameBytes;
}

// An end the linear walk may start or stop at: inside the frame, or one
// pixel left of it below row 0 (the last pixel of the row above).
bool rayEnd(int x, int y) { return y >= 0 && y < frameHeight && x >= -1 && x < frameWidth && !(x == -1 && y == 0); }

// One channel of one pixel: a saturated channel writes 255 without reading
// its source; any other adds the source byte to its accumulator and writes
// the byte plus a 64th of the accumulator, at most 254.
inline void rayChannel(const uint8_t* from, uint8_t* to, int& accumulator) {
  if (accumulator >= saturated) {
    *to = 255;
    return;
  }
  const int s = *from;
  accumulator += s;
  const int v = s + (accumulator >> 6);
  *to = static_cast<uint8_t>(v < 254 ? v : 254);
}

// One ray on raw frames, walked as a byte offset; the destination's fourth
// byte is never written. Every pixel of a ray lies between its ends in x and
// y, so with both ends accepted by rayEnd the walk stays inside the frames.
// (Branches beat masks here: they let the next pixel's loads start early.)
void walkRay(const uint8_t* src, uint8_t* dst, int x0, int y0, int x1, int y1) {
  const int dx = std::abs(x1 - x0);
  const int dy = std::abs(y1 - y0);
  const int stepX = x1 < x0 ? -4 : 4;
  const int stepY = y1 < y0 ? -4 * frameWidth : 4 * frameWidth;
  const bool xMajor = dx >= dy;
  const int count = (xMajor ? dx : dy) + 1;
  const int minor = xMajor ? dy : dx;
  const int major = xMajor ? dx : dy;
  int decision = 2 * minor - major;
  const int straightIncrement = 2 * minor;
  const int diagonalIncrement = 2 * (minor - major);
  const int straightStep = xMajor ? stepX : stepY;
  const int diagonalStep = stepX + stepY;

  const int64_t start = (int64_t{y0} * frameWidth + x0) * 4;
  const uint8_t* from = src + start;
  uint8_t* to = dst + start;
  int blue = 0, green = 0, red = 0;
  for (int i = 0; i < count; ++i) {
    rayChannel(from, to, blue);
    rayChannel(from + 1, to + 1, green);
    rayChannel(from + 2, to + 2, red);
    const bool diagonal = decision >= 0;
    const int step = diagonal ? diagonalStep : straightStep;
    decision += diagonal ? diagonalIncrement : straightIncrement;
    from += step;
    to += step;
  }
}

}  // namespace

void drawLightRay(const Image& src, Image& dst, int x0, int y0, int x1, int y1) {
  if (!holdsFrame(src) || !holdsFrame(dst) || !rayEnd(x0, y0) || !rayEnd(x1, y1)) return;
  walkRay(src.pixels, dst.pixels, x0, y0, x1, y1);
}

void drawLightRays(const Image& src, Image& dst, int cx, int cy) {
  // Every border pixel is a valid end, so only the centre needs a look.
  if (!holdsFrame(src) || !holdsFrame(dst) || !rayEnd(cx, cy)) return;
  const uint8_t* from = src.pixels;
  uint8_t* to = dst.pixels;
  for (int x = 0; x < frameWidth; ++x) {
    walkRay(from, to, cx, cy, x, 0);
    walkRay(from, to, cx, cy, x, frameHeight - 1);
  }
  for (int y = 1; y < frameHeight - 1; ++y) {
    walkRay(from, to, cx, cy, 0, y);
    walkRay(from, to, cx, cy, frameWidth - 1, y);
  }
}

}  // namespace vorlith
