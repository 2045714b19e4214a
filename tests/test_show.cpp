// The whole show on the virtual clock: start-up notices, the run to its end,
// the last frame, Escape, and captures that repeat byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "capture/capture.h"
#include "image/frame_digest.h"
#include "music/music.h"
#include "support.h"

namespace vorlith {
namespace {

using test::ScratchDirectory;

TEST(Show, EmptyDirectoryGivesOneNoticePerFileAndStillRunsToTheEnd) {
  ScratchDirectory dir(true);
  std::vector<uint32_t> last;
  const auto run = test::runVirtualShow(10, [&](uint64_t, const uint32_t* pixels) {
    last.assign(pixels, pixels + framePixels);
  });
  std::vector<std::string> texts;
  for (const auto& n : run.notices) texts.push_back(n.caption + ": " + n.text);
  const std::vector<std::string> expected = {
      "DUMP imageLoad(): Can't open file -> gfx/the_end.tga",
      "DUMP imageLoad(): Can't open file -> gfx/code_qev.tga",
      "DUMP imageLoad(): Can't open file -> gfx/music_tolvane.tga",
      "DUMP imageLoad(): Can't open file -> gfx/gfx_qev.tga",
      "DUMP imageLoad(): Can't open file -> gfx/vorlith.tga",
      "DUMP imageLoad(): Can't open file -> gfx/thebrimtale.tga",
      "Error: Can't play the file\n(error code: 2)",
      "DUMP imageLoad(): Can't open file -> gfx//blob_1.tga",
      "DUMP imageLoad(): Can't open file -> gfx//specular_lightmap.tga",
      "DUMP imageLoad(): Can't open file -> gfx/voxel_texture.tga",
  };
  EXPECT_EQ(texts, expected);
  // Frame k is at k * 100 ms; frame 1830 (183000 ms) is the first past the end.
  EXPECT_EQ(run.frames, 1831u);
  EXPECT_TRUE(std::all_of(last.begin(), last.end(), [](uint32_t p) { return p == 0; }));
}

TEST(Show, EscapeOnTheFirstFrameStillPresentsItAndShutsDown) {
  ScratchDirectory dir(true);
  test::ShowHarness h;
  h.screen.keys = {keyEscape};
  h.frameAt(0);
  EXPECT_TRUE(h.view().quit);
  EXPECT_EQ(h.screen.presented, 1u);
  showShutdown(*h.show);
  EXPECT_TRUE(h.screen.closed);
  EXPECT_EQ(h.view().layerA, nullptr);
}

TEST(Capture, ChosenFramesAreWrittenAndRepeatByteForByte) {
  ScratchDirectory assets(true);
  ScratchDirectory first, second;
  for (const ScratchDirectory* out : {&first, &second}) {
    CaptureOptions options;
    options.output = out->path().string();
    options.fps = 10;
    options.frames = {0, 5};
    ASSERT_EQ(runCapture(options), 0);
  }
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(first.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"frame_000000.png", "frame_000005.png"}));
  for (const auto& name : names) EXPECT_EQ(test::readFile(first.file(name)), test::readFile(second.file(name)));
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  ASSERT_TRUE(test::readPng(first.file("frame_000000.png"), pixels, width, height));
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 200);
}

}  // namespace
}  // namespace vorlith

namespace vorlith {
namespace {

// Every frame of the whole show on the default pack, at the two rates whose
// digests --bench prints. Each frame behind these numbers was checked against
// an independent rendering; any change to what the show draws moves them.
TEST(Show, WholeShowDigestsArePinned) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(test::defaultAssets());
  for (const auto& [fps, expected] : {std::pair<uint32_t, uint64_t>{60, 0xf2b56c746c91514bull},
                                      std::pair<uint32_t, uint64_t>{30, 0x89e02d2151ad2825ull}}) {
    uint64_t digest = fnvOffsetBasis;
    const auto run = test::runVirtualShow(fps, [&](uint64_t, const uint32_t* pixels) {
      digest = frameDigest(digest, pixels);
    });
    EXPECT_TRUE(run.notices.empty());
    EXPECT_EQ(digest, expected) << fps << " fps: " << std::hex << digest;
  }
  std::filesystem::current_path(before);
}

}  // namespace
}  // namespace vorlith
