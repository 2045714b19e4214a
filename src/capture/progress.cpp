#include "capture/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace vorlith {

Progress::Progress(uint64_t totalFrames, uint32_t fps, bool wanted)
    : total_(totalFrames ? totalFrames : 1),
      fps_(fps),
      shown_(wanted && ::isatty(2) != 0),
      begin_(std::chrono::steady_clock::now()),
      lastDrawn_(begin_) {}

void Progress::update(uint64_t done) {
  if (!shown_) return;
  const auto now = std::chrono::steady_clock::now();
  if (done < total_ && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
  lastDrawn_ = now;
  const double seconds = std::chrono::duration<double>(now - begin_).count();
  const double speed = seconds > 0 ? done / static_cast<double>(fps_) / seconds : 0;
  const double left = done > 0 ? seconds * (total_ - std::min(done, total_)) / done : 0;
  const uint64_t width = 30;
  const uint64_t filled = width * std::min(done, total_) / total_;
  const std::string bar = std::string(filled, '#') + std::string(width - filled, '.');
  std::fprintf(stderr, "\r[%s] %llu/%llu frames %3d%%  %.1fx real time  ETA %d:%02d ", bar.c_str(),
               static_cast<unsigned long long>(done), static_cast<unsigned long long>(total_),
               static_cast<int>(100 * std::min(done, total_) / total_), speed, static_cast<int>(left) / 60,
               static_cast<int>(left) % 60);
  std::fflush(stderr);
}

void Progress::end(bool complete) {
  if (!shown_) return;
  if (complete) update(total_);
  std::fputc('\n', stderr);
}

}  // namespace vorlith
