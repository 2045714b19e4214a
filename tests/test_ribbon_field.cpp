// The ribbon field: outline, lightmap, pictures it refuses, span stepping,
// depth test, texture rows, shading and the band of rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "effects/overbright.h"
#include "effects/ribbon_field.h"
#include "frame_buffer.h"
#include "scene_pictures.h"
#include "support.h"

namespace vorlith {
namespace {

using test::ScratchDirectory;

// Lightmap value 128 everywhere leaves a texel as it is (128 * c / 128).
void writeNeutralLightmap() { test::writeTga("gfx/specular_lightmap.tga", 256, 1, [](int, int) { return 192u; }); }

// Texel (c, r): blue = column, green = row, red 0x40.
void writeCoordinateTexture() {
  test::writeTga("gfx/voxel_texture.tga", 256, 256, [](int c, int r) { return 0x400000u | uint32_t(r) << 8 | uint32_t(c); });
}

using Frame = test::FrameBuffer;

// A field made in a scratch directory holding the pictures that were written.
struct Field {
  explicit Field(const std::function<void()>& pictures = [] {
    writeNeutralLightmap();
    writeCoordinateTexture();
  }) : dir(true) {
    pictures();
    field = std::make_unique<RibbonField>();
    field->init(test::loadPicture("gfx/specular_lightmap.tga").get());
    field->setTexture(test::loadPicture("gfx/voxel_texture.tga"));
  }
  ~Field() { field->destroy(); }
  uint16_t depth(int x, int y) const { return field->zBuffer[y * frameWidth + x]; }
  ScratchDirectory dir;
  test::NoticeRecorder recorder;
  std::unique_ptr<RibbonField> field;
};

TEST(RibbonField, OutlineAndTangentsAtInit) {
  Field f;
  EXPECT_TRUE(f.recorder.notices.empty());
  EXPECT_TRUE(f.field->ready());
  EXPECT_EQ(f.field->width, 320);
  EXPECT_EQ(f.field->height, 200);
  EXPECT_EQ(f.field->points[0][0].x, 72.9266052f);
  EXPECT_EQ(f.field->points[0][0].y, 0.0f);
  EXPECT_EQ(f.field->points[100][8].x, -2.15798581e-12f);  // cos theta rounded to float first
  EXPECT_EQ(f.field->points[100][8].y, 66.8671722f);
  EXPECT_EQ(f.field->points[199][20].x, -38.2209625f);
  EXPECT_EQ(f.field->points[199][20].y, -48.6757202f);
  for (int r = 0; r < RibbonField::rows; ++r)
    for (int c = 0; c < RibbonField::outlinePoints; ++c) {
      const auto& p = f.field->points[r][c];
      const double radius = std::hypot(p.x, p.y);
      ASSERT_GE(radius, 15.9);
      ASSERT_LE(radius, 80.1);
      const auto& t = f.field->tangents[r][c];
      ASSERT_NEAR(std::hypot(t.x, t.y), 1.0, 1e-6);
    }
  // Vertex 0's tangent runs from vertex 31 to vertex 1.
  const auto& p1 = f.field->points[7][1];
  const auto& p31 = f.field->points[7][31];
  const double dx = double(p1.x) - p31.x, dy = double(p1.y) - p31.y;
  EXPECT_EQ(f.field->tangents[7][0].x, static_cast<float>(dx / std::hypot(dx, dy)));
}

TEST(RibbonField, LightmapFromEvenPixelsMirrored) {
  for (int odd = 0; odd < 2; ++odd) {
    // Even pixel 2k holds 2k + odd (so both runs cover blue 0..255); odd pixels 255.
    Field f([odd] {
      test::writeTga("gfx/specular_lightmap.tga", 256, 1, [odd](int c, int) { return c % 2 ? 255u : uint32_t(c + odd); });
      writeCoordinateTexture();
    });
    for (int k = 0; k < 128; ++k) {
      const int v = 2 * k + odd;
      ASSERT_EQ(f.field->lightmap[k], std::clamp(2 * v / 3, 15, 255)) << v;
      ASSERT_EQ(f.field->lightmap[255 - k], f.field->lightmap[k]);
    }
  }
  Field bright([] { test::writeTga("gfx/specular_lightmap.tga", 16, 16, [](int, int) { return 0xFFu; }); });
  Field dark([] { test::writeTga("gfx/specular_lightmap.tga", 16, 16, [](int, int) { return 0xFFFFFF00u; }); });
  for (int k = 0; k < 256; ++k) {
    ASSERT_EQ(bright.field->lightmap[k], 170);
    ASSERT_EQ(dark.field->lightmap[k], 15);
  }
  // 255 pixels are enough: pixel 254 is the last one read.
  Field just([] { test::writeTga("gfx/specular_lightmap.tga", 255, 1, [](int c, int) { return c == 254 ? 90u : 0u; }); });
  EXPECT_TRUE(just.field->lightmapReady);
  EXPECT_EQ(just.field->lightmap[127], 60);
}

// (The show's start-up gives the notices for refused pictures; the bad-asset
// matrix checks them.)
TEST(RibbonField, PicturesTooSmallAreRefusedAndTheFieldDrawsNothing) {
  Field small([] {
    test::writeTga("gfx/specular_lightmap.tga", 16, 15, [](int, int) { return 192u; });
    test::writeTga("gfx/voxel_texture.tga", 256, 255, [](int, int) { return 0xFFFFFFu; });
  });
  EXPECT_TRUE(small.recorder.notices.empty());
  EXPECT_FALSE(small.field->ready());
  EXPECT_EQ(small.field->texture, nullptr);
  Frame frame;
  small.field->render(frame.image);
  small.field->drawSpan(frame.image, 10, 0, 0, 0, 0, 100, 0, 0, 0);
  EXPECT_TRUE(std::all_of(frame.words.begin(), frame.words.end(), [](uint32_t w) { return w == 0; }));
  EXPECT_EQ(small.depth(0, 0), 0xFFFF);  // the depth buffer is still reset

  Field narrow([] {
    writeNeutralLightmap();
    test::writeTga("gfx/voxel_texture.tga", 255, 256, [](int, int) { return 0xFFFFFFu; });
  });
  EXPECT_FALSE(narrow.field->ready());
  EXPECT_FALSE(RibbonField::textureFits(*test::loadPicture("gfx/voxel_texture.tga")));
  // Missing pictures: the loader's own notices, and nothing drawn.
  Field none([] {});
  EXPECT_EQ(none.recorder.notices.size(), 2u);
  none.field->render(frame.image);
  EXPECT_TRUE(std::all_of(frame.words.begin(), frame.words.end(), [](uint32_t w) { return w == 0; }));
}

TEST(RibbonField, SpanStepsAQuarterAtATimeAndReadsTheWrappedTextureRow) {
  Field f;
  Frame frame;
  std::fill(f.field->zBuffer.get(), f.field->zBuffer.get() + framePixels, uint16_t{0xFFFF});
  f.field->textureRowOffset = 250;  // row 10 reads texture row 4
  f.field->drawSpan(frame.image, 10, 100, 8 << 16, 0, 1000, 104, 16 << 16, 0, 1400);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(frame.at(100 + i, 10), 0x400400u + 8 + 2 * i) << i;  // column 8, 10, 12, 14 of row 4
    EXPECT_EQ(f.depth(100 + i, 10), 1000 + 100 * i);
  }
  EXPECT_EQ(frame.at(104, 10), 0u);  // the end column belongs to the next edge
  EXPECT_EQ(frame.at(99, 10), 0u);

  // Lightmap index steps too: with a texel of 128 the output is the entry.
  for (int k = 0; k < 256; ++k) f.field->lightmap[k] = static_cast<uint8_t>(k / 2);
  f.field->textureRowOffset = 0;
  f.field->drawSpan(frame.image, 20, 0, 128 << 16, 10 << 16, 0, 4, 128 << 16, 90 << 16, 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(frame.at(i, 20) & 0xFF, uint32_t(10 + 20 * i) / 2 * 128 / 128) << i;

  // Equal or reversed ends draw nothing, whatever the rest says.
  Frame empty;
  f.field->drawSpan(empty.image, 30, 100, 0, 0, 0, 100, 0, 0, 0);
  f.field->drawSpan(empty.image, 30, 104, 0, 0, 0, 100, 0, 0, 0);
  EXPECT_TRUE(std::all_of(empty.words.begin(), empty.words.end(), [](uint32_t w) { return w == 0; }));
}

TEST(RibbonField, DepthTestKeepsTheNearerAndTiesKeepTheFirst) {
  Field f;
  Frame frame;
  std::fill(f.field->zBuffer.get(), f.field->zBuffer.get() + framePixels, uint16_t{0xFFFF});
  f.field->drawSpan(frame.image, 0, 0, 1 << 16, 0, 500, 2, 1 << 16, 0, 500);
  EXPECT_EQ(frame.at(0, 0) & 0xFF, 1u);
  f.field->drawSpan(frame.image, 0, 0, 2 << 16, 0, 500, 2, 2 << 16, 0, 500);  // tie: kept
  EXPECT_EQ(frame.at(0, 0) & 0xFF, 1u);
  f.field->drawSpan(frame.image, 0, 0, 3 << 16, 0, 501, 2, 3 << 16, 0, 501);  // farther: kept
  EXPECT_EQ(frame.at(1, 0) & 0xFF, 1u);
  f.field->drawSpan(frame.image, 0, 0, 4 << 16, 0, -7, 2, 4 << 16, 0, -7);  // nearer, even negative
  EXPECT_EQ(frame.at(0, 0) & 0xFF, 4u);
  EXPECT_EQ(f.depth(0, 0), 0xFFF9);  // low 16 bits stored
  // 65535 and beyond never draw, even on a freshly reset buffer.
  f.field->drawSpan(frame.image, 1, 0, 5 << 16, 0, 65535, 2, 5 << 16, 0, 65535);
  f.field->drawSpan(frame.image, 1, 0, 5 << 16, 0, 70000, 2, 5 << 16, 0, 70000);
  EXPECT_EQ(frame.at(0, 1), 0u);
}

TEST(RibbonField, ShadingPushesBrightEntriesTowardsWhite) {
  Field f([] {
    writeNeutralLightmap();
    // Texture column 0 grey 0x80, column 1 black.
    test::writeTga("gfx/voxel_texture.tga", 256, 256, [](int c, int) { return c == 0 ? 0xFF808080u : 0u; });
  });
  Frame frame;
  std::fill(f.field->zBuffer.get(), f.field->zBuffer.get() + framePixels, uint16_t{0xFFFF});
  auto shade = [&](int entry, int column, int x) {
    f.field->lightmap[7] = static_cast<uint8_t>(entry);
    f.field->drawSpan(frame.image, 0, x, column << 16, 7 << 16, 0, x + 1, column << 16, 7 << 16, 0);
    return frame.at(x, 0);
  };
  EXPECT_EQ(shade(64, 0, 0), 0x00404040u);
  EXPECT_EQ(shade(170, 0, 1), 0x00FFFFFFu);  // 170 * 212 / 128 = 281, held at 255
  EXPECT_EQ(shade(140, 1, 2), 0x001A1A1Au);  // 140 * 24 / 128 = 26 on black
}

// The span written as plainly as possible: 64-bit divisions and the
// overbright rule per channel, against drawSpan on random spans, with ends
// anywhere in the 32-bit range.
TEST(RibbonField, SpansMatchThePlainFormOnRandomSpans) {
  Field f;
  std::mt19937 random(31);
  for (auto& entry : f.field->lightmap) entry = static_cast<uint8_t>(random());
  const RibbonField& field = *f.field;
  std::vector<uint16_t> depth(framePixels, 0xFFFF);
  Frame actual, expected;
  auto plain = [&](int row, int x0, int u0, int l0, int z0, int x1, int u1, int l1, int z1) {
    if (x0 >= x1) return;
    const int64_t n = int64_t{x1} - x0;
    const uint32_t du = uint32_t((int64_t{u1} - u0) / n), dl = uint32_t((int64_t{l1} - l0) / n),
                   dz = uint32_t((int64_t{z1} - z0) / n);
    uint32_t u = uint32_t(u0), l = uint32_t(l0), z = uint32_t(z0);
    for (int64_t i = 0; i < n; ++i, u += du, l += dl, z += dz) {
      const int64_t at = int64_t{row} * frameWidth + x0 + i;
      if (at < 0 || at >= framePixels || int32_t(z) >= int32_t(depth[at])) continue;
      const uint32_t texel = imageWords(*field.texture)[((row + field.textureRowOffset) & 0xFF) * 256 + (u >> 16 & 0xFF)];
      const int s = field.lightmap[l >> 16 & 0xFF];
      uint32_t word = 0;
      for (int k = 0; k < 3; ++k) word |= uint32_t(std::min(overbright(texel >> (8 * k) & 0xFF, s), 255)) << (8 * k);
      expected.words[at] = word;
      depth[at] = uint16_t(z);
    }
  };
  std::fill(f.field->zBuffer.get(), f.field->zBuffer.get() + framePixels, uint16_t{0xFFFF});
  auto wide = [&] { return int32_t(random()); };
  for (int k = 0; k < 3000; ++k) {
    const int row = int(random() % 210) - 5, x0 = int(random() % 700) - 200, x1 = x0 + int(random() % 80);
    const int32_t u0 = wide(), u1 = wide(), l0 = wide(), l1 = wide();
    const int32_t z0 = k % 2 ? wide() : int32_t(random() % 70000), z1 = k % 2 ? wide() : int32_t(random() % 70000);
    f.field->textureRowOffset = k;
    f.field->drawSpan(actual.image, row, x0, u0, l0, z0, x1, u1, l1, z1);
    plain(row, x0, u0, l0, z0, x1, u1, l1, z1);
  }
  EXPECT_EQ(actual.words, expected.words);
  EXPECT_TRUE(std::equal(depth.begin(), depth.end(), f.field->zBuffer.get()));
}

TEST(RibbonField, SpansNeverWriteOutsideTheFrame) {
  Field f;
  // The frame sits between guard words.
  std::vector<uint32_t> memory(framePixels + 2000, 0xDEADBEEF);
  Image frame{frameWidth, frameHeight, 32, frameWidth * 4, reinterpret_cast<uint8_t*>(memory.data() + 1000)};
  std::fill(memory.begin() + 1000, memory.begin() + 1000 + framePixels, 0u);
  std::fill(f.field->zBuffer.get(), f.field->zBuffer.get() + framePixels, uint16_t{0xFFFF});
  f.field->drawSpan(frame, 199, 300, 0, 0, 0, 400, 0, 0, 0);
  f.field->drawSpan(frame, 0, -50, 0, 0, 0, 10, 0, 0, 0);
  f.field->drawSpan(frame, -3, 0, 0, 0, 0, 320, 0, 0, 0);
  f.field->drawSpan(frame, 5000, 0, 0, 0, 0, 320, 0, 0, 0);
  f.field->drawSpan(frame, 100, -2147483647 - 1, 2147483647, 0, 0, 2147483647, -2147483647 - 1, 0, 0);
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(memory[i], 0xDEADBEEFu);
    ASSERT_EQ(memory[1000 + framePixels + i], 0xDEADBEEFu);
  }
  const uint32_t* words = memory.data() + 1000;
  EXPECT_NE(words[199 * 320 + 319], 0u);  // the end of the last row was reached
  EXPECT_NE(words[0], 0u);
  // A span is not clipped to its row: past column 319 it runs into the next row.
  Frame wrap;
  std::fill(f.field->zBuffer.get(), f.field->zBuffer.get() + framePixels, uint16_t{0xFFFF});
  f.field->drawSpan(wrap.image, 50, 315, 1 << 16, 0, 100, 325, 1 << 16, 0, 100);
  EXPECT_NE(wrap.at(0, 51), 0u);
  EXPECT_NE(wrap.at(4, 51), 0u);
  EXPECT_EQ(wrap.at(5, 51), 0u);
}

TEST(RibbonField, RenderDrawsTheBandOfRowsOnly) {
  Field f;
  Frame frame;
  // No row: nothing drawn, but the depth buffer is reset.
  std::fill(f.field->zBuffer.get(), f.field->zBuffer.get() + framePixels, uint16_t{0});
  f.field->firstRow = f.field->endRow = 100;
  f.field->render(frame.image);
  EXPECT_TRUE(std::all_of(frame.words.begin(), frame.words.end(), [](uint32_t w) { return w == 0; }));
  EXPECT_TRUE(std::all_of(f.field->zBuffer.get(), f.field->zBuffer.get() + framePixels, [](uint16_t z) { return z == 0xFFFF; }));

  // Rows 50..59: each has pixels inside the column, none anywhere else.
  f.field->firstRow = 50;
  f.field->endRow = 60;
  f.field->render(frame.image);
  for (int y = 0; y < frameHeight; ++y) {
    int lit = 0;
    for (int x = 0; x < frameWidth; ++x)
      if (frame.at(x, y)) {
        ++lit;
        ASSERT_GE(x, 60);
        ASSERT_LT(x, 260);
      }
    if (y >= 50 && y < 60)
      EXPECT_GT(lit, 40) << y;
    else
      EXPECT_EQ(lit, 0) << y;
  }

  // endRow past the frame stops at row 199; the whole column lies within
  // about columns 80..240 and is drawn on every row.
  Frame all, capped;
  f.field->firstRow = 0;
  f.field->endRow = 200;
  f.field->render(all.image);
  f.field->endRow = 250;
  f.field->render(capped.image);
  EXPECT_EQ(all.words, capped.words);
  for (int y = 0; y < frameHeight; ++y) EXPECT_NE(all.at(160, y), 0u) << y;
}

TEST(RibbonField, TurningTheRowsTurnsTheColumn) {
  // A half turn of every row mirrors each slice about the axis (in 1/256
  // pixels, so the screen columns may differ by one): the column still
  // covers the middle of every row, and a quarter turn changes the picture.
  Field f;
  Frame straight, half, quarter;
  f.field->render(straight.image);
  std::fill(std::begin(f.field->rowAngle), std::end(f.field->rowAngle), 128.0f);
  f.field->render(half.image);
  std::fill(std::begin(f.field->rowAngle), std::end(f.field->rowAngle), 64.0f);
  f.field->render(quarter.image);
  for (int y = 0; y < frameHeight; ++y) {
    EXPECT_NE(half.at(160, y), 0u);
    EXPECT_NE(quarter.at(160, y), 0u);
  }
  EXPECT_NE(straight.words, quarter.words);
  // Garbage angles draw something or nothing, but never fault.
  f.field->rowAngle[3] = std::nanf("");
  f.field->rowAngle[4] = 1e30f;
  f.field->render(quarter.image);
}

}  // namespace
}  // namespace vorlith
