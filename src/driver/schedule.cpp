#include "driver/schedule.h"

#include "driver/scenes.h"
#include "driver/show.h"

namespace vorlith {

namespace {
void nothing(Show&) {}
}  // namespace

// Every window is a whole number of 3452 ms music patterns.
const Scene scenes[sceneCount] = {
    {0, 10356, nothing, sceneLogoFrame},
    {10356, 24164, nothing, sceneTitleFrame},
    {24164, 55232, nothing, sceneCubeFrame},
    {55232, 110464, sceneRibbonsFirst, sceneRibbonsFrame},
    {110464, 162244, sceneTunnelFirst, sceneTunnelFrame},
    {162244, showLengthMs, nothing, sceneEndFrame},
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
  const Scene& last = scenes[sceneCount - 1];
  if (!(t >= last.start && t < last.end)) {
    if (show.currentScene == sceneCount) {
      show.currentScene = sceneCount + 1;
      show.sceneStarting = true;
      show.quit = true;
    } else if (show.currentScene == sceneCount + 1) {
      show.quit = true;
    }
  }
}

}  // namespace vorlith
