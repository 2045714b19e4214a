// Exports as a user makes them, through the program itself: what each
// extension makes, options that are refused rather than ignored, PNG
// directories that never mix two runs, a full disk, signals in the middle of
// an export, and the files ffmpeg makes checked with ffprobe.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "capture/capture.h"
#include "capture/video_export.h"
#include "image/frame_digest.h"
#include "support.h"

extern char** environ;

namespace vorlith {
namespace {

namespace fs = std::filesystem;
using test::ScratchDirectory;

// The program started as a child in a working directory, its output going
// to files in a directory of their own (so logs never count as leftovers).
struct Child {
  ScratchDirectory logs;
  pid_t pid = -1;

  // With ownGroup it leads a process group of its own, as a terminal's
  // foreground job does.
  Child(const std::vector<std::string>& args, const std::string& dir, bool ownGroup = false) {
    std::vector<std::string> all = {VORLITH_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, logs.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, logs.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (ownGroup) {
      posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
      posix_spawnattr_setpgroup(&attributes, 0);
    }
    if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  ~Child() {
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      wait();
    }
  }
  // Waits for it; its exit status, or 128 + the signal that ended it.
  int wait() {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  std::string stdoutText() const { return text(logs.file("out")); }
  std::string stderrText() const { return text(logs.file("err")); }
  static std::string text(const std::string& path) {
    const auto bytes = test::readFile(path);
    return {bytes.begin(), bytes.end()};
  }
};

// Runs the program to its end, in dir (outputs named by absolute paths
// don't care where).
struct Outcome {
  int status = -1;
  std::string out, err;
};
Outcome run(const std::vector<std::string>& args, const std::string& dir = "/") {
  Child child(args, dir);
  Outcome r;
  r.status = child.wait();
  r.out = child.stdoutText();
  r.err = child.stderrText();
  return r;
}

// Names in a directory, dot files included, sorted.
std::vector<std::string> listing(const fs::path& dir) {
  std::vector<std::string> names;
  std::error_code failure;
  for (fs::directory_iterator it(dir, failure), end; !failure && it != end; it.increment(failure))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Processes whose command line mentions text.
std::vector<std::string> processesMentioning(const std::string& text) {
  std::vector<std::string> found;
  std::error_code failure;
  for (fs::directory_iterator it("/proc", failure), end; !failure && it != end; it.increment(failure)) {
    // A process that ends while it is read fails the read (ESRCH): it is gone.
    std::vector<uint8_t> bytes;
    try {
      bytes = test::readFile((it->path() / "cmdline").string());
    } catch (const std::exception&) {
      continue;
    }
    std::string line(bytes.begin(), bytes.end());
    std::replace(line.begin(), line.end(), '\0', ' ');
    if (line.find(text) != std::string::npos) found.push_back(it->path().filename().string() + ": " + line);
  }
  return found;
}

using test::shell;

bool haveFfmpeg() { return !findOnPath("ffmpeg").empty() && !findOnPath("ffprobe").empty(); }

std::string probe(const std::string& entries, const std::string& file) {
  int status = 0;
  return shell("ffprobe -v error -show_entries " + entries + " -of csv=p=0 '" + file + "'", status);
}

const std::string assets = test::defaultAssets();

TEST(Export, KindComesFromTheExtensionInAnyCase) {
  EXPECT_EQ(captureKind("a/show.MP4"), CaptureKind::mp4);
  EXPECT_EQ(captureKind("show.Mkv"), CaptureKind::mkv);
  EXPECT_EQ(captureKind("show.webm"), CaptureKind::webm);
  EXPECT_EQ(captureKind("clip.GIF"), CaptureKind::gif);
  EXPECT_EQ(captureKind("song.wav"), CaptureKind::wav);
  EXPECT_EQ(captureKind("song.FLAC"), CaptureKind::flac);
  EXPECT_EQ(captureKind("digests.txt"), CaptureKind::digests);
  EXPECT_EQ(captureKind("shots"), CaptureKind::pictures);
  EXPECT_EQ(captureKind("shots.v2/"), CaptureKind::pictures);
  EXPECT_EQ(captureKind(".hidden"), CaptureKind::pictures);
  EXPECT_EQ(captureKind("show.avi"), CaptureKind::unknown);
  EXPECT_EQ(captureKind("shots.v2"), CaptureKind::unknown);
}

TEST(Export, OptionsThatCannotApplyAreRefusedBeforeAnyWork) {
  // Each is refused with status 2 and a message, and nothing is made.
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const Case cases[] = {
      {{"--capture", "x.mp4", "--frames", "0,5"}, "--frames goes with PNG frames"},
      {{"--capture", "x.wav", "--frames", "1"}, "--frames goes with PNG frames"},
      {{"--capture", "x.avi"}, ".avi is not a kind it knows"},
      {{"--capture", "x.MOV"}, "OUT.mkv   an archival video"},
      {{"--capture", "x.gif"}, "a GIF holds at most 30 seconds and this one would last 183.000 s"},
      {{"--capture", "x.gif", "--start", "10", "--until", "40.1"}, "at most 30 seconds"},
      {{"--capture", "x.gif", "--until", "5", "--fps", "60"}, "a GIF shows at most 50 frames a second"},
      {{"--capture", "shots", "--aspect"}, "--aspect goes with a video"},
      {{"--capture", "d.txt", "--video-scale", "2"}, "--video-scale goes with a video"},
      {{"--capture", "x.mp4", "--aspect", "--video-scale", "3"}, "--video-scale with --aspect takes 1 or 2"},
      {{"--capture", "x.wav", "--mute"}, "--mute can't apply to a .wav file"},
      {{"--capture", "x.flac", "--mute"}, "--mute can't apply to a .flac file"},
      {{"--capture", "x.mp4", "--start", "1", "--until", "1.01"}, "less than a frame apart at 30 fps"},
      {{"--capture", "shots", "--until", "1", "--frames", "30"}, "--frames 30 is past the last frame of this capture (29)"},
  };
  for (const Case& c : cases) {
    ScratchDirectory out;
    // The output goes into the scratch directory.
    std::vector<std::string> args = {"--assets", assets};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args[3] = out.file(args[3]);
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 2) << c.args[1] << " " << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_TRUE(listing(out.path()).empty()) << c.args[1];
  }
}

TEST(Export, PngDirectoryNeverMixesTwoRuns) {
  ScratchDirectory out;
  const std::string dir = out.file("shots");
  Outcome r = run({"--assets", assets, "--capture", dir, "--fps", "10", "--frames", "0,3"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(listing(dir), (std::vector<std::string>{"frame_000000.png", "frame_000003.png"}));
  EXPECT_NE(r.err.find("2 frames written to " + dir), std::string::npos) << r.err;
  std::ofstream(out.file("shots/notes.txt")) << "mine";
  const auto before = test::readFile(out.file("shots/frame_000003.png"));

  // A second run into it is refused and changes nothing.
  r = run({"--assets", assets, "--capture", dir, "--fps", "10", "--start", "1", "--frames", "0"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("already holds a capture"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--replace"), std::string::npos) << r.err;
  EXPECT_EQ(listing(dir), (std::vector<std::string>{"frame_000000.png", "frame_000003.png", "notes.txt"}));
  EXPECT_EQ(test::readFile(out.file("shots/frame_000003.png")), before);

  // With --replace the earlier set goes first, whole; other files stay.
  r = run({"--assets", assets, "--capture", dir, "--fps", "10", "--start", "1", "--until", "1.2", "--replace"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(listing(dir),
            (std::vector<std::string>{"audio.wav", "frame_000000.png", "frame_000001.png", "notes.txt"}));
  EXPECT_NE(r.err.find("2 frames and audio.wav written"), std::string::npos) << r.err;

  // --mute: frames without audio.wav.
  r = run({"--assets", assets, "--capture", out.file("quiet"), "--fps", "10", "--until", "0.2", "--mute"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(listing(out.file("quiet")), (std::vector<std::string>{"frame_000000.png", "frame_000001.png"}));
}

TEST(Export, AnExistingDirectoryTakesFramesWhateverItsName) {
  // A name that would otherwise be refused (.v2) or make a video (.mp4):
  // being a directory already says what the user wants.
  ScratchDirectory here;
  for (const char* name : {"shots.v2", "clip.mp4"}) {
    fs::create_directory(here.file(name));
    const Outcome r = run({"--assets", assets, "--capture", name, "--fps", "10", "--until", "0.2"}, here.path().string());
    ASSERT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_EQ(listing(here.file(name)), (std::vector<std::string>{"audio.wav", "frame_000000.png", "frame_000001.png"}))
        << name;
  }
  // So it takes what PNG frames take, and refuses what they refuse.
  const Outcome refused = run({"--assets", assets, "--capture", "clip.mp4", "--video-scale", "2"}, here.path().string());
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("--video-scale goes with a video (.mp4, .mkv, .webm, .gif), not with PNG frames"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(captureKind(here.file("shots.v2")), CaptureKind::pictures);
}

TEST(Export, DigestListHasALinePerPresentedFrame) {
  ScratchDirectory out;
  const std::string list = out.file("digests.txt");
  const Outcome r = run({"--assets", assets, "--capture", list, "--fps", "10", "--start", "100", "--until", "101"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("10 frame digests written to " + list), std::string::npos) << r.err;
  const std::string text = Child::text(list);
  // The same frames as PNG files: the line of frame k is the digest of its pixels.
  const std::string dir = out.file("frames");
  ASSERT_EQ(run({"--assets", assets, "--capture", dir, "--fps", "10", "--start", "100", "--until", "101"}).status, 0);
  std::string expected;
  for (int k = 0; k < 10; ++k) {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    ASSERT_TRUE(test::readPng(dir + "/" + frameFileName(k), pixels, width, height));
    char line[48];
    std::snprintf(line, sizeof line, "%d %016llx\n", k, static_cast<unsigned long long>(frameRgbDigest(pixels.data())));
    expected += line;
  }
  EXPECT_EQ(text, expected);
  EXPECT_EQ(listing(out.path()), (std::vector<std::string>{"digests.txt", "frames"}));
}

TEST(Export, EverySuccessSaysWhatWasWrittenWhere) {
  ScratchDirectory out;
  const Outcome sound = run({"--assets", assets, "--capture", out.file("part.wav"), "--start", "3", "--until", "4.5"});
  ASSERT_EQ(sound.status, 0) << sound.err;
  EXPECT_NE(sound.err.find("1.500 s of sound written to " + out.file("part.wav")), std::string::npos) << sound.err;
  EXPECT_EQ(test::readFile(out.file("part.wav")).size(), 44u + 4u * 66150u);
}

TEST(Export, RelativeCaptureIsWrittenWhereTheProgramWasStarted) {
  // Both paths relative: the pack is read from its directory, the capture is
  // written in the directory the program was started in.
  ScratchDirectory here;
  fs::create_directory_symlink(assets, here.file("pack"));
  for (const char* name : {"shots", "clip.txt", "song.wav"}) {
    const Outcome r = run({"--assets", "pack", "--capture", name, "--fps", "10", "--until", "0.3"}, here.path().string());
    ASSERT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_TRUE(fs::exists(here.file(name))) << name;
    EXPECT_FALSE(fs::exists(fs::path(assets) / name)) << name << " went into the asset directory";
  }
}

TEST(Export, BenchWithoutAPackSaysItTimesAnEmptyShow) {
  // (Named with --assets: left to itself the program finds the build's pack.)
  ScratchDirectory empty;
  const Outcome r = run({"--assets", empty.path().string(), "--bench", "--fps", "2"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("timing an empty show"), std::string::npos) << r.out;
  const Outcome real = run({"--assets", assets, "--bench", "--fps", "2"});
  EXPECT_EQ(real.out.find("empty show"), std::string::npos) << real.out;
}

// A small tmpfs mounted for the test's lifetime (root only).
struct SmallDisk {
  ScratchDirectory point;
  bool mounted = false;
  std::string why;
  SmallDisk() {
    if (::mount("tmpfs", point.path().c_str(), "tmpfs", 0, "size=3m") == 0)
      mounted = true;
    else
      why = std::string("can't mount a 3 MB tmpfs here: ") + std::strerror(errno);
  }
  ~SmallDisk() {
    if (mounted) ::umount2(point.path().c_str(), MNT_DETACH);
  }
};

TEST(Export, FullDiskFailsNamingTheFileAndLeavesNothing) {
  SmallDisk disk;
  if (!disk.mounted) GTEST_SKIP() << disk.why;
  struct Case {
    std::vector<std::string> args;
    std::string names;
    bool needsFfmpeg;
    size_t leaveFree;  // bytes left free by a filler file (0: the whole disk)
  };
  const std::string d = disk.point.path().string();
  const Case cases[] = {
      {{"--capture", d + "/shots", "--fps", "30"}, d + "/shots/frame_0", false, 0},
      {{"--capture", d + "/song.wav"}, d + "/song.wav", false, 0},
      {{"--capture", d + "/digests.txt"}, d + "/digests.txt", false, 64 * 1024},  // 130 kB of lines
      {{"--capture", d + "/show.mp4", "--start", "100", "--until", "110"}, d + "/show.mp4", true, 0},
      {{"--capture", d + "/show.mkv", "--start", "100", "--until", "110"}, d + "/show.mkv", true, 0},
  };
  for (const Case& c : cases) {
    if (c.needsFfmpeg && !haveFfmpeg()) continue;
    const std::string filler = d + "/filler";
    if (c.leaveFree) {
      std::ofstream(filler, std::ios::binary) << std::string(3 * 1024 * 1024 - c.leaveFree, 'x');
      ASSERT_TRUE(fs::exists(filler));
    }
    std::vector<std::string> args = {"--assets", assets};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 1) << c.args[1];
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("can't write " + c.names), std::string::npos) << r.err;
    fs::remove(filler);
    EXPECT_TRUE(listing(d).empty()) << c.args[1] << " left files behind";
  }
}

// Starts an export, waits until the file named by `mark` (with the child's
// pid in it) appears, sends the signal, and checks what is left.
void interruptExport(const std::vector<std::string>& extra, const std::string& output, const std::string& mark,
                     int signal, bool toGroup) {
  ScratchDirectory out;
  std::vector<std::string> args = {"--assets", assets, "--capture", out.file(output)};
  args.insert(args.end(), extra.begin(), extra.end());
  Child child(args, "/", toGroup);
  ASSERT_GT(child.pid, 0);
  std::string temporary = mark;
  if (const size_t at = mark.find("PID"); at != std::string::npos) temporary.replace(at, 3, std::to_string(child.pid));
  // A GIF's file appears only after its palette pass, which a busy machine
  // can stretch to minutes.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(240);
  while (!fs::exists(out.file(temporary)) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(fs::exists(out.file(temporary))) << "the export did not begin: " << child.stderrText();
  ::kill(toGroup ? -child.pid : child.pid, signal);
  const int status = child.wait();
  EXPECT_EQ(status, 128 + signal) << strsignal(signal) << (toGroup ? " to the group" : "");
  EXPECT_NE(child.stderrText().find("interrupted"), std::string::npos) << child.stderrText();
  EXPECT_EQ(child.stderrText().find("ffmpeg failed"), std::string::npos) << child.stderrText();
  EXPECT_TRUE(listing(out.path()).empty()) << output << ": something was left after " << strsignal(signal);
  // No encoder goes on writing after the program has gone.
  const std::string pidMark = ".partial-" + std::to_string(child.pid);
  EXPECT_TRUE(processesMentioning(pidMark).empty()) << processesMentioning(pidMark)[0];
}

TEST(Export, SignalsStopTheEncoderAndRemoveEveryTemporaryFile) {
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/setup.sh installs it)";
  interruptExport({}, "show.mp4", ".show.partial-PID.mp4", SIGINT, false);
  interruptExport({}, "show.mp4", ".show.partial-PID.mp4", SIGINT, true);  // Ctrl-C at a terminal
  interruptExport({}, "show.mp4", ".show.partial-PID.mp4", SIGTERM, false);
  interruptExport({}, "show.mp4", ".show.partial-PID.mp4", SIGHUP, false);
  interruptExport({"--until", "20"}, "clip.gif", ".clip.partial-PID.gif", SIGTERM, false);
}

TEST(Export, SignalsDuringAPngCaptureLeaveNothing) {
  interruptExport({"--fps", "60"}, "shots", "shots/frame_000030.png", SIGTERM, false);
  interruptExport({"--fps", "60"}, "shots", "shots/frame_000030.png", SIGINT, true);
}

TEST(Export, VideosCarryTheirSizeSoundAndColourTags) {
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/setup.sh installs it)";
  ScratchDirectory out;
  // 4:3 of whole 5x6 blocks, no sound track under --mute.
  const std::string video = out.file("crt.MP4");
  Outcome r = run({"--assets", assets, "--capture", video, "--start", "30", "--until", "30.5", "--aspect", "--mute"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(probe("stream=codec_type,codec_name,width,height,color_space,color_transfer,color_primaries,color_range",
                  video),
            "h264,video,1600,1200,tv,bt709,bt709,bt709\n");
  r = run({"--assets", assets, "--capture", out.file("big.mp4"), "--start", "30", "--until", "30.1", "--aspect",
           "--video-scale", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(probe("stream=codec_type,width,height", out.file("big.mp4")), "video,3200,2400\naudio\n");

  const std::string web = out.file("clip.webm");
  r = run({"--assets", assets, "--capture", web, "--start", "12", "--until", "12.5", "--video-scale", "1"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(probe("stream=codec_name,width,height,color_space,color_primaries", web),
            "vp9,320,200,bt709,bt709\nopus\n");

  const std::string gif = out.file("clip.gif");
  r = run({"--assets", assets, "--capture", gif, "--start", "12", "--until", "13", "--fps", "25"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(probe("stream=codec_name,width,height", gif), "gif,640,400\n");
  int status = 0;
  EXPECT_EQ(shell("ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 " + gif, status),
            "25\n");

  const std::string flac = out.file("song.flac");
  r = run({"--assets", assets, "--capture", flac, "--start", "60", "--until", "62"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(probe("stream=codec_name,sample_rate,channels,duration_ts", flac), "flac,44100,2,88200\n");
  EXPECT_NE(r.err.find("2.000 s of sound written"), std::string::npos) << r.err;
  // Nothing but the outputs.
  EXPECT_EQ(listing(out.path()),
            (std::vector<std::string>{"big.mp4", "clip.gif", "clip.webm", "crt.MP4", "song.flac"}));
}

TEST(Export, OddNamesAreTakenLiterally) {
  // Not an option, a protocol or an image sequence pattern to ffmpeg.
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/setup.sh installs it)";
  ScratchDirectory out;
  const std::vector<std::string> names = {"-x.flac", "a b:c%d.mp4", "g%03d:y.gif"};
  for (const std::string& name : names) {
    std::vector<std::string> args = {"--assets", assets, "--capture", out.file(name), "--until", "0.2"};
    if (name != "-x.flac") args.insert(args.end(), {"--video-scale", "1"});
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
  }
  EXPECT_EQ(listing(out.path()), (std::vector<std::string>{"-x.flac", "a b:c%d.mp4", "g%03d:y.gif"}));
}

TEST(Export, ArchivalVideoDecodesToThePngFramesBitForBit) {
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/setup.sh installs it)";
  ScratchDirectory out;
  const std::string video = out.file("show.mkv"), frames = out.file("frames");
  // The end of the cube, the change into the ribbons, and their first frames.
  const std::vector<std::string> span = {"--start", "54.9", "--until", "55.6", "--fps", "30"};
  std::vector<std::string> args = {"--assets", assets, "--capture", video, "--video-scale", "1"};
  args.insert(args.end(), span.begin(), span.end());
  ASSERT_EQ(run(args).status, 0);
  args = {"--assets", assets, "--capture", frames};
  args.insert(args.end(), span.begin(), span.end());
  ASSERT_EQ(run(args).status, 0);
  EXPECT_EQ(probe("stream=codec_name,pix_fmt,color_space,color_primaries,color_range", video),
            "ffv1,bgr0,pc,gbr,bt709\nflac\n");
  int status = 0;
  shell("ffmpeg -v error -i " + video + " -f rawvideo -pix_fmt bgr0 " + out.file("decoded.raw"), status);
  ASSERT_EQ(status, 0);
  const auto decoded = test::readFile(out.file("decoded.raw"));
  ASSERT_EQ(decoded.size(), 21u * framePixels * 4);
  for (int k = 0; k < 21; ++k) {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    ASSERT_TRUE(test::readPng(frames + "/" + frameFileName(k), pixels, width, height));
    std::vector<uint32_t> picture(framePixels);
    std::memcpy(picture.data(), decoded.data() + static_cast<size_t>(k) * framePixels * 4, framePixels * 4);
    for (uint32_t& p : picture) p &= 0x00FFFFFF;
    EXPECT_EQ(picture, pixels) << "frame " << k;
  }
}

TEST(Export, VideoPicturesAreConvertedWithTheMatrixTheirTagsName) {
  // Pure red through the H.264 pipeline: BT.709 at studio range gives Y 63,
  // Cb 102, Cr 240 (BT.601 would give 81, 90, 240).
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/setup.sh installs it)";
  ScratchDirectory out;
  EncodeJob job;
  job.output = out.file("red.mp4");
  Encoder encoder;
  std::string error;
  ASSERT_TRUE(encoder.start(findOnPath("ffmpeg"), encoderArguments(job), error)) << error;
  const std::vector<uint32_t> red(framePixels, 0xFF0000);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(encoder.write(red.data(), red.size() * 4));
  ASSERT_TRUE(encoder.finish(error)) << error;
  int status = 0;
  shell("ffmpeg -v error -i " + job.output + " -frames:v 1 -f rawvideo -pix_fmt yuv420p " + out.file("red.yuv"),
        status);
  const auto yuv = test::readFile(out.file("red.yuv"));
  ASSERT_EQ(yuv.size(), static_cast<size_t>(framePixels) * 3 / 2);
  EXPECT_NEAR(yuv[framePixels / 2 + 160], 63, 1);
  EXPECT_NEAR(yuv[framePixels + 100 * 160 / 2], 102, 1);
  EXPECT_NEAR(yuv[framePixels * 5 / 4 + 100 * 160 / 2], 240, 1);
}

TEST(Export, EncoderFailuresGiveTheSystemsReason) {
  EXPECT_EQ(encoderFailure("[mp4 @ 0x5] Error writing trailer of /tmp/x/.show.partial-1.mp4: No space left on device\n", 1),
            "No space left on device");
  EXPECT_EQ(encoderFailure("av_interleaved_write_frame(): Permission denied\n", 1), "Permission denied");
  EXPECT_EQ(encoderFailure("first\nUnknown encoder 'libx264'\n\n", 1), "ffmpeg failed (status 1): Unknown encoder 'libx264'");
  EXPECT_EQ(encoderFailure("", 255), "ffmpeg failed (status 255)");
  // A failing encoder's messages reach the reason.
  Encoder encoder;
  std::string error;
  ASSERT_TRUE(encoder.start("/bin/sh", {"-c", "echo 'cannot open: No such file or directory' >&2; exit 3"}, error));
  EXPECT_FALSE(encoder.finish(error));
  EXPECT_EQ(error, "No such file or directory");
}

TEST(Export, AnEncoderThatStopsReadingFailsTheWriteAndLeavesSigpipeAlone) {
  // The program's SIGPIPE is whatever it was given: a write to an encoder
  // that has gone fails with the encoder's own reason, and no signal comes
  // afterwards either (a SIGPIPE caught up only later would kill it).
  struct sigaction standard = {}, before = {}, after = {};
  standard.sa_handler = SIG_DFL;
  ASSERT_EQ(::sigaction(SIGPIPE, &standard, &before), 0);
  Encoder encoder;
  std::string error;
  ASSERT_TRUE(encoder.start("/bin/sh", {"-c", "exec 0<&-; echo 'gone: Disk quota exceeded' >&2; exit 1"}, error));
  const std::vector<uint32_t> frame(framePixels, 0x123456);
  bool written = true;
  for (int i = 0; i < 100 && written; ++i) written = encoder.write(frame.data(), frame.size() * 4);
  EXPECT_FALSE(written);
  EXPECT_FALSE(encoder.finish(error));
  EXPECT_EQ(error, std::strerror(EDQUOT));
  sigset_t pending;
  ASSERT_EQ(::sigpending(&pending), 0);
  EXPECT_FALSE(::sigismember(&pending, SIGPIPE));
  ASSERT_EQ(::sigaction(SIGPIPE, &before, &after), 0);
  EXPECT_EQ(after.sa_handler, SIG_DFL) << "SIGPIPE's handling was changed for the whole program";
}

}  // namespace
}  // namespace vorlith
