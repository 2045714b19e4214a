// Feeds arbitrary bytes to the reading of the tunnel's texture file: the file
// split into its parts, and the texels laid into the tiled texture from
// whatever the parts hold. Nothing may be read or written out of bounds,
// whatever the file holds. (The shade table is made from the 768 palette
// bytes the same way whatever they are; the unit tests check it.)
#include <cstdint>

#include "effects/tunnel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static uint8_t texture[vorlith::tunnelTextureBytes];
  const vorlith::TunnelTextureFile parts = vorlith::tunnelTextureParts(data, size);
  vorlith::tileTunnelTexture(parts, texture);
  // Read every byte the parts claim.
  uint32_t sum = texture[0] + texture[vorlith::tunnelTextureBytes - 1];
  for (size_t i = 0; i < parts.paletteBytes; ++i) sum += parts.palette[i];
  for (size_t i = 0; i < parts.indexBytes; i += 97) sum += parts.indices[i];
  if (parts.indexBytes) sum += parts.indices[parts.indexBytes - 1];
  volatile uint32_t sink = sum;
  (void)sink;
  return 0;
}
