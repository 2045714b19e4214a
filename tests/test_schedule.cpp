// The scene schedule: windows, first frames, clearing, the cascade, the scene
// timer's restarts and the end of the show; the loop's keys.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver/schedule.h"
#include "support.h"

namespace vorlith {
namespace {

using test::ScratchDirectory;
using test::ShowHarness;

constexpr uint32_t marker = 0x00123456;

bool surfaceIsMarker(const std::vector<uint32_t>& frame) {
  return std::all_of(frame.begin(), frame.end(), [](uint32_t p) { return p == marker; });
}

TEST(Schedule, WindowsAreWholePatternsAndFollowEachOther) {
  EXPECT_EQ(scenes[0].start, 0u);
  for (int k = 0; k < sceneCount; ++k) {
    EXPECT_EQ((scenes[k].end - scenes[k].start) % patternMs, 0u) << k;
    if (k > 0) {
      EXPECT_EQ(scenes[k].start, scenes[k - 1].end);
    }
  }
  EXPECT_EQ(scenes[sceneCount - 1].end, 182956u);
}

TEST(Schedule, EachBoundaryBeginsTheNextSceneWithAnUndrawnFrame) {
  ScratchDirectory dir(true);
  ShowHarness h;
  const Show& show = h.view();
  h.frameAt(0);
  EXPECT_EQ(show.currentScene, 1);
  EXPECT_FALSE(show.sceneStarting);
  EXPECT_TRUE(show.clearAfterPresent);
  const uint32_t boundaries[] = {10356, 24164, 55232, 110464, 162244};
  for (int k = 1; k <= 5; ++k) {
    const uint32_t b = boundaries[k - 1];
    h.frameAt(b - 1);
    EXPECT_EQ(show.currentScene, k) << b;
    EXPECT_FALSE(show.quit);
    // The first frame of the next scene draws nothing into the surface.
    std::fill(std::begin(h.show->surface), std::end(h.show->surface), marker);
    h.frameAt(b);
    EXPECT_EQ(show.currentScene, k + 1) << b;
    EXPECT_FALSE(show.sceneStarting);
    EXPECT_TRUE(show.clearAfterPresent);
    EXPECT_TRUE(surfaceIsMarker(h.screen.lastFrame)) << b;
    EXPECT_EQ(show.surface[0], 0u) << "cleared after presenting";
    EXPECT_EQ(show.timedScene, k) << "the scene timer restarts on the next frame";
    h.frameAt(b + 20);
    EXPECT_EQ(show.timedScene, k + 1);
  }
  h.frameAt(182955);
  EXPECT_EQ(show.currentScene, 6);
  EXPECT_FALSE(show.quit);
  std::fill(std::begin(h.show->surface), std::end(h.show->surface), marker);
  h.frameAt(182956);
  EXPECT_TRUE(show.quit);
  EXPECT_EQ(show.currentScene, 7);
  EXPECT_TRUE(surfaceIsMarker(h.screen.lastFrame)) << "the last frame draws nothing";
}

TEST(Schedule, LongStallCascadesToTheSceneHoldingTheTime) {
  ScratchDirectory dir(true);
  ShowHarness h;
  const Show& show = h.view();
  h.frameAt(0);
  h.frameAt(5000);
  const uint64_t sceneOneStart = show.sceneTimer.startTicks();
  h.frameAt(30000);
  EXPECT_EQ(show.currentScene, 3);
  EXPECT_FALSE(show.sceneStarting);
  EXPECT_EQ(show.timedScene, 1);
  EXPECT_EQ(show.sceneTimer.startTicks(), sceneOneStart);
  h.frameAt(30040);
  EXPECT_EQ(show.timedScene, 3);
  EXPECT_EQ(show.sceneTimer.startTicks(), 30040000u);
  // Never restarted inside a scene.
  for (uint32_t t = 30100; t < 55232; t += 997) h.frameAt(t);
  EXPECT_EQ(show.sceneTimer.startTicks(), 30040000u);
}

TEST(Schedule, AStallPastTheEndQuitsAtOnce) {
  ScratchDirectory dir(true);
  ShowHarness h;
  h.frameAt(0);
  h.frameAt(200000);
  EXPECT_TRUE(h.view().quit);
  EXPECT_EQ(h.view().currentScene, 7);
}

TEST(FrameLoop, FirstFrameStartsBothTimersAndPresentsTheBlankSurface) {
  ScratchDirectory dir(true);
  ShowHarness h;
  EXPECT_TRUE(h.screen.opened);
  h.frameAt(0);
  EXPECT_EQ(h.view().timedScene, 1);
  EXPECT_EQ(h.screen.presented, 1u);
  EXPECT_TRUE(std::all_of(h.screen.lastFrame.begin(), h.screen.lastFrame.end(), [](uint32_t p) { return p == 0; }));
}

TEST(FrameLoop, EveryKeyIsConsumedAndOnlyEscapeEnds) {
  ScratchDirectory dir(true);
  ShowHarness h;
  h.screen.keys = {'a', ' ', 13};
  h.frameAt(0);
  EXPECT_TRUE(h.screen.keys.empty());
  EXPECT_FALSE(h.view().quit);
  h.screen.keys = {'x', keyEscape, 'y'};
  h.frameAt(40);
  EXPECT_TRUE(h.screen.keys.empty());
  EXPECT_TRUE(h.view().quit);
  EXPECT_EQ(h.screen.presented, 2u) << "the frame in which Escape is read is still presented";
}

}  // namespace
}  // namespace vorlith
