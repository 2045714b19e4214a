#pragma once
// Shared helpers of the tests: notice recording, scratch directories, picture
// and module files made on the spot, and a show run on the virtual clock.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/asset_source.h"
#include "base/notice.h"

#include "platform/null_port.h"
#include "driver/display.h"
#include "driver/show.h"

namespace vorlith::test {

struct RecordedNotice {
  std::string caption;
  std::string text;
};

// Records every notice given to notices() while it lives (instead of
// printing it); the latest recorder made gets them.
class NoticeRecorder {
 public:
  NoticeRecorder();
  ~NoticeRecorder();
  NoticeRecorder(const NoticeRecorder&) = delete;
  NoticeRecorder& operator=(const NoticeRecorder&) = delete;
  NoticeSink sink();
  std::vector<RecordedNotice> notices;

 private:
  NoticeRecorder* previous_;
};

// The tests' notice sink: the living recorder, else stderr.
NoticeSink notices();

// An asset pack held in memory, files by their path in the pack (a doubled
// slash reads as one, as in a file system).
class Pack {
 public:
  // Every file of the manifest that dir holds, as a pack directory gives it.
  static Pack fromDirectory(const std::filesystem::path& dir);
  void set(const std::string& path, std::vector<uint8_t> bytes);
  void remove(const std::string& path);
  const std::vector<uint8_t>& bytes(const std::string& path) const;
  AssetSource source() const;

 private:
  std::map<std::string, AssetFile> files_;
};

// The default pack made by the build, read once.
const Pack& defaultPack();

// A fresh empty directory that is removed again; optionally the working
// directory while it lives.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(bool enter = false);
  ~ScratchDirectory();
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const std::string& path);
// An 8-bit RGB or RGBA PNG file's bytes as 0xAARRGGBB pixels, top row first.
bool decodePng(const std::vector<uint8_t>& file, std::vector<uint32_t>& pixels, int& width, int& height);
// Reads a PNG file back into 0x00RRGGBB pixels.
bool readPng(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height);

// A TGA file: 18-byte header with the given fields, then the pixel bytes.
std::vector<uint8_t> tgaBytes(int width, int height, int depth, const std::vector<uint32_t>& fileOrderPixels,
                              uint8_t imageType = 2, uint8_t idLength = 0, uint8_t colourMapType = 0);

// A one-pattern Impulse Tracker module playing a looped sine for 0.48 s.
std::vector<uint8_t> tinyModule();

// The whole show on the virtual clock with an off-screen display; calls
// onFrame with each presented frame. Plays the given pack, else the one in
// the working directory.
struct ShowRun {
  uint64_t frames = 0;
  std::vector<RecordedNotice> notices;
};
ShowRun runVirtualShow(uint32_t fps, const std::function<void(uint64_t, const uint32_t*)>& onFrame = {},
                       const ShowSeconds& start = {}, const Pack* pack = nullptr);

// A display that keeps the last presented frame and plays back queued keys.
struct ScriptedDisplay {
  std::vector<int> keys;  // handed out front first
  std::vector<uint32_t> lastFrame;
  uint64_t presented = 0;
  bool opened = false;
  bool closed = false;
  Display display();
};

// A show started on the pack in the working directory on a manual counter,
// to be driven frame by frame at chosen show times.
struct ShowHarness {
  explicit ShowHarness(const AudioLibrary* audio = nullptr);
  ~ShowHarness();
  // Runs one frame with every counter reading at the given time since start-up.
  void frameAt(uint32_t ms);
  const Show& view() const { return *show; }
  Counter counter = Counter::manual();
  ScriptedDisplay screen;
  NoticeRecorder recorder;
  Pack pack;
  std::unique_ptr<Show> show;
};

// A picture file as the show loads it (with the loader's notices to
// notices()), owned.
OwnedImage loadPicture(const std::string& path);

// Hands a tunnel its texture from a file as the show reads it: a missing file
// reads as empty, a short one as what is there.
void loadTunnelTexture(Tunnel& tunnel, const std::string& path);

// Runs a shell command and gives its standard output and exit status (-1
// when it did not exit normally).
std::string shell(const std::string& command, int& status);

// The directory of the default asset pack made by the build.
std::string defaultAssets();

}  // namespace vorlith::test
