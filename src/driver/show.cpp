#include "driver/show.h"

#include <cstring>
#include <memory>
#include <new>

#include "base/asset_manifest.h"
#include "driver/scenes.h"
#include "driver/schedule.h"
#include "driver/snapshot.h"
#include "music/music.h"

namespace vorlith {

namespace {

// Draws the frame the show time asks for into the surface.
void drawFrame(Show& show) {
  const uint32_t t = show.showTimer.elapsedMs();
  // The scene timer starts at the top of the frame after a scene change.
  if (show.timedScene != show.currentScene) {
    show.sceneTimer.start();
    show.timedScene = show.currentScene;
  }
  show.surfaceCovered = false;
  sceneDispatch(show, t);
}

// What follows the present: the surface cleared if the scene asked for it
// (a frame played for its state alone leaves the pixels be), the frame
// counted.
void endFrame(Show& show) {
  if (show.clearAfterPresent && show.drawing) std::memset(show.surface, 0, sizeof show.surface);
  ++show.frameIndex;
}

uint32_t displayRate(const Display& display) {
  const uint32_t rate = display.frameRate ? display.frameRate(display.context) : 0;
  return rate ? rate : 60;
}

OwnedImage loadPicture(const ShowSetup& setup, Asset asset) {
  return OwnedImage(imageLoad(setup.assets(asset), assetPath(asset), setup.notices));
}

// A picture that loads but that its user can't take is refused like an
// unreadable one: one notice, and the show goes on without it.
OwnedImage loadPictureIf(const ShowSetup& setup, Asset asset, bool (*fits)(const Image&), const char* need) {
  OwnedImage picture = loadPicture(setup, asset);
  if (!picture || fits(*picture)) return picture;
  imageLoadNotice(setup.notices, "Can't use file (%s): %s", assetPath(asset), need);
  return nullptr;
}

// The end scene copies its picture whole as a frame; a picture of any other
// size would be read past its end.
OwnedImage loadEndPicture(const ShowSetup& setup) {
  OwnedImage picture = loadPicture(setup, Asset::endPicture);
  if (!picture || imageIs(picture.get(), frameWidth, frameHeight)) return picture;
  imageLoadNotice(setup.notices, "Can't use file (%s): %dx%d pixels, the end picture must be %dx%d",
                  assetPath(Asset::endPicture), picture->width, picture->height, frameWidth, frameHeight);
  return nullptr;
}

bool outOfMemory(Show& show, const char* what) {
  show.failure = what;
  return false;
}

}  // namespace

bool showStartup(Show& show, const ShowSetup& setup) {
  show.display = setup.display;
  show.notices = setup.notices;
  show.failure = nullptr;

  for (OwnedImage* layer : {&show.layerA, &show.layerB, &show.layerC})
    layer->reset(imageCreate(frameWidth, frameHeight, 32));

  // Every file, in the order the show has always opened them, so that the
  // notices of a broken pack come in that order too.
  ShowPictures& pictures = show.pictures;
  pictures.end = loadEndPicture(setup);
  pictures.codeCredit = loadPicture(setup, Asset::codeCredit);
  pictures.musicCredit = loadPicture(setup, Asset::musicCredit);
  pictures.gfxCredit = loadPicture(setup, Asset::gfxCredit);
  pictures.logo = loadPicture(setup, Asset::logo);
  pictures.title = loadPicture(setup, Asset::title);
  show.music = {setup.audio, setup.notices, 0};
  musicOpen(show.music, setup.assets(Asset::module));
  OwnedImage blobSprite = loadPicture(setup, Asset::blobSprite);
  const OwnedImage lightmap = loadPictureIf(setup, Asset::lightmap, RibbonField::lightmapFits,
                                            "a lightmap needs at least 255 pixels of 32 bits");
  // The tunnel reads its file byte for byte and never reports on it: a file
  // that can't be had reads as empty.
  const AssetFile tunnelFile = setup.assets(Asset::tunnelTexture);
  OwnedImage ribbonTexture = loadPictureIf(setup, Asset::ribbonTexture, RibbonField::textureFits,
                                           "a texture needs at least 256x256 pixels of 32 bits");

  if (!show.layerA || !show.layerB || !show.layerC) return outOfMemory(show, "out of memory for the frame layers");

  // The effects, each handed what it draws with.
  if (!show.tunnel.init(300.0f) ||
      !show.tunnel.setTexture(tunnelTextureParts(tunnelFile.bytes.data(), tunnelFile.bytes.size())))
    return outOfMemory(show, "out of memory for the tunnel's tables");
  show.tunnel.setLightFollowsCamera(1);
  show.titleLights.init(3, frameWidth, frameHeight);
  show.tunnelLights.init(3, frameWidth, frameHeight);
  show.blobs.init(200, std::move(blobSprite));
  show.cube.init(60);
  show.ribbons.init(lightmap.get());
  show.ribbons.setTexture(std::move(ribbonTexture));

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

  show.cube.colour = 0xFF00FF;
  show.cube.intensity = 10;
  show.cube.nearScale = 0.1f;
  show.cube.farScale = 1.5f;
  show.cube.drawCount = 0;
  show.cubeScene = {};
  show.tunnelScene = {};

  show.timedScene = 0;
  show.quit = false;
  show.clearAfterPresent = false;

  std::memset(show.surface, 0, sizeof show.surface);
  show.sceneStarting = true;
  show.currentScene = 1;
  show.frameIndex = 0;

  // The music and the show clock start together, just before the first
  // frame. A run that begins part-way starts the clock at 0 as a whole run
  // does and plays the frames before its start off-screen first, at the rate
  // its own frames come at; a real clock stands still meanwhile and then
  // runs on from the start's time. The console opens after those frames, so
  // that a window never stands black while they are played.
  Counter& counter = *show.counter;
  const bool live = !counter.isVirtual();
  const uint32_t fps = live ? displayRate(show.display) : setup.virtualFps;
  const uint64_t first = setup.start.isZero() ? 0 : startFrame(setup.start, fps);
  if (first > 0) {
    counter.hold(0);
    show.showTimer.start();
    showAdvanceTo(show, first, fps);
  }
  show.displayOpen = show.display.open(show.display.context, "Vorlith", frameWidth, frameHeight);
  if (!show.displayOpen) return false;
  if (first == 0) show.showTimer.start();
  if (first > 0 && live) counter.resume(first * Counter::ticksPerSecond / fps);
  musicPlay(show.music, static_cast<uint32_t>((first * 2000 + fps) / (2 * uint64_t{fps})));
  return true;
}

void showPlayOffScreen(Show& show, uint32_t fps) {
  show.counter->setFrame(show.frameIndex, fps);
  drawFrame(show);
  endFrame(show);
}

void showFrame(Show& show) {
  drawFrame(show);
  show.display.present(show.display.context, show.surface);
  // Every queued key is consumed; only Escape has an effect.
  while (show.display.keyWaiting(show.display.context))
    if (show.display.readKey(show.display.context) == keyEscape) show.quit = true;
  endFrame(show);
}

void showShutdown(Show& show) {
  show.pictures = {};
  for (OwnedImage* layer : {&show.layerA, &show.layerB, &show.layerC}) layer->reset();
  musicClose(show.music);
  if (show.displayOpen) show.display.close(show.display.context);
  show.displayOpen = false;
  show.ribbons.destroy();
  show.cube.destroy();
  show.blobs.destroy();
  show.tunnelLights.destroy();
  show.titleLights.destroy();
  show.tunnel.destroy();
}

int runShow(const ShowSetup& setup, const char** failure) {
  if (failure) *failure = nullptr;
  std::unique_ptr<Show> show(new (std::nothrow) Show(setup.counter));
  if (!show) {
    if (failure) *failure = "out of memory";
    return 1;
  }
  const bool started = showStartup(*show, setup);
  if (!started && failure) *failure = show->failure;
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
