#pragma once
#include "base/kernel_dispatch.h"
#include "image/image.h"

namespace vorlith {

// The rays walk both images as 320x200 frames addressed linearly, pixel (x, y)
// at word y * 320 + x, so an end at x = -1 stands for the last pixel of the row
// above (the sweeping centre of the logo scene passes x = -1 at its very end).
// An end outside the frame other than that, at x = -1 on row 0, or an image
// holding less than a frame, draws nothing, so no ray reaches outside a buffer.

// One ray from (x0, y0) to (x1, y1), both ends included: each visited pixel of
// dst gets the src pixel plus the brightness accumulated along the ray so far.
void drawLightRay(const Image& src, Image& dst, int x0, int y0, int x1, int y1);

// Every ray from the centre (cx, cy) to the frame's border, in drawing order:
// for each column the rays to row 0 and row 199, then for rows 1..198 the rays
// to column 0 and column 319. Later rays overwrite earlier ones.
void drawLightRays(const Image& src, Image& dst, int cx, int cy);

// One form of the fan behind drawLightRays, on raw frames that do not overlap
// and a centre the checks have accepted. Every form writes the same bytes.
struct LightRayForm {
  const char* name;
  void (*drawRays)(const uint8_t* src, uint8_t* dst, int cx, int cy);
};

// Every form this processor can run, the widest first and the plain one (one
// ray after another) last.
const KernelForms<LightRayForm>& lightRayForms();

}  // namespace vorlith
