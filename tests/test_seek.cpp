// Beginning part-way is exact: a window begun at S shows from its first
// frame what a whole run shows there, with the music at the same place.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "driver/schedule.h"
#include "driver/seek.h"
#include "driver/show.h"
#include "platform/null_port.h"
#include "platform/openmpt_audio.h"
#include "support.h"

namespace vorlith {
namespace {

// The default asset pack is the working directory while it lives.
struct InDefaultAssets {
  InDefaultAssets() : previous(std::filesystem::current_path()) {
    std::filesystem::current_path(test::defaultAssets());
  }
  ~InDefaultAssets() { std::filesystem::current_path(previous); }
  std::filesystem::path previous;
};

ShowSeconds seconds(const char* text) {
  ShowSeconds s;
  EXPECT_TRUE(ShowSeconds::parse(text, s)) << text;
  return s;
}

TEST(ShowSeconds, FrameOfATimeIsExactForAnyDecimal) {
  struct Case {
    const char* text;
    uint32_t fps;
    uint64_t frame;
  };
  const Case cases[] = {
      {"10.3", 30, 309},           {"110.4", 30, 3312},        {"162.3", 30, 4869},
      {"0.0166", 30, 0},           {"0.0167", 30, 1},          {"0.05", 30, 2},  // 1.5: halves go up
      {"182.956", 1000, 182956},   {"182.956", 30, 5489},      {"000182.95600000", 30, 5489},
      {".5", 3, 2},                {"12.", 7, 84},             {"0", 60, 0},
      {"0.0009765625", 512, 1},    {"0.00097656249", 512, 0},  // a hair under half a frame
      {"60.5", 1000, 60500},       {"100", 1, 100},
  };
  for (const Case& c : cases) EXPECT_EQ(seconds(c.text).frameAt(c.fps), c.frame) << c.text << " at " << c.fps;

  for (const char* bad : {"", ".", "1.2.3", "-1", "+1", "1e3", "nan", " 1", "12a", "1000000", "0x10"}) {
    ShowSeconds s;
    EXPECT_FALSE(ShowSeconds::parse(bad, s)) << bad;
  }
}

TEST(ShowSeconds, ComparesAndPrintsAsWritten) {
  EXPECT_TRUE(seconds("0.5") < seconds("0.51"));
  EXPECT_TRUE(seconds("0.51") < seconds("1"));
  EXPECT_TRUE(seconds("1") == seconds("1.000"));
  EXPECT_TRUE(seconds("9.9") < seconds("10"));
  EXPECT_TRUE(seconds("182.956") == showEnd());
  EXPECT_TRUE(seconds("182.9561") > showEnd());
  EXPECT_TRUE(seconds("0.000").isZero());
  EXPECT_EQ(seconds("007.250").text(), "7.25");
  EXPECT_EQ(ShowSeconds::fromMilliseconds(10300).text(), "10.3");
  EXPECT_EQ(ShowSeconds::fromMilliseconds(182956), showEnd());
  EXPECT_EQ(ShowSeconds::fromMilliseconds(5).text(), "0.005");
}

TEST(Seek, FinalFrameIsTheFirstWhoseTimeReachesTheEnd) {
  EXPECT_EQ(finalFrame(10), 1830u);
  EXPECT_EQ(finalFrame(30), 5489u);
  EXPECT_EQ(finalFrame(60), 10978u);
  EXPECT_EQ(finalFrame(1000), 182956u);
  for (uint32_t fps : {1u, 7u, 13u, 24u, 25u, 29u, 50u, 59u, 75u, 120u, 144u, 240u, 999u}) {
    const uint64_t last = finalFrame(fps);
    EXPECT_GE(virtualShowTime(fps, last), showLengthMs) << fps;
    EXPECT_LT(virtualShowTime(fps, last - 1), showLengthMs) << fps;
    // The latest start --help names is at most that last frame.
    EXPECT_EQ(startFrame(showEnd(), fps), std::min(showEnd().frameAt(fps), last)) << fps;
    EXPECT_GE(startFrame(showEnd(), fps) + 1, last) << fps;
  }
}

// An audio library that plays nothing and notes where the music was asked to start.
struct PositionRecorder {
  AudioLibrary library = *silentAudioLibrary();
  int64_t positionMs = -1;
  PositionRecorder() {
    library.context = this;
    library.setPositionMs = [](void* c, uint32_t ms) { static_cast<PositionRecorder*>(c)->positionMs = ms; };
    library.musicPlayEx = [](void* c, uint32_t, uint32_t, int, bool) {
      static_cast<PositionRecorder*>(c)->positionMs = 0;
      return true;
    };
  }
};

TEST(Seek, WindowBegunPartWayShowsTheWholeRunsFrameFirstWithTheMusicThere) {
  // A display at 50 Hz on the real clock. Before the fix the first frames
  // after a start were black or from the wrong picture, and the cube had no trail.
  InDefaultAssets assets;
  test::NoticeRecorder recorder;
  for (const char* start : {"30", "100"}) {
    const uint64_t n = seconds(start).frameAt(50);
    std::vector<uint32_t> expected;
    NullRun whole;
    whole.fps = 50;
    runNull(whole, [&](uint64_t k, const uint32_t* pixels) {
      if (k == n) expected.assign(pixels, pixels + framePixels);
      return k < n;
    });
    ASSERT_EQ(expected.size(), static_cast<size_t>(framePixels));

    Counter counter = Counter::real();
    test::ScriptedDisplay screen;
    PositionRecorder music;
    ShowSetup setup;
    setup.counter = &counter;
    setup.display = screen.display();
    setup.display.frameRate = [](void*) { return 50u; };
    setup.audio = &music.library;
    setup.start = seconds(start);
    Show show(&counter);
    ASSERT_TRUE(showStartup(show, setup));
    EXPECT_EQ(show.frameIndex, n);
    EXPECT_EQ(screen.presented, 0u) << "the frames before the start are not shown";
    EXPECT_FALSE(counter.isVirtual());
    EXPECT_EQ(music.positionMs, static_cast<int64_t>(n * 20));

    const uint32_t before = show.showTimer.elapsedMs();
    showFrame(show);
    const uint32_t after = show.showTimer.elapsedMs();
    EXPECT_GE(before, n * 20);
    EXPECT_LT(before, n * 20 + 500);
    ASSERT_EQ(screen.presented, 1u);
    EXPECT_TRUE(std::any_of(screen.lastFrame.begin(), screen.lastFrame.end(), [](uint32_t p) { return p != 0; }))
        << start << ": the first frame is black";
    // Drawn within the same millisecond as the whole run's frame: the same picture.
    if (before == n * 20 && after == before) {
      EXPECT_EQ(screen.lastFrame, expected) << start;
    }
    showShutdown(show);
  }
}

}  // namespace
}  // namespace vorlith
