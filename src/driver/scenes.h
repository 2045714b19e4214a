#pragma once
// The bodies of the six scenes, each in a file of its own, what two of them
// carry from frame to frame, and the helpers that more than one place uses.
#include <cstdint>

namespace vorlith {

// Scene 3 carries the colour its cube's lines have reached.
struct CubeScene {
  uint32_t colour = 0;
};

// Scene 5 carries the camera of its next frame (depth and three angles, in
// 1024ths of a turn) and how strongly the lights show over the tunnel.
struct TunnelScene {
  int32_t depth = 0;
  int32_t angle1 = 0;
  int32_t angle2 = 0;
  int32_t angle3 = 0;
  int32_t lightLevel = 0;
};

struct Show;
class LightField;
class BlobField;

void sceneLogoFrame(Show& show);      // scene 1: logo with light rays
void sceneTitleFrame(Show& show);     // scene 2: title over three coloured lights
void sceneCubeFrame(Show& show);      // scene 3: vector cube and credits
void sceneRibbonsFirst(Show& show);   // scene 4: ribbons and blob spiral
void sceneRibbonsFrame(Show& show);
void sceneTunnelFirst(Show& show);    // scene 5: tunnel and lights
void sceneTunnelFrame(Show& show);
void sceneEndFrame(Show& show);       // scene 6: end picture

// The fade of scenes 1 and 2 from a curve running 0..end: the curve itself
// while below 255, then end - curve while that lies in 0..254, else 255. So it
// rises over 0..254, holds 255 and falls back to 0 as the curve reaches end.
inline int fadeLevel(int curve, int end) {
  if (curve < 255) return curve;
  const int d = end - curve;
  return d >= 0 && d < 255 ? d : 255;
}

// The level of scene 6 from its curve q (0..1449): rises over q = 0..255,
// holds 255, falls as (1449 - q) / 2 to 0 at q = 1449.
int endLevel(int curve);

// The column of scene 2's ray centre for the swing byte: 160 + trunc(150 sin).
int titleRayX(int swing);

// Places the three lights of a field on their orbits for the angle byte a.
void orbitLights(LightField& field, int a);

// Places particles 0..199 on a double spiral of the given radius.
void layoutBlobSpiral(BlobField& blobs, int radius);

}  // namespace vorlith
