// The browser's port of the show. The page's script (web/main.js) owns the
// clock and the event loop: it calls one pass of the show's frame loop per
// animation frame with the counter it read from the audio clock, or runs many
// frames on the virtual clock in slices (catching up to a start time, frame
// digests, the benchmark). This file gives the show what every port gives it:
// a display (the canvas and the keys), an audio library (libopenmpt in an
// AudioWorklet, driven by the page) and a notice sink (a list in the page).

#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "driver/display.h"
#include "driver/frame_timer.h"
#include "base/notice.h"
#include "driver/schedule.h"
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

const char* const sceneNames[sceneCount + 1] = {"logo", "title", "cube", "ribbons", "tunnel", "end", "last"};

// An Impulse Tracker module starts with these four bytes.
bool looksLikeModule(const std::vector<char>& bytes) {
  return bytes.size() >= 4 && bytes[0] == 'I' && bytes[1] == 'M' && bytes[2] == 'P' && bytes[3] == 'M';
}

// The whole file at path; false when it can't be opened.
bool readWholeFile(const char* path, std::vector<char>& bytes) {
  FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  char block[65536];
  for (size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) bytes.insert(bytes.end(), block, block + n);
  std::fclose(file);
  return true;
}

struct WebPort {
  Counter counter = Counter::manual();
  std::unique_ptr<Show> show;
  bool started = false;
  int present = presentNone;
  std::deque<int> keys;
  alignas(16) uint8_t rgba[frameBytes];

  int audioMode = audioPlay;
  int audioError = audioOk;
  bool audioReady = false;
  bool moduleLoaded = false;

  // Frames presented in the present mode since it was chosen, for digest lines.
  uint64_t presented = 0;
  // The benchmark: what each frame cost, scene by scene, and the digest of all.
  std::vector<std::vector<double>> costs = std::vector<std::vector<double>>(sceneCount + 1);
  uint64_t showDigest = fnvOffsetBasis;
  double lastPresent = 0;
  uint64_t ticks = 0;
  std::string report;
};

WebPort* port = nullptr;

int sceneAt(uint32_t t) {
  for (int k = 0; k < sceneCount; ++k)
    if (t < scenes[k].end) return k;
  return sceneCount;
}

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
    case presentDigests: {
      char line[48];
      std::snprintf(line, sizeof line, "%llu %016llx", static_cast<unsigned long long>(self.presented),
                    static_cast<unsigned long long>(frameRgbDigest(pixels)));
      pageDigest(line);
      break;
    }
    case presentBench: {
      // As the program's benchmark: from the end of one present to the next,
      // the digest not counted.
      const double now = emscripten_get_now();
      self.costs[sceneAt(showTimeAt(self.ticks))].push_back(now - self.lastPresent);
      self.showDigest = frameDigest(self.showDigest, pixels);
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

// The audio library of the page: the module's bytes are read here, so that a
// missing or foreign file gives the show's own notice at start-up; the page
// plays them when the show's music starts.
AudioLibrary webAudio(WebPort& self) {
  AudioLibrary a;
  a.context = &self;
  a.getVersion = [](void*) { return audioLibraryVersion; };
  a.init = [](void* c, int, uint32_t, uint32_t) {
    auto& s = *static_cast<WebPort*>(c);
    s.audioReady = s.audioMode != audioPlay || pageAudioInit();
    s.audioError = s.audioReady ? audioOk : audioErrorDevice;
    return s.audioReady;
  };
  a.musicLoad = [](void* c, const char* path) -> uint32_t {
    auto& s = *static_cast<WebPort*>(c);
    if (!s.audioReady) {
      s.audioError = audioErrorInit;
      return 0;
    }
    if (s.audioMode == audioSilent) {
      s.moduleLoaded = true;
      s.audioError = audioOk;
      return 1;
    }
    std::vector<char> bytes;
    if (!readWholeFile(path, bytes)) {
      s.audioError = audioErrorFileOpen;
      return 0;
    }
    if (!looksLikeModule(bytes)) {
      s.audioError = audioErrorFileFormat;
      return 0;
    }
    if (s.audioMode == audioPlay)
      pageAudioModule(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
    s.moduleLoaded = true;
    s.audioError = audioOk;
    return 1;
  };
  a.start = [](void* c) {
    auto& s = *static_cast<WebPort*>(c);
    s.audioError = s.audioReady ? audioOk : audioErrorInit;
    return s.audioReady;
  };
  a.musicPlayEx = [](void* c, uint32_t handle, uint32_t, int, bool) {
    auto& s = *static_cast<WebPort*>(c);
    if (handle != 1 || !s.moduleLoaded) {
      s.audioError = audioErrorHandle;
      return false;
    }
    if (s.audioMode == audioPlay) pageAudioPlay();
    s.audioError = audioOk;
    return true;
  };
  a.errorGetCode = [](void* c) { return static_cast<WebPort*>(c)->audioError; };
  a.free = [](void* c) {
    auto& s = *static_cast<WebPort*>(c);
    if (s.audioMode == audioPlay && s.audioReady) pageAudioFree();
    s.audioReady = false;
    s.moduleLoaded = false;
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

double medianCost(const std::vector<double>& costs) {
  std::vector<double> means;
  for (size_t first = 0; first < costs.size(); first += benchRun) {
    const size_t last = std::min(costs.size(), first + benchRun);
    double sum = 0;
    for (size_t i = first; i < last; ++i) sum += costs[i];
    means.push_back(sum / static_cast<double>(last - first));
  }
  std::sort(means.begin(), means.end());
  const size_t n = means.size();
  return n % 2 ? means[n / 2] : (means[n / 2 - 1] + means[n / 2]) / 2;
}

void writeBenchReport(WebPort& self, uint32_t fps) {
  char line[160];
  uint64_t frames = 0;
  double work = 0;
  for (const auto& scene : self.costs)
    for (double c : scene) work += c, ++frames;
  std::snprintf(line, sizeof line, "vorlith bench: %llu frames at %u fps on the virtual clock\n",
                static_cast<unsigned long long>(frames), fps);
  self.report = line;
  std::snprintf(line, sizeof line, "(after a pass over the show at 5 fps; median: of the means of runs of %zu frames)\n",
                benchRun);
  self.report += line;
  std::snprintf(line, sizeof line, "%-10s %7s %9s %9s %9s\n", "scene", "frames", "mean ms", "median ms", "max ms");
  self.report += line;
  for (int k = 0; k <= sceneCount; ++k) {
    const std::vector<double>& c = self.costs[k];
    if (c.empty()) continue;
    double sum = 0;
    for (double v : c) sum += v;
    std::snprintf(line, sizeof line, "%d %-8s %7zu %9.3f %9.3f %9.3f\n", k + 1, sceneNames[k], c.size(),
                  sum / c.size(), medianCost(c), *std::max_element(c.begin(), c.end()));
    self.report += line;
  }
  const double show = frames / static_cast<double>(fps);
  std::snprintf(line, sizeof line, "whole show: %.2f s of work for %.2f s of show: %.1fx real time\n", work / 1000,
                show, work > 0 ? show * 1000 / work : 0);
  self.report += line;
  std::snprintf(line, sizeof line, "frames digest: %016llx\n", static_cast<unsigned long long>(self.showDigest));
  self.report += line;
}

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

// Makes everything in the show's start-up order with the counter at 0. The
// pack must already be in the file system. 1 when the show can run.
EMSCRIPTEN_KEEPALIVE int vorlith_startup(int audioMode) {
  if (port) return 0;
  port = new (std::nothrow) WebPort;
  if (!port) return 0;
  port->show.reset(new (std::nothrow) Show(&port->counter));
  if (!port->show) return 0;
  port->audioMode = audioMode;
  audioLibrary = webAudio(*port);
  setNoticeHandler(noticeToPage, nullptr);
  ShowSetup setup;
  setup.counter = &port->counter;
  setup.display = webDisplay(*port);
  setup.audio = &audioLibrary;
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
  port->costs.assign(sceneCount + 1, {});
  port->showDigest = fnvOffsetBasis;
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
  writeBenchReport(*port, static_cast<uint32_t>(fps));
  return port->report.c_str();
}

// Releases everything in the show's shutdown order.
EMSCRIPTEN_KEEPALIVE void vorlith_shutdown() {
  if (!port) return;
  if (port->show) showShutdown(*port->show);
  setNoticeHandler(nullptr, nullptr);
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

// The first millisecond of scene k (1..6), and the end of the show for k = 7;
// the scene's name. The page's seek bar marks them.
EMSCRIPTEN_KEEPALIVE double vorlith_scene_start_ms(int k) {
  return k >= 1 && k <= sceneCount + 1 ? sceneStartMs(k) : 0;
}
EMSCRIPTEN_KEEPALIVE const char* vorlith_scene_name(int k) { return k >= 1 && k <= sceneCount ? sceneNames[k - 1] : ""; }

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
