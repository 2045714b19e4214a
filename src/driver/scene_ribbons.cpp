#include <algorithm>
#include <cstring>

#include "base/exact_math.h"
#include "driver/scenes.h"
#include "driver/schedule.h"
#include "driver/show.h"
#include "image/light_rays.h"
#include "image/raster.h"
#include "math/angles.h"

namespace vorlith {

namespace {

// One rung of the blob colour ladder: steps from..from+99 colour particles
// step - offset.
struct Rung {
  int offset;
  uint32_t colour;
};

// Indexed by step / 100; from step 1400 on nothing changes.
constexpr Rung colourLadder[14] = {
    {0, 0xFF0000},    {0, 0x0000FF},    {200, 0x00FF00},  {200, 0xFFFF00},  {400, 0x00FFFF},
    {400, 0xFF00FF},  {600, 0xFF7F00},  {600, 0x007F7F},  {800, 0xFF3C7F},  {800, 0x7FFF3C},
    {1000, 0xFF7F00}, {1000, 0xFF0000}, {1200, 0xFF007F}, {1200, 0x7F00FF},
};

// The curves of one frame, all in the scene's steps of v (about 17.3 ms).
struct RibbonCurves {
  int v;      // 0 -> 3200 over the scene
  int twist;  // one turn every pattern
  int wave;   // one turn every 5 s
};

// The column: rows grow in from the top while v < 200, vanish from the top
// from v = 1800; each row swings by a wave that runs down the column. Its
// settings are all made again before each render, so a frame played for its
// state alone leaves the column as it is.
void ribbonsFrame(RibbonField& ribbons, Image& canvas, const RibbonCurves& c) {
  ribbons.firstRow = c.v < 1800 ? 0 : std::min(c.v - 1800, 200);
  ribbons.endRow = std::min(c.v, 200);
  const double swing = exactCos(c.twist * angleStep);
  for (int l = 0; l < RibbonField::rows; ++l)
    ribbons.rowAngle[l] = static_cast<float>(exactSin(((l + c.wave) % 256) * angleStep) * swing * 128);
  ribbons.textureRowOffset = c.twist;
  ribbons.render(canvas);
}

// The tilt of the spiral: 64 until v = 2000, then one step less every 20.
int spiralTilt(int v) {
  if (v < 2000) return 64;
  return 64 - std::clamp((v - 2050) / 20, 0, 64);
}

// The blobs, from v = 1000: drawn first, then recoloured, switched on and laid
// out again, so the changes show from the next frame.
void blobsFrame(BlobField& blobs, Image& canvas, const RibbonCurves& c, bool drawing) {
  blobs.setRotation(spiralTilt(c.v), 0, c.twist);
  if (drawing) blobs.render(canvas);
  const int shown = std::min(c.v - 1000, 1400);
  for (int i = 0; i < shown; ++i) {
    const Rung& rung = colourLadder[i / 100];
    blobs.setParticleColour(i - rung.offset, rung.colour);
    if (i < 200 && i < blobs.particleCount) blobs.particles[i].visible = 1;
  }
  layoutBlobSpiral(blobs, 200 - std::min(c.v - 1000, 125));
}

// The sine and cosine of the spiral's 100 angles, n steps of 0.314159265359
// each, worked out once: the layout is made again at every frame.
struct SpiralAngles {
  double sine[100];
  double cosine[100];
};
const SpiralAngles& spiralAngles() {
  static const SpiralAngles table = [] {
    SpiralAngles t;
    const double step = 0.314159265359;
    for (int n = 0; n < 100; ++n) exactSinCos(n * step, t.sine[n], t.cosine[n]);
    return t;
  }();
  return table;
}

}  // namespace

// Two strands of 100 particles, half a turn apart, ten particles to half a
// turn, running from z = -100 to z = 98.
void layoutBlobSpiral(BlobField& blobs, int radius) {
  const SpiralAngles& angles = spiralAngles();
  for (int i = 0; i < 200; ++i) {
    const int n = i < 100 ? i : (i - 50) % 100;
    const int z = -100 + 2 * (i % 100);
    blobs.setParticlePosition(i, static_cast<int>(angles.sine[n] * radius), static_cast<int>(angles.cosine[n] * radius),
                              z);
  }
}

void sceneRibbonsFirst(Show& show) {
  show.ribbons.firstRow = show.ribbons.endRow = 100;
  if (show.drawing) imageClear(*show.layerA);
}

// Scene 4: ribbons and blobs on layerA; the frame is layerA itself until
// v = 2000, then layerA through light rays, with a white flash at 2000 that
// fades out by 2305.
void sceneRibbonsFrame(Show& show) {
  RibbonCurves c;
  c.v = show.sceneTimer.scaled(200, patternMs);
  c.twist = show.sceneTimer.scaled(256, patternMs) & 0xFF;
  c.wave = show.sceneTimer.scaled(256, 5000) & 0xFF;
  Image& canvas = *show.layerA;
  Image& frame = show.frame;
  // The frame is a copy of the canvas or its rays: every pixel is written.
  show.surfaceCovered = true;
  show.clearAfterPresent = true;

  if (show.drawing) ribbonsFrame(show.ribbons, canvas, c);
  if (c.v >= 1000) blobsFrame(show.blobs, canvas, c, show.drawing);
  if (!show.drawing) return;

  if (c.v <= 2000)
    std::memcpy(frame.pixels, canvas.pixels, frameBytes);
  else
    drawLightRays(canvas, frame, 160, 100);

  if (c.v >= 2000 && c.v < 2306) {
    std::memset(show.layerB->pixels, 255, frameBytes);
    imageCrossfade(*show.layerB, frame, c.v < 2050 ? 255 : 2305 - c.v);
  }

  imageClear(canvas);
}

}  // namespace vorlith
