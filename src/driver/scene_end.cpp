// Scene 6: the end picture fades in from black, holds, and fades out at half
// the speed.
#include <cstring>

#include "driver/scenes.h"
#include "driver/schedule.h"
#include "driver/show.h"
#include "image/raster.h"

namespace vorlith {

// 2q while q < 512; otherwise 1449 - q, or 512 when that is 512 or more as an
// unsigned number (a negative difference too); halved and held to 0..255.
int endLevel(int q) {
  int64_t f;
  if (q < 512) {
    f = 2 * int64_t{q};
  } else {
    const uint32_t d = static_cast<uint32_t>(1449 - int64_t{q});
    f = d >= 512 ? 512 : d;
  }
  const int64_t level = f / 2;
  return static_cast<int>(level < 0 ? 0 : level > 255 ? 255 : level);
}

void sceneEndFrame(Show& show) {
  const int level = endLevel(show.sceneTimer.scaled(1449, sceneLengthMs(6)));
  Image& frame = show.frame;
  show.clearAfterPresent = true;
  // The picture is copied whole as a frame: one of any other size or depth
  // is treated as missing, since the copy would read past it.
  const bool picture = imageIs(show.pictures.end.get(), frameWidth, frameHeight);
  show.surfaceCovered = picture;
  if (!show.drawing) return;
  imageClear(*show.layerA);
  if (picture) std::memcpy(frame.pixels, show.pictures.end->pixels, frameBytes);
  // Mixing with black by 255 - level leaves each byte at byte * (level + 1) / 256.
  imageCrossfade(*show.layerA, frame, 255 - level);
}

}  // namespace vorlith
