// Clearing, keyed blits with and without a ceiling, the colour mix, the
// cross-fade and the saturating add (every SIMD form against the formula).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "image/raster.h"

namespace vorlith {
namespace {

struct ImageDeleter {
  void operator()(Image* image) const { imageFree(image); }
};
using OwnedImage = std::unique_ptr<Image, ImageDeleter>;

OwnedImage blank(int width, int height) { return OwnedImage(imageCreate(width, height, 32)); }

// A picture in which every pixel is different: 0x00RRGGBB with red from the
// column, green from the row and blue marking the picture.
OwnedImage numbered(int width, int height, uint32_t blue = 0x5A) {
  OwnedImage image = blank(width, height);
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c) imageWords(*image)[r * width + c] = uint32_t(c & 0xFF) << 16 | uint32_t(r & 0xFF) << 8 | blue;
  return image;
}

uint32_t at(const Image& image, int x, int y) { return imageWords(image)[y * image.width + x]; }

void fill(Image& image, uint32_t word) {
  std::fill(imageWords(image), imageWords(image) + image.width * image.height, word);
}

TEST(Raster, ClearZeroesOneFrameAndNoMore) {
  OwnedImage frame = blank(320, 200);
  fill(*frame, 0xFFFFFFFF);
  imageClear(*frame);
  for (int i = 0; i < framePixels; ++i) ASSERT_EQ(imageWords(*frame)[i], 0u) << i;

  // An image smaller than a frame is cleared only as far as it reaches.
  OwnedImage small = blank(10, 10);
  fill(*small, 0x01020304);
  imageClear(*small);
  EXPECT_EQ(at(*small, 9, 9), 0u);
}

TEST(Raster, CentredPlacementTruncatesEachHalf) {
  OwnedImage dst = blank(320, 200);
  OwnedImage full = numbered(320, 200);
  imageBlitKeyed(*dst, *full, colourKey, -1, -1);
  for (int i = 0; i < framePixels; ++i) ASSERT_EQ(imageWords(*dst)[i], imageWords(*full)[i]) << i;

  for (auto [w, h] : {std::pair{100, 50}, std::pair{101, 51}}) {
    OwnedImage target = blank(320, 200);
    OwnedImage picture = numbered(w, h);
    imageBlitKeyed(*target, *picture, colourKey, -1, -1);
    EXPECT_EQ(at(*target, 110, 75), at(*picture, 0, 0));
    EXPECT_EQ(at(*target, 110 + w - 1, 75 + h - 1), at(*picture, w - 1, h - 1));
    EXPECT_EQ(at(*target, 109, 75), 0u);
    EXPECT_EQ(at(*target, 110, 74), 0u);
    EXPECT_EQ(at(*target, 110 + w, 75), 0u);
  }
  // Only -1 means centred: -2 is a real coordinate.
  OwnedImage target = blank(320, 200);
  OwnedImage picture = numbered(4, 4);
  imageBlitKeyed(*target, *picture, colourKey, -2, 5);
  EXPECT_EQ(at(*target, 0, 5), at(*picture, 2, 0));
}

TEST(Raster, BlitClipsAtEveryEdgeAndKeepsRowPairing) {
  OwnedImage picture = numbered(100, 60);
  for (bool capped : {false, true}) {
    OwnedImage dst = blank(320, 200);
    fill(*dst, 0x00111111);
    auto blit = [&](int x, int y) {
      if (capped)
        imageBlitKeyedCapped(*dst, *picture, colourKey, x, y, 255);
      else
        imageBlitKeyed(*dst, *picture, colourKey, x, y);
    };
    blit(300, 170);  // right and bottom
    EXPECT_EQ(at(*dst, 300, 170), at(*picture, 0, 0));
    EXPECT_EQ(at(*dst, 319, 199), at(*picture, 19, 29));
    EXPECT_EQ(at(*dst, 0, 171), 0x00111111u) << "no wrap into the next row";
    blit(-10, -20);  // left and top
    EXPECT_EQ(at(*dst, 0, 0), at(*picture, 10, 20));
    EXPECT_EQ(at(*dst, 89, 39), at(*picture, 99, 59));
    EXPECT_EQ(at(*dst, 90, 39), 0x00111111u);
    EXPECT_EQ(at(*dst, 89, 40), 0x00111111u);
    // Far outside, and at extreme coordinates, nothing is written.
    OwnedImage before = blank(320, 200);
    std::copy(imageWords(*dst), imageWords(*dst) + framePixels, imageWords(*before));
    for (auto [x, y] : {std::pair{320, 0}, {0, 200}, {-100, 0}, {0, -60}, {INT32_MAX, INT32_MAX}, {INT32_MIN, 0}})
      blit(x, y);
    EXPECT_TRUE(std::equal(imageWords(*dst), imageWords(*dst) + framePixels, imageWords(*before)));
  }
}

TEST(Raster, KeyIsTheWholeWord) {
  OwnedImage picture = blank(3, 1);
  imageWords(*picture)[0] = 0x00FF0000;  // transparent
  imageWords(*picture)[1] = 0xFFFF0000;  // red with a top byte: not the key
  imageWords(*picture)[2] = 0x00FF0001;
  OwnedImage plain = blank(320, 200);
  OwnedImage capped = blank(320, 200);
  fill(*plain, 0x00ABCDEF);
  fill(*capped, 0x00ABCDEF);
  imageBlitKeyed(*plain, *picture, colourKey, 0, 0);
  imageBlitKeyedCapped(*capped, *picture, colourKey, 0, 0, 255);
  EXPECT_EQ(at(*plain, 0, 0), 0x00ABCDEFu);
  EXPECT_EQ(at(*plain, 1, 0), 0xFFFF0000u);
  EXPECT_EQ(at(*plain, 2, 0), 0x00FF0001u);
  EXPECT_EQ(at(*capped, 0, 0), 0x00ABCDEFu);
  EXPECT_EQ(at(*capped, 1, 0), 0x00FF0000u) << "the ceiling blit writes a top byte of 0";
  EXPECT_EQ(at(*capped, 2, 0), 0x00FF0001u);
}

TEST(Raster, CeilingClipsEachChannel) {
  OwnedImage picture = blank(1, 1);
  OwnedImage dst = blank(320, 200);
  auto capped = [&](uint32_t word, int cap) {
    imageWords(*picture)[0] = word;
    imageBlitKeyedCapped(*dst, *picture, colourKey, 0, 0, cap);
    return at(*dst, 0, 0);
  };
  EXPECT_EQ(capped(0x00C08040, 0x60), 0x00606040u);
  EXPECT_EQ(capped(0x12FFFFFF, 0), 0u);
  EXPECT_EQ(capped(0x12C08040, 300), 0x00C08040u);
  EXPECT_EQ(capped(0x12C08040, 255), 0x00C08040u);
  EXPECT_EQ(capped(0x12C08040, -7), 0u) << "a negative ceiling counts as 0";
}

// The ceiling blit walks destination rows by the destination's own width: on
// a narrower image than a frame it lands exactly where the plain blit does and
// writes nothing past the image (ASan checks the latter).
TEST(Raster, CeilingBlitOnANarrowDestinationStaysInside) {
  OwnedImage picture = numbered(30, 20);
  OwnedImage plain = blank(40, 25);
  OwnedImage capped = blank(40, 25);
  imageBlitKeyed(*plain, *picture, colourKey, -1, -1);
  imageBlitKeyedCapped(*capped, *picture, colourKey, -1, -1, 255);
  for (int i = 0; i < 40 * 25; ++i) ASSERT_EQ(imageWords(*capped)[i], imageWords(*plain)[i]) << i;
}

TEST(Raster, ColourLerpShiftsArithmetically) {
  EXPECT_EQ(colourLerp(0, 0xFFFFFF, 128), 0x7F7F7Fu);
  EXPECT_EQ(colourLerp(0xFFFFFF, 0, 128), 0x7F7F7Fu);
  EXPECT_EQ(colourLerp(0xFFFFFF, 0, 1), 0xFEFEFEu) << "a falling channel steps down at once";
  EXPECT_EQ(colourLerp(0, 0xFFFFFF, 1), 0u);
  EXPECT_EQ(colourLerp(0x12345678, 0xAB000000, 255), 0xAB000000u);
  EXPECT_EQ(colourLerp(0x12345678, 0xAB000000, 1000), 0xAB000000u);
  EXPECT_EQ(colourLerp(0x12345678, 0xAB000000, 0), 0x12345678u);
  EXPECT_EQ(colourLerp(0x12345678, 0xAB000000, -5), 0x12345678u);
  // Channels mix on their own; the top byte is dropped in between.
  EXPECT_EQ(colourLerp(0xFFFF7F3C, 0x003CFF7F, 100), 0x00B2B156u);
  // Against the formula on every weight and a spread of channel pairs.
  for (int t = 1; t < 255; ++t)
    for (int from = 0; from < 256; from += 17)
      for (int to = 0; to < 256; to += 15) {
        const int expected = from + static_cast<int>(std::floor((to - from) * t / 256.0));
        ASSERT_EQ(colourLerp(uint32_t(from) << 8, uint32_t(to) << 8, t), uint32_t(expected) << 8) << from << " " << to << " " << t;
      }
}

// The formulas as written, one byte at a time.
uint32_t crossfadeFormula(uint32_t a, uint32_t b, int weight) {
  uint32_t out = 0;
  for (int k = 0; k < 4; ++k) {
    const uint32_t ab = a >> (8 * k) & 0xFF, bb = b >> (8 * k) & 0xFF;
    out |= ((ab * weight / 256) + (bb * (256 - weight) / 256)) << (8 * k);
  }
  return out;
}

uint32_t addFormula(uint32_t src, uint32_t dst) {
  uint32_t out = 0;
  for (int k = 0; k < 4; ++k) out |= std::min(255u, (src >> (8 * k) & 0xFF) + (dst >> (8 * k) & 0xFF)) << (8 * k);
  return out;
}

TEST(Raster, CrossfadeExamples) {
  OwnedImage a = blank(2, 1);
  OwnedImage b = blank(2, 1);
  auto mix = [&](uint32_t wa, uint32_t wb, int weight) {
    imageWords(*a)[0] = wa;
    imageWords(*b)[0] = wb;
    imageCrossfade(*a, *b, weight);
    return imageWords(*b)[0];
  };
  EXPECT_EQ(mix(0xFFFFFFFF, 0, 255), 0xFEFEFEFEu) << "top byte too";
  EXPECT_EQ(mix(0xFFFFFFFF, 0xFFFFFFFF, 128), 0xFEFEFEFEu);
  EXPECT_EQ(mix(0x12345678, 0x9ABCDEF0, 256), 0x12345678u);
  EXPECT_EQ(mix(0x12345678, 0x9ABCDEF0, 0), 0x9ABCDEF0u);
  // Weights outside 0..256 count as the nearer end.
  EXPECT_EQ(mix(0x12345678, 0x9ABCDEF0, 300), 0x12345678u);
  EXPECT_EQ(mix(0x12345678, 0x9ABCDEF0, -3), 0x9ABCDEF0u);
}

TEST(Raster, SaturatingAddExamplesAndTheOddLastPixel) {
  OwnedImage src = blank(3, 1);
  OwnedImage dst = blank(3, 1);
  imageWords(*src)[0] = 0x64102064;
  imageWords(*dst)[0] = 0xC82010C8;
  imageWords(*src)[2] = 0x01010101;
  imageWords(*dst)[2] = 0x05050505;
  imageAddSaturate(*src, *dst);
  EXPECT_EQ(imageWords(*dst)[0], 0xFF3030FFu);
  EXPECT_EQ(imageWords(*dst)[2], 0x05050505u) << "an odd last pixel is left alone";
}

// Images of different sizes mix over the pixels both have (ASan checks that
// nothing past the smaller is touched); other depths are left alone.
TEST(Raster, MismatchedImagesStayInside) {
  OwnedImage big = blank(320, 200);
  OwnedImage small = blank(5, 3);
  fill(*big, 0x10101010);
  imageCrossfade(*big, *small, 256);
  EXPECT_EQ(at(*small, 4, 2), 0x10101010u);
  imageAddSaturate(*big, *small);
  EXPECT_EQ(at(*small, 3, 2), 0x20202020u);
  EXPECT_EQ(at(*small, 4, 2), 0x10101010u) << "15 pixels: the odd last one is left alone";
  imageAddSaturate(*small, *big);
  EXPECT_EQ(at(*big, 13, 0), 0x30303030u);
  EXPECT_EQ(at(*big, 14, 0), 0x10101010u);
  imageCrossfade(*small, *big, 256);
  EXPECT_EQ(at(*big, 14, 0), 0x10101010u);
  EXPECT_EQ(at(*big, 15, 0), 0x10101010u);

  OwnedImage deep(imageCreate(4, 4, 24));
  std::vector<uint8_t> before(deep->pixels, deep->pixels + 48);
  imageCrossfade(*big, *deep, 256);
  imageAddSaturate(*big, *deep);
  imageBlitKeyed(*deep, *big, colourKey, 0, 0);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), deep->pixels));
}

// Every form the processor runs equals the formula, on random words, every
// weight and lengths that leave each possible tail.
TEST(Raster, EveryKernelFormMatchesTheFormulas) {
  std::mt19937 random(4);
  for (const RasterKernels& form : rasterKernelForms().all()) {
    SCOPED_TRACE(form.name);
    for (int count : {1, 3, 7, 8, 9, 17, 64000}) {
      std::vector<uint32_t> a(count), b(count);
      for (int weight = 0; weight <= 256; weight += count == 64000 ? 37 : 1) {
        for (auto& w : a) w = random();
        for (auto& w : b) w = random();
        // Extremes matter most for the two truncations.
        a[0] = 0xFFFFFFFF;
        std::vector<uint32_t> expected(count);
        for (int i = 0; i < count; ++i) expected[i] = crossfadeFormula(a[i], b[i], weight);
        form.crossfade(a.data(), b.data(), count, weight);
        ASSERT_EQ(b, expected) << "count " << count << " weight " << weight;
      }
      for (auto& w : a) w = random();
      for (auto& w : b) w = random() & 0x7F7F7F7F;
      std::vector<uint32_t> expected(count);
      for (int i = 0; i < count; ++i) expected[i] = addFormula(a[i], b[i]);
      form.addSaturate(a.data(), b.data(), count);
      ASSERT_EQ(b, expected) << "count " << count;
    }
  }
}

}  // namespace
}  // namespace vorlith
