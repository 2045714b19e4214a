#include "platform/null_port.h"

#include <cstdio>

#include "driver/frame_timer.h"
#include "driver/show.h"
#include "platform/openmpt_audio.h"

namespace vorlith {

Display NullDisplay::display() {
  Display d;
  d.context = this;
  d.open = [](void*, const char*, int, int) { return true; };
  d.close = [](void*) {};
  d.present = [](void* c, const uint32_t* pixels) {
    auto* self = static_cast<NullDisplay*>(c);
    if (self->sink && !self->sink(self->presented, pixels)) self->stopRequested = true;
    ++self->presented;
  };
  d.keyWaiting = [](void* c) { return static_cast<NullDisplay*>(c)->stopRequested; };
  d.readKey = [](void* c) {
    static_cast<NullDisplay*>(c)->stopRequested = false;
    return keyEscape;
  };
  return d;
}

int runNull(const NullRun& run, const FrameSink& sink) {
  NullDisplay target;
  target.sink = [&](uint64_t frame, const uint32_t* pixels) {
    const bool more = sink(frame, pixels);
    return more && !(run.frameLimit && frame + 1 >= run.frameLimit);
  };
  Counter counter = Counter::manual();
  OpenmptAudio audio(false);  // no sound: the module is still loaded and checked
  ShowSetup setup;
  setup.counter = &counter;
  setup.virtualFps = run.fps;
  setup.display = target.display();
  setup.audio = run.withMusic ? audio.library() : silentAudioLibrary();
  setup.start = run.start;
  setup.assets = run.assets;
  setup.notices = run.notices;
  if (run.started) {
    setup.started = [](void* c) { (*static_cast<const std::function<void()>*>(c))(); };
    setup.startedContext = const_cast<std::function<void()>*>(&run.started);
  }
  const char* failure = nullptr;
  const int status = runShow(setup, &failure);
  if (failure) std::fprintf(stderr, "vorlith: %s\n", failure);
  return status;
}

}  // namespace vorlith
