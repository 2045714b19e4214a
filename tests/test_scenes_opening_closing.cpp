// Scenes 1, 2 and 6 as a viewer sees them: frames of the whole show at chosen
// times, on pictures made for the test (asymmetric, distinct channels, with
// transparent pixels), and with pictures missing or of the wrong size.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "driver/scenes.h"
#include "effects/light_field.h"
#include "image/light_rays.h"
#include "image/raster.h"
#include "scene_harness.h"
#include "support.h"

namespace vorlith {
namespace {

using test::ScratchDirectory;
using test::ShowHarness;
using test::Pictures;
using test::SceneRun;
using test::endPixels;
using test::logoPixels;
using test::titlePixels;
using test::logoW;
using test::logoH;
using test::titleW;
using test::titleH;
using Words = std::vector<uint32_t>;

Image wrap(Words& words) { return Image{frameWidth, frameHeight, 32, frameWidth * 4, reinterpret_cast<uint8_t*>(words.data())}; }
Image wrapPicture(Words& words, int w, int h) { return Image{w, h, 32, w * 4, reinterpret_cast<uint8_t*>(words.data())}; }

bool black(const Words& frame) {
  return std::all_of(frame.begin(), frame.end(), [](uint32_t p) { return p == 0; });
}

TEST(FadeCurves, LevelsOfTheOpeningAndClosingScenes) {
  EXPECT_EQ(fadeLevel(0, 724), 0);
  EXPECT_EQ(fadeLevel(254, 724), 254);
  EXPECT_EQ(fadeLevel(255, 724), 255);
  EXPECT_EQ(fadeLevel(469, 724), 255);
  EXPECT_EQ(fadeLevel(470, 724), 254);
  EXPECT_EQ(fadeLevel(724, 724), 0);
  EXPECT_EQ(fadeLevel(800, 724), 255) << "past the end counts as full";
  EXPECT_EQ(fadeLevel(712, 966), 254);
  EXPECT_EQ(fadeLevel(711, 966), 255);

  EXPECT_EQ(endLevel(0), 0);
  EXPECT_EQ(endLevel(100), 100);
  EXPECT_EQ(endLevel(511), 255);
  EXPECT_EQ(endLevel(512), 255);
  EXPECT_EQ(endLevel(938), 255);
  EXPECT_EQ(endLevel(940), 254);
  EXPECT_EQ(endLevel(1449), 0);
  EXPECT_EQ(endLevel(2000), 255) << "a negative difference counts as 512";
  EXPECT_EQ(endLevel(-1), 0);
}

TEST(OrbitLights, PositionsAndRayCentre) {
  LightField field;
  field.init(3, frameWidth, frameHeight);
  orbitLights(field, 0);
  EXPECT_EQ(field.lights[0].x, 220);
  EXPECT_EQ(field.lights[0].y, 100);
  EXPECT_EQ(field.lights[1].x, 235);
  EXPECT_EQ(field.lights[2].x, 280);
  orbitLights(field, 64);  // a quarter turn: cos is a hair above 0, sin 1
  EXPECT_EQ(field.lights[0].x, 160);
  EXPECT_EQ(field.lights[0].y, 10);
  EXPECT_EQ(field.lights[1].y, 160);
  EXPECT_EQ(field.lights[2].y, 175);
  orbitLights(field, 160);  // 225 degrees: truncation toward zero on both sides
  EXPECT_EQ(field.lights[2].x, 160 - 84);
  EXPECT_EQ(field.lights[2].y, 100 - 53);
  field.destroy();

  EXPECT_EQ(titleRayX(64), 310);
  EXPECT_EQ(titleRayX(192), 10);
  EXPECT_EQ(titleRayX(0), 160);
}

// The logo at the given level and its rays, drawn the way a viewer should see
// them over the frame before.
Words logoFrame(Words before, int level, int centreX) {
  Words logoWords = logoPixels();
  Image logo = wrapPicture(logoWords, logoW, logoH);
  Words layer(framePixels, 0);
  Image source = wrap(layer);
  imageBlitKeyedCapped(source, logo, colourKey, -1, -1, level);
  Image frame = wrap(before);
  drawLightRays(source, frame, centreX, 100);
  imageBlitKeyedCapped(frame, logo, colourKey, -1, -1, level);
  return before;
}

TEST(SceneLogo, MidSceneShowsTheCentredLogoWithItsRays) {
  SceneRun run;
  EXPECT_TRUE(black(run.h->screen.lastFrame)) << "the first frame draws nothing";
  const Words frame = run.at(5178);  // n = 362: full level; sweep 160
  EXPECT_FALSE(run.h->show->clearAfterPresent);
  // The logo sits at (130, 80), sharp on top, its key column showing the rays.
  const Words logo = logoPixels();
  for (int r = 0; r < logoH; ++r)
    for (int c = 5; c < logoW; ++c) ASSERT_EQ(frame[(80 + r) * 320 + 130 + c], logo[r * logoW + c]) << c << "," << r;
  EXPECT_NE(frame[100 * 320 + 131], colourKey);
  // Rays stream out of it: on row 100, left of it, the orange of its middle bar.
  const uint32_t left = frame[100 * 320 + 60];
  EXPECT_GT(left >> 16 & 0xFF, 50u);
  EXPECT_GT(left >> 16 & 0xFF, left & 0xFF);
  EXPECT_EQ(frame, logoFrame(Words(framePixels, 0), 255, 159));
}

TEST(SceneLogo, LevelZeroIsBlackAndTheFrameIsNotCleared) {
  SceneRun run;
  EXPECT_TRUE(black(run.at(0))) << "scene time 0: level 0, black logo and rays";
  EXPECT_FALSE(run.h->show->clearAfterPresent);
  // Fading in: the ceiling clips the logo's channels to the level.
  const Words frame = run.at(1430);  // n = 100
  EXPECT_EQ(frame[(80 + 7) * 320 + 130 + 20], 0x00646430u) << "0xF0A030 under a ceiling of 100";
  EXPECT_EQ(frame, logoFrame(Words(framePixels, 0), 100, 319 - 44));
  // The sweep ends with its centre at x = -1, the very last instants.
  const Words last = run.at(10350);
  EXPECT_EQ(run.h->show->currentScene, 1);
  EXPECT_EQ(last, logoFrame(frame, 0, -1));
}

TEST(SceneLogo, MissingLogoStillDrawsTheRaysOfNothing) {
  SceneRun run(Pictures{.logo = false});
  EXPECT_EQ(run.h->view().pictures.logo, nullptr);
  EXPECT_TRUE(black(run.at(5178)));
}

TEST(SceneTitle, FullLevelShowsTheTitleOverTheThreeLights) {
  SceneRun run({}, 10356);
  EXPECT_TRUE(black(run.h->screen.lastFrame)) << "level 0 mixes nothing into a cleared frame";
  EXPECT_TRUE(run.h->show->clearAfterPresent);
  const Words frame = run.at(6904);  // q = 483, spin 97, swing 177
  EXPECT_FALSE(run.h->show->clearAfterPresent);
  // The title is centred at (120, 85), sharp, its transparent corner not red.
  const Words title = titlePixels();
  for (int r = 0; r < titleH; ++r)
    for (int c = 0; c < titleW; ++c) {
      const uint32_t got = frame[(85 + r) * 320 + 120 + c];
      if (title[r * titleW + c] == colourKey)
        ASSERT_NE(got, colourKey);
      else
        ASSERT_EQ(got, title[r * titleW + c]) << c << "," << r;
    }
  // Each light shows as a white core where it stands.
  LightField lights;
  lights.init(3, frameWidth, frameHeight);
  lights.setLightColour(0, 0x0000FF);
  lights.setLightColour(1, 0x00FF00);
  lights.setLightColour(2, 0xFF0000);
  orbitLights(lights, 97);
  for (int i = 0; i < 3; ++i) {
    const uint32_t core = frame[lights.lights[i].y * 320 + lights.lights[i].x];
    EXPECT_GE(core & 0xFF, 254u) << i;
    EXPECT_GE(core >> 8 & 0xFF, 254u) << i;
    EXPECT_GE(core >> 16 & 0xFF, 254u) << i;
  }
  // The whole picture: lights, title, rays from (160 + trunc(150 sin 177k), 100), title.
  Words layer(framePixels, 0), expected(framePixels, 0);
  Image layerImage = wrap(layer), expectedImage = wrap(expected);
  Words titleWords = titlePixels();
  Image titleImage = wrapPicture(titleWords, titleW, titleH);
  lights.render(layerImage);
  imageBlitKeyed(layerImage, titleImage, colourKey, -1, -1);
  drawLightRays(layerImage, expectedImage, titleRayX(177), 100);
  imageBlitKeyed(expectedImage, titleImage, colourKey, -1, -1);
  EXPECT_EQ(frame, expected);
  lights.destroy();
}

TEST(SceneTitle, FadingFramesMixTheOffScreenPictureByTheLevel) {
  SceneRun run({}, 10356);
  const Words fading = run.at(1000);  // q = 70
  EXPECT_TRUE(run.h->show->clearAfterPresent);
  const Words built(imageWords(*run.h->view().layerA), imageWords(*run.h->view().layerA) + framePixels);
  Words expected(framePixels, 0);
  for (int i = 0; i < framePixels; ++i)
    for (int k = 0; k < 32; k += 8) expected[i] |= ((built[i] >> k & 0xFF) * 70 / 256) << k;
  EXPECT_EQ(fading, expected) << "mixed into the cleared (black) frame";
  EXPECT_EQ(built[(85 + 5) * 320 + 120 + 5], titlePixels()[5 * titleW + 5]) << "title in the off-screen picture";

  // The first fading frame after the hold mixes into the last full frame.
  const Words full = run.at(10170);  // q = 711: level 255
  EXPECT_FALSE(run.h->show->clearAfterPresent);
  const Words fadeOut = run.at(10177);  // q = 712: level 254
  const Words picture(imageWords(*run.h->view().layerA), imageWords(*run.h->view().layerA) + framePixels);
  for (int i = 0; i < framePixels; ++i) {
    uint32_t want = 0;
    for (int k = 0; k < 32; k += 8) want |= ((picture[i] >> k & 0xFF) * 254 / 256 + (full[i] >> k & 0xFF) * 2 / 256) << k;
    ASSERT_EQ(fadeOut[i], want) << i;
  }
}

TEST(SceneTitle, MissingTitleLeavesTheLightsAndRays) {
  SceneRun run(Pictures{.title = false}, 10356);
  const Words frame = run.at(6904);
  EXPECT_EQ(run.h->view().pictures.title, nullptr);
  EXPECT_FALSE(black(frame));
  EXPECT_GE(frame[100 * 320 + 160] & 0xFF, 1u);
}

TEST(SceneEnd, FadesThePictureInHoldsItExactlyAndEndsBlack) {
  SceneRun run({}, 162244);
  EXPECT_TRUE(black(run.h->screen.lastFrame)) << "level 0 at scene time 0";
  EXPECT_TRUE(run.h->show->clearAfterPresent);
  const Words picture = endPixels();
  const Words fadeIn = run.at(1430);  // q = 100: each byte * 101 / 256
  for (int i = 0; i < framePixels; ++i) {
    uint32_t want = 0;
    for (int k = 0; k < 32; k += 8) want |= ((picture[i] >> k & 0xFF) * 101 / 256) << k;
    ASSERT_EQ(fadeIn[i], want) << i;
  }
  EXPECT_EQ(run.at(10356), picture) << "full level: the picture byte for byte";
  EXPECT_TRUE(run.h->show->clearAfterPresent);
  EXPECT_TRUE(black(run.at(20711))) << "q = 1449: level 0";
  // The frame after the window is the show's last: nothing drawn, black.
  run.h->frameAt(182956);
  EXPECT_TRUE(run.h->show->quit);
  EXPECT_TRUE(black(run.h->screen.lastFrame));
}

TEST(SceneEnd, PicturesOfAnotherSizeAreRefusedAndTreatedAsMissing) {
  for (auto [w, h] : {std::pair{320, 199}, {319, 200}, {640, 400}, {1, 1}}) {
    SceneRun run(Pictures{.endWidth = w, .endHeight = h}, 162244);
    EXPECT_EQ(run.h->view().pictures.end, nullptr);
    const std::string expected = "Can't use file (gfx/the_end.tga): " + std::to_string(w) + "x" + std::to_string(h) +
                                 " pixels, the end picture must be 320x200";
    ASSERT_FALSE(run.h->recorder.notices.empty());
    EXPECT_EQ(run.h->recorder.notices[0].text, expected);
    EXPECT_TRUE(black(run.at(10356))) << w << "x" << h;
  }
  SceneRun missing(Pictures{.end = false}, 162244);
  EXPECT_TRUE(black(missing.at(10356)));
}

}  // namespace
}  // namespace vorlith
