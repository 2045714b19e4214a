#pragma once
#include <cstdint>

#include "driver/display.h"
#include "driver/frame_timer.h"
#include "driver/seek.h"
#include "effects/blob_field.h"
#include "effects/light_field.h"
#include "effects/ribbon_field.h"
#include "effects/tunnel.h"
#include "effects/vector_cube.h"
#include "image/image.h"
#include "music/audio_library.h"

namespace vorlith {

// How a run of the show is set up: which clock, which display, which audio
// library, and where in the show to begin.
struct ShowSetup {
  Counter* counter = nullptr;
  // With a virtual counter: frame k of the run reads k * 1e6 / virtualFps.
  uint32_t virtualFps = 60;
  Display display;
  const AudioLibrary* audio = nullptr;
  // Where to begin. At frame rate F (virtualFps, or with a real counter the
  // display's refresh rate) the run begins with frame n = round(start * F) of
  // a whole run at F, and it is that very frame: start-up plays frames
  // 0..n-1 off-screen on the virtual clock (nothing presented, no key read),
  // so trails, angles, levels and the surface stand exactly where a whole
  // run has them. The clock then reads on from n / F seconds, and the music
  // starts there.
  ShowSeconds start;
  // Called once start-up is complete, just before the first frame (a
  // benchmark times start-up apart from the frames).
  void (*started)(void* context) = nullptr;
  void* startedContext = nullptr;
};

// Everything the show owns for the whole run: the surface it draws into, the
// work layers, the pictures, the effects, the two clocks and the driver state.
struct Show {
  explicit Show(Counter* counter) : counter(counter), showTimer(counter), sceneTimer(counter) {}
  Show(const Show&) = delete;
  Show& operator=(const Show&) = delete;

  Counter* counter;
  Display display;
  bool displayOpen = false;

  // The display surface: 200 lines of 320 words, drawn into every frame.
  alignas(64) uint32_t surface[framePixels] = {};
  Image* frameImage = nullptr;

  Image* layerA = nullptr;
  Image* layerB = nullptr;
  Image* layerC = nullptr;
  Image* sizeTemplate = nullptr;
  Image* endPicture = nullptr;
  Image* codeCredit = nullptr;
  Image* musicCredit = nullptr;
  Image* gfxCredit = nullptr;
  Image* logoPicture = nullptr;
  Image* titlePicture = nullptr;

  Tunnel tunnel;
  LightField titleLights;
  LightField tunnelLights;
  BlobField blobs;
  VectorCube cube;
  RibbonField ribbons;

  FrameTimer showTimer;
  FrameTimer sceneTimer;

  int32_t currentScene = 1;
  bool sceneStarting = true;
  int32_t timedScene = 0;
  bool clearAfterPresent = false;
  bool quit = false;
  int32_t lightLevel = 0;
  int32_t tunnelZ = 0;
  int32_t tunnelAngle1 = 0;
  int32_t tunnelAngle2 = 0;
  int32_t tunnelAngle3 = 0;
  uint32_t cubeColour = 0;

  // Frames begun so far (the index of the frame being drawn, from 0; a run
  // that begins part-way counts the frames played before its start).
  uint64_t frameIndex = 0;
};

// Makes everything, in the show's start-up order, plays the frames before the
// start (if any) off-screen, and starts the clock and the music. False when
// the layers or the console could not be had; the caller still calls
// showShutdown.
bool showStartup(Show& show, const ShowSetup& setup);

// One pass of the frame loop: draw the frame the show time asks for, present
// it, read the keys.
void showFrame(Show& show);

// Releases everything, in the show's shutdown order.
void showShutdown(Show& show);

// Start-up, frames until the show ends or Escape is read, shutdown. With a
// virtual counter, frame k runs at counter k * 1e6 / virtualFps (k counted
// from the start of the show, also when the run begins part-way). Returns 0,
// or 1 when the show could not start.
int runShow(const ShowSetup& setup);

}  // namespace vorlith
