// The music player: call order, messages, and the libopenmpt + SDL2 library
// behind it producing sound from a real module.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "music/music.h"
#include "platform/openmpt_audio.h"
#include "support.h"

namespace vorlith {
namespace {

using test::NoticeRecorder;

// An audio library that writes down each call and fails where it is told to.
struct FakeLibrary {
  std::vector<std::string> calls;
  uint32_t version = audioLibraryVersion;
  bool initWorks = true;
  bool loadWorks = true;
  int errorCode = 41;
  AudioLibrary table() {
    AudioLibrary a;
    a.context = this;
    a.getVersion = [](void* c) {
      self(c).calls.push_back("version");
      return self(c).version;
    };
    a.init = [](void* c, int device, uint32_t frequency, uint32_t flags) {
      self(c).calls.push_back("init " + std::to_string(device) + " " + std::to_string(frequency) + " " +
                              std::to_string(flags));
      return self(c).initWorks;
    };
    a.musicLoad = [](void* c, const AssetFile& file) {
      self(c).calls.push_back("load " + std::string(file.bytes.begin(), file.bytes.end()));
      return self(c).loadWorks ? 7u : 0u;
    };
    a.start = [](void* c) {
      self(c).calls.push_back("start");
      return true;
    };
    a.musicPlayEx = [](void* c, uint32_t handle, uint32_t position, int flags, bool reset) {
      self(c).calls.push_back("play " + std::to_string(handle) + " " + std::to_string(position) + " " +
                              std::to_string(flags) + " " + std::to_string(reset));
      return true;
    };
    a.errorGetCode = [](void* c) { return self(c).errorCode; };
    a.free = [](void* c) { self(c).calls.push_back("free"); };
    return a;
  }
  static FakeLibrary& self(void* c) { return *static_cast<FakeLibrary*>(c); }
};

// The player's state over a library, its notices to the recorder.
MusicPlayer player(const AudioLibrary* library, NoticeRecorder& recorder) { return {library, recorder.sink(), 0}; }

// A file as a source gives it.
AssetFile file(const std::vector<uint8_t>& bytes) { return {AssetStatus::ok, bytes}; }
AssetFile file(const char* text) { return file(std::vector<uint8_t>(text, text + std::strlen(text))); }

TEST(Music, CallsTheLibraryInOrder) {
  FakeLibrary fake;
  const AudioLibrary table = fake.table();
  NoticeRecorder recorder;
  MusicPlayer music = player(&table, recorder);
  EXPECT_TRUE(musicOpen(music, file("IMPM")));
  musicPlay(music);
  musicClose(music);
  EXPECT_TRUE(recorder.notices.empty());
  const std::vector<std::string> expected = {"version", "init -1 44100 0", "load IMPM", "start",
                                             "play 7 0 -1 1", "free"};
  EXPECT_EQ(fake.calls, expected);
}

TEST(Music, EachFailureGivesOneNoticeAndStopsThere) {
  struct Case {
    uint32_t version;
    bool init, load;
    const char* text;
    size_t calls;
  };
  const Case cases[] = {
      {0x20400, true, true, "Wrong version of BASS.\n\n(error code: 41)", 1},
      {audioLibraryVersion, false, true, "Can't initialize device.\n(error code: 41)", 2},
      {audioLibraryVersion, true, false, "Can't play the file\n(error code: 41)", 3},
  };
  for (const Case& c : cases) {
    FakeLibrary fake;
    fake.version = c.version;
    fake.initWorks = c.init;
    fake.loadWorks = c.load;
    const AudioLibrary table = fake.table();
    NoticeRecorder recorder;
    MusicPlayer music = player(&table, recorder);
    EXPECT_FALSE(musicOpen(music, file("IMPM")));
    ASSERT_EQ(recorder.notices.size(), 1u) << c.text;
    EXPECT_EQ(recorder.notices[0].caption, "Error");
    EXPECT_EQ(recorder.notices[0].text, c.text);
    EXPECT_EQ(fake.calls.size(), c.calls);
    // The show still plays and closes the music after a failure.
    musicPlay(music);
    musicClose(music);
    EXPECT_EQ(fake.calls.back(), "free");
  }
}

TEST(OpenmptAudio, ReportsMissingUnreadableLargeAndMalformedModules) {
  OpenmptAudio audio(false);
  NoticeRecorder recorder;
  MusicPlayer music = player(audio.library(), recorder);
  for (const AssetFile& module : {AssetFile{AssetStatus::missing, {}}, AssetFile{AssetStatus::unreadable, {}},
                                  AssetFile{AssetStatus::tooLarge, {}}, file(std::vector<uint8_t>(3000, 0x5A))}) {
    EXPECT_FALSE(musicOpen(music, module));
    musicClose(music);
  }
  ASSERT_EQ(recorder.notices.size(), 4u);
  EXPECT_EQ(recorder.notices[0].text, "Can't play the file\n(error code: 2)");
  EXPECT_EQ(recorder.notices[1].text, "Can't play the file\n(error code: 2)");
  EXPECT_EQ(recorder.notices[2].text, "Can't play the file\n(error code: 1)");
  EXPECT_EQ(recorder.notices[3].text, "Can't play the file\n(error code: 41)");
}

TEST(OpenmptAudio, PlaysAModuleThroughTheOutput) {
  // SDL's dummy audio driver (set by the test environment) pulls samples in
  // real time without a sound card.
  OpenmptAudio audio(true);
  NoticeRecorder recorder;
  MusicPlayer music = player(audio.library(), recorder);
  ASSERT_TRUE(musicOpen(music, file(test::tinyModule())));
  musicPlay(music);
  for (int i = 0; i < 200 && audio.audibleFrames() < 4410; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  musicClose(music);
  EXPECT_TRUE(recorder.notices.empty());
  EXPECT_GE(audio.audibleFrames(), 4410u);
}

}  // namespace
}  // namespace vorlith

namespace vorlith {
namespace {

TEST(OpenmptAudio, TheShowPlaysItsModuleWhileFramesAreDrawn) {
  // The sound thread decodes the module while the frame loop draws; music
  // start and close happen on the frame loop's side.
  test::ScratchDirectory dir(true);  // gives the working directory back afterwards
  std::filesystem::current_path(test::defaultAssets());
  OpenmptAudio audio(true);
  {
    test::ShowHarness h(audio.library());
    EXPECT_TRUE(h.recorder.notices.empty());
    // Bounded by the clock on the wall, not by a number of frames: frames
    // may be drawn far faster than the sound plays.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (uint32_t t = 0; audio.audibleFrames() < 8820 && std::chrono::steady_clock::now() < deadline;
         t = std::min(t + 40, 20000u))
      h.frameAt(t);
  }
  EXPECT_GE(audio.audibleFrames(), 8820u);
}

}  // namespace
}  // namespace vorlith
