#include "app/options.h"

#include <cstdlib>
#include <string_view>

#include "driver/seek.h"

namespace vorlith {

namespace {

bool parseUnsigned(const std::string& text, uint64_t low, uint64_t high, uint64_t& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 18) return false;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return value >= low && value <= high;
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
         "  --start SECONDS   begin this far into the show (0 to 182.956), with exactly what a\n"
         "                    whole run shows there; the music follows\n"
         "  --scale N         window at N times the 320x200 frame (1 to 16)\n"
         "  --fullscreen      desktop fullscreen, letterboxed\n"
         "  --aspect          show the frame at 4:3, as a CRT did (a video: 1600x1200)\n"
         "  --mute            play without sound (no audio device is opened; a capture\n"
         "                    without a sound track or audio.wav)\n"
         "  --no-dialogs      report missing files on stderr instead of in message boxes\n"
         "  --capture OUT     render off-screen on a virtual clock, as fast as the machine can;\n"
         "                    the extension (any case) says what to make:\n"
         "                    OUT.mp4   a video to play anywhere (H.264 + AAC)\n"
         "                    OUT.mkv   an archival video, lossless (FFV1 + FLAC)\n"
         "                    OUT.webm  a video for the web (VP9 + Opus)\n"
         "                    OUT.gif   a clip to share (at most 30 s and 50 fps, no sound)\n"
         "                    OUT.wav   the sound alone; OUT.flac the same, compressed\n"
         "                    OUT.txt   one line per frame: its index and its digest\n"
         "                    OUT       (no extension, or ending in /) a directory of\n"
         "                              frame_NNNNNN.png files and audio.wav\n"
         "                    videos and FLAC need ffmpeg\n"
         "  --fps N           frames per second of a capture (1 to 1000, default 30)\n"
         "  --until SECONDS   end a capture before this show time (more than 0, up to 182.956)\n"
         "  --video-scale N   a video's pictures at N times 320x200 (1 to 8, default 4, a GIF 2);\n"
         "                    with --aspect N times 1600x1200 (1 to 2, default 1)\n"
         "  --frames LIST     write only these frames of a capture (PNG frames or .txt),\n"
         "                    counted from its first, e.g. 0,5,300\n"
         "  --replace         a capture into a directory that holds frames removes them\n"
         "                    (frame_*.png and audio.wav) first, instead of refusing\n"
         "  --bench           play the show headless as fast as possible and print what each\n"
         "                    scene's frames cost (default 60 fps; --fps N to change)\n"
         "  --version         print the version\n"
         "  --help            print this text\n"
         "An option's value may also follow an equals sign: --start=30.\n";
}

bool parseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
  bool fpsGiven = false;
  bool untilGiven = false;
  bool startGiven = false;
  bool benchGiven = false;
  bool windowGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view name = argv[i];
    // --name=value is --name value.
    std::string_view attached;
    bool hasAttached = false;
    if (name.size() > 2 && name.substr(0, 2) == "--") {
      const size_t equals = name.find('=');
      if (equals != std::string_view::npos) {
        attached = name.substr(equals + 1);
        name = name.substr(0, equals);
        hasAttached = true;
      }
    }
    auto value = [&](std::string& out) {
      if (hasAttached) {
        out = std::string(attached);
        return true;
      }
      if (i + 1 >= argc) {
        error = std::string(name) + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    auto flag = [&] {
      if (hasAttached) error = std::string(name) + " takes no value";
      return !hasAttached;
    };
    std::string text;
    uint64_t number = 0;
    if (name == "--help" || name == "-h") {
      if (!flag()) return false;
      options.mode = Options::Mode::help;
    } else if (name == "--version") {
      if (!flag()) return false;
      options.mode = Options::Mode::version;
    } else if (name == "--bench") {
      if (!flag()) return false;
      benchGiven = true;
      if (options.mode == Options::Mode::show) options.mode = Options::Mode::bench;
    } else if (name == "--fullscreen") {
      if (!flag()) return false;
      options.window.fullscreen = true;
      windowGiven = true;
    } else if (name == "--aspect") {
      if (!flag()) return false;
      options.window.aspect = true;
    } else if (name == "--mute") {
      if (!flag()) return false;
      options.mute = true;
    } else if (name == "--no-dialogs") {
      if (!flag()) return false;
      options.noDialogs = true;
    } else if (name == "--replace") {
      if (!flag()) return false;
      options.replace = true;
    } else if (name == "--assets") {
      if (!value(options.assets)) return false;
      if (options.assets.empty()) {
        error = "--assets needs a directory";
        return false;
      }
    } else if (name == "--start") {
      if (!value(text)) return false;
      if (!parseStart(text, options.start)) {
        error = "--start takes seconds from 0 to 182.956, not '" + text + "'";
        return false;
      }
      startGiven = true;
    } else if (name == "--until") {
      if (!value(text)) return false;
      if (!ShowSeconds::parse(text, options.until) || options.until.isZero() || options.until > showEnd()) {
        error = "--until takes seconds more than 0, up to 182.956, not '" + text + "'";
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
    } else if (name == "--scale") {
      if (!value(text)) return false;
      if (!parseUnsigned(text, 1, 16, number)) {
        error = "--scale takes a whole number from 1 to 16, not '" + text + "'";
        return false;
      }
      options.window.scale = static_cast<int>(number);
      windowGiven = true;
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
  const bool captureOnly = untilGiven || options.videoScale > 0 || !options.frames.empty() || options.replace;
  if (options.mode == Options::Mode::show && (fpsGiven || captureOnly)) {
    error = "--fps, --until, --video-scale, --frames and --replace go with --capture";
    return false;
  }
  if (benchGiven && (options.mode == Options::Mode::bench || options.mode == Options::Mode::capture)) {
    if (!options.capture.empty() || captureOnly || startGiven || windowGiven || options.window.aspect ||
        options.mute) {
      error = "--bench takes only --fps and --assets";
      return false;
    }
    if (!fpsGiven) options.fps = 60;
  }
  if (options.mode == Options::Mode::capture && windowGiven) {
    error = "--scale and --fullscreen go with the window, not with --capture";
    return false;
  }
  if (untilGiven && options.until <= options.start) {
    error = "--until must come after --start";
    return false;
  }
  return true;
}

}  // namespace vorlith
