// Scenes 3 and 4 driven frame by frame at chosen scene times: the curves at
// their boundaries, the colour chain, credits, the blob ladder, the spiral,
// the ribbon rows, the flash and the ray picture; then the whole show on the
// capture loop as a viewer would see it.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "driver/schedule.h"
#include "scene_pictures.h"
#include "support.h"

namespace vorlith {
namespace {

using test::ScratchDirectory;

// The first scene time (ms) at which scaled(n, d) reads value, and optionally
// a second curve scaled(n2, d2) reads value2 (low byte).
uint32_t msWhere(int n, int d, int value, int n2 = 0, int d2 = 1, int value2 = -1) {
  for (uint32_t ms = 0; ms < 200000; ++ms)
    if (mulDiv(n, static_cast<int32_t>(ms), d) == value && (value2 < 0 || (mulDiv(n2, static_cast<int32_t>(ms), d2) & 0xFF) == value2))
      return ms;
  ADD_FAILURE() << "no time for " << value;
  return 0;
}

// A show in a folder of scene pictures, brought to the first normal frame of
// one scene; sceneFrame(ms) then plays a frame at that scene time.
struct SceneRun {
  explicit SceneRun(int scene) : dir(true) {
    test::writeScenePictures(".");
    harness = std::make_unique<test::ShowHarness>();
    const uint32_t start = scenes[scene - 1].start;
    harness->frameAt(0);
    harness->frameAt(start);  // the scene's first frame: nothing drawn
    EXPECT_EQ(show().currentScene, scene);
    // The scene timer starts at the top of the next frame, a normal frame at
    // scene time 0.
    sceneStart = start + 1;
    harness->frameAt(sceneStart);
  }
  const Show& show() const { return harness->view(); }
  const std::vector<uint32_t>& sceneFrame(uint32_t ms) {
    harness->frameAt(sceneStart + ms);
    return harness->screen.lastFrame;
  }
  uint32_t at(int x, int y) const { return harness->screen.lastFrame[static_cast<size_t>(y) * frameWidth + x]; }
  ScratchDirectory dir;
  std::unique_ptr<test::ShowHarness> harness;
  uint32_t sceneStart = 0;
};

bool allBlack(const std::vector<uint32_t>& frame) {
  return std::all_of(frame.begin(), frame.end(), [](uint32_t p) { return p == 0; });
}

// ---- scene 3 -------------------------------------------------------------

uint32_t cubeQ(int q) { return msWhere(2174, 31068, q); }

TEST(SceneCube, StartsBlackAndWalksTheColourChain) {
  SceneRun run(3);
  const Show& show = run.show();
  EXPECT_TRUE(allBlack(run.sceneFrame(0)));  // q = 0: black lines at intensity 0
  EXPECT_EQ(show.cube.intensity, 0);
  EXPECT_EQ(show.cube.drawCount, 60);
  EXPECT_TRUE(show.clearAfterPresent);

  run.sceneFrame(cubeQ(5));
  EXPECT_EQ(show.cube.intensity, 5);
  run.sceneFrame(cubeQ(255));
  EXPECT_EQ(show.cubeScene.colour, 0xFFFFFFu);
  EXPECT_EQ(show.cube.intensity, 20);
  run.sceneFrame(cubeQ(256));  // white -> red starts at white
  EXPECT_EQ(show.cubeScene.colour, 0xFFFFFFu);
  run.sceneFrame(cubeQ(384));
  EXPECT_EQ(show.cubeScene.colour, 0xFF7F7Fu);
  run.sceneFrame(cubeQ(1100));
  EXPECT_EQ(show.cubeScene.colour, 0x4BB34Bu);  // green -> magenta at 76/256: 75, 255 - 76, 75
  run.sceneFrame(cubeQ(2047));
  EXPECT_EQ(show.cubeScene.colour, 0u);
  // From q = 2048 on the colour is no longer touched.
  run.harness->show->cubeScene.colour = 0x123456;
  run.sceneFrame(cubeQ(2048));
  EXPECT_EQ(show.cubeScene.colour, 0x123456u);
  EXPECT_EQ(show.cube.colours[1], 0x123456u);
}

TEST(SceneCube, TurnsOncePerFiveSecondsAndDrawsItsTrail) {
  SceneRun run(3);
  const Show& show = run.show();
  const uint32_t ms = msWhere(256, 5000, 77);
  run.sceneFrame(ms);
  // setRotation wrote entry 0; draw aged it into entry 1.
  EXPECT_EQ(show.cube.rotations[1].x, 77);
  EXPECT_EQ(show.cube.rotations[1].y, 77);
  EXPECT_EQ(show.cube.rotations[1].z, 0);
  const auto& frame = run.sceneFrame(ms + 3000);
  EXPECT_FALSE(allBlack(frame));
}

TEST(SceneCube, CreditsAppearInsideTheirWindowsOnly) {
  SceneRun run(3);
  const struct {
    int q;
    uint32_t centre;  // the credit's colour, or 0 for none
  } cases[] = {{300, 0}, {301, test::codeCreditColour}, {599, test::codeCreditColour}, {600, 0},
               {700, 0}, {701, test::musicCreditColour}, {999, test::musicCreditColour}, {1000, 0},
               {1100, 0}, {1101, test::gfxCreditColour}, {1399, test::gfxCreditColour}, {1400, 0}};
  for (const auto& c : cases) {
    run.sceneFrame(cubeQ(c.q));
    // The picture lands centred; the cube's lines never reach its middle pixel
    // in the colour of a credit.
    if (c.centre)
      EXPECT_EQ(run.at(160, 100), c.centre) << c.q;
    else
      EXPECT_NE(run.at(160, 100) & 0xFFFFFF, test::codeCreditColour) << c.q;
    // The key-red surround is transparent.
    EXPECT_NE(run.at(101, 81), 0x00FF0000u) << c.q;
  }
}

// ---- scene 4 -------------------------------------------------------------

uint32_t ribbonV(int v) { return msWhere(200, 3452, v); }

TEST(SceneRibbons, FirstFrameEmptiesTheBandAndDrawsNothing) {
  ScratchDirectory dir(true);
  test::writeScenePictures(".");
  test::ShowHarness h;
  h.frameAt(0);
  h.show->layerA->pixels[5] = 9;
  h.frameAt(55232);
  EXPECT_EQ(h.view().currentScene, 4);
  EXPECT_EQ(h.view().ribbons.firstRow, 100);
  EXPECT_EQ(h.view().ribbons.endRow, 100);
  EXPECT_EQ(h.view().layerA->pixels[5], 0);
  EXPECT_TRUE(allBlack(h.screen.lastFrame));
}

TEST(SceneRibbons, RowsGrowInAndVanishFromTheTop) {
  SceneRun run(4);
  const Show& show = run.show();
  const auto& frame = run.sceneFrame(ribbonV(100));
  EXPECT_EQ(show.ribbons.firstRow, 0);
  EXPECT_EQ(show.ribbons.endRow, 100);
  for (int y = 0; y < frameHeight; ++y) {
    const bool lit = std::any_of(frame.begin() + y * frameWidth, frame.begin() + (y + 1) * frameWidth,
                                 [](uint32_t p) { return p != 0; });
    EXPECT_EQ(lit, y < 100) << y;
  }
  EXPECT_TRUE(show.clearAfterPresent);
  run.sceneFrame(ribbonV(1900));
  EXPECT_EQ(show.ribbons.firstRow, 100);
  EXPECT_EQ(show.ribbons.endRow, 200);
  run.sceneFrame(ribbonV(2000));
  EXPECT_EQ(show.ribbons.firstRow, 200);
  run.sceneFrame(ribbonV(3000));
  EXPECT_EQ(show.ribbons.firstRow, 200);
  EXPECT_EQ(show.ribbons.endRow, 200);
}

TEST(SceneRibbons, RowAnglesAndTextureOffsetFollowTwistAndWave) {
  SceneRun run(4);
  const Show& show = run.show();
  const uint32_t ms = msWhere(256, 3452, 32, 0, 1, -1) + 0;
  run.sceneFrame(ms);
  const int twist = mulDiv(256, static_cast<int32_t>(ms), 3452) & 0xFF;
  const int wave = mulDiv(256, static_cast<int32_t>(ms), 5000) & 0xFF;
  EXPECT_EQ(show.ribbons.textureRowOffset, twist);
  const double k = 0.024543692606171875;
  for (int l : {0, 57, 199})
    EXPECT_EQ(show.ribbons.rowAngle[l], static_cast<float>(std::sin(((l + wave) % 256) * k) * std::cos(twist * k) * 128));
}

TEST(SceneRibbons, BlobsComeInFromV1000) {
  SceneRun run(4);
  const Show& show = run.show();
  const BlobField& blobs = show.blobs;
  // The start-up spiral of radius 200: particle 5 a quarter turn round.
  EXPECT_EQ(blobs.particles[5].x, 200);
  EXPECT_EQ(blobs.particles[0].y, 200);
  EXPECT_EQ(blobs.particles[100].y, -200);  // the second strand, half a turn on
  EXPECT_EQ(blobs.particles[100].x, 0);
  EXPECT_EQ(blobs.particles[199].z, 98);

  run.sceneFrame(ribbonV(999));
  EXPECT_EQ(blobs.angleX, 0);  // not touched
  EXPECT_EQ(blobs.particles[0].visible, 0);
  run.sceneFrame(ribbonV(1000));
  EXPECT_EQ(blobs.angleX, 64);
  EXPECT_EQ(blobs.particles[0].visible, 0);  // shown is 0
  EXPECT_EQ(blobs.particles[0].colour, 0x7F7F7F);
  EXPECT_EQ(blobs.particles[5].x, 200);
  run.sceneFrame(ribbonV(1001));
  EXPECT_EQ(blobs.particles[0].visible, 1);
  EXPECT_EQ(blobs.particles[0].colour, 0xFF0000);
  EXPECT_EQ(blobs.particles[1].visible, 0);
  EXPECT_EQ(blobs.particles[5].x, 199);  // radius 200 - 1

  // Half-strands change colour by the ladder; the spiral is down to 75.
  run.sceneFrame(ribbonV(1250));
  EXPECT_EQ(blobs.particles[49].colour, 0x00FF00);
  EXPECT_EQ(blobs.particles[50].colour, 0xFF0000);
  EXPECT_EQ(blobs.particles[150].colour, 0x0000FF);
  EXPECT_EQ(blobs.particles[199].visible, 1);
  EXPECT_EQ(blobs.particles[5].x, 75);
  run.sceneFrame(ribbonV(2500));
  EXPECT_EQ(blobs.particles[0].colour, 0xFF007F);
  EXPECT_EQ(blobs.particles[199].colour, 0x7F00FF);
}

TEST(SceneRibbons, SpiralTilts) {
  SceneRun run(4);
  const BlobField& blobs = run.show().blobs;
  for (auto [v, tilt] : {std::pair{1999, 64}, {2000, 64}, {2069, 64}, {2070, 63}, {2090, 62}, {3200, 7}}) {
    run.sceneFrame(ribbonV(v));
    EXPECT_EQ(blobs.angleX, tilt) << v;
  }
}

TEST(SceneRibbons, BlobsOnTheViewersPlaneAreSkipped) {
  // v = 1050 with twist 64: spiral radius 150 and tilt 64 put particle 5 at
  // z3 = 150 exactly. The second frame draws it from the new layout.
  SceneRun run(4);
  const uint32_t ms = msWhere(200, 3452, 1050, 256, 3452, 64);
  run.sceneFrame(ms);
  const auto& frame = run.sceneFrame(ms);
  const BlobParticle& p = run.show().blobs.particles[5];
  EXPECT_EQ(p.x, 150);
  EXPECT_EQ(p.visible, 1);
  EXPECT_EQ(p.screenX, INT_MIN);
  EXPECT_EQ(p.fade, 0);
  EXPECT_FALSE(allBlack(frame));  // the other blobs and the ribbons are drawn
}

TEST(SceneRibbons, FlashAtV2000ThenRaysAndTheFade) {
  SceneRun run(4);
  auto everyByteIn = [](const std::vector<uint32_t>& frame, int lo, int hi) {
    return std::all_of(frame.begin(), frame.end(), [&](uint32_t p) {
      for (int i = 0; i < 32; i += 8)
        if (int((p >> i) & 0xFF) < lo || int((p >> i) & 0xFF) > hi) return false;
      return true;
    });
  };
  // Before the flash the frame is layerA itself: blobs never touch the last
  // column (the bounds test keeps one pixel spare).
  auto lastColumnLit = [&] {
    for (int y = 0; y < frameHeight; ++y)
      if (run.at(319, y)) return true;
    return false;
  };
  run.sceneFrame(ribbonV(1999));
  EXPECT_FALSE(lastColumnLit());
  EXPECT_TRUE(everyByteIn(run.sceneFrame(ribbonV(2000)), 254, 254));  // 255 * 255 / 256
  EXPECT_TRUE(everyByteIn(run.sceneFrame(ribbonV(2001)), 254, 254));
  EXPECT_TRUE(everyByteIn(run.sceneFrame(ribbonV(2049)), 254, 254));
  EXPECT_TRUE(everyByteIn(run.sceneFrame(ribbonV(2177)), 127, 254));  // weight 128
  // Weight 0 and no mix: the ray picture, streaming to the border.
  run.sceneFrame(ribbonV(2305));
  EXPECT_TRUE(lastColumnLit());
  EXPECT_FALSE(everyByteIn(run.harness->screen.lastFrame, 127, 255));
  run.sceneFrame(ribbonV(2306));
  EXPECT_TRUE(lastColumnLit());
  EXPECT_TRUE(run.show().clearAfterPresent);
}

// ---- the capture loop --------------------------------------------------------

TEST(ScenesOnCapture, CubeCreditsRibbonsAndFlashAsAViewerSeesThem) {
  ScratchDirectory dir(true);
  test::writeScenePictures(".");
  // From 24 s at 10 frames a second: frame k shows 24000 + 100 k ms.
  std::vector<std::vector<uint32_t>> frames;
  const std::vector<uint64_t> wanted = {2, 10, 60, 150, 313, 330, 340, 660, 670, 745};
  test::runVirtualShow(
      10,
      [&](uint64_t k, const uint32_t* pixels) {
        if (std::find(wanted.begin(), wanted.end(), k) != wanted.end()) frames.emplace_back(pixels, pixels + framePixels);
      },
      ShowSeconds::fromMilliseconds(24000));
  ASSERT_EQ(frames.size(), wanted.size());
  auto at = [&](size_t f, int x, int y) { return frames[f][static_cast<size_t>(y) * frameWidth + x]; };
  auto litPixels = [&](size_t f) { return std::count_if(frames[f].begin(), frames[f].end(), [](uint32_t p) { return p; }); };
  auto rowLit = [&](size_t f, int y) {
    return std::any_of(frames[f].begin() + y * frameWidth, frames[f].begin() + (y + 1) * frameWidth, [](uint32_t p) { return p; });
  };
  // 24200: scene 3 has just begun, the cube is still black.
  EXPECT_EQ(litPixels(0), 0);
  // 25000 (q about 49): the cube's first faint lines.
  EXPECT_GT(litPixels(1), 100);
  EXPECT_NE(at(1, 160, 100), test::codeCreditColour);
  // 30000 (q about 420): the code credit in the middle over the cube.
  EXPECT_EQ(at(2, 160, 100), test::codeCreditColour);
  EXPECT_GT(litPixels(2), 3000);
  // 39000 (q about 1050): between credits.
  EXPECT_NE(at(3, 160, 100), test::gfxCreditColour);
  // 55300: scene 4's first frame repeats nothing (the surface was cleared).
  EXPECT_EQ(litPixels(4), 0);
  // 57000 (v about 92): the column grows down from the top.
  EXPECT_TRUE(rowLit(5, 10));
  EXPECT_FALSE(rowLit(5, 150));
  // 58000 (v about 150).
  EXPECT_TRUE(rowLit(6, 140));
  EXPECT_FALSE(rowLit(6, 170));
  // 90000 (v = 2005): white.
  EXPECT_TRUE(std::all_of(frames[7].begin(), frames[7].end(), [](uint32_t p) { return p == 0xFEFEFEFE; }));
  // 91000 (v = 2063): still bright but fading.
  EXPECT_GT(at(8, 5, 5) & 0xFF, 200u);
  EXPECT_LT(at(8, 5, 5) & 0xFF, 254u);
  // 98500 (v about 2497): the ray picture alone, the ribbons gone.
  EXPECT_GT(litPixels(9), 1000);
  EXPECT_LT(litPixels(9), framePixels);
}

}  // namespace
}  // namespace vorlith
