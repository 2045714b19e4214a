// The browser's port of the show. The page's script (web/main.js) owns the
// clock and the event loop: it calls one pass of the show's frame loop per
// animation frame with the counter it read from the audio clock, or runs many
// frames on the virtual clock in slices (catching up to a start time, frame
// digests, the benchmark). This file gives the show what every port gives it:
// a display (the canvas and the keys), an audio library (libopenmpt in an
// AudioWorklet, driven by the page), the pack's files (fetched by the page and
// handed over as they are) and a notice sink (a list in the page).

#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "driver/display.h"
#include "driver/frame_timer.h"
#include "base/asset_source.h"
#include "driver/report.h"
#include "base/notice.h"
#include "driver/schedule.h"
#include "driver/seek.h"
#include "driver/show.h"
#include "driver/snapshot.h"
#include "image/frame_digest.h"
#include "image/image.h"
#include "music/audio_library.h"

// The page's side of the port: functions of the object handed to the module
// as `vorlithPage` when it was made.
EM_JS(void, pagePresent, (const uint8_t* rgba, int length),
      { Module.vorlithPage.present(HEAPU8.subarray(rgba, rgba + length)); });
EM_JS(void, pageDigest, (const char* line), { Module.vorlithPage.digest(UTF8ToString(line)); });
EM_JS(void, pageNotice, (const char* caption, const char* text),
      { Module.vorlithPage.notice(UTF8ToString(caption), UTF8ToString(text)); });
EM_JS(int, pageAudioInit, (), { return Module.vorlithPage.audioInit() ? 1 : 0; });
EM_JS(void, pageAudioModule, (const uint8_t* bytes, int length),
      { Module.vorlithPage.audioModule(HEAPU8.slice(bytes, bytes + length)); });
EM_JS(void, pageAudioPlay, (), { Module.vorlithPage.audioPlay(); });
EM_JS(void, pageAudioFree, (), { Module.vorlithPage.audioFree(); });

namespace vorlith {
namespace {

// Where presented frames go.
enum PresentMode : int {
  presentNone = 0,     // frames that catch up to a start time: drawn, never shown
  presentCanvas = 1,   // the live show
  presentDigests = 2,  // one "k digest" line a frame for the page
  presentBench = 3,    // the frame's cost and the whole-show digest
};

// How the module is treated.
enum AudioMode : int {
  audioPlay = 0,    // loaded, checked and played by the page
  audioCheck = 1,   // loaded and checked, never played (digests, benchmark)
  audioSilent = 2,  // nothing at all, as a muted run of the program
};

// An Impulse Tracker module starts with these four bytes.
bool looksLikeModule(const uint8_t* bytes, size_t size) {
  return size >= 4 && bytes[0] == 'I' && bytes[1] == 'M' && bytes[2] == 'P' && bytes[3] == 'M';
}

// The pack as the page fetched it: each file's name (its path in the pack,
// UTF-8) followed by its bytes. It outlives the show, which is started again
// for every run of the page.
struct PackFile {
  size_t nameLength = 0;
  std::vector<uint8_t> data;
  std::string_view name() const { return {reinterpret_cast<const char*>(data.data()), nameLength}; }
};
std::vector<PackFile> pack;

// The file the show names by a manifest path: the page's names have single
// slashes where the show's paths may have doubled ones.
AssetFile packFile(void*, const AssetEntry& entry) {
  std::string path;
  for (const char* c = entry.path; *c; ++c)
    if (!(*c == '/' && !path.empty() && path.back() == '/')) path += *c;
  for (const PackFile& f : pack)
    if (f.name() == path) return {AssetStatus::ok, {f.data.begin() + static_cast<std::ptrdiff_t>(f.nameLength), f.data.end()}};
  return {};
}

struct WebPort {
  Counter counter = Counter::manual();
  std::unique_ptr<Show> show;
  bool started = false;
  int present = presentNone;
  std::deque<int> keys;
  alignas(16) uint8_t rgba[frameBytes];

  int audioMode = audioPlay;
  AudioState audio;

  // Frames presented in the present mode since it was chosen, for digest lines.
  uint64_t presented = 0;
  // The benchmark: what each frame cost, scene by scene, and the digest of all.
  BenchTally bench;
  double lastPresent = 0;
  uint64_t ticks = 0;
  std::string report;
};

WebPort* port = nullptr;

// The show time the clock reads at the given counter value: the show timer
// starts at counter 0.
uint32_t showTimeAt(uint64_t ticks) {
  return static_cast<uint32_t>(mulDiv(static_cast<int32_t>(static_cast<uint32_t>(ticks)), 1000,
                                      static_cast<int32_t>(Counter::ticksPerSecond)));
}

// The canvas wants bytes R, G, B, A; the show's words are 0x00RRGGBB.
void toRgba(const uint32_t* pixels, uint8_t* out) {
  for (int i = 0; i < framePixels; ++i) {
    const uint32_t p = pixels[i];
    out[0] = static_cast<uint8_t>(p >> 16);
    out[1] = static_cast<uint8_t>(p >> 8);
    out[2] = static_cast<uint8_t>(p);
    out[3] = 255;
    out += 4;
  }
}

void presentFrame(void* context, const uint32_t* pixels) {
  auto& self = *static_cast<WebPort*>(context);
  switch (self.present) {
    case presentCanvas:
      toRgba(pixels, self.rgba);
      pagePresent(self.rgba, frameBytes);
      break;
    case presentDigests:
      pageDigest(digestLine(self.presented, frameRgbDigest(pixels)).c_str());
      break;
    case presentBench: {
      // As the program's benchmark: from the end of one present to the next,
      // the digest not counted.
      const double now = emscripten_get_now();
      self.bench.add(showTimeAt(self.ticks), now - self.lastPresent, pixels);
      self.lastPresent = emscripten_get_now();
      break;
    }
    default: break;
  }
  ++self.presented;
}

Display webDisplay(WebPort& self) {
  Display d;
  d.context = &self;
  d.open = [](void*, const char*, int, int) { return true; };
  d.close = [](void*) {};
  d.present = presentFrame;
  d.keyWaiting = [](void* c) { return !static_cast<WebPort*>(c)->keys.empty(); };
  d.readKey = [](void* c) {
    auto& keys = static_cast<WebPort*>(c)->keys;
    const int key = keys.front();
    keys.pop_front();
    return key;
  };
  return d;
}

// The audio library of the page: the module's bytes are checked here, so that
// a foreign file gives the show's own notice at start-up; the page plays them
// when the show's music starts.
AudioLibrary webAudio(WebPort& self) {
  AudioLibrary a;
  a.context = &self;
  a.getVersion = [](void*) { return audioLibraryVersion; };
  a.init = [](void* c, int, uint32_t, uint32_t) {
    auto& s = *static_cast<WebPort*>(c);
    s.audio.open = s.audioMode != audioPlay || pageAudioInit();
    return s.audio.open ? s.audio.succeed() : s.audio.fail(audioErrorDevice);
  };
  a.musicLoad = [](void* c, const AssetFile& file) -> uint32_t {
    auto& s = *static_cast<WebPort*>(c);
    // A muted run has no file to check.
    if (s.audioMode == audioSilent && s.audio.open) return s.audio.moduleLoaded();
    if (!s.audio.mayLoad(file)) return 0;
    if (!looksLikeModule(file.bytes.data(), file.bytes.size())) {
      s.audio.fail(audioErrorFileFormat);
      return 0;
    }
    if (s.audioMode == audioPlay) pageAudioModule(file.bytes.data(), static_cast<int>(file.bytes.size()));
    return s.audio.moduleLoaded();
  };
  a.start = [](void* c) { return static_cast<WebPort*>(c)->audio.mayStart(); };
  a.musicPlayEx = [](void* c, uint32_t handle, uint32_t, int, bool) {
    auto& s = *static_cast<WebPort*>(c);
    if (!s.audio.mayPlay(handle)) return false;
    if (s.audioMode == audioPlay) pageAudioPlay();
    return true;
  };
  a.errorGetCode = [](void* c) { return static_cast<WebPort*>(c)->audio.error; };
  a.free = [](void* c) {
    auto& s = *static_cast<WebPort*>(c);
    if (s.audioMode == audioPlay && s.audio.open) pageAudioFree();
    s.audio.close();
  };
  return a;
}

AudioLibrary audioLibrary;

// A browser's clock ticks in steps of 0.1 ms (on purpose), about what a
// frame costs, so one frame's cost read from it is mostly rounding. The costs
// of consecutive frames add up without it (the ticks cancel but at the two
// ends), so the median is taken over the mean costs of short runs of frames of
// one scene: short, so that few runs hold a moment the system gave the
// processor to another program.
constexpr size_t benchRun = 4;

void noticeToPage(void*, const char* caption, const char* text) { pageNotice(caption, text); }

// Exact seeking in the page: the show as it stood before its first frame,
// and snapshots along a run at the rate the page plays at, gathered by the
// seeks themselves (each seek's run from its snapshot leaves new ones).
struct Seeking {
  ShowSnapshot atStart;
  std::unique_ptr<SnapshotStore> store;
  bool ready = false;

  void begin(const Show& show) {
    store.reset();
    ready = snapshotSave(show, 0, false, atStart);
  }
  // The store for a run at fps, seeded with the start.
  SnapshotStore* storeFor(Show& show, uint32_t fps) {
    if (!ready) return nullptr;
    if (!store || store->fps() != fps) {
      store.reset(new (std::nothrow) SnapshotStore(fps, fps, snapshotBudget));
      if (!store) return nullptr;
      snapshotRestore(show, atStart);
      store->offer(show);
    }
    return store.get();
  }

  // The most the snapshots may hold, and one a second to begin with.
  static constexpr size_t snapshotBudget = size_t{64} << 20;
};
Seeking seeking;

// FNV-1a of the frame on the canvas, bytes R, G, B of each pixel.
uint64_t canvasDigest(const uint8_t* rgba) {
  uint64_t digest = fnvOffsetBasis;
  for (int i = 0; i < framePixels; ++i, rgba += 4)
    for (int c = 0; c < 3; ++c) digest = (digest ^ rgba[c]) * fnvPrime;
  return digest;
}

}  // namespace
}  // namespace vorlith

using namespace vorlith;

extern "C" {

// Room for one file of the pack: its name's nameLength bytes (UTF-8), then
// its size bytes, which the page writes there. Null when memory is short
// (the show then finds no such file).
EMSCRIPTEN_KEEPALIVE uint8_t* vorlith_pack_file(int nameLength, int size) {
  if (nameLength < 0 || size < 0) return nullptr;
  PackFile file;
  file.nameLength = static_cast<size_t>(nameLength);
  try {
    file.data.resize(file.nameLength + static_cast<size_t>(size));
    pack.push_back(std::move(file));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return pack.back().data.data();
}

// Makes everything in the show's start-up order with the counter at 0. The
// pack must already have been handed over. 1 when the show can run.
EMSCRIPTEN_KEEPALIVE int vorlith_startup(int audioMode) {
  if (port) return 0;
  port = new (std::nothrow) WebPort;
  if (!port) return 0;
  port->show.reset(new (std::nothrow) Show(&port->counter));
  if (!port->show) return 0;
  port->audioMode = audioMode;
  audioLibrary = webAudio(*port);
  ShowSetup setup;
  setup.counter = &port->counter;
  setup.display = webDisplay(*port);
  setup.audio = &audioLibrary;
  setup.assets.read = packFile;
  setup.notices.show = noticeToPage;
  port->counter.set(0);
  port->started = showStartup(*port->show, setup);
  seeking.begin(*port->show);
  return port->started ? 1 : 0;
}

// Chooses where presented frames go (see PresentMode); restarts the count of
// presented frames and the benchmark.
EMSCRIPTEN_KEEPALIVE void vorlith_present_to(int mode) {
  if (!port) return;
  port->present = mode;
  port->presented = 0;
  port->bench = BenchTally();
  port->lastPresent = emscripten_get_now();
}

// One pass of the frame loop with the counter at the given tick (a whole
// number of microseconds since the show began). 1 while the show goes on.
EMSCRIPTEN_KEEPALIVE int vorlith_frame(double ticks) {
  if (!port || !port->started || port->show->quit) return 0;
  port->ticks = static_cast<uint64_t>(ticks);
  port->counter.set(port->ticks);
  showFrame(*port->show);
  return port->show->quit ? 0 : 1;
}

// Frames first, first + 1, ... on the virtual clock at fps frames a second,
// until count frames have run, the show has ended or budgetMs have passed.
// Gives the number of frames run.
EMSCRIPTEN_KEEPALIVE double vorlith_run_virtual(int fps, double first, double count, double budgetMs) {
  if (!port || !port->started || fps <= 0) return 0;
  const double until = emscripten_get_now() + budgetMs;
  const auto firstFrame = static_cast<uint64_t>(first);
  uint64_t done = 0;
  while (done < count && !port->show->quit) {
    port->counter.setFrame(firstFrame + done, static_cast<uint32_t>(fps));
    port->ticks = port->counter.read();
    showFrame(*port->show);
    ++done;
    if (emscripten_get_now() >= until) break;
  }
  return static_cast<double>(done);
}

EMSCRIPTEN_KEEPALIVE int vorlith_ended() { return !port || !port->started || port->show->quit; }

// A key pressed in the page; the show reads it at the end of its next frame.
EMSCRIPTEN_KEEPALIVE void vorlith_key(int code) {
  if (port) port->keys.push_back(code);
}

// The benchmark's report over the frames presented since vorlith_present_to.
EMSCRIPTEN_KEEPALIVE const char* vorlith_bench_report(int fps) {
  if (!port) return "";
  const std::string note = "(after a pass over the show at 5 fps; median: of the means of runs of " +
                           std::to_string(benchRun) + " frames)";
  port->report = benchReport(port->bench, static_cast<uint32_t>(fps), {note}, benchRun);
  return port->report.c_str();
}

// What the page knows of the show only from here, as JSON: its length, its
// end as a start is written, and its scenes by name and window (ms).
EMSCRIPTEN_KEEPALIVE const char* vorlith_show_facts() {
  static std::string text;
  if (text.empty()) {
    text = "{\"lengthMs\":" + std::to_string(showLengthMs) + ",\"end\":\"" + showEnd().text() + "\",\"scenes\":[";
    for (int k = 0; k < sceneCount; ++k)
      text += std::string(k ? "," : "") + "{\"name\":\"" + sceneName(k) + "\",\"startMs\":" +
              std::to_string(scenes[k].start) + ",\"endMs\":" + std::to_string(scenes[k].end) + "}";
    text += "]}";
  }
  return text.c_str();
}

// The frames of a run at fps that come before a start written as text (as
// ?start has it, read exactly as --start reads it): round(S * fps), halves
// up. -1 when the text is no start.
EMSCRIPTEN_KEEPALIVE double vorlith_start_frames(const char* text, int fps) {
  ShowSeconds start;
  if (!text || fps <= 0 || !parseStart(text, start)) return -1;
  return static_cast<double>(startFrame(start, static_cast<uint32_t>(fps)));
}

// The counter (microseconds) during frame k of a run at fps: k * 1e6 / fps,
// rounded down, as every virtual run reads it.
EMSCRIPTEN_KEEPALIVE double vorlith_frame_ticks(double frame, int fps) {
  if (fps <= 0 || frame < 0) return 0;
  Counter counter = Counter::manual();
  counter.setFrame(static_cast<uint64_t>(frame), static_cast<uint32_t>(fps));
  return static_cast<double>(counter.read());
}

// Releases everything in the show's shutdown order.
EMSCRIPTEN_KEEPALIVE void vorlith_shutdown() {
  if (!port) return;
  if (port->show) showShutdown(*port->show);
  delete port;
  port = nullptr;
}

// Brings the show to the point before frame `frame` of a whole run at fps,
// exactly (see showSeek); the next vorlith_frame at that frame's tick draws
// it. The frames drawn on the way, or -1 when the show can't seek.
EMSCRIPTEN_KEEPALIVE double vorlith_seek(int fps, double frame) {
  if (!port || !port->started || fps <= 0 || !(frame >= 0)) return -1;
  SnapshotStore* store = seeking.storeFor(*port->show, static_cast<uint32_t>(fps));
  if (!store || !showSeek(*port->show, *store, static_cast<uint64_t>(frame))) return -1;
  port->keys.clear();
  return 0;
}

// The index of the final frame of a run at fps.
EMSCRIPTEN_KEEPALIVE double vorlith_final_frame(int fps) { return fps > 0 ? finalFrame(static_cast<uint32_t>(fps)) : 0; }

// What the seeks' snapshots hold: bytes and how many.
EMSCRIPTEN_KEEPALIVE double vorlith_snapshot_bytes() { return seeking.store ? seeking.store->bytes() : 0; }
EMSCRIPTEN_KEEPALIVE double vorlith_snapshot_count() { return seeking.store ? seeking.store->count() : 0; }

// The digest of the frame last shown on the canvas, as 16 hex digits.
EMSCRIPTEN_KEEPALIVE const char* vorlith_canvas_digest() {
  static char text[17];
  if (!port) return "";
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(canvasDigest(port->rgba)));
  return text;
}

}  // extern "C"
