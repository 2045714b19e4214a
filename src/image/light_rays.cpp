// The light rays: the checks every entry makes, and the plain walk, one ray
// after another. The SIMD forms are in light_rays_simd.cpp; every form gives
// the same bytes.
#include "image/light_rays.h"

#include <cstdint>

#include "image/light_ray_walk.h"

namespace vorlith::rays {

namespace {

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

// One ray on raw frames, walked as a byte offset from the pixel at word
// offset start; the destination's fourth byte is never written. Every pixel
// of a ray lies between its ends in x and y, so with both ends accepted by
// rayEnd the walk stays inside the frames. (Branches beat masks here: they
// let the next pixel's loads start early.)
void walkRay(const uint8_t* src, uint8_t* dst, int start, const Ray& ray) {
  int blue = 0, green = 0, red = 0;
  walkRayPixels(src, dst, start, ray, [&](const uint8_t* from, uint8_t* to) {
    rayChannel(from, to, blue);
    rayChannel(from + 1, to + 1, green);
    rayChannel(from + 2, to + 2, red);
  });
}

bool holdsFrame(const Image& image) {
  return image.pixels && image.height >= 0 && image.bytesPerLine >= 0 &&
         int64_t{image.bytesPerLine} * image.height >= frameBytes;
}

// An end the linear walk may start or stop at: inside the frame, or one
// pixel left of it below row 0 (the last pixel of the row above).
bool rayEnd(int x, int y) { return y >= 0 && y < frameHeight && x >= -1 && x < frameWidth && !(x == -1 && y == 0); }

// True when the first frames at a and b share a byte.
bool framesOverlap(const uint8_t* a, const uint8_t* b) {
  const auto x = reinterpret_cast<uintptr_t>(a);
  const auto y = reinterpret_cast<uintptr_t>(b);
  return x < y + frameBytes && y < x + frameBytes;
}

}  // namespace

void drawRaysPlain(const uint8_t* src, uint8_t* dst, int cx, int cy) { walkFan(src, dst, cx, cy, walkRay); }

}  // namespace vorlith::rays

namespace vorlith {

using namespace rays;

void drawLightRay(const Image& src, Image& dst, int x0, int y0, int x1, int y1) {
  if (!holdsFrame(src) || !holdsFrame(dst) || !rayEnd(x0, y0) || !rayEnd(x1, y1)) return;
  walkRay(src.pixels, dst.pixels, y0 * frameWidth + x0, rayBetween(x0, y0, x1, y1));
}

void drawLightRays(const Image& src, Image& dst, int cx, int cy) {
  // Every border pixel is a valid end, so only the centre needs a look.
  if (!holdsFrame(src) || !holdsFrame(dst) || !rayEnd(cx, cy)) return;
  // Rays that read what earlier rays wrote only come out right one by one.
  const KernelForms<LightRayForm>& forms = lightRayForms();
  const LightRayForm& form = framesOverlap(src.pixels, dst.pixels) ? forms.plain() : forms.active();
  form.drawRays(src.pixels, dst.pixels, cx, cy);
}

}  // namespace vorlith
