// Scene 2: the title over three coloured lights circling the middle of the
// screen, with rays from a centre swinging left and right. The whole picture
// fades in from black, holds and fades out.
#include "base/exact_math.h"
#include "driver/scenes.h"
#include "driver/schedule.h"
#include "driver/show.h"
#include "image/light_rays.h"
#include "image/raster.h"
#include "math/angles.h"

namespace vorlith {

namespace {

int lowByte(int32_t value) { return static_cast<int>(static_cast<uint32_t>(value) & 0xFF); }

// The title centred on an image, when it loaded.
void blitTitle(Show& show, Image& target) {
  if (show.pictures.title) imageBlitKeyed(target, *show.pictures.title, colourKey, -1, -1);
}

}  // namespace

void orbitLights(LightField& field, int a) {
  const double theta = a * angleStep;
  double s, c;
  exactSinCos(theta, s, c);
  field.setLightPosition(0, 160 + static_cast<int>(60 * c), 100 - static_cast<int>(90 * s));
  field.setLightPosition(1, 160 + static_cast<int>(75 * c), 100 + static_cast<int>(60 * s));
  field.setLightPosition(2, 160 + static_cast<int>(120 * c), 100 + static_cast<int>(75 * s));
}

int titleRayX(int swing) { return 160 + static_cast<int>(150 * exactSin(swing * angleStep)); }

void sceneTitleFrame(Show& show) {
  show.clearAfterPresent = false;
  const int32_t q = show.sceneTimer.scaled(966, sceneLengthMs(2));
  const int spin = lowByte(show.sceneTimer.scaled(256, 5000));
  const int swing = lowByte(show.sceneTimer.scaled(256, 10000));
  const int level = fadeLevel(q, 966);

  orbitLights(show.titleLights, spin);
  const int rayX = titleRayX(swing);
  const int rayY = 100;
  Image& frame = show.frame;
  // At full level the rays write every pixel of the frame; below it the frame
  // is mixed into, and cleared after presenting.
  show.surfaceCovered = level >= 255;
  if (level < 255) show.clearAfterPresent = true;
  if (!show.drawing) return;

  if (level < 255) {
    // Built off-screen and mixed into the frame by the level; the frame is
    // cleared after presenting, so the next mix starts from black.
    show.titleLights.render(*show.layerB);
    blitTitle(show, *show.layerB);
    drawLightRays(*show.layerB, *show.layerA, rayX, rayY);
    blitTitle(show, *show.layerA);
    imageCrossfade(*show.layerA, frame, level);
  } else {
    show.titleLights.render(*show.layerA);
    blitTitle(show, *show.layerA);
    drawLightRays(*show.layerA, frame, rayX, rayY);
    blitTitle(show, frame);
  }
}

}  // namespace vorlith
