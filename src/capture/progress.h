#pragma once
#include <chrono>
#include <cstdint>

namespace vorlith {

// A one-line progress bar on stderr (frames, percent, speed as a multiple of
// real time, time left), shown only when wanted and stderr is a terminal.
class Progress {
 public:
  Progress(uint64_t totalFrames, uint32_t fps, bool wanted);
  void update(uint64_t framesDone);
  // Ends the line: with the bar full when the capture is complete, else
  // where the bar stands (a capture that stops early).
  void end(bool complete);

 private:
  uint64_t total_;
  uint32_t fps_;
  bool shown_;
  std::chrono::steady_clock::time_point begin_;
  std::chrono::steady_clock::time_point lastDrawn_;
};

}  // namespace vorlith
