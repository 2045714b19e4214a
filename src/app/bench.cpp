#include "app/bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/frame_timer.h"
#include "platform/null_port.h"
#include "platform/os.h"
#include "driver/schedule.h"
#include "image/image.h"

namespace vorlith {

namespace {

const char* const sceneNames[sceneCount + 1] = {"logo", "title", "cube", "ribbons", "tunnel", "end", "last"};

}  // namespace

int benchSceneAt(uint32_t t) {
  for (int k = 0; k < sceneCount; ++k)
    if (t < scenes[k].end) return k;
  return sceneCount;
}

double medianOf(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int runBench(uint32_t fps) {
  using Clock = std::chrono::steady_clock;
  // Without a pack the show still runs, drawing next to nothing: say so, or
  // the figures would pass for the show's.
  std::string emptyShow;
  std::error_code ignored;
  if (!std::filesystem::is_directory("gfx", ignored) && !std::filesystem::is_directory("music", ignored))
    emptyShow = "no asset pack in " + utf8Path(std::filesystem::current_path(ignored)) +
                " (no gfx/, no music/): timing an empty show; --assets DIR names the pack";
  std::vector<std::vector<double>> costs(sceneCount + 1);
  uint64_t digest = fnvOffsetBasis;
  NullRun run;
  run.fps = fps;
  const auto begin = Clock::now();
  auto last = begin;
  double startup = 0;
  run.started = [&] {
    last = Clock::now();
    startup = std::chrono::duration<double, std::milli>(last - begin).count();
  };
  const int status = runNull(run, [&](uint64_t frame, const uint32_t* pixels) {
    const auto now = Clock::now();
    costs[benchSceneAt(virtualShowTime(fps, frame))].push_back(std::chrono::duration<double, std::milli>(now - last).count());
    digest = frameDigest(digest, pixels);
    last = Clock::now();  // the digest is not part of the frame's cost
    return true;
  });
  if (status != 0) return status;
  double work = 0;
  uint64_t frames = 0;
  for (const auto& scene : costs)
    for (double c : scene) work += c, ++frames;
  const double show = frames / static_cast<double>(fps);
  std::printf("vorlith bench: %llu frames at %u fps on the virtual clock\n", static_cast<unsigned long long>(frames),
              fps);
  if (!emptyShow.empty()) std::printf("%s\n", emptyShow.c_str());
  std::printf("start-up: %.3f ms (pictures, module, tables)\n", startup);
  std::printf("%-10s %7s %9s %9s %9s\n", "scene", "frames", "mean ms", "median ms", "max ms");
  for (int k = 0; k <= sceneCount; ++k) {
    const auto& c = costs[k];
    if (c.empty()) continue;
    double sum = 0;
    for (double v : c) sum += v;
    std::printf("%d %-8s %7zu %9.3f %9.3f %9.3f\n", k + 1, sceneNames[k], c.size(), sum / c.size(), medianOf(c),
                *std::max_element(c.begin(), c.end()));
  }
  std::printf("whole show: %.2f s of work for %.2f s of show: %.1fx real time\n", work / 1000, show,
              work > 0 ? show * 1000 / work : 0);
  std::printf("frames digest: %016llx\n", static_cast<unsigned long long>(digest));
  return 0;
}

}  // namespace vorlith
