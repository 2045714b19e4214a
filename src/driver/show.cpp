#include "driver/show.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "base/notice.h"
#include "driver/scenes.h"
#include "driver/schedule.h"
#include "image/raster.h"
#include "music/music.h"

namespace vorlith {

namespace {

constexpr const char* endPicturePath = "gfx/the_end.tga";

void releaseFrameImage(Show& show) {
  imageReleaseHeader(show.frameImage);
  show.frameImage = nullptr;
}

// Draws the frame the show time asks for into the surface. False when the
// frame's image header could not be had (the show then ends).
bool drawFrame(Show& show) {
  show.frameImage = imageWrap(frameWidth, frameHeight, 32, reinterpret_cast<uint8_t*>(show.surface));
  if (!show.frameImage) {
    std::fprintf(stderr, "vorlith: out of memory for a frame\n");
    show.quit = true;
    return false;
  }
  const uint32_t t = show.showTimer.elapsedMs();
  // The scene timer starts at the top of the frame after a scene change.
  if (show.timedScene != show.currentScene) {
    show.sceneTimer.start();
    show.timedScene = show.currentScene;
  }
  sceneDispatch(show, t);
  return true;
}

// What follows the present: the surface cleared if the scene asked for it,
// the header released, the frame counted.
void endFrame(Show& show) {
  if (show.clearAfterPresent) std::memset(show.surface, 0, sizeof show.surface);
  releaseFrameImage(show);
  ++show.frameIndex;
}

// Plays frames 0..frames-1 as a whole run at fps does, with the clock at
// each frame's time, but shows none of them and reads no key: what a frame
// leaves behind (trails, angles, levels, a surface that is not cleared) is
// all the show's own state, so the frame after them is exactly the whole
// run's. A frame that would end the show is never among them.
void playOffScreen(Show& show, uint64_t frames, uint32_t fps) {
  while (show.frameIndex < frames && !show.quit) {
    show.counter->setFrame(show.frameIndex, fps);
    if (!drawFrame(show)) return;
    endFrame(show);
  }
}

uint32_t displayRate(const Display& display) {
  const uint32_t rate = display.frameRate ? display.frameRate(display.context) : 0;
  return rate ? rate : 60;
}

}  // namespace

bool showStartup(Show& show, const ShowSetup& setup) {
  show.display = setup.display;

  show.layerA = imageCreate(frameWidth, frameHeight, 32);
  show.layerB = imageCreate(frameWidth, frameHeight, 32);
  show.layerC = imageCreate(frameWidth, frameHeight, 32);

  show.endPicture = imageLoad(endPicturePath);
  // The end scene copies its picture whole as a frame; a picture of any other
  // size would be read past its end, so it is refused like an unreadable one.
  if (show.endPicture && !imageIs(show.endPicture, frameWidth, frameHeight)) {
    char text[200];
    std::snprintf(text, sizeof text, "Can't use file (%s): %dx%d pixels, the end picture must be %dx%d",
                  endPicturePath, show.endPicture->width, show.endPicture->height, frameWidth, frameHeight);
    notice(imageLoadCaption, text);
    imageFree(show.endPicture);
    show.endPicture = nullptr;
  }
  show.codeCredit = imageLoad("gfx/code_qev.tga");
  show.musicCredit = imageLoad("gfx/music_tolvane.tga");
  show.gfxCredit = imageLoad("gfx/gfx_qev.tga");
  show.logoPicture = imageLoad("gfx/vorlith.tga");
  show.titlePicture = imageLoad("gfx/thebrimtale.tga");

  musicUseLibrary(setup.audio);
  musicOpen("music/brimtale.it");

  show.sizeTemplate = imageCreate(frameWidth, frameHeight, 32);
  if (!show.layerA || !show.layerB || !show.layerC || !show.sizeTemplate) {
    std::fprintf(stderr, "vorlith: out of memory for the frame layers\n");
    return false;
  }

  show.tunnel.init(300.0f);
  show.titleLights.init(3, *show.sizeTemplate);
  show.tunnelLights.init(3, *show.sizeTemplate);
  show.blobs.init(200);
  show.cube.init(60);
  show.ribbons.init();

  show.tunnelZ = show.tunnelAngle1 = show.tunnelAngle2 = show.tunnelAngle3 = 0;
  show.tunnel.loadTexture();
  show.tunnel.setLightFollowsCamera(1);

  // No blob is visible until the ribbon scene brings them in.
  layoutBlobSpiral(show.blobs, 200);
  for (int i = 0; i < 200; ++i) {
    show.blobs.setParticleColour(i, 0x7F7F7F);
    show.blobs.particles[i].visible = 0;
  }

  show.titleLights.setLightColour(0, 0x0000FF);
  show.titleLights.setLightColour(1, 0x00FF00);
  show.titleLights.setLightColour(2, 0xFF0000);
  for (int i = 0; i < show.tunnelLights.lightCount; ++i) show.tunnelLights.setLightColour(i, 0x7F3CFF);
  show.lightLevel = 0;

  show.cube.colour = 0xFF00FF;
  show.cube.intensity = 10;
  show.cube.nearScale = 0.1f;
  show.cube.farScale = 1.5f;
  show.cube.drawCount = 0;

  show.ribbons.loadTexture();

  show.timedScene = 0;
  show.quit = false;
  show.clearAfterPresent = false;

  show.displayOpen = show.display.open(show.display.context, "Vorlith", frameWidth, frameHeight);
  if (!show.displayOpen) return false;
  std::memset(show.surface, 0, sizeof show.surface);

  show.sceneStarting = true;
  show.currentScene = 1;
  show.frameIndex = 0;

  // The music and the show clock start together, just before the first
  // frame. A run that begins part-way starts the clock at 0 as a whole run
  // does and plays the frames before its start off-screen first, at the rate
  // its own frames come at; a real clock stands still meanwhile and then
  // runs on from the start's time.
  Counter& counter = *show.counter;
  const bool live = !counter.isVirtual();
  const uint32_t fps = live ? displayRate(show.display) : setup.virtualFps;
  const uint64_t first = setup.start.isZero() ? 0 : startFrame(setup.start, fps);
  if (first > 0) counter.hold(0);
  show.showTimer.start();
  playOffScreen(show, first, fps);
  if (first > 0 && live) counter.resume(first * Counter::ticksPerSecond / fps);
  musicPlay(static_cast<uint32_t>((first * 2000 + fps) / (2 * uint64_t{fps})));
  return true;
}

void showFrame(Show& show) {
  if (!drawFrame(show)) return;
  show.display.present(show.display.context, show.surface);
  // Every queued key is consumed; only Escape has an effect.
  while (show.display.keyWaiting(show.display.context))
    if (show.display.readKey(show.display.context) == keyEscape) show.quit = true;
  endFrame(show);
}

void showShutdown(Show& show) {
  for (Image** image : {&show.codeCredit, &show.gfxCredit, &show.musicCredit, &show.logoPicture,
                        &show.titlePicture, &show.endPicture, &show.layerA, &show.layerB, &show.layerC,
                        &show.sizeTemplate}) {
    imageFree(*image);
    *image = nullptr;
  }
  musicClose();
  if (show.displayOpen) show.display.close(show.display.context);
  show.displayOpen = false;
  show.ribbons.destroy();
  show.cube.destroy();
  show.blobs.destroy();
  show.tunnelLights.destroy();
  show.titleLights.destroy();
  show.tunnel.destroy();
}

int runShow(const ShowSetup& setup) {
  std::unique_ptr<Show> show(new (std::nothrow) Show(setup.counter));
  if (!show) {
    std::fprintf(stderr, "vorlith: out of memory\n");
    return 1;
  }
  const bool started = showStartup(*show, setup);
  if (started) {
    if (setup.started) setup.started(setup.startedContext);
    Counter* counter = setup.counter;
    while (!show->quit) {
      if (counter->isVirtual()) counter->setFrame(show->frameIndex, setup.virtualFps);
      showFrame(*show);
    }
  }
  showShutdown(*show);
  return started ? 0 : 1;
}

}  // namespace vorlith
