// Radial light rays: the accumulation along one ray, the drawing order of all
// rays, the linear x = -1 allowance and the ends that draw nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "base/kernel_dispatch.h"
#include "image/light_rays.h"

namespace vorlith {
namespace {

// A 320x200 frame owned by the test.
struct Frame {
  std::vector<uint32_t> words = std::vector<uint32_t>(framePixels, 0);
  Image image{frameWidth, frameHeight, 32, frameWidth * 4, reinterpret_cast<uint8_t*>(words.data())};
  uint32_t& at(int x, int y) { return words[y * frameWidth + x]; }
};

// The ray as the algorithm reads, on coordinates rather than byte offsets.
void rayFormula(const std::vector<uint32_t>& src, std::vector<uint32_t>& dst, int x0, int y0, int x1, int y1) {
  const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
  const int sx = x1 < x0 ? -1 : 1, sy = y1 < y0 ? -1 : 1;
  const bool xMajor = dx >= dy;
  int d = xMajor ? 2 * dy - dx : 2 * dx - dy;
  const int straight = xMajor ? 2 * dy : 2 * dx;
  const int diagonal = xMajor ? 2 * (dy - dx) : 2 * (dx - dy);
  int acc[3] = {0, 0, 0};
  int x = x0, y = y0;
  for (int n = (xMajor ? dx : dy) + 1; n > 0; --n) {
    const int index = y * 320 + x;  // linear: x = -1 is the row above's last pixel
    uint32_t out = dst[index] & 0xFF000000;
    for (int k = 0; k < 3; ++k) {
      int value;
      if (acc[k] >= 16384) {
        value = 255;
      } else {
        const int s = src[index] >> (8 * k) & 0xFF;
        acc[k] += s;
        value = std::min(254, s + acc[k] / 64);
      }
      out |= uint32_t(value) << (8 * k);
    }
    dst[index] = out;
    if (d >= 0) {
      x += sx;
      y += sy;
      d += diagonal;
    } else {
      if (xMajor)
        x += sx;
      else
        y += sy;
      d += straight;
    }
  }
}

void raysFormula(const std::vector<uint32_t>& src, std::vector<uint32_t>& dst, int cx, int cy) {
  for (int x = 0; x < 320; ++x) {
    rayFormula(src, dst, cx, cy, x, 0);
    rayFormula(src, dst, cx, cy, x, 199);
  }
  for (int y = 1; y < 199; ++y) {
    rayFormula(src, dst, cx, cy, 0, y);
    rayFormula(src, dst, cx, cy, 319, y);
  }
}

TEST(LightRays, BlackSourceGivesBlackRaysAndKeepsTopBytesAndUnvisitedPixels) {
  Frame src, dst;
  std::fill(dst.words.begin(), dst.words.end(), 0xAB777777);
  drawLightRays(src.image, dst.image, 160, 100);
  int visited = 0;
  for (uint32_t w : dst.words) {
    ASSERT_TRUE(w == 0xAB000000 || w == 0xAB777777) << std::hex << w;
    visited += w == 0xAB000000;
  }
  EXPECT_GT(visited, 60000);
  EXPECT_EQ(dst.at(160, 100), 0xAB000000u);
  EXPECT_EQ(dst.at(0, 0), 0xAB000000u);
}

TEST(LightRays, AccumulatorSaturatesAtThe66thPixel) {
  Frame src, dst;
  // Blue full, green 0, red 10: the channels run on their own.
  std::fill(src.words.begin(), src.words.end(), 0x000A00FF);
  drawLightRay(src.image, dst.image, 0, 100, 319, 100);
  for (int x = 0; x < 320; ++x) {
    ASSERT_EQ(dst.at(x, 100) & 0xFF, x < 65 ? 254u : 255u) << x;
    ASSERT_EQ(dst.at(x, 100) >> 8 & 0xFF, 0u);
    ASSERT_EQ(dst.at(x, 100) >> 16 & 0xFF, std::min(254u, 10u + 10u * (x + 1) / 64)) << x;
  }
  EXPECT_EQ(dst.at(0, 99), 0u);
  EXPECT_EQ(dst.at(0, 101), 0u);
}

TEST(LightRays, ABrightCentreLeavesOneOnEveryRay) {
  Frame src, dst;
  src.at(160, 100) = 0x00000040;
  std::fill(dst.words.begin(), dst.words.end(), 0x00777777);
  drawLightRays(src.image, dst.image, 160, 100);
  EXPECT_EQ(dst.at(160, 100), 0x00000041u);
  for (int x = 0; x < 320; ++x) {
    EXPECT_EQ(dst.at(x, 0), 0x00000001u) << x;
    EXPECT_EQ(dst.at(x, 199), 0x00000001u) << x;
  }
  for (int i = 0; i < framePixels; ++i)
    ASSERT_TRUE(dst.words[i] == 0x00777777 || dst.words[i] == 1 || i == 100 * 320 + 160) << i;
}

TEST(LightRays, StepsOfSingleRays) {
  Frame src, dst;
  std::fill(src.words.begin(), src.words.end(), 0x00010101);
  auto visited = [&] {
    std::vector<std::pair<int, int>> points;
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 320; ++x)
        if (dst.at(x, y)) points.push_back({x, y});
    std::fill(dst.words.begin(), dst.words.end(), 0);
    return points;
  };
  drawLightRay(src.image, dst.image, 7, 9, 7, 9);
  EXPECT_EQ(visited(), (std::vector<std::pair<int, int>>{{7, 9}}));
  drawLightRay(src.image, dst.image, 20, 20, 10, 10);  // 45 degrees: diagonal steps only
  std::vector<std::pair<int, int>> diagonal;
  for (int i = 10; i <= 20; ++i) diagonal.push_back({i, i});
  EXPECT_EQ(visited(), diagonal);
  drawLightRay(src.image, dst.image, 30, 5, 0, 5);  // horizontal: straight steps only
  EXPECT_EQ(visited().size(), 31u);
  drawLightRay(src.image, dst.image, 160, 100, 0, 0);  // x-major, 161 pixels
  const auto toCorner = visited();
  EXPECT_EQ(toCorner.size(), 161u);
  EXPECT_EQ(toCorner.front(), (std::pair{0, 0}));
  EXPECT_EQ(toCorner.back(), (std::pair{160, 100}));
}

// The whole fan against the formula on random pictures, for centres across
// the frame, its corners and the x = -1 column the logo's sweep ends in.
TEST(LightRays, FanMatchesTheFormulaIncludingTheLeftAllowance) {
  std::mt19937 random(11);
  Frame src, dst;
  for (auto [cx, cy] : {std::pair{160, 100}, {0, 0}, {319, 199}, {37, 150}, {-1, 100}, {-1, 1}, {-1, 199}, {300, 3}}) {
    // Dim pictures keep the accumulators below saturation for a while.
    for (auto& w : src.words) w = random() & (cx == 37 ? 0xFFFFFFFF : 0x0F1F3F7F);
    for (auto& w : dst.words) w = random();
    std::vector<uint32_t> expected = dst.words;
    raysFormula(src.words, expected, cx, cy);
    drawLightRays(src.image, dst.image, cx, cy);
    ASSERT_EQ(dst.words, expected) << cx << "," << cy;
  }
}

// Every SIMD form against the plain walk, on dim pictures (long unsaturated
// stretches) and bright ones (channels saturating at different steps), for
// random centres and the whole x = -1 column, whose rays also reach words of
// column 319 by the left.
TEST(LightRays, EveryFormMatchesThePlainWalk) {
  const KernelForms<LightRayForm>& forms = lightRayForms();
  ASSERT_STREQ(forms.plain().name, "plain");
  std::mt19937 random(23);
  // Corners, the middle, steep rays on both sides (160, 5) and on one (300, 100).
  std::vector<std::pair<int, int>> centres = {{0, 0}, {319, 199}, {319, 0}, {0, 199}, {160, 100}, {160, 5},
                                              {150, 190}, {300, 100}, {10, 100}, {120, 199}};
  for (int y = 1; y < 200; ++y) centres.push_back({-1, y});
  for (int i = 0; i < 24; ++i) centres.push_back({int(random() % 321) - 1, 1 + int(random() % 199)});
  Frame src, expected, actual;
  for (size_t c = 0; c < centres.size(); ++c) {
    const auto [cx, cy] = centres[c];
    const uint32_t mask = c % 2 ? 0xFFFFFFFF : 0x0F1F3F7F;
    for (auto& w : src.words) w = random() & mask;
    // Half the destinations share one fourth byte, as the show's frames do.
    for (auto& w : expected.words) w = c % 4 < 2 ? random() : (random() & 0x00FFFFFF) | 0x5A000000;
    const std::vector<uint32_t> before = expected.words;
    forms.plain().drawRays(src.image.pixels, expected.image.pixels, cx, cy);
    for (const LightRayForm& form : forms.all()) {
      actual.words = before;
      form.drawRays(src.image.pixels, actual.image.pixels, cx, cy);
      ASSERT_EQ(actual.words, expected.words) << form.name << " at " << cx << "," << cy;
    }
  }
}

// With the plain kernels forced, or with source and destination one image
// (rays then read what earlier rays wrote), the fan is the plain walk's.
TEST(LightRays, ForcedPlainAndSharedImagesTakeThePlainWalk) {
  const LightRayForm& plain = lightRayForms().plain();
  std::mt19937 random(5);
  Frame src, expected, actual;
  for (auto& w : src.words) w = random() & 0x3F3F3F3F;
  plain.drawRays(src.image.pixels, expected.image.pixels, 200, 60);
  forcePlainKernels(true);
  drawLightRays(src.image, actual.image, 200, 60);
  forcePlainKernels(false);
  EXPECT_EQ(actual.words, expected.words);

  expected.words = src.words;
  actual.words = src.words;
  plain.drawRays(expected.image.pixels, expected.image.pixels, 200, 60);
  drawLightRays(actual.image, actual.image, 200, 60);
  EXPECT_EQ(actual.words, expected.words);
}

TEST(LightRays, EndsOutsideTheFrameDrawNothing) {
  Frame src, dst;
  std::fill(src.words.begin(), src.words.end(), 0x00FFFFFF);
  for (auto [cx, cy] : {std::pair{-1, 0}, {-2, 100}, {320, 100}, {5, -1}, {5, 200}, {INT32_MIN, 100}}) {
    drawLightRays(src.image, dst.image, cx, cy);
    drawLightRay(src.image, dst.image, 10, 10, cx, cy);
    drawLightRay(src.image, dst.image, cx, cy, 10, 10);
  }
  for (uint32_t w : dst.words) ASSERT_EQ(w, 0u);
  // Images smaller than a frame are not walked either.
  std::vector<uint32_t> small(100, 0);
  Image smallImage{10, 10, 32, 40, reinterpret_cast<uint8_t*>(small.data())};
  drawLightRays(src.image, smallImage, 5, 5);
  drawLightRays(smallImage, dst.image, 5, 5);
  for (uint32_t w : dst.words) ASSERT_EQ(w, 0u);
  for (uint32_t w : small) ASSERT_EQ(w, 0u);
}

}  // namespace
}  // namespace vorlith
