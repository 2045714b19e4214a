#include "capture/capture.h"

#include <cstdio>
#include <filesystem>

#include "capture/png_writer.h"
#include "driver/show.h"
#include "platform/openmpt_audio.h"

namespace vorlith {

std::string frameFileName(uint64_t frame) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06llu.png", static_cast<unsigned long long>(frame));
  return name;
}

Display offscreenDisplay(OffscreenDisplay& target) {
  Display d;
  d.context = &target;
  d.open = [](void*, const char*, int, int) { return true; };
  d.close = [](void*) {};
  d.present = [](void* c, const uint32_t* pixels) {
    auto* self = static_cast<OffscreenDisplay*>(c);
    if (self->onFrame) self->onFrame(self->presented, pixels);
    ++self->presented;
  };
  d.keyWaiting = [](void* c) { return static_cast<OffscreenDisplay*>(c)->stopRequested; };
  d.readKey = [](void* c) {
    static_cast<OffscreenDisplay*>(c)->stopRequested = false;
    return keyEscape;
  };
  return d;
}

int runCapture(const CaptureOptions& options) {
  std::error_code error;
  std::filesystem::create_directories(options.directory, error);
  if (error) {
    std::fprintf(stderr, "vorlith: can't make the directory %s: %s\n", options.directory.c_str(),
                 error.message().c_str());
    return 1;
  }
  bool writeFailed = false;
  uint64_t written = 0;
  OffscreenDisplay target;
  target.onFrame = [&](uint64_t frame, const uint32_t* pixels) {
    if (writeFailed || (!options.frames.empty() && !options.frames.count(frame))) return;
    const std::string path = (std::filesystem::path(options.directory) / frameFileName(frame)).string();
    if (!writePng(path, pixels, 320, 200)) {
      std::fprintf(stderr, "vorlith: can't write %s\n", path.c_str());
      writeFailed = true;
      return;
    }
    ++written;
    // Nothing after the last chosen frame is wanted: end the run as Escape would.
    if (!options.frames.empty() && frame == *options.frames.rbegin()) target.stopRequested = true;
  };

  Counter counter = Counter::manual();
  OpenmptAudio audio(false);  // no sound: the module is still loaded and checked
  ShowSetup setup;
  setup.counter = &counter;
  setup.virtualFps = options.fps;
  setup.display = offscreenDisplay(target);
  setup.audio = audio.library();
  setup.startMs = options.startMs;
  const int status = runShow(setup);
  if (status != 0) return status;
  if (writeFailed) return 1;
  std::fprintf(stderr, "vorlith: %llu of %llu frames written to %s\n", static_cast<unsigned long long>(written),
               static_cast<unsigned long long>(target.presented), options.directory.c_str());
  return 0;
}

}  // namespace vorlith
