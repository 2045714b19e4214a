// Snapshots and seeks are exact: a show put back to a snapshot, or brought to
// a frame by a seek, presents from there the very frames of a whole run at
// that rate, byte for byte (by their digests), at many frames of every scene.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <vector>

#include "driver/schedule.h"
#include "driver/seek.h"
#include "driver/show.h"
#include "driver/snapshot.h"
#include "image/frame_digest.h"
#include "image/light_rays.h"
#include "platform/null_port.h"
#include "platform/openmpt_audio.h"
#include "support.h"

namespace vorlith {
namespace {

struct InDefaultAssets {
  InDefaultAssets() : previous(std::filesystem::current_path()) {
    std::filesystem::current_path(test::defaultAssets());
  }
  ~InDefaultAssets() { std::filesystem::current_path(previous); }
  std::filesystem::path previous;
};

// Every frame's digest of a whole run at fps, computed once per rate.
const std::vector<uint64_t>& wholeRun(uint32_t fps) {
  static std::map<uint32_t, std::vector<uint64_t>> runs;
  auto& digests = runs[fps];
  if (digests.empty()) {
    NullRun run;
    run.fps = fps;
    run.withMusic = false;
    runNull(run, [&](uint64_t, const uint32_t* pixels) {
      digests.push_back(frameRgbDigest(pixels));
      return true;
    });
  }
  return digests;
}

// A show on the virtual clock at fps, started at 0 (or where `start` says,
// as --start does), whose presented frames are digested one by one.
struct SteppedShow {
  explicit SteppedShow(uint32_t fps, ShowSeconds start = {}) : fps(fps) {
    screen.sink = [this](uint64_t, const uint32_t* pixels) {
      lastDigest = frameRgbDigest(pixels);
      return true;
    };
    ShowSetup setup;
    setup.counter = &counter;
    setup.virtualFps = fps;
    setup.display = screen.display();
    setup.audio = silentAudioLibrary();
    setup.start = start;
    started = showStartup(show, setup);
  }
  ~SteppedShow() { showShutdown(show); }
  // Presents the next frame; its digest.
  uint64_t next() {
    counter.setFrame(show.frameIndex, fps);
    showFrame(show);
    return lastDigest;
  }
  // The digests of the next n frames against a whole run's from frame k on.
  void expectWholeRun(size_t n, const char* what) {
    const auto& whole = wholeRun(fps);
    for (size_t i = 0; i < n && show.frameIndex < whole.size(); ++i) {
      const uint64_t k = show.frameIndex;
      EXPECT_EQ(next(), whole[k]) << what << ": frame " << k << " at " << fps << " fps";
    }
  }

  uint32_t fps;
  uint64_t lastDigest = 0;
  Counter counter = Counter::manual();
  NullDisplay screen;
  Show show{&counter};
  bool started = false;
};

// Frames in every scene, both sides of every scene change, and random ones.
std::vector<uint64_t> framesToTry(uint32_t fps, int randomCount, uint32_t seed) {
  std::vector<uint64_t> frames = {0, 1, 2, 3};
  for (int k = 2; k <= sceneCount + 1; ++k) {
    const uint64_t change = (uint64_t{sceneStartMs(k)} * fps + 999) / 1000;
    for (uint64_t d : {0, 1, 2}) frames.push_back(change + d), frames.push_back(change - 1 - d);
  }
  std::mt19937 random(seed);
  std::uniform_int_distribution<uint64_t> any(0, finalFrame(fps));
  for (int i = 0; i < randomCount; ++i) frames.push_back(any(random));
  frames.push_back(finalFrame(fps) - 1);
  std::sort(frames.begin(), frames.end());
  frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
  while (frames.back() > finalFrame(fps)) frames.pop_back();
  return frames;
}

TEST(Snapshot, RestoredShowPlaysOnAsTheWholeRun) {
  // Snapshots with their pixels anywhere in a run, restored into the same
  // show after it has played on and into a fresh one, in any order.
  InDefaultAssets assets;
  test::NoticeRecorder recorder;
  for (uint32_t fps : {30u, 60u}) {
    const std::vector<uint64_t> frames = framesToTry(fps, 12, fps);
    std::vector<ShowSnapshot> snapshots;
    SteppedShow run(fps);
    ASSERT_TRUE(run.started);
    for (uint64_t k : frames) {
      while (run.show.frameIndex < k) run.next();
      snapshots.emplace_back();
      ASSERT_TRUE(snapshotSave(run.show, fps, true, snapshots.back()));
      EXPECT_EQ(snapshots.back().frameIndex, k);
      EXPECT_LE(snapshots.back().bytes(), 1100u * 1024) << "frame " << k;
    }
    for (auto s = snapshots.rbegin(); s != snapshots.rend(); ++s) {
      snapshotRestore(run.show, *s);
      run.expectWholeRun(4, "restored into the same show");
    }
    SteppedShow fresh(fps);
    ASSERT_TRUE(fresh.started);
    std::mt19937 random(7);
    std::shuffle(snapshots.begin(), snapshots.end(), random);
    for (const ShowSnapshot& s : snapshots) {
      snapshotRestore(fresh.show, s);
      fresh.expectWholeRun(4, "restored into a fresh show");
    }
    // Restored at the start, a fresh show plays the whole run.
    if (fps != 30) continue;
    snapshotRestore(fresh.show, *std::find_if(snapshots.begin(), snapshots.end(),
                                              [](const ShowSnapshot& s) { return s.frameIndex == 0; }));
    fresh.expectWholeRun(wholeRun(fps).size(), "the whole run after a restore at 0");
    EXPECT_TRUE(fresh.show.quit);
  }
}

TEST(Snapshot, StartsAnywhereDrawingAtMostTheLastFewFrames) {
  // A fresh show brought to a frame plays the frames before it for their
  // state alone and draws only the last one or two, yet shows the whole
  // run's frames from there. The frames that read no pixel left by earlier
  // ones are found while playing; this holds at any frame of any scene.
  InDefaultAssets assets;
  test::NoticeRecorder recorder;
  for (uint32_t fps : {24u, 30u, 60u}) {
    bool viaStartup = false;
    for (uint64_t k : framesToTry(fps, 25, 1000 + fps)) {
      // Every other one as a run set up to begin there (as --start S does).
      viaStartup = !viaStartup;
      if (viaStartup && k > 0) {
        const uint32_t ms = static_cast<uint32_t>((k * 2000 + fps) / (2 * uint64_t{fps}));
        SteppedShow run(fps, ShowSeconds::fromMilliseconds(ms));
        ASSERT_TRUE(run.started);
        ASSERT_EQ(run.show.frameIndex, k) << ms << " ms at " << fps;
        run.expectWholeRun(4, "begun part-way");
        continue;
      }
      SteppedShow run(fps);
      ASSERT_TRUE(run.started);
      const uint64_t drawn = showAdvanceTo(run.show, k, fps);
      EXPECT_LE(drawn, 2u) << "frame " << k << " at " << fps;
      ASSERT_EQ(run.show.frameIndex, k);
      run.expectWholeRun(4, "started part-way");
    }
  }
}

TEST(Snapshot, SeeksBackAndForthThroughAStoreWithinItsBudget) {
  InDefaultAssets assets;
  test::NoticeRecorder recorder;
  const uint32_t fps = 60;
  // A budget for about 40 snapshots at one a second: the store thins itself.
  const size_t budget = 40 * 20 * 1024;
  SnapshotStore store(fps, fps, budget);
  SteppedShow run(fps);
  ASSERT_TRUE(run.started);
  store.offer(run.show);
  ASSERT_EQ(store.count(), 1u);
  std::vector<uint64_t> targets = framesToTry(fps, 30, 5);
  std::mt19937 random(11);
  std::shuffle(targets.begin(), targets.end(), random);
  for (uint64_t k : targets) {
    ASSERT_TRUE(showSeek(run.show, store, k));
    ASSERT_EQ(run.show.frameIndex, std::min(k, finalFrame(fps)));
    run.expectWholeRun(3, "after a seek");
    EXPECT_LE(store.bytes(), budget);
  }
  // Seeks have filled the store along the show; each snapshot is small.
  EXPECT_GT(store.count(), 10u);
  EXPECT_GT(store.spacing(), uint64_t{fps});
  const ShowSnapshot* late = store.before(finalFrame(fps));
  ASSERT_NE(late, nullptr);
  EXPECT_LT(late->bytes(), 20u * 1024);
  EXPECT_GT(late->frameIndex, finalFrame(fps) - 8 * store.spacing());
}

TEST(Snapshot, RaysReachEveryPixelFromEveryCentreTheScenesUse) {
  // The logo and title scenes count on it: the rays write every pixel of
  // the frame, so no pixel of the frame before can show through.
  OwnedImage source(imageCreate(frameWidth, frameHeight, 32));
  OwnedImage target(imageCreate(frameWidth, frameHeight, 32));
  ASSERT_TRUE(source && target);
  for (int cx = -1; cx < frameWidth; ++cx) {
    std::fill_n(imageWords(*target), framePixels, 0x00ABCDEFu);
    drawLightRays(*source, *target, cx, 100);
    const uint32_t* words = imageWords(*target);
    const auto missed = std::count_if(words, words + framePixels, [](uint32_t p) { return (p & 0xFFFFFF) != 0; });
    EXPECT_EQ(missed, 0) << "centre " << cx;
  }
}

}  // namespace
}  // namespace vorlith
