#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "driver/seek.h"
#include "platform/sdl_display.h"

namespace vorlith {

struct Options {
  enum class Mode { show, capture, bench, help, version };
  Mode mode = Mode::show;
  std::string assets;          // change to this directory first
  ShowSeconds start;           // begin this far into the show
  ShowSeconds until;           // a capture ends before this show time (0: at the end)
  std::string capture;         // capture output
  int videoScale = 0;          // a video's pictures are this many times the frame (0: the format's own)
  bool replace = false;        // a capture replaces the frames already in its directory
  uint32_t fps = 30;           // capture frame rate
  std::set<uint64_t> frames;   // capture only these frames
  WindowOptions window;
  bool mute = false;
  bool noDialogs = false;      // notices on stderr instead of message boxes
};

// Parses the command line. On a bad option or value, returns false with a
// message naming it in error.
bool parseOptions(int argc, const char* const* argv, Options& options, std::string& error);

// The text of --help, from the table of options.
std::string usageText();

// The names of the options that apply to a run in the mode (every option
// for help and version), in the order --help lists them.
std::vector<std::string> optionNames(Options::Mode mode);

// The whole program: options, then the show in a window or a capture.
int appMain(int argc, const char* const* argv);

}  // namespace vorlith
