// Scene 5 frame by frame at chosen steps q of its curve: the camera carried
// from one frame to the next, the course of the light level, and the hand-
// over at q = 3328 / 3329 from the lights over the tunnel to the fade, and
// what each frame mixes with what.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "driver/schedule.h"
#include "driver/show.h"
#include "support.h"

namespace vorlith {
namespace {

constexpr uint32_t sceneStart = sceneStartMs(5);

// A show that has just begun scene 5: its first frame (cascading through the
// earlier scenes) and the frame that starts the scene timer, at q = 0.
struct TunnelScene {
  TunnelScene() {
    h.frameAt(sceneStart);
    h.frameAt(sceneStart);
  }
  // Runs the frame at step q of scaled(256, 3452).
  void at(int q) {
    h.frameAt(sceneStart + static_cast<uint32_t>((q * patternMs + 128) / 256));
    ASSERT_EQ(h.show->sceneTimer.scaled(256, patternMs), q);
  }
  Show& show() { return *h.show; }
  const std::vector<uint32_t>& presented() const { return h.screen.lastFrame; }
  // The tunnel as last traced, drawn again on its own.
  std::vector<uint32_t> tunnelView() {
    std::vector<uint32_t> view(framePixels);
    show().tunnel.render(view.data());
    return view;
  }
  // The lights as they stand now, drawn again on their own.
  std::vector<uint32_t> lightsView() {
    std::vector<uint32_t> view(framePixels);
    Image image{frameWidth, frameHeight, 32, frameWidth * 4, reinterpret_cast<uint8_t*>(view.data())};
    show().tunnelLights.render(image);
    return view;
  }
  std::vector<uint32_t> layer(const Image* image) {
    return std::vector<uint32_t>(imageWords(*image), imageWords(*image) + framePixels);
  }

  test::ScratchDirectory dir{true};
  // A texture of random bytes (the header is never looked at), so that the
  // tunnel is not black.
  bool textureWritten = [] {
    std::vector<uint8_t> bytes(18 + 768 + 65536);
    std::mt19937 random(5);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    test::writeFile("gfx/texture1.tga", bytes);
    return true;
  }();
  test::ShowHarness h;
};

// a * weight / 256 + b * (256 - weight) / 256, byte by byte.
std::vector<uint32_t> mix(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, uint32_t weight) {
  std::vector<uint32_t> out(a.size());
  for (size_t i = 0; i < a.size(); ++i)
    for (int shift = 0; shift < 32; shift += 8) {
      const uint32_t x = (a[i] >> shift) & 255, y = (b[i] >> shift) & 255;
      out[i] |= (((x * weight) >> 8) + ((y * (256 - weight)) >> 8)) << shift;
    }
  return out;
}

std::vector<uint32_t> filled(uint32_t word) { return std::vector<uint32_t>(framePixels, word); }

TEST(SceneTunnel, FirstFrameMakesLayerCWhiteAndFramesAreNotCleared) {
  TunnelScene s;
  const uint32_t* c = imageWords(*s.h.view().layerC);
  EXPECT_TRUE(std::all_of(c, c + framePixels, [](uint32_t p) { return p == 0xFFFFFFFFu; }));
  EXPECT_EQ(s.h.view().currentScene, 5);
  EXPECT_FALSE(s.h.view().clearAfterPresent);
  s.at(2000);
  EXPECT_FALSE(s.h.view().clearAfterPresent);
  s.at(3500);
  EXPECT_FALSE(s.h.view().clearAfterPresent);
}

TEST(SceneTunnel, CameraIsComputedForTheNextFrame) {
  TunnelScene s;
  const Show& show = s.h.view();
  EXPECT_EQ(show.tunnelScene.depth, 0);
  EXPECT_EQ(show.tunnelScene.angle3, 0);
  s.at(512);  // accelerating: s = u = 0.5
  EXPECT_EQ(show.tunnelScene.depth, 2560);
  EXPECT_EQ(show.tunnelScene.angle3, 1280);
  EXPECT_EQ(show.tunnelScene.angle1, 64);
  EXPECT_EQ(show.tunnelScene.angle2, 42);
  // The next frame's tunnel flies with those values.
  s.at(600);
  EXPECT_EQ(show.tunnel.cameraPosition.z, 2560.0f);
  EXPECT_EQ(show.tunnel.angles[0], 64);
  EXPECT_EQ(show.tunnel.angles[1], 42);
  EXPECT_EQ(show.tunnel.angles[2], 1280 & 1023);
  EXPECT_EQ(show.tunnelScene.depth, static_cast<int>(10 * 600 * (600 / 1024.0)));

  // From q = 820 on, the third angle equals q (u held at 0.2).
  for (int q = 820; q <= 1400; q += 29) {
    s.at(q);
    EXPECT_EQ(show.tunnelScene.angle3, q);
  }
  s.at(2000);  // steady flight
  EXPECT_EQ(show.tunnelScene.depth, 20000);
  EXPECT_EQ(show.tunnelScene.angle1, 436);
  EXPECT_EQ(show.tunnelScene.angle2, 290);
}

TEST(SceneTunnel, LightLevelCourseAndTheStepsThatLeaveItAlone) {
  TunnelScene s;
  const Show& show = s.h.view();
  // (q, level after that frame), in order: 1024 and 1792 write no level and
  // keep the 255 of the frame before; 1300 clamps 1279 - q to 0; nothing
  // writes it between 2148 and 2304, nor from 2660 on.
  const int course[][2] = {{700, 0},     {900, 132},  {1023, 255}, {1024, 255}, {1100, 179}, {1300, 0},
                           {1600, 64},   {1791, 255}, {1792, 255}, {2000, 47},  {2200, 47},  {2500, 196},
                           {2600, 255},  {2700, 255}, {3328, 255}, {3329, 255}};
  float z = 0;
  for (const auto& [q, level] : course) {
    s.at(q);
    EXPECT_EQ(show.tunnelScene.lightLevel, level) << "q " << q;
    // At full level the tunnel is not traced: it keeps the camera it had.
    if (q == 1024) {
      EXPECT_EQ(show.tunnel.cameraPosition.z, z);
    }
    z = show.tunnel.cameraPosition.z;
  }
}

TEST(SceneTunnel, FadesInFromWhiteOverTheTunnel) {
  TunnelScene s;
  // q = 0: weight 255 of white over the first view: 254 in every byte.
  EXPECT_EQ(s.presented(), filled(0xFEFEFEFEu));
  s.at(128);
  const std::vector<uint32_t> tunnel = s.tunnelView();
  EXPECT_NE(tunnel, filled(0));
  EXPECT_EQ(s.presented(), mix(filled(0xFFFFFFFFu), tunnel, 127));
  s.at(300);  // the tunnel alone
  EXPECT_EQ(s.presented(), s.tunnelView());
}

TEST(SceneTunnel, LightsAreMixedOverTheTunnelByTheLevelOfTheFrameBefore) {
  TunnelScene s;
  s.at(899);
  ASSERT_EQ(s.h.view().tunnelScene.lightLevel, 131);
  s.at(900);
  EXPECT_EQ(s.layer(s.h.view().layerA.get()), s.lightsView());
  EXPECT_EQ(s.presented(), mix(s.lightsView(), s.tunnelView(), 131));
}

TEST(SceneTunnel, LightColoursFollowTheChain) {
  TunnelScene s;
  const auto colours = [&] {
    std::vector<uint32_t> c;
    for (int i = 0; i < s.h.view().tunnelLights.lightCount; ++i)
      c.push_back(static_cast<uint32_t>(s.h.view().tunnelLights.lights[i].colour));
    return c;
  };
  // (q, colour of every light after that frame)
  const uint32_t chain[][2] = {{1024, 0x7F3CFF}, {1792, 0x3CFF7F}, {2400, 0xFF7F3C}, {2600, 0xE09346},
                               {2900, 0x7BAB55}, {3000, 0xC84723}, {3100, 0xE30000}, {3328, 0x000000}};
  for (const auto& [q, colour] : chain) {
    s.at(static_cast<int>(q));
    EXPECT_EQ(colours(), std::vector<uint32_t>(3, colour)) << "q " << q;
  }
}

TEST(SceneTunnel, FromStep3329TheLightsGoStraightIntoTheFrameAndFadeToBlack) {
  TunnelScene s;
  s.at(2600);  // full level
  s.at(3327);
  const std::vector<uint32_t> before = s.presented();
  s.at(3328);  // still through layerA, mixed by the level 255 over the last frame
  const std::vector<uint32_t> lights = s.layer(s.h.view().layerA.get());
  EXPECT_EQ(lights, s.lightsView());
  EXPECT_EQ(s.presented(), mix(lights, before, 255));

  s.at(3329);
  EXPECT_EQ(s.layer(s.h.view().layerC.get()), filled(0));
  EXPECT_EQ(s.layer(s.h.view().layerA.get()), lights);  // not drawn into any more
  EXPECT_EQ(s.presented(), mix(filled(0), s.lightsView(), 1));
  // Black lights still have their white cores.
  const LightField::Light& light = s.h.view().tunnelLights.lights[0];
  EXPECT_EQ(s.presented()[light.y * frameWidth + light.x], 0x00FEFEFEu);

  s.at(3583);
  EXPECT_EQ(s.presented(), filled(0));
}
TEST(SceneTunnel, WholeShowOnTheDefaultPackAtThirtyFrames) {
  // Frame k is at k / 30 s: 3314 is scene 5's first frame, 3315 its first
  // drawn one, 3558 the tunnel alone, 4866 its last; 5489 is the show's last.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(test::defaultAssets());
  const std::set<uint64_t> wanted = {3314, 3315, 3558, 3679, 4866, 5489};
  std::map<uint64_t, std::vector<uint32_t>> frames;
  const test::ShowRun run = test::runVirtualShow(30, [&](uint64_t k, const uint32_t* pixels) {
    if (wanted.count(k)) frames[k].assign(pixels, pixels + framePixels);
  });
  std::filesystem::current_path(before);

  EXPECT_EQ(run.frames, 5490u);
  EXPECT_TRUE(run.notices.empty());
  EXPECT_EQ(frames[3314], filled(0));  // draws nothing on the surface scene 4 cleared
  EXPECT_EQ(frames[3315], filled(0xFEFEFEFEu));
  // The tunnel itself: a textured picture, not a flat colour.
  std::set<uint32_t> colours(frames[3558].begin(), frames[3558].end());
  EXPECT_GT(colours.size(), 1000u);
  EXPECT_NE(frames[3679], frames[3558]);
  EXPECT_EQ(frames[4866], filled(0));
  EXPECT_EQ(frames[5489], filled(0));
}

}  // namespace
}  // namespace vorlith
