// Scene 1: the logo fades in, holds and fades out in the middle of the
// screen while its rays stream from a centre sweeping from right to left.
#include "driver/scenes.h"
#include "driver/schedule.h"
#include "driver/show.h"
#include "image/light_rays.h"
#include "image/raster.h"

namespace vorlith {

void sceneLogoFrame(Show& show) {
  show.clearAfterPresent = false;
  const int32_t n = show.sceneTimer.scaled(724, sceneLengthMs(1));
  const int32_t sweep = show.sceneTimer.scaled(320, sceneLengthMs(1));
  const int level = fadeLevel(n, 724);
  Image& frame = show.frame;
  // The rays write every pixel of the frame (their fan reaches each one).
  show.surfaceCovered = true;
  if (!show.drawing) return;

  // layerB: the logo at the current level over black; layerA, empty between
  // frames, takes it as the source of the rays.
  if (show.pictures.logo) imageBlitKeyedCapped(*show.layerB, *show.pictures.logo, colourKey, -1, -1, level);
  imageAddSaturate(*show.layerB, *show.layerA);
  drawLightRays(*show.layerA, frame, 319 - sweep, 100);
  // The sharp logo on top of its rays.
  if (show.pictures.logo) imageBlitKeyedCapped(frame, *show.pictures.logo, colourKey, -1, -1, level);
  imageClear(*show.layerA);
}

}  // namespace vorlith
