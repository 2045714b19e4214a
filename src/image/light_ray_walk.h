#pragma once
// What every form of the light rays shares: the fan's order, one ray's
// Bresenham steps on a linearly addressed frame, and the saturation level of
// its accumulators. light_rays.cpp walks the rays one after another with
// these; light_rays_simd.cpp walks several side by side.
#include <cstdint>
#include <cstdlib>

#include "image/image.h"

namespace vorlith::rays {

// A channel whose accumulator has reached this stays at 255 for the rest of the ray.
inline constexpr int saturated = 16384;

// The fan: a ray to every pixel of the frame's border.
inline constexpr int fanSize = 2 * frameWidth + 2 * (frameHeight - 2);

struct Point {
  int x;
  int y;
};

// The border end of ray i of the fan, in drawing order: for each column the
// rays to row 0 and row 199, then for rows 1..198 to column 0 and column 319.
inline Point fanEnd(int i) {
  if (i < 2 * frameWidth) return {i / 2, i % 2 ? frameHeight - 1 : 0};
  const int r = i - 2 * frameWidth;
  return {r % 2 ? frameWidth - 1 : 0, 1 + r / 2};
}

// A line from its first pixel to its last in Bresenham's steps, counted in
// pixels: the major axis advances every step, the minor one on the steps
// taken while the decision is not negative. Steps are in words of a
// 320-word row.
struct Ray {
  int count = 0;  // pixels, both ends included
  int decision = 0;
  int straightIncrement = 0;
  int diagonalIncrement = 0;
  int straightStep = 0;
  int diagonalStep = 0;
};

inline Ray rayBetween(int x0, int y0, int x1, int y1) {
  const int dx = std::abs(x1 - x0);
  const int dy = std::abs(y1 - y0);
  const int stepX = x1 < x0 ? -1 : 1;
  const int stepY = y1 < y0 ? -frameWidth : frameWidth;
  const bool xMajor = dx >= dy;
  const int major = xMajor ? dx : dy;
  const int minor = xMajor ? dy : dx;
  Ray ray;
  ray.count = major + 1;
  ray.decision = 2 * minor - major;
  ray.straightIncrement = 2 * minor;
  ray.diagonalIncrement = 2 * (minor - major);
  ray.straightStep = xMajor ? stepX : stepY;
  ray.diagonalStep = stepX + stepY;
  return ray;
}

// One ray on raw frames, walked as byte offsets from the pixel at word offset
// start: pixel(from, to) for each pixel's source and destination bytes, then
// the straight or the diagonal step by the decision.
template <typename Pixel>
inline void walkRayPixels(const uint8_t* src, uint8_t* dst, int start, const Ray& ray, Pixel pixel) {
  const int straightStep = 4 * ray.straightStep;
  const int diagonalStep = 4 * ray.diagonalStep;
  const uint8_t* from = src + int64_t{start} * 4;
  uint8_t* to = dst + int64_t{start} * 4;
  int decision = ray.decision;
  for (int i = 0; i < ray.count; ++i) {
    pixel(from, to);
    const bool diagonal = decision >= 0;
    const int step = diagonal ? diagonalStep : straightStep;
    decision += diagonal ? ray.diagonalIncrement : ray.straightIncrement;
    from += step;
    to += step;
  }
}

// Every ray of the fan from the centre (cx, cy), in drawing order, each
// handed to walk(src, dst, start, ray) with the centre's word offset.
template <typename Walk>
inline void walkFan(const uint8_t* src, uint8_t* dst, int cx, int cy, Walk walk) {
  const int centre = cy * frameWidth + cx;
  for (int i = 0; i < fanSize; ++i) {
    const Point end = fanEnd(i);
    walk(src, dst, centre, rayBetween(cx, cy, end.x, end.y));
  }
}

// The plain form of the fan (light_rays.cpp), one ray after another, on raw
// frames and a centre the checks have accepted.
void drawRaysPlain(const uint8_t* src, uint8_t* dst, int cx, int cy);

}  // namespace vorlith::rays
