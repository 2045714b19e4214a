// Scene 5 frame by frame at chosen steps q of its curve: the camera carried
// from one frame to the next, the course of the light level, and the hand-
// over at q = 3328 / 3329 from the lights over the tunnel to the fade.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "driver/show.h"
#include "support.h"

namespace vorlith {
namespace {

constexpr uint32_t sceneStart = 110464;

// A show that has just begun scene 5: its first frame (cascading through the
// earlier scenes) and the frame that starts the scene timer, at q = 0.
struct TunnelScene {
  TunnelScene() {
    h.frameAt(sceneStart);
    h.frameAt(sceneStart);
  }
  // Runs the frame at step q of scaled(256, 3452).
  void at(int q) {
    h.frameAt(sceneStart + static_cast<uint32_t>((q * 3452 + 128) / 256));
    ASSERT_EQ(h.show->sceneTimer.scaled(256, 3452), q);
  }
  Show& show() { return *h.show; }
  test::ScratchDirectory dir{true};
  test::ShowHarness h;
};

TEST(SceneTunnel, FirstFrameMakesLayerCWhiteAndFramesAreNotCleared) {
  TunnelScene s;
  const uint32_t* c = imageWords(*s.show().layerC);
  EXPECT_TRUE(std::all_of(c, c + framePixels, [](uint32_t p) { return p == 0xFFFFFFFFu; }));
  EXPECT_EQ(s.show().currentScene, 5);
  EXPECT_FALSE(s.show().clearAfterPresent);
  s.at(2000);
  EXPECT_FALSE(s.show().clearAfterPresent);
  s.at(3500);
  EXPECT_FALSE(s.show().clearAfterPresent);
}

TEST(SceneTunnel, CameraIsComputedForTheNextFrame) {
  TunnelScene s;
  Show& show = s.show();
  EXPECT_EQ(show.tunnelZ, 0);
  EXPECT_EQ(show.tunnelAngle3, 0);
  s.at(512);  // accelerating: s = u = 0.5
  EXPECT_EQ(show.tunnelZ, 2560);
  EXPECT_EQ(show.tunnelAngle3, 1280);
  EXPECT_EQ(show.tunnelAngle1, 64);
  EXPECT_EQ(show.tunnelAngle2, 42);
  // The next frame's tunnel flies with those values.
  s.at(600);
  EXPECT_EQ(show.tunnel.cameraPosition.z, 2560.0f);
  EXPECT_EQ(show.tunnel.angles[0], 64);
  EXPECT_EQ(show.tunnel.angles[1], 42);
  EXPECT_EQ(show.tunnel.angles[2], 1280 & 1023);
  EXPECT_EQ(show.tunnelZ, static_cast<int>(10 * 600 * (600 / 1024.0)));

  // From q = 820 on, the third angle equals q (u held at 0.2).
  for (int q = 820; q <= 1400; q += 29) {
    s.at(q);
    EXPECT_EQ(show.tunnelAngle3, q);
  }
  s.at(2000);  // steady flight
  EXPECT_EQ(show.tunnelZ, 20000);
  EXPECT_EQ(show.tunnelAngle1, 436);
  EXPECT_EQ(show.tunnelAngle2, 290);
}

TEST(SceneTunnel, LightLevelCourseAndTheStepsThatLeaveItAlone) {
  TunnelScene s;
  Show& show = s.show();
  // (q, level after that frame), in order: 1024 and 1792 write no level and
  // keep the 255 of the frame before; 1300 clamps 1279 - q to 0; nothing
  // writes it between 2148 and 2304, nor from 2660 on.
  const int course[][2] = {{700, 0},     {900, 132},  {1023, 255}, {1024, 255}, {1100, 179}, {1300, 0},
                           {1600, 64},   {1791, 255}, {1792, 255}, {2000, 47},  {2200, 47},  {2500, 196},
                           {2600, 255},  {2700, 255}, {3328, 255}, {3329, 255}};
  float z = 0;
  for (const auto& [q, level] : course) {
    s.at(q);
    EXPECT_EQ(show.lightLevel, level) << "q " << q;
    // At full level the tunnel is not traced: it keeps the camera it had.
    if (q == 1024) {
      EXPECT_EQ(show.tunnel.cameraPosition.z, z);
    }
    z = show.tunnel.cameraPosition.z;
  }
}

}  // namespace
}  // namespace vorlith
