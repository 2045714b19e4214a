#include <algorithm>

#include "driver/scenes.h"
#include "driver/schedule.h"
#include "driver/show.h"
#include "image/raster.h"

namespace vorlith {

namespace {

// The chain of colours the cube's lines walk through: q = 0..2047 in steps of
// 256, each step mixing from one colour to the next.
constexpr uint32_t cubeChain[9] = {0x000000, 0xFFFFFF, 0xFF0000, 0xFFFF00, 0x00FF00,
                                   0xFF00FF, 0x0000FF, 0xFFFFFF, 0x000000};

// The credit shown at q, or null between credits (bounds exclusive).
const Image* creditAt(Show& show, int q) {
  if (q > 300 && q < 600) return show.pictures.codeCredit.get();
  if (q > 700 && q < 1000) return show.pictures.musicCredit.get();
  if (q > 1100 && q < 1400) return show.pictures.gfxCredit.get();
  return nullptr;
}

}  // namespace

// Scene 3: the cube with its zooming trail on black, its colour walking
// through the chain, and the three credit pictures one after another.
void sceneCubeFrame(Show& show) {
  const int q = show.sceneTimer.scaled(2174, sceneLengthMs(3));
  const int turn = show.sceneTimer.scaled(256, 5000) & 0xFF;

  // From q = 2048 on the colour stays where the chain ended (black).
  if (q >= 0 && q < 2048) show.cubeScene.colour = colourLerp(cubeChain[q / 256], cubeChain[q / 256 + 1], q % 256);
  const Image* credit = creditAt(show, q);

  VectorCube& cube = show.cube;
  cube.colour = show.cubeScene.colour;
  cube.intensity = std::min(q, 20);
  cube.drawCount = cube.capacity;
  cube.setRotation(turn, turn, 0);
  // The cube draws additively: the surface must be black for the next frame.
  show.clearAfterPresent = true;
  if (!show.drawing) {
    cube.advance();
    return;
  }
  cube.draw(show.frame);
  if (credit) imageBlitKeyed(show.frame, *credit, colourKey, -1, -1);
}

}  // namespace vorlith
