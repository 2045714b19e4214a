#include "driver/report.h"

#include <algorithm>
#include <cstdio>

#include "image/frame_digest.h"

namespace vorlith {

namespace {

const char* const sceneNames[sceneCount + 1] = {"logo", "title", "cube", "ribbons", "tunnel", "end", "last"};

// printf into a string; the lines of a report are short.
template <typename... Args>
void appendLine(std::string& out, const char* format, Args... args) {
  char line[160];
  std::snprintf(line, sizeof line, format, args...);
  out += line;
}

}  // namespace

const char* sceneName(int scene) { return scene >= 0 && scene <= sceneCount ? sceneNames[scene] : ""; }

int sceneAt(uint32_t t) {
  return static_cast<int>(std::find_if(scenes, scenes + sceneCount, [t](const Scene& s) { return t < s.end; }) - scenes);
}

std::string digestLine(uint64_t frame, uint64_t digest) {
  std::string line;
  appendLine(line, "%llu %016llx", static_cast<unsigned long long>(frame), static_cast<unsigned long long>(digest));
  return line;
}

double medianOf(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void BenchTally::add(uint32_t t, double costMs, const uint32_t* pixels) {
  costs[sceneAt(t)].push_back(costMs);
  digest = frameDigest(digest, pixels);
}

std::string benchReport(const BenchTally& tally, uint32_t fps, const std::vector<std::string>& notes,
                        size_t medianRun) {
  if (medianRun == 0) medianRun = 1;
  double work = 0;
  uint64_t frames = 0;
  for (const auto& scene : tally.costs)
    for (double c : scene) work += c, ++frames;
  std::string report;
  appendLine(report, "vorlith bench: %llu frames at %u fps on the virtual clock\n",
             static_cast<unsigned long long>(frames), fps);
  for (const std::string& note : notes) report += note + "\n";
  appendLine(report, "%-10s %7s %9s %9s %9s\n", "scene", "frames", "mean ms", "median ms", "max ms");
  for (int k = 0; k <= sceneCount; ++k) {
    const std::vector<double>& c = tally.costs[k];
    if (c.empty()) continue;
    double sum = 0;
    std::vector<double> means;
    for (size_t first = 0; first < c.size(); first += medianRun) {
      const size_t last = std::min(c.size(), first + medianRun);
      double run = 0;
      for (size_t i = first; i < last; ++i) run += c[i];
      sum += run;
      means.push_back(run / static_cast<double>(last - first));
    }
    appendLine(report, "%d %-8s %7zu %9.3f %9.3f %9.3f\n", k + 1, sceneNames[k], c.size(), sum / c.size(),
               medianOf(std::move(means)), *std::max_element(c.begin(), c.end()));
  }
  const double show = frames / static_cast<double>(fps);
  appendLine(report, "whole show: %.2f s of work for %.2f s of show: %.1fx real time\n", work / 1000, show,
             work > 0 ? show * 1000 / work : 0);
  appendLine(report, "frames digest: %016llx\n", static_cast<unsigned long long>(tally.digest));
  return report;
}

}  // namespace vorlith
