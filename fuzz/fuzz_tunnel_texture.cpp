// Feeds arbitrary bytes to the tunnel's texture loader as a file, then renders
// a traced frame from the tables it built: nothing may be read or written
// out of bounds, whatever the file holds.
#include <cstdint>
#include <vector>

#include "effects/tunnel.h"
#include "image/image.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One tunnel for the whole run, as the show has, looking down the tube at
  // an angle so that the frame spans many texture rows and columns; every
  // input reloads its texture and renders a frame from it.
  static vorlith::Tunnel tunnel;
  static const bool ready = [] {
    tunnel.init(300.0f);
    tunnel.setLightFollowsCamera(1);
    tunnel.setCameraPosition(40.0f, -25.0f, 1000.0f);
    tunnel.setAngles(37, 211, 600);
    tunnel.trace();
    return true;
  }();
  (void)ready;
  static std::vector<uint32_t> frame(vorlith::framePixels);

  const vorlith::fuzz::MemoryFile file(data, size);
  if (!file.ok()) return 0;
  tunnel.loadTextureFrom(file.path());
  tunnel.render(frame.data());
  uint32_t sum = 0;
  for (uint32_t p : frame) sum += p;
  volatile uint32_t sink = sum;
  (void)sink;
  return 0;
}
