#include <SDL.h>

#include <cstdio>
#include <filesystem>

#include "app/options.h"
#include "app/asset_discovery.h"
#include "app/bench.h"
#include "capture/capture.h"
#include "driver/show.h"
#include "platform/asset_files.h"
#include "platform/openmpt_audio.h"
#include "platform/os.h"
#include "platform/sdl_display.h"

namespace vorlith {

namespace {

int playInWindow(const Options& options, const std::filesystem::path& assets) {
  std::string noDisplay;
  if (!displayReachable(noDisplay)) {
    std::fprintf(stderr, "vorlith: %s\n", noDisplay.c_str());
    SDL_Quit();
    return 1;
  }
  Counter counter = Counter::real();
  SdlDisplay window(options.window);
  OpenmptAudio audio(true);
  ShowSetup setup;
  setup.counter = &counter;
  setup.display = window.display();
  setup.audio = options.mute ? silentAudioLibrary() : audio.library();
  setup.start = options.start;
  setup.assets = packDirectorySource(assets);
  setup.notices = options.noDialogs ? stderrNotices : NoticeSink{sdlNotice, nullptr};
  const char* failure = nullptr;
  const int status = runShow(setup, &failure);
  if (failure) std::fprintf(stderr, "vorlith: %s\n", failure);
  SDL_Quit();
  return status;
}

}  // namespace

int appMain(int argc, const char* const* argv) {
  attachToConsole();
  // UTF-8 from here on, whatever the system's code page.
  const std::vector<std::string> arguments = programArguments(argc, argv);
  std::vector<const char*> pointers;
  for (const std::string& a : arguments) pointers.push_back(a.c_str());
  argc = static_cast<int>(pointers.size());
  pointers.push_back(nullptr);
  argv = pointers.data();
  Options options;
  std::string error;
  if (!parseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "vorlith: %s\nTry 'vorlith --help'.\n", error.c_str());
    return 2;
  }
  if (options.mode == Options::Mode::help) {
    std::fputs(usageText().c_str(), stdout);
    return 0;
  }
  if (options.mode == Options::Mode::version) {
    std::printf("vorlith %s\n", VORLITH_VERSION);
    return 0;
  }
  // The capture's output is named relative to where the program was started.
  if (!options.capture.empty()) options.capture = utf8Path(std::filesystem::absolute(pathFromUtf8(options.capture)));
  // Without --assets: the pack in the working directory, else the one that came with the program.
  if (options.assets.empty()) options.assets = defaultAssetDirectory(argc > 0 ? argv[0] : nullptr);
  // The show's files are read by their paths joined to the pack's directory.
  const std::filesystem::path assets = pathFromUtf8(options.assets);
  if (!assets.empty()) {
    std::error_code failure;
    if (!std::filesystem::is_directory(assets, failure)) {
      if (!failure) failure = std::make_error_code(std::errc::not_a_directory);
      std::fprintf(stderr, "vorlith: can't use the asset directory %s: %s\n", options.assets.c_str(),
                   failure.message().c_str());
      return 2;
    }
  }
  if (options.mode == Options::Mode::bench) return runBench(options.fps, assets);
  if (options.mode == Options::Mode::capture) {
    CaptureOptions capture;
    capture.output = options.capture;
    capture.assets = assets;
    capture.fps = options.fps;
    capture.frames = options.frames;
    capture.start = options.start;
    capture.until = options.until;
    capture.videoScale = options.videoScale;
    capture.aspect = options.window.aspect;
    capture.mute = options.mute;
    capture.replace = options.replace;
    return runCapture(capture);
  }
  return playInWindow(options, assets);
}

}  // namespace vorlith
