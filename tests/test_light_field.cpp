// The light field: its intensity table, the overbright cores, per-light
// capping, the setters' bounds, lights outside the table and the SIMD forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "effects/light_field.h"
#include "effects/overbright.h"

namespace vorlith {
namespace {

struct Frame {
  std::vector<uint32_t> words = std::vector<uint32_t>(framePixels, 0xDEADBEEF);
  Image image{frameWidth, frameHeight, 32, frameWidth * 4, reinterpret_cast<uint8_t*>(words.data())};
  uint32_t at(int x, int y) const { return words[y * frameWidth + x]; }
};

struct Field {
  Field(int count = 3) { field.init(count, frameWidth, frameHeight); }
  ~Field() { field.destroy(); }
  Frame frame;
  LightField field;
};

// render as written: per pixel, per light in order, the float entry
// truncated and held at 255, overbright per channel, each sum held at 255.
// An offset beyond the table adds nothing.
std::vector<uint32_t> renderFormula(const LightField& f) {
  std::vector<uint32_t> out;
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) {
      int r = 0, g = 0, b = 0;
      for (int i = 0; i < f.lightCount; ++i) {
        const auto& light = f.lights[i];
        const int64_t dy = std::llabs(int64_t{light.y} - y), dx = std::llabs(int64_t{light.x} - x);
        if (dy >= f.height || dx >= f.width) continue;
        int e = static_cast<int>(lightIntensity(static_cast<int>(dx), static_cast<int>(dy)));
        if (e > 255) e = 255;
        r = std::min(255, r + overbright(light.red, e));
        g = std::min(255, g + overbright(light.green, e));
        b = std::min(255, b + overbright(light.blue, e));
      }
      out.push_back(uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b));
    }
  return out;
}

TEST(LightField, IntensityTable) {
  Field f;
  ASSERT_EQ(f.field.width, 320);
  ASSERT_EQ(f.field.height, 200);
  // By vertical, then horizontal distance.
  const auto t = [](int dy, int dx) { return lightIntensity(dx, dy); };
  EXPECT_EQ(t(0, 0), 1285.0f);
  EXPECT_NEAR(t(0, 1), 1285.714, 0.001);
  EXPECT_NEAR(t(3, 4), 257.14, 0.01);
  EXPECT_NEAR(t(10, 0), 128.57, 0.01);
  EXPECT_NEAR(t(0, 11), 116.88, 0.01);
  EXPECT_NEAR(t(30, 40), 25.71, 0.01);
  EXPECT_NEAR(t(60, 80), 12.86, 0.01);
  // Formed in double, rounded to float once.
  EXPECT_EQ(t(199, 319), static_cast<float>(9e9 / (std::sqrt(199.0 * 199 + 319 * 319) * 7e6)));
  for (int i = 0; i < 3; ++i) {
    const auto& l = f.field.lights[i];
    EXPECT_EQ(l.x | l.y | l.colour | l.red | l.green | l.blue, 0) << i;
  }
}

TEST(LightField, NoLightsGiveBlack) {
  Field f(0);
  f.field.render(f.frame.image);
  for (uint32_t w : f.frame.words) ASSERT_EQ(w, 0u);
}

TEST(LightField, FreshFieldDrawsAGreyQuarterDiscAtTheCorner) {
  Field f;
  f.field.render(f.frame.image);
  EXPECT_EQ(f.frame.at(0, 0), 0x00FFFFFFu);
  EXPECT_EQ(f.frame.at(9, 0), 0x005D5D5Du) << "31 per light at distance 9";
  EXPECT_EQ(f.frame.at(0, 10), 0u) << "e = 128 adds nothing to a black light";
  EXPECT_EQ(f.frame.at(160, 100), 0u);
}

TEST(LightField, SingleLightExamples) {
  Field f(1);
  f.field.setLightColour(0, 0x0000FF);
  EXPECT_EQ(f.field.lights[0].colour, 0x0000FF);
  EXPECT_EQ(f.field.lights[0].blue, 255);
  f.field.setLightPosition(0, 100, 50);
  f.field.render(f.frame.image);
  EXPECT_EQ(f.frame.at(120, 50), 0x0000007Fu) << "distance 20, e = 64";
  EXPECT_EQ(f.frame.at(110, 50), 0x000000FFu) << "distance 10, e = 128";
  EXPECT_EQ(f.frame.at(100, 59), 0x001F1FFFu) << "distance 9, e = 142";
  EXPECT_EQ(f.frame.at(100, 50), 0x00FFFFFFu) << "white at the light itself";
}

TEST(LightField, LightsAddOnlyTheirOwnChannelsOutsideTheCores) {
  Field f;
  f.field.setLightColour(0, 0x0000FF);
  f.field.setLightColour(1, 0x00FF00);
  f.field.setLightColour(2, 0xFF0000);
  f.field.setLightPosition(0, 140, 100);
  f.field.setLightPosition(1, 160, 80);
  f.field.setLightPosition(2, 180, 100);
  f.field.render(f.frame.image);
  EXPECT_EQ(f.frame.at(160, 100), 0x007F7F7Fu);
  // Two lights of one colour add up in their channel, held at 255.
  f.field.setLightColour(1, 0x0000FF);
  f.field.setLightPosition(1, 140, 100);
  f.field.render(f.frame.image);
  EXPECT_EQ(f.frame.at(140, 100), 0x00FFFFFFu);
  EXPECT_EQ(f.frame.at(160, 100), 0x007F00FEu);
  EXPECT_EQ(f.frame.at(150, 100), 0x005300FFu) << "255 + 255 blue held at 255, red 42 * 255 / 128";
}

TEST(LightField, SettersIgnoreIndicesOutsideTheField) {
  Field f;
  f.field.setLightPosition(0, 5, 6);
  f.field.setLightColour(0, 0x123456);
  for (int index : {3, 4, -1, INT32_MIN}) {
    f.field.setLightPosition(index, 100, 100);
    f.field.setLightColour(index, 0xFFFFFF);
  }
  EXPECT_EQ(f.field.lights[0].x, 5);
  EXPECT_EQ(f.field.lights[0].colour, 0x123456);
  for (int i = 1; i < 3; ++i) EXPECT_EQ(f.field.lights[i].colour, 0);
}

// The fast render equals the plain formula, for lights inside the reference
// rectangle and for lights beyond it (where only offsets within the table light).
TEST(LightField, RenderMatchesTheFormulaEverywhere) {
  std::mt19937 random(3);
  Field f;
  for (int round = 0; round < 12; ++round) {
    for (int i = 0; i < 3; ++i) {
      const bool outside = round >= 6;
      const int x = outside ? int(random() % 1200) - 600 : int(random() % 320);
      const int y = outside ? int(random() % 800) - 400 : int(random() % 200);
      f.field.setLightPosition(i, x, y);
      f.field.setLightColour(i, random() & 0xFFFFFF);
    }
    f.field.render(f.frame.image);
    ASSERT_EQ(f.frame.words, renderFormula(f.field)) << round;
  }
  // Far away: nothing at all, and no arithmetic overflow.
  for (int i = 0; i < 3; ++i) f.field.setLightPosition(i, INT32_MIN + i, INT32_MAX - i);
  f.field.render(f.frame.image);
  for (uint32_t w : f.frame.words) ASSERT_EQ(w, 0u);
}

// Each word of the row plus its level's addition, byte by byte, held at 255.
uint32_t spanFormula(uint32_t word, uint32_t addition) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8)
    out |= std::min(255u, (word >> shift & 0xFF) + (addition >> shift & 0xFF)) << shift;
  return out;
}

// Every form against the formula, on spans that leave each possible tail and
// on sums that saturate in some bytes and not in others.
TEST(LightField, EverySpanFormMatchesTheFormula) {
  std::mt19937 random(9);
  std::vector<uint32_t> additions(256);
  for (const LightSpanForm& form : lightSpanForms().all()) {
    for (int n : {0, 1, 5, 8, 13, 320}) {
      for (auto& a : additions) a = random() & (n % 2 ? 0x00FFFFFF : 0xFFFFFFFF);
      std::vector<uint8_t> levels(n);
      std::vector<uint32_t> row(n), expected(n);
      for (auto& l : levels) l = uint8_t(random());
      for (int i = 0; i < n; ++i) {
        row[i] = random() & 0x80FFFFFF;
        expected[i] = spanFormula(row[i], additions[levels[i]]);
      }
      form.addSpan(row.data(), levels.data(), additions.data(), n);
      ASSERT_EQ(row, expected) << form.name << " " << n;
    }
  }
}

TEST(LightField, WrongTargetsAndLifecycle) {
  Field f;
  std::vector<uint32_t> small(100, 7);
  Image smallImage{10, 10, 32, 40, reinterpret_cast<uint8_t*>(small.data())};
  f.field.render(smallImage);
  for (uint32_t w : small) EXPECT_EQ(w, 7u);

  LightField never;
  never.destroy();  // before init
  never.render(f.frame.image);
  EXPECT_EQ(f.frame.at(0, 0), 0xDEADBEEFu);
  f.field.destroy();
  f.field.destroy();
  EXPECT_EQ(f.field.lightCount, 0);
  f.field.init(2, frameWidth, frameHeight);  // again after destroy
  f.field.render(f.frame.image);
  EXPECT_EQ(f.frame.at(0, 0), 0x00FFFFFFu);
  // A nonsensical size gives an empty field that draws nothing.
  f.field.init(-1, -5, -5);
  EXPECT_EQ(f.field.lightCount, 0);
  EXPECT_EQ(f.field.width, 0);
}

}  // namespace
}  // namespace vorlith
