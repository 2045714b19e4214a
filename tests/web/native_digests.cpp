// The program's side of the browser tests: runs the whole show off-screen on
// the virtual clock, as a capture does, and prints "k digest" for every
// presented frame, or writes chosen frames' R, G, B bytes to files.
//
//   native_digests ASSET_DIR FPS                      every frame's digest on stdout
//   native_digests ASSET_DIR FPS --rgb K,K,... PREFIX  frame K as PREFIXK.rgb, 320x200x3 bytes

#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

#include "capture/capture.h"
#include "image/frame_digest.h"
#include "image/image.h"

using namespace vorlith;

int main(int argc, char** argv) {
  if ((argc != 3 && argc != 6) || (argc == 6 && std::string(argv[3]) != "--rgb")) {
    std::fprintf(stderr, "usage: %s ASSET_DIR FPS [--rgb FRAME,FRAME,... PREFIX]\n", argv[0]);
    return 2;
  }
  if (chdir(argv[1]) != 0) {
    std::perror(argv[1]);
    return 2;
  }
  CaptureOptions options;
  options.fps = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  std::set<uint64_t> wanted;
  if (argc == 6) {
    std::istringstream list(argv[4]);
    for (std::string item; std::getline(list, item, ',');) wanted.insert(std::strtoull(item.c_str(), nullptr, 10));
  }
  size_t written = 0;
  const int status = runOffscreen(options, [&](uint64_t frame, const uint32_t* pixels) {
    if (wanted.empty()) {
      std::printf("%" PRIu64 " %016" PRIx64 "\n", frame, frameRgbDigest(pixels));
      return true;
    }
    if (!wanted.count(frame)) return true;
    const std::string path = std::string(argv[5]) + std::to_string(frame) + ".rgb";
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    for (int i = 0; i < framePixels; ++i) {
      const uint8_t rgb[3] = {static_cast<uint8_t>(pixels[i] >> 16), static_cast<uint8_t>(pixels[i] >> 8),
                              static_cast<uint8_t>(pixels[i])};
      std::fwrite(rgb, 1, 3, out);
    }
    if (std::fclose(out) != 0) return false;
    return ++written < wanted.size();
  });
  if (status != 0) return status;
  if (written < wanted.size()) {
    std::fprintf(stderr, "not every chosen frame was presented and written\n");
    return 1;
  }
  return 0;
}
