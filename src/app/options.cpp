#include "app/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "driver/schedule.h"

namespace vorlith {

namespace {

bool parseUnsigned(const std::string& text, uint64_t low, uint64_t high, uint64_t& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 18) return false;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return value >= low && value <= high;
}

bool parseSeconds(const std::string& text, uint32_t& ms) {
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return false;
  char* end = nullptr;
  errno = 0;
  const double seconds = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(seconds) || seconds < 0 || seconds * 1000 > showLengthMs)
    return false;
  ms = static_cast<uint32_t>(std::lround(seconds * 1000));
  return true;
}

bool parseFrameList(const std::string& text, std::set<uint64_t>& frames) {
  size_t begin = 0;
  while (begin <= text.size()) {
    const size_t comma = text.find(',', begin);
    const std::string item = text.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
    uint64_t frame = 0;
    if (!parseUnsigned(item, 0, 100000000, frame)) return false;
    frames.insert(frame);
    if (comma == std::string::npos) break;
    begin = comma + 1;
  }
  return !frames.empty();
}

}  // namespace

const char* usageText() {
  return "Usage: vorlith [options]\n"
         "Plays the show in a window; Escape or closing the window ends it.\n"
         "\n"
         "  --assets DIR      read gfx/ and music/ from DIR (default: the current directory\n"
         "                    when it holds them, else the pack installed with the program)\n"
         "  --start SECONDS   begin this far into the show (0 to 182.956); the music follows\n"
         "  --scale N         window at N times the 320x200 frame (1 to 16)\n"
         "  --fullscreen      desktop fullscreen, letterboxed\n"
         "  --aspect          show the frame at 4:3, as a CRT did\n"
         "  --mute            play without sound (no audio device is opened)\n"
         "  --no-dialogs      report missing files on stderr instead of in message boxes\n"
         "  --capture OUT     render off-screen on a virtual clock, as fast as the machine can:\n"
         "                    OUT.mp4  a video (H.264 + AAC, needs ffmpeg)\n"
         "                    OUT.wav  the sound alone\n"
         "                    OUT      a directory of frame_NNNNNN.png files and audio.wav\n"
         "  --fps N           frames per second of a capture (1 to 1000, default 30)\n"
         "  --until SECONDS   end a capture before this show time\n"
         "  --video-scale N   a video's pictures at N times 320x200 (1 to 8, default 4)\n"
         "  --frames LIST     write only these frames of a capture, e.g. 0,5,300\n"
         "  --bench           play the show headless as fast as possible and print what each\n"
         "                    scene's frames cost (default 60 fps; --fps N to change)\n"
         "  --version         print the version\n"
         "  --help            print this text\n";
}

bool parseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
  bool fpsGiven = false;
  bool untilGiven = false;
  bool videoScaleGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = std::string(name) + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string text;
    uint64_t number = 0;
    if (name == "--help" || name == "-h") {
      options.mode = Options::Mode::help;
    } else if (name == "--version") {
      options.mode = Options::Mode::version;
    } else if (name == "--bench") {
      if (options.mode == Options::Mode::show) options.mode = Options::Mode::bench;
    } else if (name == "--fullscreen") {
      options.window.fullscreen = true;
    } else if (name == "--aspect") {
      options.window.aspect = true;
    } else if (name == "--mute") {
      options.mute = true;
    } else if (name == "--no-dialogs") {
      options.noDialogs = true;
    } else if (name == "--assets") {
      if (!value(options.assets)) return false;
      if (options.assets.empty()) {
        error = "--assets needs a directory";
        return false;
      }
    } else if (name == "--start") {
      if (!value(text)) return false;
      if (!parseSeconds(text, options.startMs)) {
        error = "--start takes seconds from 0 to 182.956, not '" + text + "'";
        return false;
      }
    } else if (name == "--until") {
      if (!value(text)) return false;
      if (!parseSeconds(text, options.untilMs) || options.untilMs == 0) {
        error = "--until takes seconds from 0 to 182.956, not '" + text + "'";
        return false;
      }
      untilGiven = true;
    } else if (name == "--video-scale") {
      if (!value(text)) return false;
      if (!parseUnsigned(text, 1, 8, number)) {
        error = "--video-scale takes a whole number from 1 to 8, not '" + text + "'";
        return false;
      }
      options.videoScale = static_cast<int>(number);
      videoScaleGiven = true;
    } else if (name == "--scale") {
      if (!value(text)) return false;
      if (!parseUnsigned(text, 1, 16, number)) {
        error = "--scale takes a whole number from 1 to 16, not '" + text + "'";
        return false;
      }
      options.window.scale = static_cast<int>(number);
    } else if (name == "--capture") {
      if (!value(options.capture)) return false;
      if (options.capture.empty()) {
        error = "--capture needs an output";
        return false;
      }
      if (options.mode == Options::Mode::show) options.mode = Options::Mode::capture;
    } else if (name == "--fps") {
      if (!value(text)) return false;
      if (!parseUnsigned(text, 1, 1000, number)) {
        error = "--fps takes a whole number from 1 to 1000, not '" + text + "'";
        return false;
      }
      options.fps = static_cast<uint32_t>(number);
      fpsGiven = true;
    } else if (name == "--frames") {
      if (!value(text)) return false;
      if (!parseFrameList(text, options.frames)) {
        error = "--frames takes frame numbers separated by commas, not '" + text + "'";
        return false;
      }
    } else {
      error = "unknown option '" + std::string(name) + "'";
      return false;
    }
  }
  if (options.mode == Options::Mode::show && (fpsGiven || untilGiven || videoScaleGiven || !options.frames.empty())) {
    error = "--fps, --until, --video-scale and --frames go with --capture";
    return false;
  }
  if (options.mode == Options::Mode::bench) {
    if (!options.capture.empty() || untilGiven || videoScaleGiven || !options.frames.empty()) {
      error = "--bench takes only --fps and --assets";
      return false;
    }
    if (!fpsGiven) options.fps = 60;
  }
  if (untilGiven && options.untilMs <= options.startMs) {
    error = "--until must come after --start";
    return false;
  }
  return true;
}

}  // namespace vorlith
