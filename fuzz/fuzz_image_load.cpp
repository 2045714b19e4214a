// Feeds arbitrary bytes to the picture loader as a file: it must give a
// picture or a notice, never read or write out of bounds.
#include <cstdint>

#include "base/notice.h"
#include "image/image.h"
#include "memory_file.h"

namespace {
void quiet(void*, const char*, const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vorlith::setNoticeHandler(quiet, nullptr);
  const vorlith::fuzz::MemoryFile file(data, size);
  if (!file.ok()) return 0;
  if (vorlith::Image* image = vorlith::imageLoad(file.path())) {
    // Touch every pixel the record claims to have.
    uint32_t sum = 0;
    const uint32_t* words = vorlith::imageWords(*image);
    for (int64_t i = 0; i < int64_t{image->width} * image->height; ++i) sum += words[i];
    volatile uint32_t sink = sum;
    (void)sink;
    vorlith::imageFree(image);
  }
  return 0;
}
