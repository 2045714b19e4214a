// The additive line: which points it visits, what it adds, and how it clips.
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "frame_buffer.h"
#include "image/additive_line.h"

namespace vorlith {
namespace {

using Frame = test::FrameBuffer;

// The pixels that are not 0.
std::set<std::pair<int, int>> litPoints(const Frame& f) {
  std::set<std::pair<int, int>> points;
  for (int y = 0; y < frameHeight; ++y)
    for (int x = 0; x < frameWidth; ++x)
      if (f.at(x, y) != 0) points.insert({x, y});
  return points;
}

using Points = std::set<std::pair<int, int>>;

TEST(AdditiveLine, VisitsTheDocumentedPoints) {
  {
    Frame f;
    drawAdditiveLine(f.image, 0, 0, 4, 1, 0xFFFFFF, 256);
    EXPECT_EQ(litPoints(f), (Points{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}));
  }
  {
    // 45 degrees counts as y-major and takes only diagonal steps.
    Frame f;
    drawAdditiveLine(f.image, 0, 0, 5, 5, 0xFFFFFF, 256);
    EXPECT_EQ(litPoints(f), (Points{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}));
  }
  {
    // Drawn backwards and steep: the error starts at half the major length.
    Frame f;
    drawAdditiveLine(f.image, 3, 4, 2, 0, 0x010101, 256);
    EXPECT_EQ(litPoints(f), (Points{{3, 4}, {3, 3}, {2, 2}, {2, 1}, {2, 0}}));
  }
  {
    Frame f;
    drawAdditiveLine(f.image, 7, 9, 7, 9, 0x000001, 256);
    EXPECT_EQ(litPoints(f), (Points{{7, 9}}));
    EXPECT_EQ(f.at(7, 9), 1u);  // once, not twice
  }
}

TEST(AdditiveLine, AddsAFractionOfTheColourHeldAt255AndKeepsTheFourthByte) {
  Frame f;
  f.words[0] = 0xAA00C800;  // green 200
  drawAdditiveLine(f.image, 0, 0, 0, 0, 0xFFFFFF, 127);
  EXPECT_EQ(f.words[0], 0xAA7EFF7Eu);  // 255 * 127 / 256 = 126 each; 200 + 126 held at 255

  drawAdditiveLine(f.image, 1, 0, 1, 0, 0xFFFFFF, 256);
  EXPECT_EQ(f.words[1], 0x00FFFFFFu);
  drawAdditiveLine(f.image, 2, 0, 2, 0, 0xFFFFFF, 0);
  EXPECT_EQ(f.words[2], 0u);
  // The colour's top byte is ignored; channels stay apart.
  drawAdditiveLine(f.image, 3, 0, 3, 0, 0xFF102030, 128);
  EXPECT_EQ(f.words[3], 0x00081018u);

  // Crossing lines add at the crossing; the same line twice adds twice.
  Frame g;
  drawAdditiveLine(g.image, 0, 10, 20, 10, 0x404040, 256);
  drawAdditiveLine(g.image, 10, 0, 10, 20, 0x404040, 256);
  EXPECT_EQ(g.at(10, 10), 0x808080u);
  drawAdditiveLine(g.image, 0, 10, 20, 10, 0x404040, 256);
  EXPECT_EQ(g.at(10, 10), 0xC0C0C0u);
  EXPECT_EQ(g.at(0, 10), 0x808080u);
}

TEST(AdditiveLine, ClipsPointByPointWithoutStoppingTheWalk) {
  {
    Frame f;
    drawAdditiveLine(f.image, -10, 100, 10, 100, 0x000001, 256);
    Points expected;
    for (int x = 0; x <= 10; ++x) expected.insert({x, 100});
    EXPECT_EQ(litPoints(f), expected);
  }
  {
    Frame f;
    drawAdditiveLine(f.image, -50, 100, 400, 100, 0x000001, 256);
    Points expected;
    for (int x = 0; x < frameWidth; ++x) expected.insert({x, 100});
    EXPECT_EQ(litPoints(f), expected);
  }
  {
    // Leaves through the bottom and comes back in no more: only the frame part.
    Frame f;
    drawAdditiveLine(f.image, 0, 190, 20, 210, 0x000001, 256);
    Points expected;
    for (int i = 0; i < 10; ++i) expected.insert({i, 190 + i});
    EXPECT_EQ(litPoints(f), expected);
  }
  {
    // Ends far outside the 32-bit comfortable range, and wholly outside lines.
    Frame f;
    drawAdditiveLine(f.image, -2000000000, -5, 2000000000, -5, 0xFFFFFF, 256);
    drawAdditiveLine(f.image, 400, -2147483647 - 1, 400, 2147483647, 0xFFFFFF, 256);
    EXPECT_TRUE(litPoints(f).empty());
    drawAdditiveLine(f.image, 319, -100000, 319, 100000, 0x000001, 256);
    EXPECT_EQ(litPoints(f).size(), 200u);
  }
}

TEST(AdditiveLine, MatchesAPlainStepByStepWalkOnRandomLines) {
  // The same walk written as plainly as possible, point list only.
  auto plain = [](int x0, int y0, int x1, int y1) {
    Points points;
    const int sx = sign(x1 - x0), sy = sign(y1 - y0);
    const int adx = std::abs(x1 - x0), ady = std::abs(y1 - y0);
    const bool xMajor = adx > ady;
    const int major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    int err = major / 2, x = x0, y = y0;
    for (int i = 0; i <= major; ++i) {
      if (x >= 0 && x < 320 && y >= 0 && y < 200) points.insert({x, y});
      err += minor;
      if (err < major) {
        x += xMajor ? sx : 0;
        y += xMajor ? 0 : sy;
      } else {
        x += sx;
        y += sy;
        err -= major;
      }
    }
    return points;
  };
  uint32_t seed = 12345;
  auto next = [&](int lo, int hi) {
    seed = seed * 1664525u + 1013904223u;
    return lo + static_cast<int>((seed >> 8) % static_cast<uint32_t>(hi - lo + 1));
  };
  for (int n = 0; n < 300; ++n) {
    const int x0 = next(-100, 420), y0 = next(-100, 300), x1 = next(-100, 420), y1 = next(-100, 300);
    Frame f;
    drawAdditiveLine(f.image, x0, y0, x1, y1, 0x000001, 256);
    ASSERT_EQ(litPoints(f), plain(x0, y0, x1, y1)) << x0 << "," << y0 << " -> " << x1 << "," << y1;
  }
}

}  // namespace
}  // namespace vorlith
