// The command line: each option, bad values, and the exit status they give.
#include <gtest/gtest.h>

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
  EXPECT_EQ(options.startMs, 0u);
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
  EXPECT_EQ(options.startMs, 12500u);
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
  EXPECT_EQ(capture.untilMs, 165000u);
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

}  // namespace
}  // namespace vorlith
