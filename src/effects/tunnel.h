#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "math/matrix.h"
#include "math/vector.h"

namespace vorlith {

// The ray grid: one node at every 8th pixel, 41 x 26 nodes for the 320x200
// frame (the last row and column lie just outside it). Rows are 64 entries
// apart; entries 41..63 of a row are never used.
inline constexpr int tunnelGridColumns = 41;
inline constexpr int tunnelGridRows = 26;
inline constexpr int tunnelGridStride = 64;
inline constexpr int tunnelGridSize = tunnelGridRows * tunnelGridStride;

// The 256x256 texture, 65 shade levels of its 256 palette colours.
inline constexpr int tunnelTextureBytes = 65536;
inline constexpr int tunnelPaletteBytes = 768;
inline constexpr int tunnelShadeLevels = 65;

// The texture file: an 18-byte header that is never looked at, the colour
// map, then one palette index per texel, rows in file order.
inline constexpr size_t tunnelFileHeaderBytes = 18;
inline constexpr size_t tunnelFileBytes = tunnelFileHeaderBytes + tunnelPaletteBytes + tunnelTextureBytes;

// The parts of a texture file as they are read: a part the file does not
// hold in full is as long as what is there, and every part after a short
// one is empty (the reading stops at the first short read). The rest reads
// as zero.
struct TunnelTextureFile {
  const uint8_t* palette = nullptr;
  size_t paletteBytes = 0;
  const uint8_t* indices = nullptr;
  size_t indexBytes = 0;
};
TunnelTextureFile tunnelTextureParts(const uint8_t* bytes, size_t size);

// Lays the file's palette indices into the tiled texture (tunnelTextureBytes
// bytes, see tiledTexelOffset), zero where the file holds none.
void tileTunnelTexture(const TunnelTextureFile& file, uint8_t* texture);

// Offset of texel (column, row) in the tiled texture: 32 strips of 8 columns
// by 256 rows, one after another, 8 bytes a row inside a strip.
constexpr uint32_t tiledTexelOffset(uint32_t column, uint32_t row) {
  return (column & 7) + 8 * (row & 255) + 2048 * ((column >> 3) & 31);
}

// The inside of an endless textured cylinder x^2 + y^2 = radius^2 along z,
// seen from a camera inside it and lit by one point light. Rays are cast only
// at the grid nodes; each node keeps a texture column (depth), a texture row
// (angle round the axis) and a light level, all 16.16 fixed point, and render
// fills the 8x8 blocks between nodes by stepping those values linearly.
class Tunnel {
 public:
  // Allocates the tables and rays; the texture comes with setTexture. False
  // when memory cannot be had.
  bool init(float radius);
  // Palette, shade table and tiled texture from the parts of a texture file;
  // whatever they lack reads as zero. False when memory cannot be had (or
  // init has not run).
  bool setTexture(const TunnelTextureFile& file);
  void setLightFollowsCamera(int flag);
  void setCameraPosition(float x, float y, float z);
  // Stores each angle masked to 0..1023.
  void setAngles(int ax, int ay, int az);
  // Rebuilds the rotation and the three grids from the camera and angles.
  void trace();
  // Writes all 320x200 pixels (320 per line, no padding) from the grids.
  void render(uint32_t* pixels) const;
  // Releases everything; safe before init, after a partial init, and twice.
  void destroy();

  uint8_t* texture = nullptr;  // tiled 256x256 palette indices, on an even address
  std::unique_ptr<uint8_t[]> palette;      // 256 three-byte entries, as in the file
  std::unique_ptr<uint32_t[]> shadeTable;  // [level * 256 + index], levels 0..64
  std::unique_ptr<float[]> sinTable;
  std::unique_ptr<float[]> cosTable;
  std::unique_ptr<int32_t[]> uGrid;      // texture column per node, 16.16
  std::unique_ptr<int32_t[]> vGrid;      // texture row per node, 16.16
  std::unique_ptr<int32_t[]> lightGrid;  // light level per node, 16.16
  std::unique_ptr<Vector3[]> rayTable;   // unit view direction per node, unrotated
  float radius = 0.0f;
  float radiusSquared = 0.0f;
  Matrix4 rotation;
  bool lightFollowsCamera = false;
  Vector3 cameraPosition;
  Vector3 lightPosition;
  int32_t angles[3] = {0, 0, 0};

 private:
  // The allocation texture points into (33 bytes to spare for the even start).
  std::unique_ptr<uint8_t[]> textureStorage_;
};

// The three values trace records at a node whose ray meets the wall at
// (hitX, hitY, hitZ), with the light at `light`. Exposed for the tests of the
// conversions; misses never get here.
struct TunnelNode {
  int32_t u = 0;
  int32_t v = 0;
  int32_t light = 0;
};
TunnelNode tunnelHitNode(float hitX, float hitY, double hitZ, float radius, const Vector3& light);

// Texture column of a wall point at depth z: z * 0.2 truncated to a 64-bit
// integer, its low 32 bits shifted into the integer half of a 16.16 value.
// Depths whose column does not fit in 64 bits, and NaN, give column 0 (the
// x86 conversion yields 0x8000000000000000 for them, whose low half is 0).
int32_t tunnelColumn(double z);

}  // namespace vorlith
