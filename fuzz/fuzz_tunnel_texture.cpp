// Feeds arbitrary bytes to the tunnel's texture reading: the file split into
// its parts, then the palette, shade table and tiled texture built from them.
// Nothing may be read or written out of bounds, whatever the file holds. The
// tunnel's own tables are made once; each input only rebuilds its texture.
#include <cstdint>

#include "effects/tunnel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vorlith::Tunnel tunnel;
  static const bool ready = tunnel.init(300.0f);
  if (!ready) return 0;

  const vorlith::TunnelTextureFile parts = vorlith::tunnelTextureParts(data, size);
  if (!tunnel.setTexture(parts)) return 0;
  // Touch the corners of what was built.
  uint32_t sum = tunnel.shadeTable[0] + tunnel.shadeTable[vorlith::tunnelShadeLevels * 256 - 1];
  sum += tunnel.texture[0] + tunnel.texture[vorlith::tunnelTextureBytes - 1] + tunnel.palette[767];
  volatile uint32_t sink = sum;
  (void)sink;
  return 0;
}
