#pragma once
// The bodies of the six scenes, each in a file of its own, and the helpers
// that more than one place uses.

namespace vorlith {

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

// Places the three lights of a field on their orbits for the angle byte a.
void orbitLights(LightField& field, int a);

// Places particles 0..199 on a double spiral of the given radius.
void layoutBlobSpiral(BlobField& blobs, int radius);

}  // namespace vorlith
