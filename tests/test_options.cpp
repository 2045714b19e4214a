// The command line: each option, bad values, and the exit status they give.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <vector>

#include "app/options.h"

namespace vorlith {
namespace {

bool parse(std::vector<const char*> args, Options& options, std::string& error) {
  args.insert(args.begin(), "vorlith");
  return parseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(Options, NoOptionsPlayTheShowAsItIs) {
  Options options;
  std::string error;
  ASSERT_TRUE(parse({}, options, error));
  EXPECT_EQ(options.mode, Options::Mode::show);
  EXPECT_TRUE(options.start.isZero());
  EXPECT_FALSE(options.mute);
  EXPECT_EQ(options.window.scale, 0);
}

TEST(Options, EachOptionIsRead) {
  Options options;
  std::string error;
  ASSERT_TRUE(parse({"--assets", "pack", "--start", "12.5", "--scale", "4", "--fullscreen", "--aspect", "--mute",
                     "--no-dialogs"},
                    options, error))
      << error;
  EXPECT_EQ(options.assets, "pack");
  EXPECT_EQ(options.start.text(), "12.5");
  EXPECT_EQ(options.window.scale, 4);
  EXPECT_TRUE(options.window.fullscreen);
  EXPECT_TRUE(options.window.aspect);
  EXPECT_TRUE(options.mute);
  EXPECT_TRUE(options.noDialogs);

  Options capture;
  ASSERT_TRUE(parse({"--capture", "out", "--fps", "10", "--frames", "0,5,5,300", "--start", "160", "--until", "165",
                     "--video-scale", "2"},
                    capture, error))
      << error;
  EXPECT_EQ(capture.until.text(), "165");
  EXPECT_EQ(capture.videoScale, 2);
  EXPECT_EQ(capture.mode, Options::Mode::capture);
  EXPECT_EQ(capture.capture, "out");
  EXPECT_EQ(capture.fps, 10u);
  EXPECT_EQ(capture.frames, (std::set<uint64_t>{0, 5, 300}));

  Options bench;
  ASSERT_TRUE(parse({"--bench"}, bench, error));
  EXPECT_EQ(bench.mode, Options::Mode::bench);
  EXPECT_EQ(bench.fps, 60u);

  Options help, version;
  ASSERT_TRUE(parse({"--help"}, help, error));
  EXPECT_EQ(help.mode, Options::Mode::help);
  ASSERT_TRUE(parse({"--version"}, version, error));
  EXPECT_EQ(version.mode, Options::Mode::version);
}

TEST(Options, BadValuesAreRefusedWithExitStatus2) {
  const std::vector<std::vector<const char*>> bad = {
      {"--scale", "0"},        {"--scale", "17"},      {"--scale", "two"},   {"--scale"},
      {"--start", "-1"},       {"--start", "200"},     {"--start", "1e3"},   {"--start", "nan"},
      {"--capture", "x", "--fps", "0"}, {"--capture", "x", "--frames", "1,,2"}, {"--capture", "x", "--frames", "a"},
      {"--fps", "30"},         {"--bogus"},            {"--assets", ""},
      {"--capture", "x", "--video-scale", "9"}, {"--capture", "x", "--start", "5", "--until", "4"},
      {"--until", "3"},        {"--bench", "--until", "3"},
      {"--replace"},           {"--capture", "x", "--scale", "2"}, {"--capture", "x", "--fullscreen"},
      {"--bench", "--mute"},   {"--bench", "--start", "5"},  {"--bench", "--aspect"},
      {"--capture", "x", "--bench"}, {"--bench", "--capture", "x"},
      {"--mute=yes"},          {"--start="},            {"--fps=30"},
  };
  for (const auto& args : bad) {
    Options options;
    std::string error;
    EXPECT_FALSE(parse(args, options, error)) << args[0];
    EXPECT_FALSE(error.empty());
    std::vector<const char*> argv = args;
    argv.insert(argv.begin(), "vorlith");
    EXPECT_EQ(appMain(static_cast<int>(argv.size()), argv.data()), 2) << args[0];
  }
}

TEST(Options, ValueMayFollowAnEqualsSign) {
  Options options;
  std::string error;
  ASSERT_TRUE(parse({"--capture=out.mp4", "--start=30", "--until=32.5", "--fps=60", "--video-scale=2",
                     "--assets=pack", "--frames=1"},
                    options, error))
      << error;
  EXPECT_EQ(options.capture, "out.mp4");
  EXPECT_EQ(options.start.text(), "30");
  EXPECT_EQ(options.until.text(), "32.5");
  EXPECT_EQ(options.fps, 60u);
  EXPECT_EQ(options.videoScale, 2);
  EXPECT_EQ(options.assets, "pack");
  EXPECT_EQ(options.frames, (std::set<uint64_t>{1}));
  Options flag;
  EXPECT_FALSE(parse({"--aspect=1"}, flag, error));
  EXPECT_EQ(error, "--aspect takes no value");
  EXPECT_FALSE(parse({"--bogus=1"}, flag, error));
  EXPECT_EQ(error, "unknown option '--bogus'");
}

// The range --help states for an option: "(LOW to HIGH" or "(more than
// LOW, up to HIGH", from the option's own line.
std::pair<std::string, std::string> statedRange(const std::string& option) {
  const std::string help = usageText();
  const size_t line = help.find("  " + option + " ");
  EXPECT_NE(line, std::string::npos) << option;
  const size_t open = help.find('(', line);
  const size_t close = help.find_first_of(",)", help.find(" to ", open) + 4);
  const std::string inside = help.substr(open + 1, close - open - 1);
  const size_t to = inside.find(" to ");
  return {inside.substr(0, to), inside.substr(to + 4)};
}

TEST(Options, EveryNumericBoundaryIsWhereHelpSaysItIs) {
  struct Bound {
    std::vector<const char*> context;  // what the option goes with
    const char* option;
    const char* below;                 // just outside the lower end
    const char* low;                   // the lowest accepted
    const char* high;                  // the highest accepted
    const char* above;                 // just outside the upper end
  };
  const Bound bounds[] = {
      {{}, "--start", nullptr, "0", "182.956", "182.9561"},
      {{"--capture", "x"}, "--until", "0", "0.001", "182.956", "182.957"},
      {{}, "--scale", "0", "1", "16", "17"},
      {{"--capture", "x"}, "--fps", "0", "1", "1000", "1001"},
      {{"--capture", "x"}, "--video-scale", "0", "1", "8", "9"},
  };
  for (const Bound& b : bounds) {
    const auto [low, high] = statedRange(b.option);
    if (std::string(b.option) == "--until") {
      EXPECT_NE(std::string(usageText()).find("--until SECONDS   end a capture before this show time (more than 0, up to 182.956)"),
                std::string::npos);
    } else {
      EXPECT_EQ(low, b.low) << b.option;
      EXPECT_EQ(high, b.high) << b.option;
    }
    for (const char* value : {b.below, b.low, b.high, b.above}) {
      if (!value) continue;
      std::vector<const char*> args = b.context;
      args.push_back(b.option);
      args.push_back(value);
      Options options;
      std::string error;
      const bool inside = value == b.low || value == b.high;
      EXPECT_EQ(parse(args, options, error), inside) << b.option << " " << value << ": " << error;
    }
  }
  // The latest start --help names gives the show's last frame.
  Options last;
  std::string error;
  ASSERT_TRUE(parse({"--start", "182.956"}, last, error)) << error;
}

TEST(Options, RefusalsDoNotContradictThemselves) {
  Options options;
  std::string error;
  EXPECT_FALSE(parse({"--capture", "x", "--until", "0"}, options, error));
  EXPECT_EQ(error, "--until takes seconds more than 0, up to 182.956, not '0'");
  EXPECT_FALSE(parse({"--capture", "x", "--start", "10", "--until", "10"}, options, error));
  EXPECT_EQ(error, "--until must come after --start");
}

// The man page's names of options: "\-\-video\-scale" is --video-scale.
std::string manName(const std::string& text) {
  std::string name;
  for (size_t i = 0; i < text.size() && text[i] != ' ' && text[i] != '"'; ++i)
    if (text[i] != '\\') name += text[i];
  return name;
}

TEST(Options, HelpAndTheManPageListWhatTheTableHolds) {
  std::ifstream file(VORLITH_MAN_PAGE);
  ASSERT_TRUE(file) << VORLITH_MAN_PAGE;
  // The synopsis: one block a mode, named by its option; the options section:
  // each option after a .TP.
  std::map<std::string, std::set<std::string>> synopsis;
  std::set<std::string> described;
  std::string line, block, section;
  bool afterTp = false;
  while (std::getline(file, line)) {
    if (line.rfind(".SH ", 0) == 0) section = line.substr(4);
    if (line == ".SY vorlith") block = "show";
    if (section == "SYNOPSIS" && line.rfind(".B ", 0) == 0 && block == "show") block = manName(line.substr(3));
    if (section == "SYNOPSIS" && line.rfind(".OP ", 0) == 0) synopsis[block].insert(manName(line.substr(4)));
    if (section == "OPTIONS" && afterTp) described.insert(manName(line.substr(line.find(' ') + 1)));
    afterTp = line == ".TP";
  }
  const std::vector<std::string> all = optionNames(Options::Mode::help);
  EXPECT_EQ(described, std::set<std::string>(all.begin(), all.end()));
  const std::string help = usageText();
  for (const std::string& name : all) EXPECT_NE(help.find("\n  " + name + " "), std::string::npos) << name;
  // Each mode's synopsis names what applies to it, but for the option that
  // chooses it, --help and --version.
  const std::pair<Options::Mode, const char*> modes[] = {
      {Options::Mode::show, "show"}, {Options::Mode::capture, "--capture"}, {Options::Mode::bench, "--bench"}};
  for (const auto& [mode, name] : modes) {
    std::set<std::string> expected;
    for (const std::string& option : optionNames(mode))
      if (option != name && option != "--help" && option != "--version") expected.insert(option);
    EXPECT_EQ(synopsis[name], expected) << name;
  }
}

}  // namespace
}  // namespace vorlith
