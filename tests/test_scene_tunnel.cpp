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
  s.at(700);
  EXPECT_EQ(show.lightLevel, 0);
  s.at(900);
  EXPECT_EQ(show.lightLevel, 132);
  s.at(1023);
  EXPECT_EQ(show.lightLevel, 255);
  // q = 1024 writes no level: it stays 255, and the tunnel is not traced.
  const float z = show.tunnel.cameraPosition.z;
  s.at(1024);
  EXPECT_EQ(show.lightLevel, 255);
  EXPECT_EQ(show.tunnel.cameraPosition.z, z);
  EXPECT_EQ(show.tunnelZ, 10240);
  s.at(1100);
  EXPECT_EQ(show.lightLevel, 179);
  s.at(1300);
  EXPECT_EQ(show.lightLevel, 0);  // 1279 - q kept within 0..255
  s.at(1600);
  EXPECT_EQ(show.lightLevel, 64);
  s.at(1791);
  EXPECT_EQ(show.lightLevel, 255);
  s.at(1792);
  EXPECT_EQ(show.lightLevel, 255);
  s.at(2000);
  EXPECT_EQ(show.lightLevel, 47);
  s.at(2200);
  EXPECT_EQ(show.lightLevel, 47);  // nothing writes it between 2148 and 2304
  s.at(2500);
  EXPECT_EQ(show.lightLevel, 196);
  s.at(2600);
  EXPECT_EQ(show.lightLevel, 255);  // q - 2304, at most 255
  s.at(2700);
  EXPECT_EQ(show.lightLevel, 255);  // from 2660 on it stays
  s.at(3328);
  EXPECT_EQ(show.lightLevel, 255);
  s.at(3329);
  EXPECT_EQ(show.lightLevel, 255);
}

}  // namespace
}  // namespace vorlith
