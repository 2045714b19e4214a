#pragma once
#include <cstdint>
#include <functional>
#include <set>
#include <string>

namespace vorlith {

struct CaptureOptions {
  std::string directory;       // where frame_NNNNNN.png files go
  uint32_t fps = 30;           // frames per second of the virtual clock
  std::set<uint64_t> frames;   // frame indices to write; empty writes every frame
  uint32_t startMs = 0;        // begin this far into the show
};

// Runs the whole show on the virtual clock with an off-screen surface and
// writes the chosen frames as PNG files. Returns the program's exit status.
int runCapture(const CaptureOptions& options);

// The off-screen display: every presented frame goes to a function, with its
// index. Its only key is an Escape that the owner may ask for to end the run.
struct OffscreenDisplay {
  std::function<void(uint64_t frame, const uint32_t* pixels)> onFrame;
  uint64_t presented = 0;
  bool stopRequested = false;
};
struct Display;
Display offscreenDisplay(OffscreenDisplay& target);

// "frame_000042.png"
std::string frameFileName(uint64_t frame);

}  // namespace vorlith
