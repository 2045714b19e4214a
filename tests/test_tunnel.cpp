// The tunnel: its rays and grids for the documented views, the conversions of
// far or broken hits, the block fill (the fast packed stepping against the
// plain 23-bit form), and the texture file: shade levels, tiling, short files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#include "effects/tunnel.h"
#include "image/image.h"
#include "support.h"

namespace vorlith {
namespace {

using test::ScratchDirectory;

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

// A tunnel made as the show makes it (radius 300, light at the camera),
// with the texture from the working directory (none: all zero).
struct TunnelFixture {
  TunnelFixture() {
    tunnel.init(300.0f);
    test::loadTunnelTexture(tunnel, "gfx/texture1.tga");
    tunnel.setLightFollowsCamera(1);
  }
  ~TunnelFixture() { tunnel.destroy(); }
  int node(int r, int c) const { return r * tunnelGridStride + c; }
  // Integer parts of the three grid values at a node.
  std::vector<int> at(int r, int c) const {
    const int i = node(r, c);
    return {tunnel.uGrid[i] >> 16, tunnel.vGrid[i] >> 16, tunnel.lightGrid[i] >> 16};
  }
  Tunnel tunnel;
};

// A colour-mapped 256x256 TGA as the texture loader reads it.
std::vector<uint8_t> textureFile(const std::vector<uint8_t>& palette, const std::vector<uint8_t>& pixels) {
  const uint8_t header[18] = {0, 1, 1, 0, 0, 0, 1, 24, 0, 0, 0, 0, 0, 1, 0, 1, 8, 0x20};
  std::vector<uint8_t> bytes(std::begin(header), std::end(header));
  bytes.reserve(18 + palette.size() + pixels.size());
  bytes.insert(bytes.end(), palette.begin(), palette.end());
  bytes.insert(bytes.end(), pixels.begin(), pixels.end());
  return bytes;
}

// The fill as the plain 23-bit form describes it: every value formed from
// the corners by multiplication, the texel found by column and row.
void renderPlain(const Tunnel& t, uint32_t* pixels) {
  const auto g = [](const int32_t* grid, int i) { return static_cast<uint32_t>(grid[i]); };
  const auto eighth = [](uint32_t to, uint32_t from) { return static_cast<uint32_t>(static_cast<int32_t>(to - from) >> 3); };
  for (int by = 0; by < 25; ++by)
    for (int bx = 0; bx < 40; ++bx) {
      const int tl = by * 64 + bx, tr = tl + 1, bl = tl + 64, br = bl + 1;
      for (int k = 0; k < 8; ++k) {
        uint32_t left[3], right[3], step[3];
        const int32_t* grids[3] = {t.uGrid.get(), t.vGrid.get(), t.lightGrid.get()};
        for (int n = 0; n < 3; ++n) {
          left[n] = g(grids[n], tl) + k * eighth(g(grids[n], bl), g(grids[n], tl));
          right[n] = g(grids[n], tr) + k * eighth(g(grids[n], br), g(grids[n], tr));
          step[n] = eighth(right[n], left[n]);
        }
        uint32_t u = (left[0] >> 1) & 0x7FFFFF, v = (left[1] >> 1) & 0x7FFFFF;
        const uint32_t du = (step[0] >> 1) & 0x7FFFFF, dv = (step[1] >> 1) & 0x7FFFFF;
        for (int p = 0; p < 8; ++p) {
          const uint32_t light = left[2] + (p + 1) * step[2];
          const uint32_t level = (light >> 16) & 63;
          const uint8_t texel = t.texture[tiledTexelOffset(u >> 15, v >> 15)];
          pixels[(8 * by + k) * 320 + 8 * bx + p] = t.shadeTable[level * 256 + texel];
          u = (u + du) & 0x7FFFFF;
          v = (v + dv) & 0x7FFFFF;
        }
      }
    }
}

TEST(Tunnel, InitBuildsRaysTablesAndStartState) {
  ScratchDirectory dir(true);
  TunnelFixture f;
  const Tunnel& t = f.tunnel;
  EXPECT_EQ(t.radiusSquared, 90000.0f);
  const Vector3 corner = t.rayTable[0];
  EXPECT_EQ(corner.x, -0.70175439f);
  EXPECT_EQ(corner.y, -0.43859649f);
  EXPECT_EQ(corner.z, 0.56140351f);
  const Vector3 centre = t.rayTable[f.node(12, 20)];  // (0, -4, 128)
  EXPECT_EQ(centre.x, 0.0f);
  EXPECT_LT(centre.y, 0.0f);
  EXPECT_EQ(t.lightPosition.x, 0.70710677f);
  EXPECT_EQ(t.lightPosition.y, 0.70710677f);
  EXPECT_EQ(t.lightPosition.z, 0.0f);
  EXPECT_LT(t.cosTable[256], 0.0f);
}

TEST(Tunnel, SettersMaskAnglesAndKeepTheLowestFlagBit) {
  Tunnel t;
  t.setAngles(1029, -1, 0);
  EXPECT_EQ(t.angles[0], 5);
  EXPECT_EQ(t.angles[1], 1023);
  EXPECT_EQ(t.angles[2], 0);
  t.setLightFollowsCamera(2);
  EXPECT_FALSE(t.lightFollowsCamera);
  t.setLightFollowsCamera(3);
  EXPECT_TRUE(t.lightFollowsCamera);
}

TEST(Tunnel, TraceFromTheAxisGivesTheDocumentedNodes) {
  ScratchDirectory dir(true);
  TunnelFixture f;
  f.tunnel.trace();
  EXPECT_EQ(f.at(0, 0), (std::vector<int>{40, 210, 43}));
  EXPECT_EQ(f.at(0, 40), (std::vector<int>{40, 45, 43}));
  EXPECT_EQ(f.at(25, 0), (std::vector<int>{40, 210, 43}));
  // Straight down: angle -pi/2 gives row 127 (the factor uses 3.14159265359),
  // and the light at the camera grazes the far wall: dark.
  EXPECT_EQ(f.at(12, 20)[1], 127);
  EXPECT_EQ(f.at(12, 20)[2], 0);
  // trace writes whole numbers only.
  for (int r = 0; r < tunnelGridRows; ++r)
    for (int c = 0; c < tunnelGridColumns; ++c) {
      const int i = f.node(r, c);
      EXPECT_EQ(f.tunnel.uGrid[i] & 0xFFFF, 0);
      EXPECT_EQ(f.tunnel.vGrid[i] & 0xFFFF, 0);
      EXPECT_EQ(f.tunnel.lightGrid[i] & 0xFFFF, 0);
      EXPECT_LE(f.tunnel.lightGrid[i] >> 16, 63);
    }

  // Moving the camera 1000 along the axis adds 200 columns and nothing else.
  std::vector<std::vector<int>> before;
  for (int r = 0; r < tunnelGridRows; ++r)
    for (int c = 0; c < tunnelGridColumns; ++c) before.push_back(f.at(r, c));
  f.tunnel.setCameraPosition(0, 0, 1000);
  f.tunnel.trace();
  EXPECT_EQ(f.at(0, 0), (std::vector<int>{240, 210, 43}));
  for (int r = 0, n = 0; r < tunnelGridRows; ++r)
    for (int c = 0; c < tunnelGridColumns; ++c, ++n) {
      std::vector<int> expected = before[n];
      expected[0] += 200;
      EXPECT_EQ(f.at(r, c), expected) << r << "," << c;
    }
}

TEST(Tunnel, CameraOutsideTheTubeMissesSomeRays) {
  ScratchDirectory dir(true);
  TunnelFixture f;
  f.tunnel.setCameraPosition(400, 0, 0);
  f.tunnel.trace();
  EXPECT_EQ(f.at(12, 20), (std::vector<int>{0, 0, 0}));
  const int corner = f.node(0, 0);
  EXPECT_NE(f.tunnel.uGrid[corner] | f.tunnel.vGrid[corner] | f.tunnel.lightGrid[corner], 0);
}

TEST(Tunnel, LightStaysWhereInitPutItUnlessItFollowsTheCamera) {
  ScratchDirectory dir(true);
  TunnelFixture f;
  f.tunnel.setLightFollowsCamera(0);
  f.tunnel.setCameraPosition(10, 20, 3000);
  f.tunnel.trace();
  EXPECT_EQ(f.tunnel.lightPosition.x, 0.70710677f);
  EXPECT_EQ(f.tunnel.lightPosition.z, 0.0f);
  f.tunnel.setLightFollowsCamera(1);
  f.tunnel.trace();
  EXPECT_EQ(f.tunnel.lightPosition.z, 3000.0f);
}

TEST(Tunnel, ColumnConversionGuardsDepthsBeyondSixtyFourBits) {
  // In range: truncation toward zero, low 32 bits into the integer half.
  EXPECT_EQ(tunnelColumn(4.99), 0);
  EXPECT_EQ(tunnelColumn(200.0), 40 << 16);
  EXPECT_EQ(tunnelColumn(-5.0), static_cast<int32_t>(0xFFFF0000u));
  EXPECT_EQ(tunnelColumn(-4.99), 0);
  EXPECT_EQ(tunnelColumn(5.0 * (4294967296.0 + 7)), 7 << 16);  // only the low bits survive
  EXPECT_EQ(tunnelColumn(4.0e19), static_cast<int32_t>(static_cast<uint32_t>(8000000000000000000ull) << 16));
  // Beyond 64 bits, infinite or NaN: column 0, as the x86 conversion gives.
  for (double z : {5.0e19, -5.0e19, 1e300, -1e300, double(inf), double(-inf), double(nan)})
    EXPECT_EQ(tunnelColumn(z), 0) << z;

  const Vector3 light{0, 0, 0};
  const TunnelNode broken = tunnelHitNode(nan, nan, nan, 300.0f, light);
  EXPECT_EQ(broken.u, 0);
  EXPECT_EQ(broken.v, 0);
  EXPECT_EQ(broken.light, 0);
  const TunnelNode far = tunnelHitNode(300.0f, 0.0f, 1e30, 300.0f, light);
  EXPECT_EQ(far.u, 0);
  EXPECT_EQ(far.v, 0);
}

TEST(Tunnel, NonFiniteOrHugeCamerasTraceWithoutFault) {
  ScratchDirectory dir(true);
  TunnelFixture f;
  std::vector<uint32_t> frame(framePixels);
  for (const Vector3& camera : {Vector3{inf, 0, 0}, Vector3{nan, 0, 0}, Vector3{0, 0, nan}, Vector3{0, 0, 1e30f},
                                Vector3{0, 0, -inf}, Vector3{3e19f, 0, 0}, Vector3{299.99f, 0, 1e20f}}) {
    f.tunnel.setCameraPosition(camera.x, camera.y, camera.z);
    f.tunnel.setAngles(100, 700, 300);
    f.tunnel.trace();
    f.tunnel.render(frame.data());
  }
  // A camera at infinity misses with every ray.
  f.tunnel.setCameraPosition(inf, 0, 0);
  f.tunnel.trace();
  for (int r = 0; r < tunnelGridRows; ++r)
    for (int c = 0; c < tunnelGridColumns; ++c) EXPECT_EQ(f.at(r, c), (std::vector<int>{0, 0, 0}));
}

// A tunnel with hand-set tables: shade entry i holds i, so a pixel shows its
// level * 256 + texel.
struct BlockFixture : TunnelFixture {
  BlockFixture() {
    for (int i = 0; i < tunnelShadeLevels * 256; ++i) tunnel.shadeTable[i] = i;
  }
  void setNode(int r, int c, int32_t u, int32_t v, int32_t light) {
    tunnel.uGrid[node(r, c)] = u;
    tunnel.vGrid[node(r, c)] = v;
    tunnel.lightGrid[node(r, c)] = light;
  }
  uint32_t pixel(int x, int y) const { return frame[y * 320 + x]; }
  std::vector<uint32_t> frame = std::vector<uint32_t>(framePixels);
};

TEST(Tunnel, BlocksAreFilledByStepping) {
  ScratchDirectory dir(true);
  BlockFixture f;
  // Block (0, 0): equal corners, one colour.
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) f.setNode(r, c, 3 << 16, 5 << 16, 20 << 16);
  f.tunnel.texture[tiledTexelOffset(3, 5)] = 77;
  f.tunnel.render(f.frame.data());
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(f.pixel(x, y), 20u * 256 + 77);

  // Block (1, 1): light 0 on the left and 8 on the right gives levels 1..8
  // on every line; u 0..8 with v constant gives texture columns 0..7.
  for (int c = 0; c < 8; ++c) f.tunnel.texture[tiledTexelOffset(c, 9)] = static_cast<uint8_t>(c + 100);
  for (int r = 1; r < 3; ++r) {
    f.setNode(r, 1, 0, 9 << 16, 0);
    f.setNode(r, 2, 8 << 16, 9 << 16, 8 << 16);
  }
  f.tunnel.render(f.frame.data());
  for (int y = 8; y < 16; ++y)
    for (int p = 0; p < 8; ++p) EXPECT_EQ(f.pixel(8 + p, y), (p + 1u) * 256 + 100 + p) << p << "," << y;

  // Downwards, the edges step by an eighth of the corner difference per line.
  f.setNode(2, 4, 0, 0, 0);
  f.setNode(2, 5, 0, 0, 0);
  f.setNode(3, 4, 0, 0, 16 << 16);
  f.setNode(3, 5, 0, 0, 16 << 16);
  f.tunnel.render(f.frame.data());
  for (int k = 0; k < 8; ++k) EXPECT_EQ(f.pixel(32, 16 + k), 2u * k * 256 + f.tunnel.texture[0]);
}

TEST(Tunnel, PackedSteppingEqualsThePlainFormOnRandomGrids) {
  ScratchDirectory dir(true);
  BlockFixture f;
  std::mt19937 random(1234);
  for (int i = 0; i < tunnelTextureBytes; ++i) f.tunnel.texture[i] = static_cast<uint8_t>(random());
  for (int i = 0; i < tunnelShadeLevels * 256; ++i) f.tunnel.shadeTable[i] = random();
  std::vector<uint32_t> plain(framePixels);
  for (int round = 0; round < 12; ++round) {
    for (int i = 0; i < tunnelGridSize; ++i) {
      // Whole numbers as trace writes them, and any 32-bit value at all.
      const bool whole = round % 3 == 0;
      const uint32_t a = random(), b = random(), c = random();
      f.tunnel.uGrid[i] = static_cast<int32_t>(whole ? a << 16 : a);
      f.tunnel.vGrid[i] = static_cast<int32_t>(whole ? (b & 255) << 16 : b);
      f.tunnel.lightGrid[i] = static_cast<int32_t>(whole ? (c % 64) << 16 : c);
    }
    f.tunnel.render(f.frame.data());
    renderPlain(f.tunnel, plain.data());
    ASSERT_EQ(f.frame, plain) << "round " << round;
  }
}

TEST(Tunnel, DestroyIsSafeAtAnyPointAndRenderWithoutTablesDrawsBlack) {
  Tunnel never;
  never.destroy();
  never.destroy();
  std::vector<uint32_t> frame(framePixels, 0xABCDEF);
  never.trace();
  never.render(frame.data());
  EXPECT_EQ(frame, std::vector<uint32_t>(framePixels, 0));

  ScratchDirectory dir(true);
  Tunnel noTexture;
  noTexture.init(300.0f);  // loadTexture never ran
  frame.assign(framePixels, 1);
  noTexture.render(frame.data());
  EXPECT_EQ(frame, std::vector<uint32_t>(framePixels, 0));
  noTexture.destroy();
  noTexture.destroy();
  EXPECT_EQ(noTexture.texture, nullptr);
}

TEST(TunnelTexture, ShadeLevelsScaleThePaletteFirstByteRed) {
  ScratchDirectory dir(true);
  std::vector<uint8_t> palette(768, 0);
  palette[3 * 7 + 0] = 255;
  palette[3 * 7 + 1] = 128;
  palette[3 * 7 + 2] = 0;
  palette[3 * 8 + 2] = 1;  // blue 1: below level 32 it rounds away
  test::writeFile("gfx/texture1.tga", textureFile(palette, std::vector<uint8_t>(65536, 0)));
  TunnelFixture f;
  const uint32_t* shade = f.tunnel.shadeTable.get();
  EXPECT_EQ(shade[32 * 256 + 7], 0x00FF8000u);
  EXPECT_EQ(shade[16 * 256 + 7], 0x007F4000u);
  EXPECT_EQ(shade[64 * 256 + 7], 0x00FFFF00u);
  EXPECT_EQ(shade[0 * 256 + 7], 0x00000000u);
  EXPECT_EQ(shade[31 * 256 + 8], 0u);
  EXPECT_EQ(shade[32 * 256 + 8], 1u);
  EXPECT_EQ(shade[64 * 256 + 8], 2u);
  for (int i = 0; i < 768; ++i) ASSERT_EQ(f.tunnel.palette[i], palette[i]);
}

TEST(TunnelTexture, PixelsAreTiledIntoEightColumnStrips) {
  ScratchDirectory dir(true);
  std::vector<uint8_t> pixels(65536, 0);
  pixels[256 * 2 + 9] = 0x5A;                                      // row 2, column 9
  for (int x = 0; x < 256; ++x) pixels[x] = static_cast<uint8_t>(x ^ 0x80);  // the first row
  test::writeFile("gfx/texture1.tga", textureFile(std::vector<uint8_t>(768, 1), pixels));
  TunnelFixture f;
  const uint8_t* tex = f.tunnel.texture;
  EXPECT_EQ(reinterpret_cast<uintptr_t>(tex) & 1, 0u);
  EXPECT_EQ(tex[2065], 0x5A);
  for (int strip = 0; strip < 32; ++strip)
    for (int b = 0; b < 8; ++b) EXPECT_EQ(tex[2048 * strip + b], (8 * strip + b) ^ 0x80);
  // Every byte lands somewhere: the tiling is a permutation.
  std::mt19937 random(7);
  for (auto& p : pixels) p = static_cast<uint8_t>(random());
  test::writeFile("gfx/texture1.tga", textureFile(std::vector<uint8_t>(768, 1), pixels));
  test::loadTunnelTexture(f.tunnel, "gfx/texture1.tga");
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) ASSERT_EQ(f.tunnel.texture[tiledTexelOffset(x, y)], pixels[256 * y + x]);
  // No bytes at all read as a missing file.
  EXPECT_TRUE(f.tunnel.setTexture(tunnelTextureParts(nullptr, 0)));
  EXPECT_EQ(f.tunnel.texture[2065], 0);
}

TEST(TunnelTexture, MissingOrShortFilesLeaveZeros) {
  ScratchDirectory dir(true);
  {
    TunnelFixture missing;
    for (int i = 0; i < 768; ++i) ASSERT_EQ(missing.tunnel.palette[i], 0);
    for (int i = 0; i < tunnelShadeLevels * 256; ++i) ASSERT_EQ(missing.tunnel.shadeTable[i], 0u);
    for (int i = 0; i < tunnelTextureBytes; ++i) ASSERT_EQ(missing.tunnel.texture[i], 0);
    // The whole tunnel is black.
    std::vector<uint32_t> frame(framePixels, 1);
    missing.tunnel.trace();
    missing.tunnel.render(frame.data());
    EXPECT_EQ(frame, std::vector<uint32_t>(framePixels, 0));
  }
  {
    // Four pixel bytes: the rest of the texture is zero, and the header bytes
    // the pixel read would have overwritten do not show up as texels.
    std::vector<uint8_t> bytes = textureFile(std::vector<uint8_t>(768, 200), {9, 8, 7, 6});
    for (int i = 0; i < 18; ++i) bytes[i] = 0xEE;
    test::writeFile("gfx/texture1.tga", bytes);
    TunnelFixture shortPixels;
    const uint8_t* tex = shortPixels.tunnel.texture;
    EXPECT_EQ(tex[0], 9);
    EXPECT_EQ(tex[3], 6);
    for (int i = 4; i < tunnelTextureBytes; ++i) ASSERT_EQ(tex[i], 0) << i;
    EXPECT_EQ(shortPixels.tunnel.palette[767], 200);
  }
  {
    // A short colour map: what was read is kept, the rest and the pixels are zero.
    std::vector<uint8_t> bytes(18 + 5, 0);
    bytes[18] = 64;
    test::writeFile("gfx/texture1.tga", bytes);
    TunnelFixture shortPalette;
    EXPECT_EQ(shortPalette.tunnel.palette[0], 64);
    EXPECT_EQ(shortPalette.tunnel.shadeTable[32 * 256], 0x400000u);
    for (int i = 5; i < 768; ++i) ASSERT_EQ(shortPalette.tunnel.palette[i], 0);
    for (int i = 0; i < tunnelTextureBytes; ++i) ASSERT_EQ(shortPalette.tunnel.texture[i], 0);
  }
}

TEST(TunnelTexture, FilePartsStopAtTheFirstShortOne) {
  std::vector<uint8_t> file(tunnelFileBytes + 10, 1);
  const auto parts = [&](size_t size) { return tunnelTextureParts(file.data(), size); };
  EXPECT_EQ(parts(17).paletteBytes, 0u);  // no whole header: nothing is read
  EXPECT_EQ(parts(18).paletteBytes, 0u);
  EXPECT_EQ(parts(18 + 5).paletteBytes, 5u);
  EXPECT_EQ(parts(18 + 5).indexBytes, 0u);
  EXPECT_EQ(parts(18 + 768).indexBytes, 0u);
  EXPECT_EQ(parts(18 + 768 + 4).indexBytes, 4u);
  EXPECT_EQ(parts(file.size()).paletteBytes, 768u);  // bytes past the texture are never read
  EXPECT_EQ(parts(file.size()).indexBytes, 65536u);
  EXPECT_EQ(parts(file.size()).palette, file.data() + 18);
  EXPECT_EQ(parts(file.size()).indices, file.data() + 18 + 768);
  // A tunnel that was never made takes no texture.
  Tunnel never;
  EXPECT_FALSE(never.setTexture(parts(file.size())));
}

}  // namespace
}  // namespace vorlith
