#include "driver/schedule.h"

#include "driver/scenes.h"
#include "driver/show.h"

namespace vorlith {

namespace {
void nothing(Show&) {}
}  // namespace

const Scene scenes[sceneCount] = {
    {sceneStartMs(1), sceneStartMs(2), nothing, sceneLogoFrame},
    {sceneStartMs(2), sceneStartMs(3), nothing, sceneTitleFrame},
    {sceneStartMs(3), sceneStartMs(4), nothing, sceneCubeFrame},
    {sceneStartMs(4), sceneStartMs(5), sceneRibbonsFirst, sceneRibbonsFrame},
    {sceneStartMs(5), sceneStartMs(6), sceneTunnelFirst, sceneTunnelFrame},
    {sceneStartMs(6), sceneStartMs(7), nothing, sceneEndFrame},
};

void sceneDispatch(Show& show, uint32_t t) {
  for (int k = 1; k <= sceneCount; ++k) {
    const Scene& scene = scenes[k - 1];
    if (t >= scene.start && t < scene.end) {
      if (show.sceneStarting) {
        // A scene's first frame draws nothing; the surface is cleared after it.
        scene.firstFrame(show);
        show.clearAfterPresent = true;
        show.sceneStarting = false;
      } else {
        scene.normalFrame(show);
      }
      show.currentScene = k;
    } else if (show.currentScene == k) {
      // Leaving this window: the next test may find t in the following one,
      // in which case that scene begins in this same frame.
      show.currentScene = k + 1;
      show.sceneStarting = true;
    }
  }
  // Past the last window the loop has moved on to the time after the show.
  if (show.currentScene == sceneCount + 1) show.quit = true;
}

}  // namespace vorlith
