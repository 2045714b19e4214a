// Feeds arbitrary bytes to the picture loader as a file: it must give a
// picture or a notice, never read or write out of bounds.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "driver/notice.h"
#include "image/image.h"

namespace {
void quiet(void*, const char*, const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vorlith::setNoticeHandler(quiet, nullptr);
  const int fd = memfd_create("picture", 0);
  if (fd < 0) return 0;
  if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  if (vorlith::Image* image = vorlith::imageLoad(path)) {
    // Touch every pixel the record claims to have.
    uint32_t sum = 0;
    const uint32_t* words = vorlith::imageWords(*image);
    for (int64_t i = 0; i < int64_t{image->width} * image->height; ++i) sum += words[i];
    volatile uint32_t sink = sum;
    (void)sink;
    vorlith::imageFree(image);
  }
  close(fd);
  return 0;
}
