// Captures: frame counts of a span, the sound that goes with them, atomic
// output files, and video export through ffmpeg.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "capture/atomic_file.h"
#include "capture/audio_render.h"
#include "capture/capture.h"
#include "capture/video_export.h"
#include "support.h"

namespace vorlith {
namespace {

using test::ScratchDirectory;

// Runs a shell command and gives its standard output and exit status.
std::string shell(const std::string& command, int& status) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    status = -1;
    return out;
  }
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int raw = ::pclose(pipe);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

TEST(Capture, FrameCountsFollowTheShowClock) {
  // Frame k of the full show at 10 fps is at k * 100 ms; 1830 is the black last one.
  EXPECT_EQ(captureFrameCount(10, 0, 0), 1831u);
  EXPECT_EQ(captureFrameCount(30, 160000, 165000), 150u);
  EXPECT_EQ(captureFrameCount(60, 0, 1000), 60u);
  EXPECT_EQ(captureFrameCount(7, 182000, 0), 8u);  // 182000 + 7 * 142.857 ms passes the end
}

TEST(Capture, SoundSpanMatchesThePictures) {
  EXPECT_EQ(audioFramesForSpan(150, 30), 220500u);
  EXPECT_EQ(audioFramesForSpan(1, 60), 735u);
  EXPECT_EQ(audioFramesForSpan(10977, 60), 8068095u);  // 182.95 s, rounded to the nearest sample

  ScratchDirectory dir;
  test::writeFile(dir.file("tiny.it"), test::tinyModule());
  std::vector<int16_t> samples;
  ASSERT_TRUE(renderModuleAudio(dir.file("tiny.it"), 0, 44100, samples));
  ASSERT_EQ(samples.size(), 88200u);
  int peak = 0;
  for (size_t i = 0; i < 4410; ++i) peak = std::max(peak, std::abs(int{samples[i]}));
  EXPECT_GT(peak, 1000) << "the first row plays";
  EXPECT_EQ(samples.back(), 0) << "silence after the song's end";
  // Beginning later skips into the song; a missing module is silence.
  std::vector<int16_t> later;
  ASSERT_TRUE(renderModuleAudio(dir.file("tiny.it"), 240, 100, later));
  EXPECT_FALSE(renderModuleAudio(dir.file("absent.it"), 0, 100, samples));
  EXPECT_EQ(samples, std::vector<int16_t>(200, 0));

  ASSERT_TRUE(writeWav(dir.file("a.wav"), later));
  EXPECT_EQ(test::readFile(dir.file("a.wav")).size(), 44u + 400u);
}

TEST(Capture, OutputAppearsUnderItsNameOnlyWhenComplete) {
  ScratchDirectory dir;
  const std::string target = dir.file("show.mp4");
  {
    AtomicFile file(target);
    EXPECT_NE(file.temporaryPath(), target);
    EXPECT_EQ(file.temporaryPath().substr(file.temporaryPath().size() - 4), ".mp4");
    std::ofstream(file.temporaryPath()) << "half a video";
    EXPECT_FALSE(std::filesystem::exists(target));
  }  // abandoned: an interrupted export
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "the partial file is removed";
  {
    AtomicFile file(target);
    std::ofstream(file.temporaryPath()) << "a video";
    std::string error;
    ASSERT_TRUE(file.commit(error)) << error;
  }
  EXPECT_EQ(test::readFile(target).size(), 7u);
}

TEST(Capture, SoundOnlyCaptureCoversTheSpan) {
  ScratchDirectory assets(true);
  test::writeFile("music/brimtale.it", test::tinyModule());
  ScratchDirectory out;
  CaptureOptions options;
  options.output = out.file("part.wav");
  options.fps = 30;
  options.startMs = 1000;
  options.untilMs = 3000;
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
