#pragma once
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "driver/seek.h"

namespace vorlith {

struct CaptureOptions {
  // What to make, by its extension (any case): a video (.mp4, .mkv, .webm,
  // .gif), the sound alone (.wav, .flac), the frames' digests (.txt), or,
  // without an extension, a directory of PNG frames and audio.wav.
  std::string output;
  std::filesystem::path assets;  // the pack's directory (empty: the working directory)
  uint32_t fps = 30;           // frames per second of the virtual clock
  std::set<uint64_t> frames;   // frames (of the capture, from 0) to write; empty writes every frame
  ShowSeconds start;           // begin at frame round(start * fps) of the show
  ShowSeconds until;           // end before frame round(until * fps) (0: run to the end of the show)
  int videoScale = 0;          // a video's pictures: this many times 320x200 (0: the format's own)
  bool aspect = false;         // a video's pictures at 4:3, of 5x6 blocks
  bool mute = false;           // no sound track, no audio.wav
  bool replace = false;        // a PNG directory's earlier frames and audio.wav are removed first
};

enum class CaptureKind { pictures, digests, wav, flac, mp4, mkv, webm, gif, unknown };
// An existing directory takes PNG frames whatever its name.
CaptureKind captureKind(const std::string& output);

// What each extension makes, a line or two each, each line after the
// indent, for --help and refusals.
std::string captureKindsText(const std::string& indent);

// The frames of the show a capture covers: `count` frames from `first`.
struct CaptureSpan {
  uint64_t first = 0;
  uint64_t count = 0;
};

// A capture at fps from `start` to `until` (0: the end) covers the show's
// frames from round(start * fps) up to round(until * fps), not included, or
// up to and including the show's final, black frame. So two captures that
// meet at a time meet at a frame, and their sound at a sample.
CaptureSpan captureSpan(uint32_t fps, const ShowSeconds& start, const ShowSeconds& until);

// Why the capture can't be made as asked (an option that can't apply to
// this kind of output, an unknown kind, a span it can't hold), or "".
std::string captureRefusal(const CaptureOptions& options);

// Runs the chosen span of the show on the virtual clock with an off-screen
// surface and writes what the output asks for, each file under a temporary
// name first. Returns the program's exit status: 0, 1 on a failure (nothing
// is left behind), 2 when refused, 128 + the signal when interrupted by
// SIGINT, SIGTERM or SIGHUP (nothing is left behind either).
int runCapture(const CaptureOptions& options);

// "frame_000042.png"
std::string frameFileName(uint64_t frame);

}  // namespace vorlith
