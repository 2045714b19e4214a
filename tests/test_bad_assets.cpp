// The whole show on the default pack with one file at a time replaced by a bad
// one: each case gives exactly the notices listed here, runs to the show's end,
// and (in the sanitizer build) touches no memory it does not own.
#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "capture/capture.h"
#include "support.h"
#include "tga_writer.h"

namespace vorlith {
namespace {

// Frames per second of every run: every scene still gets several drawn frames.
constexpr uint32_t fps = 1;

enum class Kind { picture, tunnelTexture, module };

enum class Bad {
  missing,
  empty,
  cutHeader,     // 15 bytes: the 12-byte block is there, the size fields are not
  headerOnly,    // the 18-byte header and nothing after it
  cutPixels,     // the first half of the file
  depth24,
  depth16,
  depth8,        // 8-bit grey, no colour map
  colourMapped,  // 8-bit indices with a 256-entry colour map
  trueColour,    // 32-bit true colour (what the pictures are meant to be)
  rle,           // run-length encoded 32-bit true colour
  zeroWidth,
  zeroHeight,
  huge,          // a header claiming 65535x65535
  smaller,       // a well-formed file of the asset's kind at a smaller size
  larger,
  randomBytes,
};

struct Size {
  int width;
  int height;
};

struct Asset {
  const char* name;  // in the test name
  const char* path;  // as the show opens it
  Kind kind;
  Size size;  // of the default pack's file
  Size smaller;
  Size larger;
  // The notice a well-formed file at the smaller or larger size gives; empty
  // when the show takes it.
  const char* smallerNotice;
  const char* largerNotice;
};

const Asset assetList[] = {
    {"end_picture", "gfx/the_end.tga", Kind::picture, {320, 200}, {320, 199}, {321, 200},
     "Can't use file (gfx/the_end.tga): 320x199 pixels, the end picture must be 320x200",
     "Can't use file (gfx/the_end.tga): 321x200 pixels, the end picture must be 320x200"},
    {"code_credit", "gfx/code_qev.tga", Kind::picture, {220, 50}, {1, 1}, {400, 250}, "", ""},
    {"music_credit", "gfx/music_tolvane.tga", Kind::picture, {220, 50}, {1, 1}, {400, 250}, "", ""},
    {"gfx_credit", "gfx/gfx_qev.tga", Kind::picture, {220, 50}, {1, 1}, {400, 250}, "", ""},
    {"logo", "gfx/vorlith.tga", Kind::picture, {300, 90}, {1, 1}, {400, 250}, "", ""},
    {"title", "gfx/thebrimtale.tga", Kind::picture, {300, 60}, {1, 1}, {400, 250}, "", ""},
    {"blob_sprite", "gfx//blob_1.tga", Kind::picture, {16, 16}, {1, 1}, {400, 250}, "", ""},
    {"lightmap", "gfx//specular_lightmap.tga", Kind::picture, {256, 4}, {254, 1}, {256, 256},
     "Can't use file (gfx//specular_lightmap.tga): a lightmap needs at least 255 pixels of 32 bits", ""},
    {"ribbon_texture", "gfx/voxel_texture.tga", Kind::picture, {256, 256}, {256, 255}, {512, 300},
     "Can't use file (gfx/voxel_texture.tga): a texture needs at least 256x256 pixels of 32 bits", ""},
    // The tunnel reads its file byte for byte and reports nothing.
    {"tunnel_texture", "gfx/texture1.tga", Kind::tunnelTexture, {256, 256}, {128, 128}, {512, 512}, "", ""},
    {"module", "music/brimtale.it", Kind::module, {}, {}, {}, "", ""},
};

const char* badName(Bad bad) {
  static const char* const names[] = {"missing",   "empty",        "cut_header", "header_only", "cut_pixels",
                                      "depth24",   "depth16",      "depth8",     "colour_mapped",
                                      "true_colour", "rle",        "zero_width", "zero_height", "huge",
                                      "smaller",   "larger",       "random_bytes"};
  return names[static_cast<int>(bad)];
}

struct Case {
  const Asset* asset;
  Bad bad;
};

// How ctest lists a case next to its name.
void PrintTo(const Case& c, std::ostream* out) { *out << c.asset->path << ", " << badName(c.bad); }

// Every bad file each asset is tried with.
std::vector<Case> allCases() {
  std::vector<Case> cases;
  for (const Asset& asset : assetList)
    for (int b = 0; b <= static_cast<int>(Bad::randomBytes); ++b) {
      const Bad bad = static_cast<Bad>(b);
      const bool applies =
          asset.kind == Kind::module
              ? bad == Bad::missing || bad == Bad::empty || bad == Bad::cutHeader || bad == Bad::cutPixels ||
                    bad == Bad::randomBytes
              : bad != Bad::randomBytes && bad != (asset.kind == Kind::picture ? Bad::trueColour : Bad::colourMapped);
      if (applies) cases.push_back({&asset, bad});
    }
  return cases;
}

std::vector<uint8_t> randomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

// A TGA header of the given fields followed by bytesPerPixel x pixels bytes.
std::vector<uint8_t> tgaWithData(Size size, int depth, uint8_t imageType, size_t dataBytes) {
  std::vector<uint8_t> bytes = test::tgaBytes(size.width, size.height, depth, {}, imageType);
  const std::vector<uint8_t> data = randomBytes(dataBytes, 7);
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

// A well-formed file of the kind the asset is meant to be, at the given size.
std::vector<uint8_t> goodFile(Kind kind, Size size) {
  const size_t pixels = static_cast<size_t>(size.width) * size.height;
  if (kind == Kind::tunnelTexture) return assets::tgaColourMapped(size.width, size.height, randomBytes(768, 3),
                                                                   randomBytes(pixels, 4));
  assets::Picture picture{size.width, size.height, {}};
  std::mt19937 random(5);
  for (size_t i = 0; i < pixels; ++i) picture.pixels.push_back(random());
  return assets::tgaTrueColour(picture);
}

// The bytes that replace the asset's file (the case `missing` removes it).
std::vector<uint8_t> badFile(const Asset& asset, Bad bad, const std::vector<uint8_t>& original) {
  const size_t pixels = static_cast<size_t>(asset.size.width) * asset.size.height;
  switch (bad) {
    case Bad::missing:
    case Bad::empty:
      return {};
    case Bad::cutHeader:
      return {original.begin(), original.begin() + 15};
    case Bad::headerOnly:
      return {original.begin(), original.begin() + 18};
    case Bad::cutPixels:
      return {original.begin(), original.begin() + static_cast<std::ptrdiff_t>(original.size() / 2)};
    case Bad::depth24:
      return tgaWithData(asset.size, 24, 2, pixels * 3);
    case Bad::depth16:
      return tgaWithData(asset.size, 16, 2, pixels * 2);
    case Bad::depth8:
      return tgaWithData(asset.size, 8, 3, pixels);
    case Bad::colourMapped:
      return goodFile(Kind::tunnelTexture, asset.size);
    case Bad::trueColour:
      return goodFile(Kind::picture, asset.size);
    case Bad::rle: {
      // Packets of 128 copies of one pixel (the last one shorter).
      std::vector<uint8_t> bytes = test::tgaBytes(asset.size.width, asset.size.height, 32, {}, 10);
      for (size_t left = pixels; left > 0;) {
        const size_t run = std::min<size_t>(left, 128);
        bytes.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(0x40 + left + i));
        left -= run;
      }
      return bytes;
    }
    case Bad::zeroWidth:
      return tgaWithData({0, asset.size.height}, 32, 2, pixels * 4);
    case Bad::zeroHeight:
      return tgaWithData({asset.size.width, 0}, 32, 2, pixels * 4);
    case Bad::huge:
      return tgaWithData({65535, 65535}, 32, 2, 4096);
    case Bad::smaller:
      return goodFile(asset.kind, asset.smaller);
    case Bad::larger:
      return goodFile(asset.kind, asset.larger);
    case Bad::randomBytes:
      return randomBytes(4096, 11);
  }
  return {};
}

// The notices the show gives for the case, in order, as "caption: text".
std::vector<std::string> expectedNotices(const Asset& asset, Bad bad) {
  const std::string path = asset.path;
  if (asset.kind == Kind::tunnelTexture) return {};
  if (asset.kind == Kind::module) {
    if (bad == Bad::missing) return {"Error: Can't play the file\n(error code: 2)"};
    if (bad == Bad::cutPixels) return {};  // half a module still plays
    return {"Error: Can't play the file\n(error code: 41)"};
  }
  const std::string caption = "DUMP imageLoad(): ";
  std::string text;
  switch (bad) {
    case Bad::missing:
      text = "Can't open file -> " + path;
      break;
    case Bad::empty:
    case Bad::cutHeader:
      text = "Cant's load header (" + path + ")";
      break;
    case Bad::headerOnly:
    case Bad::zeroWidth:
    case Bad::zeroHeight:
      text = "Cant's load file (" + path + ")";
      break;
    case Bad::depth24:
    case Bad::depth16:
    case Bad::depth8:
    case Bad::colourMapped:
    case Bad::rle:
      text = "Can't use file (" + path +
             "): not an uncompressed 32-bit true-colour TGA without ID field or colour map";
      break;
    case Bad::huge:
      text = "Can't use file (" + path + "): 65535x65535 pixels is larger than 4096x4096";
      break;
    case Bad::smaller:
      text = asset.smallerNotice;
      break;
    case Bad::larger:
      text = asset.largerNotice;
      break;
    case Bad::cutPixels:
    case Bad::trueColour:
    case Bad::randomBytes:
      break;
  }
  if (text.empty()) return {};
  return {caption + text};
}

class BadAsset : public testing::TestWithParam<Case> {};

TEST_P(BadAsset, GivesItsNoticesAndTheShowRunsToItsEnd) {
  const Asset& asset = *GetParam().asset;
  const Bad bad = GetParam().bad;
  test::Pack pack = test::defaultPack();
  const std::vector<uint8_t> original = pack.bytes(asset.path);
  ASSERT_GE(original.size(), 18u);
  if (bad == Bad::missing)
    pack.remove(asset.path);
  else
    pack.set(asset.path, badFile(asset, bad, original));

  const test::ShowRun run = test::runVirtualShow(fps, {}, {}, &pack);

  std::vector<std::string> notices;
  for (const auto& n : run.notices) notices.push_back(n.caption + ": " + n.text);
  EXPECT_EQ(notices, expectedNotices(asset, bad));
  EXPECT_EQ(run.frames, finalFrame(fps) + 1);
}

INSTANTIATE_TEST_SUITE_P(Matrix, BadAsset, testing::ValuesIn(allCases()), [](const auto& info) {
  return std::string(info.param.asset->name) + "_" + badName(info.param.bad);
});

}  // namespace
}  // namespace vorlith
