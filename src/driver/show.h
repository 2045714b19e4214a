#pragma once
#include <cstdint>

#include "driver/display.h"
#include "driver/frame_timer.h"
#include "driver/scenes.h"
#include "driver/seek.h"
#include "effects/blob_field.h"
#include "effects/light_field.h"
#include "effects/ribbon_field.h"
#include "effects/tunnel.h"
#include "effects/vector_cube.h"
#include "base/asset_source.h"
#include "base/notice.h"
#include "image/image.h"
#include "music/music.h"

namespace vorlith {

// How a run of the show is set up: which clock, which display, which audio
// library, where the files come from, where notices go, and where in the
// show to begin.
struct ShowSetup {
  Counter* counter = nullptr;
  // With a virtual counter: frame k of the run reads k * 1e6 / virtualFps.
  uint32_t virtualFps = 60;
  Display display;
  const AudioLibrary* audio = nullptr;
  AssetSource assets;
  NoticeSink notices;
  // Where to begin. At frame rate F (virtualFps, or with a real counter the
  // display's refresh rate) the run begins with frame n = round(start * F) of
  // a whole run at F, and it is that very frame: start-up plays frames
  // 0..n-1 off-screen on the virtual clock (nothing presented, no key read;
  // most for their state alone, see showAdvanceTo), so trails, angles,
  // levels and the surface stand exactly where a whole run has them. The clock then reads on from n / F seconds, and the music
  // starts there.
  ShowSeconds start;
  // Called once start-up is complete, just before the first frame (a
  // benchmark times start-up apart from the frames).
  void (*started)(void* context) = nullptr;
  void* startedContext = nullptr;
};

// The pictures the scenes draw, each null when its file could not be used.
struct ShowPictures {
  OwnedImage end;
  OwnedImage codeCredit;
  OwnedImage musicCredit;
  OwnedImage gfxCredit;
  OwnedImage logo;
  OwnedImage title;
};

// Everything the show owns for the whole run: the surface it draws into, the
// work layers, the pictures, the effects, the two clocks, what the scenes
// carry between frames and where the timeline stands.
struct Show {
  explicit Show(Counter* counter) : counter(counter), showTimer(counter), sceneTimer(counter) {}
  Show(const Show&) = delete;
  Show& operator=(const Show&) = delete;

  Counter* counter;
  Display display;
  bool displayOpen = false;
  NoticeSink notices;
  MusicPlayer music;
  // Why start-up failed, when it did for want of memory ("out of memory for
  // ..."); null otherwise.
  const char* failure = nullptr;

  // The display surface, 200 lines of 320 words, and the image every scene
  // draws it through.
  alignas(64) uint32_t surface[framePixels] = {};
  Image frame{frameWidth, frameHeight, 32, frameWidth * 4, reinterpret_cast<uint8_t*>(surface)};

  // Work layers, each a 320x200 picture.
  OwnedImage layerA;
  OwnedImage layerB;
  OwnedImage layerC;
  ShowPictures pictures;

  Tunnel tunnel;
  LightField titleLights;
  LightField tunnelLights;
  BlobField blobs;
  VectorCube cube;
  RibbonField ribbons;

  FrameTimer showTimer;
  FrameTimer sceneTimer;

  CubeScene cubeScene;
  TunnelScene tunnelScene;

  // The timeline: the scene playing (7 once the last is over), whether the
  // next frame is a scene's first, which scene the scene timer was started
  // for, whether the surface is cleared after it is presented.
  int32_t currentScene = 1;
  bool sceneStarting = true;
  int32_t timedScene = 0;
  bool clearAfterPresent = false;
  bool quit = false;

  // False while frames are played for their state alone (see showAdvanceTo):
  // the scenes then move their clocks, angles, levels, trails and particles
  // as usual but write no pixel. What the frame being played found about the
  // surface: true when it writes every pixel of it before reading any, so
  // that what earlier frames left there cannot show.
  bool drawing = true;
  bool surfaceCovered = false;

  // Frames begun so far (the index of the frame being drawn, from 0; a run
  // that begins part-way counts the frames played before its start).
  uint64_t frameIndex = 0;
};

// Makes everything, in the show's start-up order, plays the frames before the
// start (if any) off-screen, and starts the clock and the music. False when
// memory (then show.failure says for what), or the console, could not be
// had; the caller still calls showShutdown.
bool showStartup(Show& show, const ShowSetup& setup);

// One pass of the frame loop: draw the frame the show time asks for, present
// it, read the keys.
void showFrame(Show& show);

// Plays the next frame as a whole run at fps does, with the virtual clock at
// its time, but shows it nowhere and reads no key (see showAdvanceTo).
void showPlayOffScreen(Show& show, uint32_t fps);

// Releases everything, in the show's shutdown order.
void showShutdown(Show& show);

// Start-up, frames until the show ends or Escape is read, shutdown. With a
// virtual counter, frame k runs at counter k * 1e6 / virtualFps (k counted
// from the start of the show, also when the run begins part-way). Returns 0,
// or 1 when the show could not start; then failure (if given) points at the
// reason when it was memory, else at null.
int runShow(const ShowSetup& setup, const char** failure = nullptr);

}  // namespace vorlith
