#include "effects/ribbon_field.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "base/exact_math.h"
#include "effects/overbright.h"
#include "effects/truncate.h"
#include "math/angles.h"

namespace vorlith {

namespace {

constexpr int textureSide = 256;
// Pixels 0, 2, ..., 254 of the lightmap picture are read.
constexpr int lightmapPixels = 255;
// 160 x 256: puts the column's axis on column 160.
constexpr int64_t axisColumn = 40960;
// Added to every depth so that the whole column lies in front of the far plane.
constexpr int64_t depthBias = 49152;

// The slices' outline, fixed at init: a closed loop round the axis whose radius
// along x and along y varies between 16 and 80 units, smoothly from row to row.
void buildOutline(RibbonField::Pair (*points)[RibbonField::outlinePoints], RibbonField::Pair (*tangents)[RibbonField::outlinePoints]) {
  for (int j = 0; j < RibbonField::rows; ++j) {
    for (int i = 0; i < RibbonField::outlinePoints; ++i) {
      const double theta = i * 0.196349540849375;
      const double p = 39 * exactSin(0.137 * i);
      const double q = 43 * exactCos(0.111 * i);
      const double cosTheta = static_cast<float>(exactCos(theta));
      const double x = (32 * exactSin(0.019 * (i + 47 * exactCos(0.123 * j))) * exactCos(0.023 * (j + p)) + 48) * cosTheta;
      const double y = (32 * exactCos(0.027 * (i + 31 * exactSin(0.147 * j))) * exactSin(0.014 * (j + q)) + 48) *
                       exactSin(theta);
      points[j][i] = {static_cast<float>(x), static_cast<float>(y)};
    }
    for (int c = 0; c < RibbonField::outlinePoints; ++c) {
      const RibbonField::Pair& next = points[j][(c + 1) % RibbonField::outlinePoints];
      const RibbonField::Pair& prev = points[j][(c + RibbonField::outlinePoints - 1) % RibbonField::outlinePoints];
      const double dx = static_cast<double>(next.x) - prev.x;
      const double dy = static_cast<double>(next.y) - prev.y;
      const double length = std::sqrt(dx * dx + dy * dy);
      tangents[j][c] = length > 0 ? RibbonField::Pair{static_cast<float>(dx / length), static_cast<float>(dy / length)}
                                  : RibbonField::Pair{};
    }
  }
}

// (to - from) / n truncated toward zero, for n >= 1, wrapped to 32 bits. The
// numerator is below 2^33 in size, so the quotient in double, rounded once,
// never reaches a whole number that the true one does not (it would have to
// move by 1/n, more than the rounding can): it truncates to the integer
// quotient, at a fraction of the cost of a 64-bit division.
uint32_t spanStep(int32_t from, int32_t to, int64_t n) {
  const double quotient = static_cast<double>(int64_t{to} - from) / static_cast<double>(n);
  return static_cast<uint32_t>(static_cast<int64_t>(quotient));
}

}  // namespace

bool RibbonField::lightmapFits(const Image& picture) {
  return wordImage(picture) && int64_t{picture.width} * picture.height >= lightmapPixels;
}

bool RibbonField::textureFits(const Image& picture) {
  return wordImage(picture) && picture.width >= textureSide && picture.height >= textureSide;
}

void RibbonField::init(const Image* picture) {
  width = frameWidth;
  height = frameHeight;
  zBuffer = zeroedArray<uint16_t>(static_cast<size_t>(width) * height);
  buildOutline(points, tangents);

  // Brightness by facing from the picture's even pixels 0..254, two thirds of
  // their blue byte, mirrored so that the index may wrap without a jump.
  lightmapReady = false;
  if (picture && lightmapFits(*picture)) {
    const uint32_t* words = imageWords(*picture);
    for (int k = 0; k < 128; ++k) {
      const int v = static_cast<int>(words[2 * k] & 0xFF);
      const int value = std::clamp(static_cast<int>(v * static_cast<double>(0.6666667f)), 15, 255);
      lightmap[k] = lightmap[255 - k] = static_cast<uint8_t>(value);
    }
    lightmapReady = true;
  }

  std::fill(std::begin(rowAngle), std::end(rowAngle), 0.0f);
  textureRowOffset = 0;
  firstRow = 0;
  endRow = rows;
}

void RibbonField::setTexture(OwnedImage picture) {
  texture = picture && textureFits(*picture) ? std::move(picture) : nullptr;
}

void RibbonField::render(Image& frame) {
  if (!zBuffer) return;
  std::fill(zBuffer.get(), zBuffer.get() + static_cast<size_t>(width) * height, uint16_t{0xFFFF});
  if (!ready() || !imageIs(&frame, width, height)) return;

  int32_t columns[outlinePoints];
  int32_t depths[outlinePoints];
  int32_t light[outlinePoints];
  const int last = std::min(endRow, std::min(height, static_cast<int32_t>(rows)));
  for (int r = std::max(firstRow, 0); r < last; ++r) {
    const double phi = rowAngle[r] * angleStep;
    double sinPhi, cosPhi;
    exactSinCos(phi, sinPhi, cosPhi);
    const double cw = static_cast<float>(256 * cosPhi);
    const double sw = 256 * sinPhi;
    for (int c = 0; c < outlinePoints; ++c) {
      const double x = points[r][c].x, y = points[r][c].y;
      const double tx = tangents[r][c].x, ty = tangents[r][c].y;
      // Screen column and depth in 1/256 units; the turned tangent's x part
      // (-256..256) says how squarely the surface faces the viewer, and
      // 512 - t in 16.16 halves it into the lightmap coordinate 256 - t/2.
      const int64_t column = int64_t{truncateSaturated(cw * x - sw * y)} + axisColumn;
      columns[c] = static_cast<int32_t>(column >> 8);
      const int64_t depth = int64_t{truncateSaturated(cw * y + sw * x)} + depthBias;
      depths[c] = static_cast<int32_t>(std::clamp<int64_t>(depth, INT32_MIN, INT32_MAX));
      const int32_t t = std::clamp(truncateSaturated(cw * tx - sw * ty), -512, 512);
      light[c] = (512 - t) * 32768;
    }
    // The texture is laid twice round the loop: 16 texture columns per edge.
    for (int k = 1; k <= outlinePoints; ++k) {
      const int a = k - 1, b = k % outlinePoints;
      drawSpan(frame, r, columns[a], a << 20, light[a], depths[a], columns[b], k << 20, light[b], depths[b]);
    }
  }
}

void RibbonField::drawSpan(Image& frame, int row, int x0, int u0, int l0, int z0, int x1, int u1, int l1, int z1) {
  // Edges that run right to left (the far side of the loop) are not drawn.
  if (x0 >= x1 || !ready() || !imageIs(&frame, width, height)) return;
  const int64_t n = int64_t{x1} - x0;
  // Steps in 32-bit two's complement, as fixed-point stepping wraps.
  const uint32_t du = spanStep(u0, u1, n);
  const uint32_t dl = spanStep(l0, l1, n);
  const uint32_t dz = spanStep(z0, z1, n);

  // Only the part of the span that lies inside the frame's pixels is walked;
  // a span is not clipped to its row.
  const int64_t start = int64_t{row} * width + x0;
  const int64_t size = int64_t{width} * height;
  const int64_t first = std::max<int64_t>(0, -start);
  const int64_t end = std::min<int64_t>(n, size - start);
  if (first >= end) return;
  uint32_t u = static_cast<uint32_t>(u0) + static_cast<uint32_t>(first) * du;
  uint32_t l = static_cast<uint32_t>(l0) + static_cast<uint32_t>(first) * dl;
  uint32_t z = static_cast<uint32_t>(z0) + static_cast<uint32_t>(first) * dz;

  const uint32_t* textureRow =
      imageWords(*texture) + ((static_cast<uint32_t>(row) + static_cast<uint32_t>(textureRowOffset)) & 0xFF) * textureSide;
  uint32_t* dst = imageWords(frame) + start + first;
  uint16_t* depth = zBuffer.get() + start + first;
  const uint8_t* const shades = overbrightTable();
  for (int64_t i = first; i < end; ++i, ++dst, ++depth, u += du, l += dl, z += dz) {
    // Equal depth does not draw; the entry is compared as an unsigned number.
    if (static_cast<int32_t>(z) >= static_cast<int32_t>(*depth)) continue;
    const uint32_t texel = textureRow[(u >> 16) & 0xFF];
    // Each channel overbright by the light, held at 255.
    const uint8_t* shade = shades + lightmap[(l >> 16) & 0xFF] * 256;
    *dst = uint32_t{shade[(texel >> 16) & 0xFF]} << 16 | uint32_t{shade[(texel >> 8) & 0xFF]} << 8 |
           shade[texel & 0xFF];
    *depth = static_cast<uint16_t>(z);
  }
}

void RibbonField::destroy() {
  zBuffer.reset();
  texture.reset();
}

}  // namespace vorlith
