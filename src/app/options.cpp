#include "app/options.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "capture/capture.h"
#include "driver/seek.h"

namespace vorlith {

namespace {

using Mode = Options::Mode;

// Where an option applies.
enum Where : unsigned {
  inShow = 1,     // the window
  inCapture = 2,  // --capture
  inBench = 4,    // --bench
  anywhere = inShow | inCapture | inBench,
};

// One option of the command line: its name, the name of its value (none
// for a flag), where it applies, its lines of --help, and how its value is
// taken into the options. take() is false when the value can't be used;
// the message then says what the option takes (`wants`).
struct OptionRule {
  const char* name;
  const char* value;
  unsigned where;
  std::string help;
  std::string wants;
  bool (*take)(const std::string& text, Options& options);
};

bool parseUnsigned(const std::string& text, uint64_t low, uint64_t high, uint64_t& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 18) return false;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return value >= low && value <= high;
}

template <uint64_t low, uint64_t high, typename T>
bool takeNumber(const std::string& text, T& out) {
  uint64_t number = 0;
  if (!parseUnsigned(text, low, high, number)) return false;
  out = static_cast<T>(number);
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

// The options, in the order --help lists them.
const std::vector<OptionRule>& optionRules() {
  static const std::string end = showEnd().text();
  static const std::vector<OptionRule> rules = {
      {"--assets", "DIR", anywhere,
       "read gfx/ and music/ from DIR (default: the current directory\n"
       "when it holds them, else the pack installed with the program)",
       "a directory", [](const std::string& t, Options& o) { return !(o.assets = t).empty(); }},
      {"--start", "SECONDS", inShow | inCapture,
       "begin this far into the show (0 to " + end + "), with exactly what a\n"
       "whole run shows there; the music follows",
       "seconds from 0 to " + end, [](const std::string& t, Options& o) { return parseStart(t, o.start); }},
      {"--scale", "N", inShow, "window at N times the 320x200 frame (1 to 16)", "a whole number from 1 to 16",
       [](const std::string& t, Options& o) { return takeNumber<1, 16>(t, o.window.scale); }},
      {"--fullscreen", nullptr, inShow, "desktop fullscreen, letterboxed", "",
       [](const std::string&, Options& o) { return o.window.fullscreen = true; }},
      {"--aspect", nullptr, inShow | inCapture, "show the frame at 4:3, as a CRT did (a video: 1600x1200)", "",
       [](const std::string&, Options& o) { return o.window.aspect = true; }},
      {"--mute", nullptr, inShow | inCapture,
       "play without sound (no audio device is opened; a capture\n"
       "without a sound track or audio.wav)",
       "", [](const std::string&, Options& o) { return o.mute = true; }},
      {"--no-dialogs", nullptr, anywhere, "report missing files on stderr instead of in message boxes", "",
       [](const std::string&, Options& o) { return o.noDialogs = true; }},
      {"--capture", "OUT", inCapture,
       "render off-screen on a virtual clock, as fast as the machine can;\n"
       "the extension (any case) says what to make:\n" +
           captureKindsText("") + "\n"
       "videos and FLAC need ffmpeg",
       "an output", [](const std::string& t, Options& o) { return !(o.capture = t).empty(); }},
      {"--fps", "N", inCapture | inBench, "frames per second of a capture (1 to 1000, default 30)",
       "a whole number from 1 to 1000", [](const std::string& t, Options& o) { return takeNumber<1, 1000>(t, o.fps); }},
      {"--until", "SECONDS", inCapture, "end a capture before this show time (more than 0, up to " + end + ")",
       "seconds more than 0, up to " + end,
       [](const std::string& t, Options& o) {
         return ShowSeconds::parse(t, o.until) && !o.until.isZero() && o.until <= showEnd();
       }},
      {"--video-scale", "N", inCapture,
       "a video's pictures at N times 320x200 (1 to 8, default 4, a GIF 2);\n"
       "with --aspect N times 1600x1200 (1 to 2, default 1)",
       "a whole number from 1 to 8",
       [](const std::string& t, Options& o) { return takeNumber<1, 8>(t, o.videoScale); }},
      {"--frames", "LIST", inCapture,
       "write only these frames of a capture (PNG frames or .txt),\n"
       "counted from its first, e.g. 0,5,300",
       "frame numbers separated by commas",
       [](const std::string& t, Options& o) { return parseFrameList(t, o.frames); }},
      {"--replace", nullptr, inCapture,
       "a capture into a directory that holds frames removes them\n"
       "(frame_*.png and audio.wav) first, instead of refusing",
       "", [](const std::string&, Options& o) { return o.replace = true; }},
      {"--bench", nullptr, inBench,
       "play the show headless as fast as possible and print what each\n"
       "scene's frames cost (default 60 fps; --fps N to change)",
       "", [](const std::string&, Options&) { return true; }},
      {"--version", nullptr, anywhere, "print the version", "",
       [](const std::string&, Options& o) { return (o.mode = Mode::version), true; }},
      {"--help", nullptr, anywhere, "print this text", "",
       [](const std::string&, Options& o) { return (o.mode = Mode::help), true; }},
  };
  return rules;
}

const OptionRule* findRule(std::string_view name) {
  if (name == "-h") name = "--help";
  for (const OptionRule& rule : optionRules())
    if (name == rule.name) return &rule;
  return nullptr;
}

// Where a run in the mode is, for the rules (help and version: anywhere).
unsigned whereIn(Mode mode) {
  return mode == Mode::show ? inShow : mode == Mode::capture ? inCapture : mode == Mode::bench ? inBench : anywhere;
}

// "--a", "--a and --b", "--a, --b and --c"
std::string listed(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  return text;
}

// Why an option given for a run in this mode can't apply to it.
std::string misplaced(const OptionRule& rule, Mode mode) {
  if (mode == Mode::bench) {
    std::vector<std::string> takes;
    for (const OptionRule& r : optionRules())
      if ((r.where & inBench) && r.where != inBench && r.where != anywhere) takes.push_back(r.name);
    return "--bench takes only " + listed(takes) + ", --assets and --no-dialogs";
  }
  if (rule.where == inShow) return std::string(rule.name) + " goes with the window, not with --capture";
  return std::string(rule.name) + " goes with --capture" + (rule.where & inBench ? " or --bench" : "");
}

// Refuses the command line for the reason given: false, with it in error.
bool refuse(std::string& error, std::string reason) {
  error = std::move(reason);
  return false;
}

}  // namespace

std::string usageText() {
  std::string text =
      "Usage: vorlith [options]\n"
      "Plays the show in a window; Escape or closing the window ends it.\n"
      "\n";
  constexpr size_t column = 20;
  for (const OptionRule& rule : optionRules()) {
    std::string head = std::string("  ") + rule.name + (rule.value ? std::string(" ") + rule.value : "");
    head.resize(std::max(column, head.size() + 2), ' ');
    size_t begin = 0;
    for (bool first = true; begin <= rule.help.size(); first = false) {
      const size_t end = std::min(rule.help.find('\n', begin), rule.help.size());
      text += (first ? head : std::string(column, ' ')) + rule.help.substr(begin, end - begin) + "\n";
      begin = end + 1;
    }
  }
  text += "An option's value may also follow an equals sign: --start=30.\n";
  return text;
}

std::vector<std::string> optionNames(Mode mode) {
  const unsigned where = whereIn(mode);
  std::vector<std::string> names;
  for (const OptionRule& rule : optionRules())
    if (rule.where & where) names.push_back(rule.name);
  return names;
}

bool parseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
  std::vector<const OptionRule*> given;
  for (int i = 1; i < argc; ++i) {
    std::string_view name = argv[i];
    // --name=value is --name value.
    std::string_view attached;
    bool hasAttached = false;
    if (name.size() > 2 && name.starts_with("--")) {
      const size_t equals = name.find('=');
      if (equals != std::string_view::npos) {
        attached = name.substr(equals + 1);
        name = name.substr(0, equals);
        hasAttached = true;
      }
    }
    const OptionRule* rule = findRule(name);
    if (!rule) return refuse(error, "unknown option '" + std::string(name) + "'");
    std::string text;
    if (!rule->value) {
      if (hasAttached) return refuse(error, std::string(name) + " takes no value");
    } else if (hasAttached) {
      text = attached;
    } else if (i + 1 < argc) {
      text = argv[++i];
    } else {
      return refuse(error, std::string(name) + " needs a value");
    }
    if (!rule->take(text, options))
      return refuse(error, text.empty() ? std::string(name) + " needs " + rule->wants
                                        : std::string(name) + " takes " + rule->wants + ", not '" + text + "'");
    given.push_back(rule);
  }
  if (options.mode == Mode::help || options.mode == Mode::version) return true;
  const auto isGiven = [&](const char* name) { return std::ranges::find(given, findRule(name)) != given.end(); };
  const bool bench = isGiven("--bench");
  options.mode = bench ? Mode::bench : options.capture.empty() ? Mode::show : Mode::capture;
  for (const OptionRule* rule : given)
    if (!(rule->where & whereIn(options.mode))) return refuse(error, misplaced(*rule, options.mode));
  if (bench && !isGiven("--fps")) options.fps = 60;
  if (!options.until.isZero() && options.until <= options.start)
    return refuse(error, "--until must come after --start");
  return true;
}

}  // namespace vorlith
