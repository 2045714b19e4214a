// The default asset pack made by the build: each file against what its reader
// needs, the pictures' colour key, and the module's timing and levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <libopenmpt/libopenmpt.hpp>

#include "image/image.h"
#include "pack.h"
#include "paint.h"
#include "platform/openmpt_audio.h"
#include "song.h"
#include "support.h"

namespace vorlith {
namespace {

using test::defaultAssets;
using test::readFile;

constexpr uint32_t key = 0x00FF0000;

struct Loaded {
  explicit Loaded(const std::string& name) {
    test::NoticeRecorder recorder;
    image = test::loadPicture(defaultAssets() + "/gfx/" + name).release();
    notices = recorder.notices.size();
  }
  ~Loaded() { imageFree(image); }
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;
  uint32_t at(int x, int y) const { return imageWords(*image)[y * image->width + x]; }
  Image* image = nullptr;
  size_t notices = 0;
};

// The header of a true-colour picture as the loader needs it.
void expectTrueColourFile(const std::string& name, int width, int height) {
  const std::vector<uint8_t> b = readFile(defaultAssets() + "/gfx/" + name);
  ASSERT_EQ(b.size(), 18u + 4u * width * height) << name;
  EXPECT_EQ(b[0], 0) << name << ": ID field";
  EXPECT_EQ(b[1], 0) << name << ": colour map";
  EXPECT_EQ(b[2], 2) << name << ": uncompressed true colour";
  EXPECT_EQ(b[12] | (b[13] << 8), width) << name;
  EXPECT_EQ(b[14] | (b[15] << 8), height) << name;
  EXPECT_EQ(b[16], 32) << name;
}

TEST(AssetPack, KeyedPicturesAreCleanOnTheirKey) {
  struct Case {
    const char* name;
    int width, height;
  };
  for (const Case& c : {Case{"vorlith.tga", 300, 90}, Case{"thebrimtale.tga", 300, 60}, Case{"code_qev.tga", 220, 50},
                        Case{"music_tolvane.tga", 220, 50}, Case{"gfx_qev.tga", 220, 50}}) {
    SCOPED_TRACE(c.name);
    expectTrueColourFile(c.name, c.width, c.height);
    Loaded p(c.name);
    ASSERT_TRUE(imageIs(p.image, c.width, c.height));
    EXPECT_EQ(p.notices, 0u);
    size_t keyed = 0, shown = 0, nearKey = 0, topBytes = 0, brightEdges = 0;
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) {
        const uint32_t v = p.at(x, y);
        if (v >> 24) ++topBytes;
        if (v == key) {
          ++keyed;
          continue;
        }
        ++shown;
        if (assets::nearKey(v & 0xFFFFFF)) ++nearKey;
        // Edges fade to black: a shown pixel next to the key is dark.
        bool edge = false;
        for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
          const int nx = x + dx, ny = y + dy;
          if (nx >= 0 && ny >= 0 && nx < c.width && ny < c.height && p.at(nx, ny) == key) edge = true;
        }
        const uint32_t brightest = std::max({(v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF});
        if (edge && brightest > 0x60) ++brightEdges;
      }
    EXPECT_EQ(topBytes, 0u);
    EXPECT_EQ(nearKey, 0u);
    EXPECT_EQ(brightEdges, 0u);
    // Lettering on a keyed ground: both plenty of key and plenty of letters,
    // and the border is key all round.
    EXPECT_GT(keyed, shown / 2);
    EXPECT_GT(shown, static_cast<size_t>(c.width * c.height / 6));
    for (int x = 0; x < c.width; ++x) EXPECT_EQ(p.at(x, 0), key);
    for (int y = 0; y < c.height; ++y) EXPECT_EQ(p.at(0, y), key);
  }
}

TEST(AssetPack, LogoHasLargeBrightAreasForTheRays) {
  Loaded p("vorlith.tga");
  ASSERT_TRUE(imageIs(p.image, 300, 90));
  size_t shown = 0, white = 0;
  for (int i = 0; i < 300 * 90; ++i) {
    const uint32_t v = imageWords(*p.image)[i];
    if (v == key) continue;
    ++shown;
    if (((v >> 16) & 0xFF) >= 0xE0 && ((v >> 8) & 0xFF) >= 0xE0 && (v & 0xFF) >= 0xE0) ++white;
  }
  EXPECT_GT(white, shown / 10);
}

TEST(AssetPack, EndPictureIsAFullFrame) {
  expectTrueColourFile("the_end.tga", 320, 200);
  Loaded p("the_end.tga");
  ASSERT_TRUE(imageIs(p.image, frameWidth, frameHeight));
  EXPECT_EQ(p.notices, 0u);
  std::map<uint32_t, int> colours;
  for (int i = 0; i < framePixels; ++i) {
    EXPECT_EQ(imageWords(*p.image)[i] >> 24, 0u);
    ++colours[imageWords(*p.image)[i]];
  }
  EXPECT_GT(colours.size(), 2000u);  // a painted picture, not a flat fill
}

TEST(AssetPack, BlobIsARoundGlowInItsBlueByte) {
  Loaded p("blob_1.tga");
  ASSERT_TRUE(p.image);
  const int n = p.image->width;
  ASSERT_EQ(p.image->height, n);
  ASSERT_GE(n, 8);
  EXPECT_EQ(p.at(n / 2, n / 2) & 0xFF, 255u);
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(p.at(i, 0) & 0xFF, 0u);
    EXPECT_EQ(p.at(0, i) & 0xFF, 0u);
  }
  // Falling from the centre outwards along the middle row and column, and round.
  for (int d = 1; d < n / 2; ++d) {
    EXPECT_LE(p.at(n / 2 + d, n / 2) & 0xFF, p.at(n / 2 + d - 1, n / 2) & 0xFF);
    EXPECT_LE(p.at(n / 2, n / 2 - d) & 0xFF, p.at(n / 2, n / 2 - d + 1) & 0xFF);
    EXPECT_EQ(p.at(n / 2 + d, n / 2) & 0xFF, p.at(n / 2, n / 2 + d) & 0xFF);
  }
}

TEST(AssetPack, LightmapRisesFromEdgeOnToFacing) {
  Loaded p("specular_lightmap.tga");
  ASSERT_TRUE(p.image);
  ASSERT_GE(p.image->width, 256);
  EXPECT_LT(p.at(0, 0) & 0xFF, 40u);
  EXPECT_EQ(p.at(254, 0) & 0xFF, 255u);
  for (int x = 1; x <= 254; ++x) EXPECT_GE(p.at(x, 0) & 0xFF, p.at(x - 1, 0) & 0xFF) << x;
}

// Mean absolute channel difference between column a and column b of a 256x256 picture.
double columnStep(const std::vector<uint32_t>& px, int a, int b) {
  double sum = 0;
  for (int y = 0; y < 256; ++y)
    for (int s = 0; s < 24; s += 8)
      sum += std::abs(static_cast<int>((px[y * 256 + a] >> s) & 0xFF) - static_cast<int>((px[y * 256 + b] >> s) & 0xFF));
  return sum / (256 * 3);
}
double rowStep(const std::vector<uint32_t>& px, int a, int b) {
  double sum = 0;
  for (int x = 0; x < 256; ++x)
    for (int s = 0; s < 24; s += 8)
      sum += std::abs(static_cast<int>((px[a * 256 + x] >> s) & 0xFF) - static_cast<int>((px[b * 256 + x] >> s) & 0xFF));
  return sum / (256 * 3);
}
// The step at the wrap against the steps between neighbours inside: a seam
// would stand out among the largest. Picture structure repeats, so the wrap
// may be as large as a typical edge, not larger than nine in ten of them.
template <typename Step>
double ninetiethStep(const std::vector<uint32_t>& px, Step step) {
  std::vector<double> steps;
  for (int i = 1; i < 256; ++i) steps.push_back(step(px, i - 1, i));
  std::sort(steps.begin(), steps.end());
  return steps[steps.size() * 9 / 10];
}

TEST(AssetPack, VoxelTextureTilesBothWays) {
  expectTrueColourFile("voxel_texture.tga", 256, 256);
  Loaded p("voxel_texture.tga");
  ASSERT_TRUE(imageIs(p.image, 256, 256));
  const std::vector<uint32_t> px(imageWords(*p.image), imageWords(*p.image) + 65536);
  EXPECT_LE(columnStep(px, 255, 0), ninetiethStep(px, columnStep));
  EXPECT_LE(rowStep(px, 255, 0), ninetiethStep(px, rowStep));
}

TEST(AssetPack, TunnelTextureIsTheColourMappedLayoutItsLoaderReads) {
  const std::vector<uint8_t> b = readFile(defaultAssets() + "/gfx/texture1.tga");
  ASSERT_EQ(b.size(), 18u + 768u + 65536u);
  EXPECT_EQ(b[0], 0);  // no ID field: the colour map starts at byte 18
  EXPECT_EQ(b[1], 1);
  EXPECT_EQ(b[2], 1);
  EXPECT_EQ(b[5] | (b[6] << 8), 256);
  EXPECT_EQ(b[7], 24);
  EXPECT_EQ(b[12] | (b[13] << 8), 256);
  EXPECT_EQ(b[14] | (b[15] << 8), 256);
  EXPECT_EQ(b[16], 8);
  int width = 0, height = 0;
  std::vector<uint32_t> shown;
  ASSERT_TRUE(assets::decodePackPicture(b, width, height, shown));
  // Seamless along the tunnel: column 255 runs into column 0.
  EXPECT_LE(columnStep(shown, 255, 0), ninetiethStep(shown, columnStep));
  // The shade table doubles a colour at full light: the panels stay in the
  // middle of the range so that lit walls brighten instead of burning out.
  size_t sum = 0;
  for (uint32_t v : shown) sum += ((v >> 16) & 0xFF) + ((v >> 8) & 0xFF) + (v & 0xFF);
  const double mean = static_cast<double>(sum) / (3.0 * shown.size());
  EXPECT_GT(mean, 30.0);
  EXPECT_LT(mean, 128.0);
}

TEST(AssetPack, TheShowStartsOnThePackWithoutANotice) {
  // As the run command does: the show started in the pack's directory, with
  // the module loaded by the real audio library (without sound output).
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(defaultAssets());
  {
    OpenmptAudio audio(false);
    test::ShowHarness harness(audio.library());
    harness.frameAt(0);
    harness.frameAt(100);
    EXPECT_TRUE(harness.recorder.notices.empty());
    for (const auto& n : harness.recorder.notices) ADD_FAILURE() << n.caption << ": " << n.text;
  }
  std::filesystem::current_path(before);
}

TEST(AssetPack, FilesAreWhatTheGeneratorMakes) {
  // The build's files are byte for byte a fresh generation: nothing in the
  // pack depends on the run, the time or uninitialised memory.
  for (const assets::AssetFile& f : assets::makeAssetPack()) {
    EXPECT_FALSE(f.bytes.empty()) << f.path;
    EXPECT_TRUE(readFile(defaultAssets() + "/" + f.path) == f.bytes) << f.path;
  }
}

// ---------------------------------------------------------------- the module

class Module : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    bytes_ = new std::vector<uint8_t>(readFile(defaultAssets() + "/music/brimtale.it"));
    std::ostringstream log;
    try {
      module_ = new openmpt::module(*bytes_, log, {{"play.at_end", "stop"}});
      log_ = new std::string(log.str() + module_->get_metadata("warnings"));
    } catch (const openmpt::exception& e) {
      log_ = new std::string(e.what());
    }
  }
  static void TearDownTestSuite() {
    delete module_;
    delete bytes_;
    delete log_;
    delete left_;
    module_ = nullptr;
  }
  // The whole song rendered once at 44.1 kHz (left and right interleaved).
  static const std::vector<float>& rendered() {
    if (!left_) {
      left_ = new std::vector<float>;
      module_->set_position_seconds(0);
      std::vector<float> buffer(2 * 8192);
      while (const size_t n = module_->read_interleaved_stereo(rate, 8192, buffer.data()))
        left_->insert(left_->end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(2 * n));
    }
    return *left_;
  }
  // Root mean square in dBFS over [from, to) seconds.
  static double rms(double from, double to) {
    const std::vector<float>& s = rendered();
    const size_t a = static_cast<size_t>(from * rate) * 2, b = std::min(s.size(), static_cast<size_t>(to * rate) * 2);
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += double(s[i]) * s[i];
    return 10 * std::log10(sum / std::max<size_t>(1, b - a) + 1e-30);
  }
  static constexpr int rate = 44100;
  static inline std::vector<uint8_t>* bytes_ = nullptr;
  static inline openmpt::module* module_ = nullptr;
  static inline std::string* log_ = nullptr;
  static inline std::vector<float>* left_ = nullptr;
};

constexpr double sceneStart[7] = {0, 10.356, 24.164, 55.232, 110.464, 162.244, 182.956};

TEST_F(Module, LoadsAsAnImpulseTrackerModuleWithoutWarnings) {
  ASSERT_TRUE(module_) << *log_;
  EXPECT_EQ(*log_, "");
  EXPECT_EQ(module_->get_metadata("type"), "it");
  EXPECT_EQ(module_->get_num_orders(), assets::songOrders);
  EXPECT_GE(module_->get_num_patterns(), 12);
  EXPECT_GE(module_->get_num_samples(), 8);
  // Every sample is 16-bit signed PCM.
  const std::vector<uint8_t>& b = *bytes_;
  const size_t orders = b[0x20] | (b[0x21] << 8), instruments = b[0x22] | (b[0x23] << 8);
  const size_t samples = b[0x24] | (b[0x25] << 8);
  for (size_t i = 0; i < samples; ++i) {
    const size_t at = 0xC0 + orders + 4 * instruments + 4 * i;
    const size_t header = b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (size_t{b[at + 3]} << 24);
    ASSERT_LT(header + 0x50, b.size());
    EXPECT_EQ(b[header + 0x12] & 0x03, 0x03) << "sample " << i + 1;
    EXPECT_EQ(b[header + 0x2E], 0x01) << "sample " << i + 1;
  }
}

TEST_F(Module, LoopedSamplesWrapWithoutAClick) {
  // The jump from a loop's last frame back to its first is no larger than the
  // largest step between neighbouring frames inside the loop.
  const std::vector<uint8_t>& b = *bytes_;
  auto u16 = [&b](size_t at) { return static_cast<uint32_t>(b[at] | (b[at + 1] << 8)); };
  auto u32 = [&](size_t at) { return u16(at) | (u16(at + 2) << 16); };
  auto frame = [&](size_t data, uint32_t i) { return static_cast<int>(static_cast<int16_t>(u16(data + 2 * i))); };
  const size_t orders = u16(0x20), instruments = u16(0x22), samples = u16(0x24);
  int looped = 0;
  for (size_t i = 0; i < samples; ++i) {
    const size_t header = u32(0xC0 + orders + 4 * instruments + 4 * i);
    if (!(b[header + 0x12] & 0x10)) continue;
    ++looped;
    const uint32_t length = u32(header + 0x30), begin = u32(header + 0x34), end = u32(header + 0x38);
    const size_t data = u32(header + 0x48);
    ASSERT_LT(begin, end);
    ASSERT_LE(end, length);
    ASSERT_LE(data + 2 * size_t{length}, b.size());
    int largest = 0;
    for (uint32_t f = begin + 1; f < end; ++f) largest = std::max(largest, std::abs(frame(data, f) - frame(data, f - 1)));
    EXPECT_LE(std::abs(frame(data, begin) - frame(data, end - 1)), largest) << "sample " << i + 1;
  }
  EXPECT_GE(looped, 4);  // bass, pad and the two leads
}

TEST_F(Module, FollowsTheShowsClock) {
  ASSERT_TRUE(module_);
  const double duration = module_->get_duration_seconds();
  EXPECT_GE(duration, 182.9);
  EXPECT_LE(duration, 183.4);
  for (int scene = 0; scene < 6; ++scene) {
    const double at = module_->set_position_order_row(assets::sceneFirstOrder[scene], 0);
    EXPECT_NEAR(at, sceneStart[scene], 0.070) << "scene " << scene + 1;
  }
  // The rendering runs exactly as long (within one tick).
  EXPECT_NEAR(rendered().size() / 2.0 / rate, duration, 0.03);
}

TEST_F(Module, IsAudibleInEveryScenePeaksBelowFullScaleAndFadesOut) {
  ASSERT_TRUE(module_);
  float peak = 0;
  for (float v : rendered()) peak = std::max(peak, std::fabs(v));
  EXPECT_LT(peak, 0.95f);  // below full scale, with room
  EXPECT_GT(peak, 0.5f);   // and not timid
  // The end picture starts fading out 13.4 s into its scene; the music goes with it.
  const double fadeStart = sceneStart[5] + 13.408;
  for (int scene = 0; scene < 6; ++scene) {
    const double to = scene == 5 ? fadeStart : sceneStart[scene + 1];
    EXPECT_GT(rms(sceneStart[scene], to), -30.0) << "scene " << scene + 1;
  }
  EXPECT_LT(rms(182.5, sceneStart[6]), -55.0);
  // Loud where the picture is busiest.
  EXPECT_GT(rms(sceneStart[3], sceneStart[4]), -20.0);
  EXPECT_GT(rms(sceneStart[4], 155.0), -20.0);
}

}  // namespace
}  // namespace vorlith
