#pragma once
// A show on the default asset pack for whole-frame benchmarks: an off-screen
// display, no sound and a manual counter, driven one frame at a time. The
// pack is the build's, read into memory; notices are dropped.
#include <chrono>
#include <cstdint>
#include <memory>

#include "driver/report.h"
#include "image/frame_digest.h"
#include "platform/null_port.h"
#include "driver/show.h"
#include "platform/openmpt_audio.h"
#include "support.h"

namespace vorlith::bench {

class BenchShow {
 public:
  // Starts the show startMs into a run at fps (as --start does: the frames
  // before it are played off-screen first).
  explicit BenchShow(uint32_t startMs = 0, uint32_t fps = 60) {
    target_.sink = [this](uint64_t, const uint32_t* pixels) {
      presentedAt_ = Clock::now();
      digest = frameDigest(digest, pixels);
      returnedAt_ = Clock::now();
      return true;
    };
    ShowSetup setup;
    setup.counter = &counter_;
    setup.display = target_.display();
    setup.audio = silentAudioLibrary();
    setup.assets = test::defaultPack().source();
    setup.virtualFps = fps;
    setup.start = ShowSeconds::fromMilliseconds(startMs);
    show = std::make_unique<Show>(&counter_);
    showStartup(*show, setup);
  }
  ~BenchShow() {
    showShutdown(*show);
  }
  BenchShow(const BenchShow&) = delete;
  BenchShow& operator=(const BenchShow&) = delete;

  // Runs frame k of a run at fps frames per second (the clock reads k / fps
  // seconds since the start) and gives its cost in seconds, without the
  // digest taken of it when it was presented.
  double frame(uint64_t k, uint32_t fps) { return frameAtTicks(k * Counter::ticksPerSecond / fps); }
  // The same with the clock reading ms milliseconds since the start.
  double frameAtMs(uint64_t ms) { return frameAtTicks(ms * Counter::ticksPerSecond / 1000); }

  // Plays the frames at fps from the next one up to the one at show time
  // untilMs (not included) and gives the index of that one.
  uint64_t playTo(uint32_t untilMs, uint32_t fps) {
    uint64_t k = show->frameIndex;
    for (; k * 1000 / fps < untilMs; ++k) frame(k, fps);
    return k;
  }

  std::unique_ptr<Show> show;
  uint64_t digest = fnvOffsetBasis;  // of every frame presented

 private:
  using Clock = std::chrono::steady_clock;

  double frameAtTicks(uint64_t ticks) {
    counter_.set(ticks);
    const auto begin = Clock::now();
    showFrame(*show);
    const auto end = Clock::now();
    return std::chrono::duration<double>((end - begin) - (returnedAt_ - presentedAt_)).count();
  }

  Counter counter_ = Counter::manual();
  NullDisplay target_;
  Clock::time_point presentedAt_{};
  Clock::time_point returnedAt_{};
};

}  // namespace vorlith::bench
