// Scene 5: the flight into the textured tunnel. The picture fades in from
// white; three times the orbiting lights fade in over the tunnel in a new
// colour and out again; the third time they stay, morph through a chain of
// colours to black, and the picture fades out to black.
#include <algorithm>
#include <cstring>

#include "driver/scenes.h"
#include "driver/schedule.h"
#include "driver/show.h"
#include "image/raster.h"

namespace vorlith {

namespace {

// From this step of q on, the lights are drawn straight into the frame, the
// tunnel is no longer drawn and the picture fades to black.
constexpr int finalStep = 3328;

void colourAllLights(LightField& lights, uint32_t colour) {
  for (int i = 0; i < lights.lightCount; ++i) lights.setLightColour(i, colour);
}

// The camera the next frame flies with: the depth grows as 10 q^2 / 1024 up
// to q = 1024 and as 10 q after; the third angle turns fast at first and
// settles at q.
void moveCamera(Show& show, int q) {
  const double s = q <= 1024 ? q / 1024.0 : 1.0;
  double u = q < 1024 ? 1.0 - q / 1024.0 : 0.0;
  if (u < 0.2f) u = 0.2f;
  show.tunnelScene.angle3 = static_cast<int32_t>(5.0 * q * u);
  show.tunnelScene.depth = static_cast<int32_t>(10.0 * q * s);
}

// The course of the lights: their weight over the tunnel and their colour.
// Later lines override earlier ones within a frame.
void updateLights(Show& show, int q) {
  LightField& lights = show.tunnelLights;
  if (q > 256) {
    show.tunnelScene.angle1 = (q - 256) / 4;
    show.tunnelScene.angle2 = (q - 256) / 6;
  }
  if (q > 768 && q < 1024) show.tunnelScene.lightLevel = q - 768;
  if (q > 1024 && q < 1380) show.tunnelScene.lightLevel = std::clamp(1279 - q, 0, 255);
  if (q > 1536) {
    colourAllLights(lights, 0x3CFF7F);
    if (q < 1792) show.tunnelScene.lightLevel = q - 1536;
  }
  if (q > 1792 && q < 2148) show.tunnelScene.lightLevel = std::clamp(2047 - q, 0, 255);
  if (q > 2304) {
    colourAllLights(lights, 0xFF7F3C);
    if (q < 2660) show.tunnelScene.lightLevel = std::min(q - 2304, 255);
  }
  if (q > 2560 && q < 2916) colourAllLights(lights, colourLerp(0xFF7F3C, 0x3CFF7F, q - 2560));
  if (q > 2816 && q < 3172) colourAllLights(lights, colourLerp(0x3CFF7F, 0xFF0000, q - 2816));
  if (q > 3072) colourAllLights(lights, colourLerp(0xFF0000, 0x000000, q - 3072));
}

// The fade from white, the lights over the tunnel, or the fade to black.
void mixFrame(Show& show, int q) {
  Image& frame = show.frame;
  if (q < 256) {
    imageCrossfade(*show.layerC, frame, 255 - q);  // from white
  } else if (q > finalStep) {
    imageClear(*show.layerC);
    imageCrossfade(*show.layerC, frame, std::min(q - finalStep, 255));  // to black
  } else {
    imageCrossfade(*show.layerA, frame, show.tunnelScene.lightLevel);  // the lights over the tunnel
  }
}

}  // namespace

// The picture starts from white.
void sceneTunnelFirst(Show& show) {
  if (show.drawing) std::memset(show.layerC->pixels, 255, frameBytes);
}

void sceneTunnelFrame(Show& show) {
  Image& frame = show.frame;
  show.clearAfterPresent = false;  // the tunnel and the lights cover the whole frame
  // 256 steps per music pattern: 0 .. 3840 over the scene.
  const int q = show.sceneTimer.scaled(256, patternMs);
  const int lightLevel = show.tunnelScene.lightLevel;
  const bool drawing = show.drawing;

  if (lightLevel != 0) {
    orbitLights(show.tunnelLights, show.sceneTimer.scaled(256, 5000) & 0xFF);
    if (drawing) show.tunnelLights.render(q > finalStep ? frame : *show.layerA);
  }

  const bool tunnelShown = lightLevel < 255 && q <= finalStep;
  if (tunnelShown) {
    Tunnel& tunnel = show.tunnel;
    tunnel.setCameraPosition(0.0f, 0.0f, static_cast<float>(show.tunnelScene.depth));
    tunnel.setAngles(show.tunnelScene.angle1, show.tunnelScene.angle2, show.tunnelScene.angle3);
    if (drawing) {
      tunnel.trace();
      tunnel.render(imageWords(frame));
    }
  }
  // The tunnel writes every pixel, so do the lights drawn straight into the
  // frame; mixing the lights in at full level keeps nothing of the frame
  // (each byte's share of 1/256 truncates to 0).
  show.surfaceCovered = tunnelShown || (q > finalStep ? lightLevel != 0 : lightLevel >= 255);

  moveCamera(show, q);

  if (drawing) mixFrame(show, q);

  updateLights(show, q);
}

}  // namespace vorlith
