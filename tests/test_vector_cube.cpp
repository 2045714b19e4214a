// The vector cube: its projection, its memory of rotations and colours, and
// how the trail is drawn.
#include <gtest/gtest.h>

#include <vector>

#include "effects/vector_cube.h"
#include "frame_buffer.h"
#include "image/additive_line.h"

namespace vorlith {
namespace {

using Frame = test::FrameBuffer;

struct Cube {
  explicit Cube(int capacity) { cube.init(capacity); }
  ~Cube() { cube.destroy(); }
  VectorCube cube;
};

bool sameRotation(const VectorCube::Rotation& r, int x, int y, int z) { return r.x == x && r.y == y && r.z == z; }

TEST(VectorCube, StartsWithEmptyMemoryAndTheDefaults) {
  Cube c(60);
  EXPECT_EQ(c.cube.capacity, 60);
  EXPECT_EQ(c.cube.drawCount, 60);
  EXPECT_EQ(c.cube.colour, 0xFFFFFFu);
  EXPECT_EQ(c.cube.intensity, 127);
  EXPECT_EQ(c.cube.nearScale, 1.0f);
  EXPECT_EQ(c.cube.farScale, 1.0f);
  for (int i = 0; i < 60; ++i) {
    EXPECT_TRUE(sameRotation(c.cube.rotations[i], 0, 0, 0));
    EXPECT_EQ(c.cube.colours[i], 0u);
  }
  EXPECT_FLOAT_EQ(c.cube.sinTable[64], 1.0f);
  EXPECT_EQ(c.cube.cosTable[0], 1.0f);
}

TEST(VectorCube, ProjectsCornersWithTruncation) {
  Cube c(1);
  Frame f;
  c.cube.draw(f.image);
  const auto& v0 = c.cube.projected[0];
  const auto& v4 = c.cube.projected[4];
  EXPECT_EQ(v0.x, 235);
  EXPECT_EQ(v0.y, 175);
  EXPECT_EQ(v0.z, 200);
  EXPECT_EQ(v4.x, 197);  // 197.5 truncated
  EXPECT_EQ(v4.y, 137);
  EXPECT_EQ(v4.z, 100);
  // The front face's corners are lit, white at intensity 127 (126 per channel),
  // corner pixels being crossed by two or three edges.
  EXPECT_EQ(f.at(235, 175) & 0xFF, 255u);
  EXPECT_EQ(f.at(200, 100), 0u);  // inside, on no edge
}

TEST(VectorCube, SetRotationKeepsTheLowByte) {
  Cube c(4);
  c.cube.setRotation(300, -1, 256);
  EXPECT_TRUE(sameRotation(c.cube.rotations[0], 44, 255, 0));
}

TEST(VectorCube, DrawAgesTheMemoryEveryCall) {
  Cube c(5);
  Frame f;
  c.cube.setRotation(1, 2, 3);
  c.cube.colour = 0x10;
  c.cube.draw(f.image);
  c.cube.setRotation(4, 5, 6);
  c.cube.colour = 0x20;
  c.cube.draw(f.image);
  c.cube.setRotation(7, 8, 9);
  c.cube.colour = 0x30;
  c.cube.drawCount = 0;  // ages all the same
  Frame untouched;
  c.cube.draw(untouched.image);
  EXPECT_TRUE(untouched.blank());
  EXPECT_TRUE(sameRotation(c.cube.rotations[0], 7, 8, 9));
  EXPECT_TRUE(sameRotation(c.cube.rotations[1], 7, 8, 9));
  EXPECT_TRUE(sameRotation(c.cube.rotations[2], 4, 5, 6));
  EXPECT_TRUE(sameRotation(c.cube.rotations[3], 1, 2, 3));
  EXPECT_TRUE(sameRotation(c.cube.rotations[4], 0, 0, 0));
  EXPECT_EQ(c.cube.colours[0], 0x30u);
  EXPECT_EQ(c.cube.colours[1], 0x30u);
  EXPECT_EQ(c.cube.colours[2], 0x20u);
  EXPECT_EQ(c.cube.colours[3], 0x10u);
  EXPECT_EQ(c.cube.colours[4], 0u);
}

TEST(VectorCube, EachStateIsDrawnAtItsScaleInItsOwnColour) {
  Cube c(2);
  c.cube.nearScale = 0.5f;
  c.cube.farScale = 1.5f;  // state 1 at 0.5 + 1.0 * 1 / 2 = 1.0
  c.cube.intensity = 256;
  Frame first;
  c.cube.colour = 0x000040;
  c.cube.draw(first.image);
  Frame f;
  c.cube.colour = 0x400000;
  c.cube.draw(f.image);
  // Newest at 0.5: corner 0 at 150 * -25 / -125 + 160 = 190, row 130.
  EXPECT_EQ(f.at(190, 130), 0xC00000u);  // three edges meet there
  // The older state at 1.0 keeps its blue: corner 0 at (235, 175).
  EXPECT_EQ(f.at(235, 175) & 0xFF0000, 0u);
  EXPECT_EQ(f.at(235, 175) & 0xFF, 0xC0u);
}

TEST(VectorCube, EqualScalesDrawEveryStateAtOneSize) {
  Cube c(3);
  c.cube.intensity = 256;
  c.cube.colour = 0x000010;
  Frame f;
  for (int i = 0; i < 3; ++i) c.cube.draw(f.image);
  // Three draws: 1 + 2 + 3 copies of the same cube, each edge adding 0x10.
  Frame single;
  c.cube.drawCount = 1;
  c.cube.draw(single.image);
  for (size_t i = 0; i < f.words.size(); ++i) {
    const uint32_t once = single.words[i] & 0xFF;
    ASSERT_EQ(f.words[i] & 0xFF, std::min<uint32_t>(255, once * 6)) << i;
  }
}

TEST(VectorCube, NoColourOrNoIntensityChangesNothing) {
  Cube c(60);
  Frame f;
  c.cube.colour = 0;
  c.cube.draw(f.image);
  c.cube.colour = 0xFFFFFF;
  c.cube.intensity = 0;
  c.cube.draw(f.image);
  EXPECT_TRUE(f.blank());
}

TEST(VectorCube, CornersAtTheEyePlaneLoseTheirEdgesInsteadOfOverflowing) {
  // At scale 3 the front corners lie exactly on the eye plane (z = 150): they
  // have no screen position. The back face (z = -150) is still drawn.
  Cube c(1);
  c.cube.nearScale = c.cube.farScale = 3.0f;
  c.cube.intensity = 256;
  c.cube.colour = 0x000001;
  Frame f;
  c.cube.draw(f.image);
  // Back corner 4: 150 * -150 / -300 + 160 = 235, row 175.
  EXPECT_EQ(f.at(235, 175), 2u);  // edges 4-5 and 7-4 (edge 0-4 is lost)
  // Drawing a count beyond the memory draws the memory only.
  Cube d(2);
  d.cube.drawCount = 1000;
  Frame g;
  d.cube.draw(g.image);
  // A destroyed cube, or one never made, draws nothing and frees safely.
  d.cube.destroy();
  d.cube.draw(g.image);
  d.cube.destroy();
  VectorCube never;
  never.draw(g.image);
  never.destroy();
}

}  // namespace
}  // namespace vorlith
