// Captures: frame counts of a span, the sound that goes with them, atomic
// output files, and video export through ffmpeg.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "capture/atomic_file.h"
#include "capture/audio_render.h"
#include "capture/capture.h"
#include "capture/video_export.h"
#include "support.h"

namespace vorlith {
namespace {

using test::ScratchDirectory;

using test::shell;

ShowSeconds seconds(const char* text) {
  ShowSeconds s;
  EXPECT_TRUE(ShowSeconds::parse(text, s)) << text;
  return s;
}

TEST(Capture, SpansFollowTheShowClock) {
  // Frame k of the full show at 10 fps is at k * 100 ms; 1830 is the black last one.
  const ShowSeconds none;
  EXPECT_EQ(captureSpan(10, none, none).first, 0u);
  EXPECT_EQ(captureSpan(10, none, none).count, 1831u);
  EXPECT_EQ(captureSpan(30, seconds("160"), seconds("165")).first, 4800u);
  EXPECT_EQ(captureSpan(30, seconds("160"), seconds("165")).count, 150u);
  EXPECT_EQ(captureSpan(60, none, seconds("1")).count, 60u);
  EXPECT_EQ(captureSpan(7, seconds("182"), none).count, 8u);  // frames 1274..1281
  EXPECT_EQ(captureSpan(30, showEnd(), none).count, 1u);      // the black last frame alone
  EXPECT_EQ(captureSpan(30, seconds("1"), seconds("1.01")).count, 0u);
  // Clips that meet at a time meet at a frame, whatever the rounding.
  for (const char* middle : {"10.3", "10.31", "0.0166", "12.345678"}) {
    const CaptureSpan a = captureSpan(30, none, seconds(middle));
    const CaptureSpan b = captureSpan(30, seconds(middle), seconds("20"));
    EXPECT_EQ(a.first + a.count, b.first) << middle;
  }
}

TEST(Capture, SoundOfFramesCoversExactlyTheirSpanAndClipsTile) {
  EXPECT_EQ(audioSampleAt(150, 30), 220500u);
  EXPECT_EQ(audioSampleAt(1, 60), 735u);
  EXPECT_EQ(audioSampleAt(1, 13), 3392u);  // 3392.31
  EXPECT_EQ(audioSampleAt(2, 13), 6785u);  // 6784.62: a frame from 1 to 2 is 3393 samples
  EXPECT_EQ(audioSampleAt(1, 1000), 44u);  // 44.1
  EXPECT_EQ(audioSampleAt(5, 1000), 221u);  // 220.5 goes up
  // The sound of a sound-only capture of frames s..e-1 is exactly the
  // samples between their boundaries: at 13 fps, 1/13 s to 2/13 s is 3393
  // samples (before, the length came from the frame count alone: 3392).
  ScratchDirectory assets(true);
  test::writeFile("music/brimtale.it", test::tinyModule());
  ScratchDirectory out;
  for (const char* start : {"0.0769", "0.1", "0.2", "0.3"}) {  // frames 1, 1, 3, 4 at 13 fps
    CaptureOptions options;
    options.output = out.file("part.wav");
    options.fps = 13;
    options.start = seconds(start);
    options.until = seconds("0.4");  // frame 5
    ASSERT_EQ(runCapture(options), 0);
    const uint64_t first = options.start.frameAt(13);
    EXPECT_EQ(test::readFile(options.output).size(), 44 + 4 * (audioSampleAt(5, 13) - audioSampleAt(first, 13)))
        << start;
  }
}

TEST(Capture, ModuleIsRenderedFromTheStartOfTheSong) {
  ScratchDirectory dir;
  test::writeFile(dir.file("tiny.it"), test::tinyModule());
  std::vector<int16_t> samples;
  ASSERT_TRUE(renderModuleAudio(dir.file("tiny.it"), 0, 44100, samples));
  ASSERT_EQ(samples.size(), 88200u);
  int peak = 0;
  for (size_t i = 0; i < 4410; ++i) peak = std::max(peak, std::abs(int{samples[i]}));
  EXPECT_GT(peak, 1000) << "the first row plays";
  EXPECT_EQ(samples.back(), 0) << "silence after the song's end";
  // The same samples every time (no random dither), and a part is those
  // very samples of the whole.
  std::vector<int16_t> again;
  ASSERT_TRUE(renderModuleAudio(dir.file("tiny.it"), 0, 44100, again));
  EXPECT_EQ(again, samples);
  std::vector<int16_t> later;
  ASSERT_TRUE(renderModuleAudio(dir.file("tiny.it"), 10583, 1000, later));
  EXPECT_TRUE(std::equal(later.begin(), later.end(), samples.begin() + 2 * 10583));
  // A part after the song's end is silence; a missing module is silence and says so.
  ASSERT_TRUE(renderModuleAudio(dir.file("tiny.it"), 1000000, 100, later));
  EXPECT_EQ(later, std::vector<int16_t>(200, 0));
  EXPECT_FALSE(renderModuleAudio(dir.file("absent.it"), 0, 100, samples));
  EXPECT_EQ(samples, std::vector<int16_t>(200, 0));

  const auto wav = wavBytes(std::vector<int16_t>{1, -2, 3, -4});
  EXPECT_EQ(wav.size(), 44u + 8u);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(wav[44 + 2], 0xFE);  // -2, little-endian
  EXPECT_EQ(wav[44 + 3], 0xFF);
}

TEST(Capture, OutputAppearsUnderItsNameOnlyWhenComplete) {
  ScratchDirectory dir;
  const std::string target = dir.file("show.mp4");
  std::string error;
  {
    AtomicFile file(target);
    EXPECT_EQ(file.temporaryPath(), dir.file(".show.partial-" + std::to_string(::getpid()) + ".mp4"));
    ASSERT_TRUE(file.write("half a video", 12, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(target));
  }  // abandoned: an interrupted export
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "the partial file is removed";
  {
    AtomicFile scratch(target, ".wav");
    EXPECT_EQ(scratch.temporaryPath(), dir.file(".show.mp4.partial-" + std::to_string(::getpid()) + ".wav"));
    AtomicFile file(target);
    ASSERT_TRUE(file.write("a video", 7, error)) << error;
    ASSERT_TRUE(file.commit(error)) << error;
  }
  EXPECT_EQ(test::readFile(target).size(), 7u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  // Errors name the final path and the system's reason.
  AtomicFile nowhere(dir.file("absent/x.wav"));
  EXPECT_FALSE(nowhere.write("x", 1, error));
  EXPECT_EQ(error, "can't write " + dir.file("absent/x.wav") + ": No such file or directory");
}

TEST(Capture, SoundOnlyCaptureCoversTheSpan) {
  ScratchDirectory assets(true);
  test::writeFile("music/brimtale.it", test::tinyModule());
  ScratchDirectory out;
  CaptureOptions options;
  options.output = out.file("part.wav");
  options.fps = 30;
  options.start = seconds("1");
  options.until = seconds("3");
  ASSERT_EQ(runCapture(options), 0);
  EXPECT_EQ(test::readFile(options.output).size(), 44u + 4u * 88200u);
}

TEST(VideoExport, MissingFfmpegNamesTheAlternatives) {
  ScratchDirectory out;
  int status = 0;
  const std::string text = shell("PATH=/nonexistent " + std::string(VORLITH_PROGRAM) + " --assets " + out.path().string() +
                                     " --capture " + out.file("x.mp4") + " --until 1 2>&1",
                                 status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(text.find("ffmpeg was not found"), std::string::npos) << text;
  EXPECT_NE(text.find("--capture DIRECTORY"), std::string::npos);
  EXPECT_NE(text.find("FILE.wav"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out.file("x.mp4")));
}

TEST(VideoExport, ShortExportIsH264AndAacOfTheRightSizeAndLength) {
  if (findOnPath("ffmpeg").empty() || findOnPath("ffprobe").empty())
    GTEST_SKIP() << "ffmpeg is not installed (scripts/test.sh installs it)";
  ScratchDirectory out;
  const std::string video = out.file("end.mp4");
  int status = 0;
  shell(std::string(VORLITH_PROGRAM) + " --assets " + test::defaultAssets() + " --capture " + video +
            " --start 160 --until 165 --fps 30 2>&1",
        status);
  ASSERT_EQ(status, 0);
  const std::string streams = shell(
      "ffprobe -v error -show_entries stream=codec_type,codec_name,width,height,pix_fmt,duration -of csv=p=0 " +
          video,
      status);
  ASSERT_EQ(status, 0) << streams;
  EXPECT_NE(streams.find("h264,video,1280,800,yuv420p"), std::string::npos) << streams;
  const std::string colour = shell(
      "ffprobe -v error -select_streams v:0 -show_entries stream=color_space,color_transfer,color_primaries,color_range "
      "-of csv=p=0 " + video,
      status);
  EXPECT_EQ(colour, "tv,bt709,bt709,bt709\n");
  EXPECT_NE(streams.find("aac,audio"), std::string::npos) << streams;
  const std::string frames =
      shell("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 " + video,
            status);
  EXPECT_EQ(std::stoi(frames), 150);
  const std::string duration =
      shell("ffprobe -v error -select_streams a:0 -show_entries stream=duration -of csv=p=0 " + video, status);
  EXPECT_NEAR(std::stod(duration), 5.0, 1.0 / 30);
}

}  // namespace
}  // namespace vorlith
