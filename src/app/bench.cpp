#include "app/bench.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/asset_discovery.h"
#include "driver/frame_timer.h"
#include "driver/report.h"
#include "platform/asset_files.h"
#include "platform/null_port.h"
#include "platform/os.h"

namespace vorlith {

int runBench(uint32_t fps, const std::filesystem::path& assets) {
  using Clock = std::chrono::steady_clock;
  std::vector<std::string> notes;
  // Without a pack the show still runs, drawing next to nothing: say so, or
  // the figures would pass for the show's.
  std::error_code ignored;
  const std::filesystem::path pack = assets.empty() ? std::filesystem::current_path(ignored) : assets;
  if (!holdsAssetPack(pack))
    notes.push_back("no asset pack in " + utf8Path(pack) +
                    " (no gfx/, no music/): timing an empty show; --assets DIR names the pack");
  BenchTally tally;
  NullRun run;
  run.fps = fps;
  run.assets = packDirectorySource(assets);
  const auto begin = Clock::now();
  auto last = begin;
  double startup = 0;
  run.started = [&] {
    last = Clock::now();
    startup = std::chrono::duration<double, std::milli>(last - begin).count();
  };
  const int status = runNull(run, [&](uint64_t frame, const uint32_t* pixels) {
    tally.add(virtualShowTime(fps, frame), std::chrono::duration<double, std::milli>(Clock::now() - last).count(),
              pixels);
    last = Clock::now();  // the digest is not part of the frame's cost
    return true;
  });
  if (status != 0) return status;
  char line[64];
  std::snprintf(line, sizeof line, "start-up: %.3f ms (pictures, module, tables)", startup);
  notes.push_back(line);
  std::fputs(benchReport(tally, fps, notes).c_str(), stdout);
  return 0;
}

}  // namespace vorlith
