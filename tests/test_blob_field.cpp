// Blob particles: start cloud, the three-step turn, projection, fade, the
// whole-blob bounds test, the depth rule and the tint.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "effects/blob_field.h"
#include "frame_buffer.h"
#include "scene_pictures.h"
#include "support.h"

namespace vorlith {
namespace {

using test::ScratchDirectory;

// A 16x16 blob picture whose blue bytes are given top row first (the rest 0).
void writeSprite(const std::vector<std::pair<int, uint32_t>>& topFirst) {
  std::vector<uint32_t> pixels(256, 0);
  for (auto [index, value] : topFirst) pixels[static_cast<size_t>(index)] = value;
  test::writeTga("gfx/blob_1.tga", 16, 16, [&](int c, int r) { return pixels[static_cast<size_t>(r) * 16 + c]; });
}

using Frame = test::FrameBuffer;

// A field of one particle over a 16x16 picture, all angles 0.
struct OneBlob {
  explicit OneBlob(const std::vector<std::pair<int, uint32_t>>& sprite) : dir(true) {
    writeSprite(sprite);
    field.init(1, test::loadPicture("gfx/blob_1.tga"));
  }
  ~OneBlob() { field.destroy(); }
  BlobParticle& particle() { return field.particles[0]; }
  void place(int x, int y, int z) { field.setParticlePosition(0, x, y, z); }
  ScratchDirectory dir;
  test::NoticeRecorder recorder;
  BlobField field;
};

TEST(BlobField, StartCloudAndSetters) {
  OneBlob b({});
  b.field.destroy();
  b.field.init(200, test::loadPicture("gfx/blob_1.tga"));
  ASSERT_EQ(b.field.particleCount, 200);
  EXPECT_EQ(b.field.spriteWidth, 16);
  EXPECT_EQ(b.field.spriteHeight, 16);
  for (int i = 0; i < 200; ++i) {
    const BlobParticle& p = b.field.particles[i];
    EXPECT_EQ(p.x | p.y | p.z, 0);
    EXPECT_EQ(p.colour, 0xFFFFFF);
    EXPECT_EQ(p.red + p.green + p.blue, 3 * 255);
    EXPECT_EQ(p.visible, 1);
    EXPECT_EQ(p.screenX | p.fade, 0);
  }
  b.field.setParticleColour(3, 0x123456);
  EXPECT_EQ(b.field.particles[3].red, 0x12);
  EXPECT_EQ(b.field.particles[3].green, 0x34);
  EXPECT_EQ(b.field.particles[3].blue, 0x56);
  // Out-of-range indices, on either side, change nothing.
  const BlobParticle before = b.field.particles[199];
  b.field.setParticlePosition(200, 1, 2, 3);
  b.field.setParticlePosition(-1, 1, 2, 3);
  b.field.setParticleColour(200, 0);
  b.field.setParticleColour(-1, 0);
  EXPECT_EQ(b.field.particles[199].x, before.x);
  b.field.setRotation(300, -1, 64);
  EXPECT_EQ(b.field.angleX, 44);
  EXPECT_EQ(b.field.angleY, 255);
  EXPECT_EQ(b.field.angleZ, 64);
  EXPECT_TRUE(b.recorder.notices.empty());
}

TEST(BlobField, ProjectsFadesAndTintsAsDocumented) {
  // Blue bytes 200, 150 and 100 along the top row.
  OneBlob b({{0, 200}, {1, 150}, {2, 100}, {3, 0xFFFFFF64}});
  b.place(0, 0, 50);
  b.field.setParticleColour(0, 0x0000FF);
  Frame f;
  b.field.render(f.image);
  EXPECT_EQ(b.particle().screenX, 152);
  EXPECT_EQ(b.particle().screenY, 92);
  EXPECT_EQ(b.particle().fade, 100);
  EXPECT_EQ(f.at(152, 92), 0x00E1E1FFu);  // h = 200 pushes red and green up to 225
  EXPECT_EQ(f.at(153, 92), 0x000000C7u);  // h = 100: 100 * 255 / 128
  EXPECT_EQ(f.at(154, 92), 0u);           // blue 100 less fade 100 adds nothing
  EXPECT_EQ(f.at(155, 92), 0u);           // only the blue byte counts
  EXPECT_EQ(f.lit(), 2u);

  // Drawn over anything in front of the centre plane, each channel held at 255,
  // top byte cleared.
  std::fill(f.words.begin(), f.words.end(), 0xAA101010);
  b.field.render(f.image);
  EXPECT_EQ(f.at(152, 92), 0x00F1F1FFu);
  EXPECT_EQ(f.at(153, 92), 0x001010D7u);
  EXPECT_EQ(f.at(154, 92), 0x00101010u);
  EXPECT_EQ(f.at(0, 0), 0xAA101010u);
}

TEST(BlobField, EachTurnGoesTheDocumentedWay) {
  OneBlob b({});
  // A quarter turn about the vertical axis brings +x towards the viewer.
  b.place(50, 0, 0);
  b.field.setRotation(0, 64, 0);
  Frame f;
  b.field.render(f.image);
  // cosTable[64] is a tiny negative number (the step is a hair over 2 pi / 256),
  // so the point lands a hair left of 152 and truncates to 151.
  EXPECT_EQ(b.particle().screenX, 151);
  EXPECT_EQ(b.particle().fade, 100);
  // About the viewing axis, +x goes up.
  b.place(50, 0, 50);
  b.field.setRotation(0, 0, 64);
  b.field.render(f.image);
  EXPECT_EQ(b.particle().screenX, 151);
  EXPECT_EQ(b.particle().screenY, 17);  // -50 * -150 / -100 + 92
  EXPECT_EQ(b.particle().fade, 100);
  // About the horizontal axis, +y goes away from the viewer.
  b.place(0, 50, 50);
  b.field.setRotation(64, 0, 0);
  b.field.render(f.image);
  EXPECT_EQ(b.particle().screenY, 129);  // 50 * -150 / -200 + 92 = 129.5
  EXPECT_EQ(b.particle().fade, 200);
}

TEST(BlobField, DepthRule) {
  OneBlob b({{0, 255}, {1, 255}});
  b.field.setParticleColour(0, 0x0000FF);
  // Behind the centre plane (z3 = -1): only pixels that are exactly 0.
  b.place(0, 0, -1);
  Frame f;
  f.at(153, 92) = 0xFF000000;  // only the top byte set: not 0, so not drawn on
  b.field.render(f.image);
  const uint32_t first = f.at(152, 92);
  EXPECT_NE(first, 0u);
  EXPECT_EQ(f.at(153, 92), 0xFF000000u);
  b.field.render(f.image);
  EXPECT_EQ(f.at(152, 92), first);  // the second blob adds nothing on lit pixels

  // Exactly on the centre plane: projected and stored, never drawn.
  Frame g;
  b.place(0, 0, 0);
  b.field.render(g.image);
  EXPECT_EQ(g.lit(), 0u);
  EXPECT_EQ(b.particle().screenX, 152);
  EXPECT_EQ(b.particle().screenY, 92);
  EXPECT_EQ(b.particle().fade, 150);
}

TEST(BlobField, WholeBlobBoundsTestAndTheViewersOtherSide) {
  OneBlob b({{0, 255}});
  Frame f;
  b.place(100, 0, 50);
  b.field.render(f.image);
  EXPECT_EQ(b.particle().screenX, 302);
  EXPECT_EQ(f.lit(), 1u);
  Frame g;
  b.place(110, 0, 50);
  b.field.render(g.image);
  EXPECT_EQ(b.particle().screenX, 317);  // 317 >= 320 - 16: skipped whole
  EXPECT_EQ(g.lit(), 0u);
  // Beyond the viewer the point projects through the centre to the other side,
  // at full brightness.
  b.place(10, 0, 200);
  b.field.render(g.image);
  EXPECT_EQ(b.particle().screenX, 122);
  EXPECT_EQ(b.particle().fade, 0);
  EXPECT_EQ(g.at(122, 92), 0x00FFFFFFu);
  // An invisible particle keeps its old values and draws nothing.
  Frame h;
  b.particle().visible = 0;
  b.place(0, 0, 50);
  b.field.render(h.image);
  EXPECT_EQ(b.particle().screenX, 122);
  EXPECT_EQ(h.lit(), 0u);
}

TEST(BlobField, NoProjectionOnTheViewersPlaneOrOutsideThe32BitRange) {
  OneBlob b({{0, 255}});
  Frame f;
  // z3 = 150 exactly: the projection would divide by zero; off screen.
  b.place(0, 0, 150);
  b.field.render(f.image);
  EXPECT_EQ(b.particle().screenX, INT32_MIN);
  EXPECT_EQ(b.particle().screenY, INT32_MIN);
  EXPECT_EQ(b.particle().fade, 0);
  // The ribbon scene's spiral hits it: radius 150, tilt 64, twist 64.
  b.place(150, 0, -90);
  b.field.setRotation(64, 0, 64);
  b.particle().screenX = 0;
  b.field.render(f.image);
  EXPECT_EQ(b.particle().screenX, INT32_MIN);
  // Projected far outside the 32-bit range.
  b.field.setRotation(0, 0, 0);
  b.place(2000000000, -2000000000, 149);
  b.field.render(f.image);
  EXPECT_EQ(b.particle().screenX, INT32_MAX);
  EXPECT_EQ(b.particle().screenY, INT32_MIN);
  EXPECT_EQ(f.lit(), 0u);
}

TEST(BlobField, WithoutItsPictureTheFieldDrawsNothing) {
  BlobField field;
  field.init(3, nullptr);
  for (int i = 0; i < 3; ++i) field.setParticlePosition(i, 0, 0, 50);
  Frame f;
  field.render(f.image);
  EXPECT_EQ(f.lit(), 0u);
  EXPECT_EQ(field.particles[0].screenX, 160);  // still projected
  field.destroy();
  field.destroy();
  BlobField never;
  never.render(f.image);
  never.destroy();

  // A picture whose rows are shorter than its width says would be read past
  // its end: it is not drawn either.
  OneBlob blob({{0, 0x80}});
  blob.place(0, 0, 50);
  blob.field.sprite->bytesPerLine = 8 * 4;
  blob.field.render(f.image);
  EXPECT_EQ(f.lit(), 0u);
  blob.field.sprite->bytesPerLine = 16 * 4;
  blob.field.render(f.image);
  EXPECT_GT(f.lit(), 0u);
}

}  // namespace
}  // namespace vorlith
