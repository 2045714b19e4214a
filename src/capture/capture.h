#pragma once
#include <cstdint>
#include <set>
#include <string>


namespace vorlith {

struct CaptureOptions {
  // A directory (PNG frames, plus audio.wav when every frame is written), a
  // file ending in .wav (the sound alone) or in .mp4 (a video through ffmpeg).
  std::string output;
  uint32_t fps = 30;           // frames per second of the virtual clock
  std::set<uint64_t> frames;   // frame indices to write; empty writes every frame
  uint32_t startMs = 0;        // begin this far into the show
  uint32_t untilMs = 0;        // end before this show time (0: run to the end of the show)
  int videoScale = 4;          // a video's pictures are this many times 320x200
};

enum class CaptureKind { pictures, sound, video };
CaptureKind captureKind(const std::string& output);

// Runs the whole show (or the chosen span) on the virtual clock with an
// off-screen surface and writes what the output asks for. Returns the
// program's exit status.
int runCapture(const CaptureOptions& options);

// Frames a capture presents: the first frame at startMs, one every 1/fps
// seconds, up to the first frame at or past untilMs (not included), or with
// untilMs 0 up to and including the show's last, black frame.
uint64_t captureFrameCount(uint32_t fps, uint32_t startMs, uint32_t untilMs);

// "frame_000042.png"
std::string frameFileName(uint64_t frame);

}  // namespace vorlith
