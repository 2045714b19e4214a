#pragma once
#include <SDL_rect.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "driver/display.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace vorlith {

struct WindowOptions {
  int scale = 0;            // window size as a multiple of the frame; 0 picks one that fits the desktop
  bool fullscreen = false;  // desktop fullscreen, letterboxed
  bool aspect = false;      // show the 320x200 frame at 4:3, as a CRT did
};

// The window: an SDL2 window showing the 320x200 frame crisp (nearest
// neighbour, whole-number scale), presented with vsync where the display
// offers it. Closing the window counts as Escape.
class SdlDisplay {
 public:
  explicit SdlDisplay(const WindowOptions& options) : options_(options) {}
  ~SdlDisplay();
  SdlDisplay(const SdlDisplay&) = delete;
  SdlDisplay& operator=(const SdlDisplay&) = delete;

  Display display();

 private:
  bool open(const char* title, int width, int height);
  void close();
  uint32_t frameRate();
  void present(const uint32_t* pixels);
  void pumpEvents();
  bool openRenderer();
  bool openSurface();
  void fitOutput();
  void fitSurface();
  void presentToSurface(const uint32_t* pixels);
  void pace();

  WindowOptions options_;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  SDL_Texture* upscaled_ = nullptr;  // --aspect: the frame at a whole multiple, then smoothed to 4:3
  // Without a graphics card: the frame scaled by a loop into the window's pixels.
  SDL_Rect box_{};
  std::vector<int> columnOf_;
  std::vector<int> rowOf_;
  std::vector<uint32_t> scaled_;
  int outputWidth_ = 0;
  int outputHeight_ = 0;
  bool vsync_ = false;
  uint32_t refreshRate_ = 0;  // frames a second the display shows
  bool videoStarted_ = false;  // video started to ask for the rate before the window opened
  std::chrono::steady_clock::duration refresh_{};
  std::chrono::steady_clock::time_point lastPresent_{};
  int frameWidth_ = 0;
  int frameHeight_ = 0;
  std::deque<int> keys_;
};

// Whether a window opened now would be seen. Where neither X11 nor Wayland
// can be reached SDL falls back to a video driver that shows nothing
// ("offscreen", "dummy"): unless SDL_VIDEODRIVER asked for it, that is no
// display, and why says so (and what to do instead).
bool displayReachable(std::string& why);

// Shows a notice in a modal message box; where no box can be shown, on stderr.
void sdlNotice(void* context, const char* caption, const char* text);

}  // namespace vorlith
