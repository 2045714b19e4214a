#include "capture/progress.h"

#include <unistd.h>

#include <cstdio>

namespace vorlith {

Progress::Progress(uint64_t totalFrames, uint32_t fps)
    : total_(totalFrames ? totalFrames : 1),
      fps_(fps),
      shown_(::isatty(2) != 0),
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
  const int width = 30;
  const int filled = static_cast<int>(width * std::min(done, total_) / total_);
  char bar[width + 1];
  for (int i = 0; i < width; ++i) bar[i] = i < filled ? '#' : '.';
  bar[width] = '\0';
  std::fprintf(stderr, "\r[%s] %llu/%llu frames %3d%%  %.1fx real time  ETA %d:%02d ", bar,
               static_cast<unsigned long long>(done), static_cast<unsigned long long>(total_),
               static_cast<int>(100 * std::min(done, total_) / total_), speed, static_cast<int>(left) / 60,
               static_cast<int>(left) % 60);
  std::fflush(stderr);
}

void Progress::finish() {
  if (!shown_) return;
  update(total_);
  std::fputc('\n', stderr);
}

void Progress::stop() {
  if (shown_) std::fputc('\n', stderr);
}

}  // namespace vorlith
