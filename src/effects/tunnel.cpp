#include "effects/tunnel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/image.h"
#include "base/exact_math.h"
#include "math/sine_tables.h"

namespace vorlith {

namespace {

// The focal distance of the view, in pixels.
constexpr float focalDistance = 128.0f;
// 256 / 3.14159265359: the angle round the axis, 0..pi, onto rows 0..255.
constexpr double rowsPerRadian = 81.48733086304505;
// One texture column per 5 units of depth.
constexpr double columnsPerUnit = 0.2;

// The per-line and per-block steps: (to - from) / 8 rounded towards minus
// infinity, in 32-bit wrap-around arithmetic.
inline uint32_t eighth(uint32_t to, uint32_t from) {
  return static_cast<uint32_t>(static_cast<int32_t>(to - from) >> 3);
}

// A 16.16 texture column as a field of the texel address: fraction bits 1..15
// in bits 0..14, column bits 0..2 in bits 16..18 and column bits 3..7 in bits
// 27..31. The gaps between the fields hold the row (below).
inline uint32_t packColumn(uint32_t u) {
  return ((u >> 1) & 0x7FFFu) + ((u & 0xF80000u) << 8) + (u & 0x70000u);
}

// A 16.16 texture row: fraction bits 1..15 in bits 0..14, the row in bits 19..26.
inline uint32_t packRow(uint32_t v) { return ((v >> 1) & 0x7FFFu) + ((v & 0xFF0000u) << 3); }

// A step has its gap bits set, so that a carry out of one field runs on
// through the gap into the next; the masks clear the gaps again after the add.
constexpr uint32_t columnStepGaps = 0x07F88000u;
constexpr uint32_t rowStepGaps = 0xF8078000u;
constexpr uint32_t columnFields = 0xF8077FFFu;
constexpr uint32_t rowFields = 0x07F87FFFu;

// The three grids at one block corner and the per-line steps down its edge.
struct BlockEdge {
  uint32_t u, v, light;
  uint32_t uStep, vStep, lightStep;
};

inline BlockEdge blockEdge(const int32_t* u, const int32_t* v, const int32_t* light, int top) {
  const int bottom = top + tunnelGridStride;
  const auto at = [](const int32_t* g, int i) { return static_cast<uint32_t>(g[i]); };
  return {at(u, top),
          at(v, top),
          at(light, top),
          eighth(at(u, bottom), at(u, top)),
          eighth(at(v, bottom), at(v, top)),
          eighth(at(light, bottom), at(light, top))};
}

}  // namespace

TunnelTextureFile tunnelTextureParts(const uint8_t* bytes, size_t size) {
  TunnelTextureFile parts;
  if (!bytes || size < tunnelFileHeaderBytes) return parts;
  size_t at = tunnelFileHeaderBytes;
  parts.palette = bytes + at;
  parts.paletteBytes = std::min<size_t>(size - at, tunnelPaletteBytes);
  at += parts.paletteBytes;
  if (parts.paletteBytes < tunnelPaletteBytes) return parts;
  parts.indices = bytes + at;
  parts.indexBytes = std::min<size_t>(size - at, tunnelTextureBytes);
  return parts;
}

int32_t tunnelColumn(double z) {
  const double n = z * columnsPerUnit;
  // Only values that fit in 64 bits are converted; the rest (and NaN) take
  // the x86 "integer indefinite" 0x8000000000000000, whose low half is 0.
  uint64_t column = 0x8000000000000000u;
  if (n >= -9223372036854775808.0 && n < 9223372036854775808.0)
    column = static_cast<uint64_t>(static_cast<int64_t>(n));
  return static_cast<int32_t>(static_cast<uint32_t>(column) << 16);
}

TunnelNode tunnelHitNode(float hitX, float hitY, double hitZ, float radius, const Vector3& light) {
  TunnelNode node;
  node.u = tunnelColumn(hitZ);

  // |angle| is at most pi, so the row is 0..255; a NaN hit takes row 0.
  const double row = std::fabs(exactAtan2(static_cast<double>(hitY), static_cast<double>(hitX))) * rowsPerRadian;
  if (row >= 0.0 && row < 256.0) node.v = static_cast<int32_t>(row) << 16;

  // Lit by how squarely the light faces the wall: the cosine between the wall
  // normal and the direction from the light, squared.
  const float normalX = static_cast<float>(hitX / static_cast<double>(radius));
  const float normalY = static_cast<float>(hitY / static_cast<double>(radius));
  Vector3 w{static_cast<float>(static_cast<double>(hitX) - light.x),
            static_cast<float>(static_cast<double>(hitY) - light.y), static_cast<float>(hitZ - light.z)};
  vectorNormalize(w);
  const double facing = static_cast<double>(w.x) * normalX + static_cast<double>(w.y) * normalY;
  double s = facing * facing;
  if (!(s >= 0.0)) s = 0.0;
  if (s > 1.0) s = 1.0;
  node.light = static_cast<int32_t>(s * 63.0) << 16;
  return node;
}

void tileTunnelTexture(const TunnelTextureFile& file, uint8_t* texture) {
  // File row y, columns 8s..8s+7 become row y of strip s; texels the file
  // does not hold are 0.
  const size_t have = file.indices ? std::min<size_t>(file.indexBytes, tunnelTextureBytes) : 0;
  for (uint32_t y = 0; y < 256; ++y)
    for (uint32_t strip = 0; strip < 32; ++strip) {
      uint8_t* to = texture + tiledTexelOffset(8 * strip, y);
      const size_t from = 256 * y + 8 * strip;
      const size_t n = from < have ? std::min<size_t>(have - from, 8) : 0;
      if (n) std::memcpy(to, file.indices + from, n);
      if (n < 8) std::memset(to + n, 0, 8 - n);
    }
}

bool Tunnel::init(float r) {
  radius = r;
  radiusSquared = static_cast<float>(static_cast<double>(r) * r);

  palette = zeroedArray<uint8_t>(tunnelPaletteBytes);
  shadeTable = zeroedArray<uint32_t>(tunnelShadeLevels * 256);
  sinTable = zeroedArray<float>(sineTableSize);
  cosTable = zeroedArray<float>(sineTableSize);
  // Zeroed grids draw black (column 0, row 0, level 0) until the first trace.
  uGrid = zeroedArray<int32_t>(tunnelGridSize);
  vGrid = zeroedArray<int32_t>(tunnelGridSize);
  lightGrid = zeroedArray<int32_t>(tunnelGridSize);
  rayTable = zeroedArray<Vector3>(tunnelGridSize);
  if (!palette || !shadeTable || !sinTable || !cosTable || !uGrid || !vGrid || !lightGrid || !rayTable) {
    destroy();
    return false;
  }

  buildSineTables(sinTable.get(), cosTable.get());

  for (int r = 0; r < tunnelGridRows; ++r)
    for (int c = 0; c < tunnelGridColumns; ++c) {
      Vector3 ray{static_cast<float>(-160 + 8 * c), static_cast<float>(-100 + 8 * r), focalDistance};
      vectorNormalize(ray);
      rayTable[r * tunnelGridStride + c] = ray;
    }

  cameraPosition = Vector3{};
  lightPosition = Vector3{1.0f, 1.0f, 0.0f};
  vectorNormalize(lightPosition);
  angles[0] = angles[1] = angles[2] = 0;
  lightFollowsCamera = false;
  return true;
}

bool Tunnel::setTexture(const TunnelTextureFile& file) {
  if (!palette || !shadeTable) return false;  // init has not run: nothing to fill
  // A texture given again is rebuilt in place.
  if (!textureStorage_) textureStorage_ = zeroedArray<uint8_t>(tunnelTextureBytes + 33);
  if (!textureStorage_) return false;

  // The texture starts on an even address.
  uint8_t* start = textureStorage_.get() + (reinterpret_cast<uintptr_t>(textureStorage_.get()) & 1);

  std::memset(palette.get(), 0, tunnelPaletteBytes);
  if (file.paletteBytes) std::memcpy(palette.get(), file.palette, std::min<size_t>(file.paletteBytes, tunnelPaletteBytes));

  // Level i scales a palette colour by i / 32 (level 32 is the colour itself),
  // each channel capped at 255. The first byte of an entry feeds red.
  for (uint32_t level = 0; level < tunnelShadeLevels; ++level)
    for (int k = 0; k < 256; ++k) {
      uint32_t pixel = 0;
      for (int b = 0; b < 3; ++b) {
        const uint32_t channel = (palette[3 * k + b] * 4u * level) >> 7;
        pixel = (pixel << 8) | (channel > 255 ? 255 : channel);
      }
      shadeTable[level * 256 + k] = pixel;
    }

  tileTunnelTexture(file, start);
  texture = start;
  return true;
}

void Tunnel::setLightFollowsCamera(int flag) { lightFollowsCamera = (flag & 1) != 0; }

void Tunnel::setCameraPosition(float x, float y, float z) { cameraPosition = Vector3{x, y, z}; }

void Tunnel::setAngles(int ax, int ay, int az) {
  angles[0] = ax & 1023;
  angles[1] = ay & 1023;
  angles[2] = az & 1023;
}

void Tunnel::trace() {
  if (!uGrid || !vGrid || !lightGrid || !rayTable || !sinTable || !cosTable) return;
  if (lightFollowsCamera) lightPosition = cameraPosition;

  matrixIdentity(rotation);
  matrixRotateX(rotation, angles[0] & 1023, sinTable.get(), cosTable.get());
  matrixRotateY(rotation, angles[1] & 1023, sinTable.get(), cosTable.get());
  matrixRotateZ(rotation, angles[2] & 1023, sinTable.get(), cosTable.get());

  // The ray cam + t d meets the wall where A t^2 + B t + C = 0, with
  // A = dx^2 + dy^2, B = 2 (dx cx + dy cy), C = cx^2 + cy^2 - radius^2;
  // with A2 = 2A and q = 2C, B^2 - A2 q is the discriminant B^2 - 4AC.
  const double cx = cameraPosition.x, cy = cameraPosition.y, cz = cameraPosition.z;
  const float q = static_cast<float>(2.0 * (cx * cx + cy * cy - radiusSquared));

  for (int r = 0; r < tunnelGridRows; ++r)
    for (int c = 0; c < tunnelGridColumns; ++c) {
      const int i = r * tunnelGridStride + c;
      Vector3 d;
      transformDirection(rayTable[i], rotation, d);
      const double dx = d.x, dy = d.y, dz = d.z;
      const double a2 = 2.0 * (dx * dx + dy * dy);
      const double b = 2.0 * (dx * cx + dy * cy);
      const double discriminant = b * b - a2 * q;
      TunnelNode node;  // a miss, or a ray along the axis: 0, 0, 0
      if (discriminant >= 0.0 && a2 != 0.0) {
        const double t = (std::sqrt(discriminant) - b) / a2;  // the far root: the wall ahead
        node = tunnelHitNode(static_cast<float>(cx + t * dx), static_cast<float>(cy + t * dy), cz + t * dz,
                             radius, lightPosition);
      }
      uGrid[i] = node.u;
      vGrid[i] = node.v;
      lightGrid[i] = node.light;
    }
}

void Tunnel::render(uint32_t* pixels) const {
  if (!texture || !shadeTable || !uGrid || !vGrid || !lightGrid) {
    std::memset(pixels, 0, frameBytes);  // nothing to draw from: black
    return;
  }
  const uint8_t* tex = texture;
  const uint32_t* shade = shadeTable.get();
  const int32_t* u = uGrid.get();
  const int32_t* v = vGrid.get();
  const int32_t* light = lightGrid.get();

  for (int by = 0; by < tunnelGridRows - 1; ++by)
    for (int bx = 0; bx < tunnelGridColumns - 1; ++bx) {
      const int corner = by * tunnelGridStride + bx;
      BlockEdge left = blockEdge(u, v, light, corner);
      BlockEdge right = blockEdge(u, v, light, corner + 1);
      uint32_t* line = pixels + (8 * by) * frameWidth + 8 * bx;
      for (int k = 0; k < 8; ++k, line += frameWidth) {
        // Texel address = (h + i) >> 16: the packed column and row fields do
        // not overlap above bit 15, and the two fractions sum below bit 16.
        uint32_t h = packColumn(left.u);
        uint32_t i = packRow(left.v);
        const uint32_t f = packColumn(eighth(right.u, left.u)) | columnStepGaps;
        const uint32_t g = packRow(eighth(right.v, left.v)) | rowStepGaps;
        uint32_t level = left.light;
        const uint32_t levelStep = eighth(right.light, left.light);
        for (int p = 0; p < 8; ++p) {
          level += levelStep;  // one step in before the first pixel
          line[p] = shade[((level >> 8) & 0x3F00u) + tex[(h + i) >> 16]];
          h = (h + f) & columnFields;
          i = (i + g) & rowFields;
        }
        left.u += left.uStep;
        left.v += left.vStep;
        left.light += left.lightStep;
        right.u += right.uStep;
        right.v += right.vStep;
        right.light += right.lightStep;
      }
    }
}

void Tunnel::destroy() {
  texture = nullptr;
  textureStorage_.reset();
  palette.reset();
  shadeTable.reset();
  sinTable.reset();
  cosTable.reset();
  uGrid.reset();
  vGrid.reset();
  lightGrid.reset();
  rayTable.reset();
}

}  // namespace vorlith
