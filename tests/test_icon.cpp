// The program's icon: every hicolor size drawn, transparent outside its
// rounded tile and opaque inside, and written as a PNG that reads back as the
// same pixels.
#include <gtest/gtest.h>

#include <cstring>

#include "icon.h"
#include "support.h"

namespace vorlith::assets {
namespace {

// A PNG file read back as 0xAARRGGBB words, top row first.
Picture readPng(const std::vector<uint8_t>& file) {
  Picture p;
  if (!test::decodePng(file, p.pixels, p.width, p.height)) return {};
  return p;
}

uint32_t alpha(uint32_t pixel) { return pixel >> 24; }

TEST(Icon, EverySizeIsATileWithTransparentCornersAndAnOpaqueInside) {
  for (int size : iconSizes) {
    SCOPED_TRACE(size);
    const Picture icon = makeIcon(size);
    ASSERT_EQ(icon.width, size);
    ASSERT_EQ(icon.height, size);
    const int last = size - 1;
    for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}}) EXPECT_EQ(icon.at(x, y), 0u);
    // The margin around the tile is empty, the tile's middle fully covered.
    EXPECT_EQ(alpha(icon.at(size / 2, 0)), 0u);
    for (int y = size / 4; y < size * 3 / 4; ++y)
      for (int x = size / 4; x < size * 3 / 4; ++x) ASSERT_EQ(alpha(icon.at(x, y)), 255u) << x << "," << y;
    // The letter is there: bright chrome as well as the dark night of the tile.
    int bright = 0, dark = 0;
    for (uint32_t p : icon.pixels) {
      if (alpha(p) != 255) continue;
      const uint32_t sum = ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF);
      bright += sum > 600;
      dark += sum < 120;
    }
    EXPECT_GT(bright, size * size / 50);
    EXPECT_GT(dark, size * size / 10);
  }
  EXPECT_TRUE(makeIcon(4).pixels.empty());
  EXPECT_TRUE(makeIcon(4096).pixels.empty());
}

TEST(Icon, PngHoldsThePixelsWithTheirAlpha) {
  const Picture icon = makeIcon(32);
  const std::vector<uint8_t> file = pngRgba(icon);
  ASSERT_GT(file.size(), 8u);
  EXPECT_EQ(std::memcmp(file.data(), "\x89PNG\r\n\x1a\n", 8), 0);
  const Picture back = readPng(file);
  ASSERT_EQ(back.width, 32);
  ASSERT_EQ(back.height, 32);
  // Fully transparent pixels carry no colour; the rest must match exactly.
  for (size_t i = 0; i < icon.pixels.size(); ++i)
    if (alpha(icon.pixels[i]) != 0) {
      ASSERT_EQ(back.pixels[i], icon.pixels[i]) << i;
    }
  EXPECT_EQ(pngRgba(makeIcon(32)), file);  // the same bytes every time

  Picture bad;
  bad.width = 3;
  bad.height = 3;
  EXPECT_TRUE(pngRgba(bad).empty());
  EXPECT_TRUE(pngRgba(Picture{}).empty());
}

}  // namespace
}  // namespace vorlith::assets
