// Beginning part-way is exact. A capture begun at S seconds is the whole
// show's capture from frame round(S * F) on, byte for byte, pictures, digests
// and sound; a window begun at S shows from its first frame what a whole run
// shows there, with the music at the same place.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "capture/audio_render.h"
#include "capture/capture.h"
#include "driver/schedule.h"
#include "driver/seek.h"
#include "driver/show.h"
#include "platform/null_port.h"
#include "platform/openmpt_audio.h"
#include "support.h"

namespace vorlith {
namespace {

using test::ScratchDirectory;

// A capture of the default pack.
CaptureOptions capture(const std::string& output) {
  CaptureOptions options;
  options.output = output;
  options.assets = test::defaultAssets();
  return options;
}

ShowSeconds seconds(const char* text) {
  ShowSeconds s;
  EXPECT_TRUE(ShowSeconds::parse(text, s)) << text;
  return s;
}

// "k digest" lines of a digest list, by k.
std::vector<std::pair<uint64_t, std::string>> digestLines(const std::string& path) {
  std::vector<std::pair<uint64_t, std::string>> lines;
  std::ifstream in(path);
  uint64_t k;
  std::string digest;
  while (in >> k >> digest) lines.emplace_back(k, digest);
  return lines;
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

TEST(Seek, CaptureBegunPartWayIsTheWholeShowFromThere) {
  // Starts in every scene and on both sides of its changes (10.356, 55.232,
  // 110.464 and 162.244 s): the cube's trail, the ribbons, the tunnel's
  // angles, the levels and the uncleared surface all carry over.
  ScratchDirectory out;
  CaptureOptions whole = capture(out.file("whole.txt"));
  whole.fps = 30;
  ASSERT_EQ(runCapture(whole), 0);
  const auto wholeLines = digestLines(whole.output);
  ASSERT_EQ(wholeLines.size(), 5490u);

  std::set<uint64_t> checked = {0, 1, 2, 3, 4, 5};
  for (uint64_t k = 6; k <= 60; k += 6) checked.insert(k);
  for (const char* start : {"5", "10.3", "12", "30", "60.5", "100", "110.4", "162.3", "170"}) {
    CaptureOptions clip = capture(out.file(std::string("clip-") + start + ".txt"));
    clip.fps = 30;
    clip.start = seconds(start);
    clip.frames = checked;
    ASSERT_EQ(runCapture(clip), 0) << start;
    const uint64_t first = clip.start.frameAt(30);
    const auto lines = digestLines(clip.output);
    ASSERT_EQ(lines.size(), checked.size()) << start;
    for (const auto& [k, digest] : lines) {
      EXPECT_TRUE(checked.count(k)) << start << " frame " << k;
      EXPECT_EQ(digest, wholeLines[first + k].second) << "--start " << start << " frame " << k;
    }
  }
}

TEST(Seek, CapturedPngFramesAndTheirSoundBeginExactlyAtTheStart) {
  ScratchDirectory out;
  // The whole show's frames 900..905 (30 s at 30 fps), and a capture of 30 s
  // to 30.2 s with its sound.
  CaptureOptions whole = capture(out.file("whole"));
  whole.frames = {900, 901, 902, 903, 904, 905};
  ASSERT_EQ(runCapture(whole), 0);
  CaptureOptions clip = capture(out.file("clip"));
  clip.start = seconds("30");
  clip.until = seconds("30.2");
  ASSERT_EQ(runCapture(clip), 0);
  for (uint64_t k = 0; k < 6; ++k) {
    const auto picture = test::readFile(out.file("clip/" + frameFileName(k)));
    ASSERT_FALSE(picture.empty()) << k;
    EXPECT_EQ(picture, test::readFile(out.file("whole/" + frameFileName(900 + k)))) << "frame " << k;
  }
  EXPECT_FALSE(std::filesystem::exists(out.file("clip/" + frameFileName(6))));

  // The sound of 30.0 to 30.2 s is that part of the sound from 0 to 30.2 s.
  CaptureOptions song = capture(out.file("song.wav"));
  song.until = seconds("30.2");
  ASSERT_EQ(runCapture(song), 0);
  const auto part = test::readFile(out.file("clip/audio.wav"));
  const auto all = test::readFile(song.output);
  const size_t from = 44 + 4 * audioSampleAt(900, 30), to = 44 + 4 * audioSampleAt(906, 30);
  ASSERT_EQ(all.size(), to);
  ASSERT_EQ(part.size(), 44 + to - from);
  EXPECT_TRUE(std::equal(part.begin() + 44, part.end(), all.begin() + from));
  EXPECT_TRUE(std::any_of(part.begin() + 44, part.end(), [](uint8_t b) { return b != 0; }));
}

TEST(Seek, SoundOfAPartBeginsAtItsFirstFrameAtRatesThatDoNotDivideTheSampleRate) {
  // At 13 fps a frame is 3392.3 samples. The part from 0.3 s (frame 4) to
  // 0.8 s (frame 10) is samples round(4 * 44100 / 13) up to round(10 * 44100
  // / 13) of the song, wherever the song's rows fall.
  ScratchDirectory dir(true);
  test::writeFile("music/brimtale.it", test::tinyModule());
  CaptureOptions all, part;
  all.output = dir.file("all.wav");
  part.output = dir.file("part.wav");
  all.fps = part.fps = 13;
  all.until = part.until = seconds("0.8");
  part.start = seconds("0.3");  // frame 4 (3.9)
  ASSERT_EQ(runCapture(all), 0);
  ASSERT_EQ(runCapture(part), 0);
  const auto a = test::readFile(all.output), p = test::readFile(part.output);
  const size_t from = 44 + 4 * audioSampleAt(4, 13), to = 44 + 4 * audioSampleAt(10, 13);
  EXPECT_EQ(audioSampleAt(4, 13), 13569u);  // 13569.23
  EXPECT_EQ(audioSampleAt(10, 13), 33923u);  // 33923.08
  ASSERT_EQ(a.size(), to);
  ASSERT_EQ(p.size(), 44 + to - from);
  EXPECT_TRUE(std::equal(p.begin() + 44, p.end(), a.begin() + from));
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
  for (const char* start : {"30", "100"}) {
    const uint64_t n = seconds(start).frameAt(50);
    std::vector<uint32_t> expected;
    NullRun whole;
    whole.fps = 50;
    whole.assets = test::defaultPack().source();
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
    setup.assets = test::defaultPack().source();
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
