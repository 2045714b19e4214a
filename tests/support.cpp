#include "support.h"

#include <sys/wait.h>
#include <png.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "it_writer.h"
#include "platform/asset_files.h"
#include "platform/openmpt_audio.h"

namespace vorlith::test {

namespace {

// The tests never need a sound card or a screen: SDL's dummy drivers stand in
// (ctest sets the same; this covers running the test binary by hand).
const bool dummyDrivers = [] {
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  ::setenv("SDL_VIDEODRIVER", "dummy", 0);
  return true;
}();

void record(void* context, const char* caption, const char* text) {
  static_cast<NoticeRecorder*>(context)->notices.push_back({caption, text});
}

NoticeRecorder* activeRecorder = nullptr;

// A pack path as a file system reads it: doubled slashes as one.
std::string packKey(const std::string& path) {
  std::string key;
  for (char c : path)
    if (!(c == '/' && !key.empty() && key.back() == '/')) key += c;
  return key;
}

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
}  // namespace

NoticeRecorder::NoticeRecorder() : previous_(activeRecorder) { activeRecorder = this; }
NoticeRecorder::~NoticeRecorder() { activeRecorder = previous_; }
NoticeSink NoticeRecorder::sink() { return {record, this}; }

NoticeSink notices() {
  return {[](void*, const char* caption, const char* text) {
            if (activeRecorder)
              record(activeRecorder, caption, text);
            else
              noticeToStderr(nullptr, caption, text);
          },
          nullptr};
}

Pack Pack::fromDirectory(const std::filesystem::path& dir) {
  Pack pack;
  for (const AssetEntry& entry : assetManifest) {
    AssetFile file = readAssetFile(dir / entry.path);
    if (file.status != AssetStatus::missing) pack.files_[packKey(entry.path)] = std::move(file);
  }
  return pack;
}

void Pack::set(const std::string& path, std::vector<uint8_t> bytes) {
  files_[packKey(path)] = {AssetStatus::ok, std::move(bytes)};
}

void Pack::remove(const std::string& path) { files_.erase(packKey(path)); }

const std::vector<uint8_t>& Pack::bytes(const std::string& path) const {
  static const std::vector<uint8_t> none;
  const auto found = files_.find(packKey(path));
  return found == files_.end() ? none : found->second.bytes;
}

AssetSource Pack::source() const {
  AssetSource source;
  source.context = const_cast<Pack*>(this);
  source.read = [](void* context, const AssetEntry& entry) {
    const auto& files = static_cast<const Pack*>(context)->files_;
    const auto found = files.find(packKey(entry.path));
    return found == files.end() ? AssetFile{} : found->second;
  };
  return source;
}

const Pack& defaultPack() {
  static const Pack pack = Pack::fromDirectory(defaultAssets());
  return pack;
}

ScratchDirectory::ScratchDirectory(bool enter) {
  static std::mt19937_64 random(std::random_device{}());
  path_ = std::filesystem::temp_directory_path() /
          ("vorlith-test-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
  if (enter) {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
}

ScratchDirectory::~ScratchDirectory() {
  if (!previous_.empty()) std::filesystem::current_path(previous_);
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool decodePng(const std::vector<uint8_t>& file, std::vector<uint32_t>& pixels, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return false;
  image.format = PNG_FORMAT_BGRA;  // as little-endian words: 0xAARRGGBB
  std::vector<uint32_t> buffer(static_cast<size_t>(image.width) * image.height);
  if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  pixels = std::move(buffer);
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return true;
}

bool readPng(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height) {
  if (!decodePng(readFile(path), pixels, width, height)) return false;
  for (uint32_t& p : pixels) p &= 0x00FFFFFF;
  return true;
}

std::vector<uint8_t> tgaBytes(int width, int height, int depth, const std::vector<uint32_t>& pixels,
                              uint8_t imageType, uint8_t idLength, uint8_t colourMapType) {
  std::vector<uint8_t> bytes(18);
  bytes[0] = idLength;
  bytes[1] = colourMapType;
  bytes[2] = imageType;
  put16(bytes, 12, static_cast<uint32_t>(width));
  put16(bytes, 14, static_cast<uint32_t>(height));
  bytes[16] = static_cast<uint8_t>(depth);
  for (uint32_t p : pixels)
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(p >> (8 * i)));
  return bytes;
}

std::vector<uint8_t> tinyModule() {
  // Sample mode, one channel, speed 6, tempo 125: C-5 on row 0, E-5 on row 2,
  // a note cut on row 3; sample 1 is one looped 64-frame cycle of a sine.
  assets::ItModule m;
  m.name = "tiny";
  m.speed = 6;
  m.tempo = 125;
  m.channelPan = {32};
  assets::ItSample sine;
  sine.name = "sine";
  sine.c5Speed = 16744;  // 64 frames a cycle: C-5 sounds middle C
  sine.loopEnd = 64;
  for (int i = 0; i < 64; ++i)
    sine.data.push_back(static_cast<int16_t>(std::lround(20000 * std::sin(i * M_PI / 32))));
  m.samples = {sine};
  assets::ItPattern p(4, 1);
  p.at(0, 0) = {60, 1, 64};
  p.at(2, 0) = {64, 1, 64};
  p.at(3, 0).note = assets::itNoteCut;
  m.patterns = {p};
  m.orders = {0};
  return assets::writeItModule(m);
}

ShowRun runVirtualShow(uint32_t fps, const std::function<void(uint64_t, const uint32_t*)>& onFrame,
                       const ShowSeconds& start, const Pack* pack) {
  // The very run a capture makes, handing every frame over instead of writing it.
  NoticeRecorder recorder;
  const Pack here = pack ? Pack() : Pack::fromDirectory(".");
  NullRun run;
  run.fps = fps;
  run.start = start;
  run.assets = (pack ? *pack : here).source();
  run.notices = recorder.sink();
  uint64_t frames = 0;
  runNull(run, [&](uint64_t frame, const uint32_t* pixels) {
    if (onFrame) onFrame(frame, pixels);
    ++frames;
    return true;
  });
  return {frames, recorder.notices};
}

Display ScriptedDisplay::display() {
  Display d;
  d.context = this;
  d.open = [](void* c, const char*, int, int) { return static_cast<ScriptedDisplay*>(c)->opened = true; };
  d.close = [](void* c) { static_cast<ScriptedDisplay*>(c)->closed = true; };
  d.present = [](void* c, const uint32_t* pixels) {
    auto* self = static_cast<ScriptedDisplay*>(c);
    self->lastFrame.assign(pixels, pixels + framePixels);
    ++self->presented;
  };
  d.keyWaiting = [](void* c) { return !static_cast<ScriptedDisplay*>(c)->keys.empty(); };
  d.readKey = [](void* c) {
    auto* self = static_cast<ScriptedDisplay*>(c);
    const int key = self->keys.front();
    self->keys.erase(self->keys.begin());
    return key;
  };
  return d;
}

ShowHarness::ShowHarness(const AudioLibrary* audio)
    : pack(Pack::fromDirectory(".")), show(std::make_unique<Show>(&counter)) {
  ShowSetup setup;
  setup.counter = &counter;
  setup.assets = pack.source();
  setup.notices = recorder.sink();
  setup.display = screen.display();
  setup.audio = audio ? audio : silentAudioLibrary();
  showStartup(*show, setup);
}

ShowHarness::~ShowHarness() { showShutdown(*show); }

void ShowHarness::frameAt(uint32_t ms) {
  counter.set(uint64_t{ms} * 1000);
  showFrame(*show);
}

OwnedImage loadPicture(const std::string& path) {
  return OwnedImage(imageLoad(readAssetFile(path), path.c_str(), notices()));
}

void loadTunnelTexture(Tunnel& tunnel, const std::string& path) {
  std::vector<uint8_t> bytes;
  if (std::filesystem::exists(path)) bytes = readFile(path);
  tunnel.setTexture(tunnelTextureParts(bytes.data(), bytes.size()));
}

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

std::string defaultAssets() { return VORLITH_ASSET_DIR; }

}  // namespace vorlith::test
