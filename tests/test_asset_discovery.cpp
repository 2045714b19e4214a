// Finding the pack without --assets, and an honest start where there is no
// display or no sound device: the search itself on scratch directories, then
// the program as a user runs it, from directories that hold nothing.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/asset_discovery.h"
#include "platform/asset_files.h"
#include "platform/os.h"
#include "support.h"

namespace vorlith {
namespace {

namespace fs = std::filesystem;
using test::ScratchDirectory;

void makeDirectory(const fs::path& dir) { fs::create_directories(dir); }

TEST(AssetDiscovery, APackIsAFolderWithGfxOrMusic) {
  ScratchDirectory scratch;
  const fs::path dir = scratch.path();
  EXPECT_FALSE(holdsAssetPack(dir));
  std::ofstream(dir / "gfx") << "a file named gfx is no pack";
  EXPECT_FALSE(holdsAssetPack(dir));
  makeDirectory(dir / "music");
  EXPECT_TRUE(holdsAssetPack(dir));
  makeDirectory(dir / "other" / "gfx");
  EXPECT_TRUE(holdsAssetPack(dir / "other"));
  EXPECT_FALSE(holdsAssetPack(dir / "missing"));
  EXPECT_FALSE(holdsAssetPack(""));
}

TEST(AssetDiscovery, BundledPacksLieBesideTheProgram) {
  EXPECT_EQ(bundledPackPlaces("/opt/vorlith/bin/vorlith"),
            (std::vector<fs::path>{"/opt/vorlith/share/vorlith", "/opt/vorlith/bin/assets"}));
  EXPECT_EQ(bundledPackPlaces("/home/me/src/vorlith/build/vorlith"),
            (std::vector<fs::path>{"/home/me/src/vorlith/share/vorlith", "/home/me/src/vorlith/build/assets"}));
  EXPECT_TRUE(bundledPackPlaces("").empty());
}

TEST(AssetDiscovery, WorkingDirectoryFirstThenTheInstallThenTheBuildTree) {
  ScratchDirectory scratch;
  const fs::path root = scratch.path();
  const fs::path here = root / "here";
  const fs::path program = root / "prefix" / "bin" / "vorlith";
  makeDirectory(here);
  makeDirectory(program.parent_path());

  // Nowhere: every place is named, in the order tried, and how to name a pack.
  AssetSearch search = findAssetPack(here, program);
  EXPECT_TRUE(search.found.empty());
  ASSERT_EQ(search.tried.size(), 3u);
  EXPECT_EQ(search.tried[0], here);
  EXPECT_EQ(search.tried[1], root / "prefix" / "share" / "vorlith");
  EXPECT_EQ(search.tried[2], root / "prefix" / "bin" / "assets");
  EXPECT_EQ(noAssetPackMessage(search), "vorlith: no asset pack (gfx/ and music/) in " + here.string() + ", " +
                                            (root / "prefix/share/vorlith").string() + " or " +
                                            (root / "prefix/bin/assets").string() +
                                            "; pass --assets DIR to name one");

  makeDirectory(root / "prefix" / "bin" / "assets" / "gfx");
  EXPECT_EQ(findAssetPack(here, program).found, root / "prefix" / "bin" / "assets");
  makeDirectory(root / "prefix" / "share" / "vorlith" / "music");
  EXPECT_EQ(findAssetPack(here, program).found, root / "prefix" / "share" / "vorlith");
  // A user's own pack in the working directory wins over the one installed.
  makeDirectory(here / "gfx");
  search = findAssetPack(here, program);
  EXPECT_EQ(search.found, here);
  EXPECT_EQ(search.tried.size(), 1u);

  // No program path known: only the working directory is looked at.
  search = findAssetPack(root, "");
  EXPECT_TRUE(search.found.empty());
  EXPECT_EQ(search.tried, std::vector<fs::path>{root});
}

TEST(AssetDiscovery, ProgramPathIsTheRunningFile) {
  const fs::path self = programPath("whatever-argv0-says");
  EXPECT_TRUE(self.is_absolute());
  EXPECT_EQ(self.filename(), "vorlith_tests");
  EXPECT_TRUE(fs::is_regular_file(self));
}

// What a command printed and how it ended.
struct Outcome {
  int status = -1;
  std::string out, err;
  double seconds = 0;
};

Outcome run(const std::string& command) {
  ScratchDirectory logs;
  const std::string out = logs.file("out"), err = logs.file("err");
  const auto begin = std::chrono::steady_clock::now();
  const int raw = std::system((command + " >" + out + " 2>" + err + " </dev/null").c_str());
  Outcome o;
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::stringstream a, b;
  a << std::ifstream(out).rdbuf();
  b << std::ifstream(err).rdbuf();
  o.out = a.str();
  o.err = b.str();
  return o;
}

const std::string program = VORLITH_PROGRAM;

// The capture of frame 50 at 1 fps (the logo, well lit) made with the pack named outright.
std::vector<uint8_t> referenceFrame() {
  static const std::vector<uint8_t> bytes = [] {
    ScratchDirectory out;
    run(program + " --assets " + test::defaultAssets() + " --capture " + out.file("f") + " --fps 1 --frames 50");
    return test::readFile(out.file("f/frame_000050.png"));
  }();
  return bytes;
}

TEST(AssetDiscovery, ACaptureFromAnEmptyDirectoryPlaysTheBuiltPack) {
  ScratchDirectory empty;
  const Outcome o =
      run("cd " + empty.path().string() + " && " + program + " --capture frames --fps 1 --frames 0,50");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err.find("imageLoad"), std::string::npos) << o.err;
  EXPECT_EQ(o.err.find("asset pack"), std::string::npos) << o.err;
  ASSERT_FALSE(referenceFrame().empty());
  EXPECT_EQ(test::readFile(empty.file("frames/frame_000050.png")), referenceFrame());
  // The bench report runs on the same discovery.
  EXPECT_EQ(run("cd " + empty.path().string() + " && " + program + " --bench --fps 5").err, "");
}

TEST(AssetDiscovery, AMovedInstallFindsItsPackFromAnywhereEvenThroughALink) {
  ScratchDirectory scratch;
  const fs::path prefix = scratch.path() / "opt" / "vorlith";
  makeDirectory(prefix / "bin");
  makeDirectory(prefix / "share");
  fs::copy_file(program, prefix / "bin" / "vorlith");
  fs::create_directory_symlink(test::defaultAssets(), prefix / "share" / "vorlith");
  makeDirectory(scratch.path() / "elsewhere");
  makeDirectory(scratch.path() / "links");
  fs::create_symlink(prefix / "bin" / "vorlith", scratch.path() / "links" / "vorlith");

  for (const fs::path& command : {prefix / "bin" / "vorlith", scratch.path() / "links" / "vorlith"}) {
    const Outcome o = run("cd " + (scratch.path() / "elsewhere").string() + " && " + command.string() +
                          " --capture frames --fps 1 --frames 50");
    EXPECT_EQ(o.status, 0) << command;
    EXPECT_EQ(o.err.find("imageLoad"), std::string::npos) << o.err;
    EXPECT_EQ(test::readFile((scratch.path() / "elsewhere" / "frames" / "frame_000050.png").string()),
              referenceFrame());
    fs::remove_all(scratch.path() / "elsewhere" / "frames");
  }
}

TEST(AssetDiscovery, AUsersOwnPackInTheWorkingDirectoryIsUsed) {
  // A pack of one folder and no files: the show reads this one, not the
  // built pack, so every picture and the module are reported missing.
  ScratchDirectory own;
  makeDirectory(own.path() / "gfx");
  const Outcome o = run("cd " + own.path().string() + " && " + program + " --capture f --fps 1 --frames 0");
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.err.find("DUMP imageLoad(): Can't open file -> gfx/vorlith.tga\n"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("Error: Can't play the file\n(error code: 2)\n"), std::string::npos) << o.err;
  EXPECT_EQ(o.err.find("asset pack"), std::string::npos) << o.err;
}

TEST(AssetDiscovery, NoPackAnywhereSaysWhereItLookedThenTheShowsNotices) {
  ScratchDirectory scratch;
  makeDirectory(scratch.path() / "bin");
  makeDirectory(scratch.path() / "run");
  fs::copy_file(program, scratch.path() / "bin" / "vorlith");
  const Outcome o = run("cd " + (scratch.path() / "run").string() + " && ../bin/vorlith --capture f --fps 1 --frames 0");
  EXPECT_EQ(o.status, 0);
  const std::string first = o.err.substr(0, o.err.find('\n'));
  EXPECT_EQ(first, "vorlith: no asset pack (gfx/ and music/) in " + (scratch.path() / "run").string() + ", " +
                       (scratch.path() / "share" / "vorlith").string() + " or " +
                       (scratch.path() / "bin" / "assets").string() + "; pass --assets DIR to name one");
  EXPECT_NE(o.err.find("\nDUMP imageLoad(): Can't open file -> gfx/vorlith.tga\n"), std::string::npos) << o.err;
}

TEST(HonestStart, NoDisplayIsOneMessageAndStatus1WithinASecond) {
  ScratchDirectory empty;
  const std::string bare = "cd " + empty.path().string() + " && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER ";
  // With and without a runtime directory (libwayland speaks up when there is none).
  for (const std::string& setting : {"XDG_RUNTIME_DIR=" + empty.path().string() + " ", std::string("-u XDG_RUNTIME_DIR ")}) {
    const Outcome o = run(bare + setting + program);
    EXPECT_EQ(o.status, 1);
    EXPECT_LT(o.seconds, 3.0);  // about 10 ms when the machine is not busy; the show would take minutes
    EXPECT_EQ(o.err,
              "vorlith: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are unset); use --capture OUT "
              "to render without one\n");
  }
  const Outcome unreachable = run(bare + "DISPLAY=:97 " + program + " --mute");
  EXPECT_EQ(unreachable.status, 1);
  EXPECT_NE(unreachable.err.find("(DISPLAY=:97 can't be reached)"), std::string::npos) << unreachable.err;
  // A capture needs no display at all.
  EXPECT_EQ(run(bare + program + " --capture f --fps 1 --frames 0").status, 0);
}

TEST(HonestStart, AnInvisibleDriverAskedForByNameStillPlays) {
  const Outcome o = run("env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=dummy " + program + " --mute --start 182.9");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "");
}

TEST(HonestStart, NoSoundDeviceKeepsTheNoticeAndPointsAtMute) {
  const Outcome o = run("SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=no-such-driver " + program +
                        " --no-dialogs --start 182.9");
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.err.find("Error: Can't initialize device.\n(error code: 23)\n"), std::string::npos) << o.err;
  size_t hints = 0;
  for (size_t at = o.err.find("--mute"); at != std::string::npos; at = o.err.find("--mute", at + 1)) ++hints;
  EXPECT_EQ(hints, 1u) << o.err;
  EXPECT_NE(o.err.find("vorlith: no sound device could be opened"), std::string::npos) << o.err;
  // Muted, nothing is opened and nothing is said.
  EXPECT_EQ(run("SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=no-such-driver " + program + " --mute --start 182.9").err, "");
}

}  // namespace
}  // namespace vorlith

namespace vorlith {
namespace {

TEST(PackDirectory, GivesEachFileOrWhyNot) {
  test::ScratchDirectory pack;
  test::writeFile(pack.file("gfx/vorlith.tga"), {1, 2, 3});
  test::writeFile(pack.file("gfx/blob_1.tga"), {4, 5});
  std::filesystem::create_directories(pack.file("music/brimtale.it"));  // a directory where a file should be
  // A sparse file just over the limit: refused by its size, never read.
  test::writeFile(pack.file("gfx/the_end.tga"), {});
  std::filesystem::resize_file(pack.file("gfx/the_end.tga"), assetMaxBytes + 1);
  const AssetSource source = packDirectorySource(pack.path());

  const AssetFile logo = source(Asset::logo);
  EXPECT_EQ(logo.status, AssetStatus::ok);
  EXPECT_EQ(logo.bytes, (std::vector<uint8_t>{1, 2, 3}));
  // The show's doubled slash is joined as it is and read as one.
  EXPECT_EQ(source(Asset::blobSprite).bytes, (std::vector<uint8_t>{4, 5}));
  EXPECT_EQ(source(Asset::title).status, AssetStatus::missing);
  EXPECT_EQ(source(Asset::module).status, AssetStatus::unreadable);
  EXPECT_EQ(source(Asset::endPicture).status, AssetStatus::tooLarge);
  EXPECT_TRUE(source(Asset::endPicture).bytes.empty());
}

}  // namespace
}  // namespace vorlith
