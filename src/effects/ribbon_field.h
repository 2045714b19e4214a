#pragma once
#include <cstdint>
#include <memory>

#include "image/image.h"

namespace vorlith {

// A textured, shiny column that twists about its vertical axis, one slice per
// frame row. Each slice is a closed outline of 32 points, turned by its row's
// angle and projected onto its row; the edges that run left to right on the
// screen are drawn as textured, lightmapped, depth-tested spans.
class RibbonField {
 public:
  static constexpr int rows = 200;
  static constexpr int outlinePoints = 32;

  struct Pair {
    float x = 0, y = 0;
  };

  // What the column can use: a lightmap of at least 255 pixels and a texture
  // of at least 256x256, both plain 32-bit pictures.
  static bool lightmapFits(const Image& picture);
  static bool textureFits(const Image& picture);

  // Outline, tangents, depth buffer, and the brightness table from the
  // lightmap picture (null, or one that does not fit: no table, nothing is
  // drawn); the row tables cleared.
  void init(const Image* lightmapPicture);
  // The surface picture; needed before render draws anything. One that does
  // not fit is dropped.
  void setTexture(OwnedImage picture);
  // Draws rows firstRow .. endRow - 1 (below 200) into a 320x200 frame, over
  // what is there. The depth buffer is reset on every call.
  void render(Image& frame);
  // One span of one row, columns x0 .. x1 - 1; x in whole columns, u and l
  // in 16.16, z in 1/256 units. Nothing is written outside the frame.
  void drawSpan(Image& frame, int row, int x0, int u0, int l0, int z0, int x1, int u1, int l1, int z1);
  void destroy();

  // True when the texture, the lightmap and the depth buffer are all there.
  bool ready() const { return texture && lightmapReady && zBuffer; }

  Pair points[rows][outlinePoints] = {};    // x becomes the screen column, y the depth
  Pair tangents[rows][outlinePoints] = {};  // unit tangents of the outline
  OwnedImage texture;                       // 256 rows of 256 pixels are read
  std::unique_ptr<uint16_t[]> zBuffer;      // width x height entries
  uint8_t lightmap[256] = {};               // brightness by facing, mirrored
  bool lightmapReady = false;
  float rowAngle[rows] = {};  // per-row turn in 256ths of a turn
  int32_t textureRowOffset = 0;
  int32_t firstRow = 0;
  int32_t endRow = rows;
  int32_t width = 0;
  int32_t height = 0;
};

}  // namespace vorlith
