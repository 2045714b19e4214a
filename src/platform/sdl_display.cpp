#include "platform/sdl_display.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/asset_files.h"
#include "platform/os.h"

namespace vorlith {

SdlDisplay::~SdlDisplay() { close(); }

Display SdlDisplay::display() {
  Display d;
  d.context = this;
  d.open = [](void* c, const char* title, int w, int h) { return static_cast<SdlDisplay*>(c)->open(title, w, h); };
  d.close = [](void* c) { static_cast<SdlDisplay*>(c)->close(); };
  d.present = [](void* c, const uint32_t* pixels) { static_cast<SdlDisplay*>(c)->present(pixels); };
  d.keyWaiting = [](void* c) {
    auto* self = static_cast<SdlDisplay*>(c);
    self->pumpEvents();
    return !self->keys_.empty();
  };
  d.readKey = [](void* c) {
    auto* self = static_cast<SdlDisplay*>(c);
    if (self->keys_.empty()) return 0;
    const int key = self->keys_.front();
    self->keys_.pop_front();
    return key;
  };
  d.frameRate = [](void* c) { return static_cast<SdlDisplay*>(c)->frameRate(); };
  return d;
}

// The display's refresh rate: the window's once it is open, before that the
// desktop's (where the window will open), 0 when none can be had.
uint32_t SdlDisplay::frameRate() {
  if (refreshRate_ || window_) return refreshRate_;
  SDL_DisplayMode desktop;
  if (!videoStarted_) videoStarted_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  if (videoStarted_ && SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.refresh_rate > 0)
    return static_cast<uint32_t>(desktop.refresh_rate);
  return 0;
}

bool SdlDisplay::open(const char* title, int width, int height) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "vorlith: can't open a window: %s\n", SDL_GetError());
    return false;
  }
  frameWidth_ = width;
  frameHeight_ = height;
  const int shownHeight = options_.aspect ? width * 3 / 4 : height;

  int scale = options_.scale;
  if (scale <= 0) {
    // The largest whole multiple that leaves room on the desktop, at most 4.
    scale = 3;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0) {
      scale = std::clamp(std::min(usable.w * 9 / 10 / width, usable.h * 9 / 10 / shownHeight), 1, 4);
    }
  }
  Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
  int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
  int w = width * scale, h = shownHeight * scale;
  SDL_DisplayMode desktop;
  if (options_.fullscreen && SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
    // Made at the desktop's size from the start, so that the window covers
    // the screen even where no window manager acts on the fullscreen request.
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
    x = y = 0;
    w = desktop.w;
    h = desktop.h;
  }
  window_ = SDL_CreateWindow(title, x, y, w, h, flags);
  if (!window_) {
    std::fprintf(stderr, "vorlith: can't open a window: %s\n", SDL_GetError());
    close();
    return false;
  }
  if (!openRenderer() && !openSurface()) {
    std::fprintf(stderr, "vorlith: can't draw into the window: %s\n", SDL_GetError());
    close();
    return false;
  }
  SDL_DisplayMode mode;
  const int hz = SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0 ? mode.refresh_rate : 60;
  refreshRate_ = static_cast<uint32_t>(hz);
  refresh_ = std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(1.0 / hz));
  fitOutput();
  if (options_.fullscreen) SDL_ShowCursor(SDL_DISABLE);
  return true;
}

namespace {

// True for a renderer that draws on the processor: a software OpenGL such as
// llvmpipe scales a texture far more slowly than a plain loop does.
bool drawsInSoftware(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0 || (info.flags & SDL_RENDERER_SOFTWARE)) return true;
  if (std::strncmp(info.name, "opengl", 6) != 0) return false;
  using GetString = const unsigned char* (*)(unsigned);
  auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const auto* name = getString ? reinterpret_cast<const char*>(getString(0x1F01 /* GL_RENDERER */)) : nullptr;
  return name && (std::strstr(name, "llvmpipe") || std::strstr(name, "softpipe") || std::strstr(name, "Software") ||
                  std::strstr(name, "swrast"));
}

}  // namespace

// The graphics card path: the frame goes into a texture that the card scales.
bool SdlDisplay::openRenderer() {
  // Read when the texture is made: nearest neighbour keeps the pixels crisp.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  // Some drivers refuse vsync; then the display paces the frames itself.
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
  if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
  if (renderer_ && !drawsInSoftware(renderer_))
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, frameWidth_,
                                 frameHeight_);
  if (!texture_) {
    if (renderer_) SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
    return false;
  }
  // The top byte of a pixel is never shown.
  SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
  SDL_RendererInfo info;
  vsync_ = SDL_GetRendererInfo(renderer_, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC);
  if (!options_.aspect) {
    // Whole-number scaling, centred with black borders: every pixel a crisp square.
    SDL_RenderSetLogicalSize(renderer_, frameWidth_, frameHeight_);
    SDL_RenderSetIntegerScale(renderer_, SDL_TRUE);
  }
  return true;
}

// The processor path: the frame is scaled by a plain loop straight into the
// window's own pixels.
bool SdlDisplay::openSurface() {
  vsync_ = false;
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  return SDL_GetWindowSurface(window_) != nullptr;
}

// Reads the size of the drawable area (larger than the window on HiDPI
// displays) and, for the 4:3 view, makes the intermediate picture: the frame
// at the smallest whole multiple that is at least as tall as the output, so
// that the final smoothing to 4:3 only ever scales down a little and edges
// stay sharp.
void SdlDisplay::fitOutput() {
  if (!renderer_) {
    fitSurface();
    return;
  }
  SDL_GetRendererOutputSize(renderer_, &outputWidth_, &outputHeight_);
  if (!options_.aspect) return;
  const int multiple = std::clamp((outputHeight_ + frameHeight_ - 1) / frameHeight_, 1, 16);
  int w = 0, h = 0;
  if (upscaled_) SDL_QueryTexture(upscaled_, nullptr, nullptr, &w, &h);
  if (upscaled_ && h == frameHeight_ * multiple) return;
  if (upscaled_) SDL_DestroyTexture(upscaled_);
  upscaled_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                frameWidth_ * multiple, frameHeight_ * multiple);
  if (upscaled_) SDL_SetTextureScaleMode(upscaled_, SDL_ScaleModeLinear);
}

void SdlDisplay::close() {
  if (upscaled_) SDL_DestroyTexture(upscaled_);
  upscaled_ = nullptr;
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
  texture_ = nullptr;
  renderer_ = nullptr;
  if (window_ || SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (videoStarted_ && SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  videoStarted_ = false;
  window_ = nullptr;
}

// The box the frame fills in the window surface, and for each of its columns
// and rows the frame column and row shown there (nearest neighbour).
void SdlDisplay::fitSurface() {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (!surface) return;
  outputWidth_ = surface->w;
  outputHeight_ = surface->h;
  int w, h;
  if (options_.aspect) {
    w = std::min(outputWidth_, outputHeight_ * 4 / 3);
    h = w * 3 / 4;
  } else {
    const int multiple = std::max(1, std::min(outputWidth_ / frameWidth_, outputHeight_ / frameHeight_));
    w = frameWidth_ * multiple;
    h = frameHeight_ * multiple;
  }
  box_ = {(outputWidth_ - w) / 2, (outputHeight_ - h) / 2, w, h};
  columnOf_.resize(static_cast<size_t>(std::max(w, 0)));
  rowOf_.resize(static_cast<size_t>(std::max(h, 0)));
  for (int x = 0; x < w; ++x) columnOf_[x] = x * frameWidth_ / w;
  for (int y = 0; y < h; ++y) rowOf_[y] = y * frameHeight_ / h;
  scaled_.assign(static_cast<size_t>(outputWidth_) * outputHeight_, 0);
}

void SdlDisplay::presentToSurface(const uint32_t* pixels) {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (!surface) return;
  if (surface->w != outputWidth_ || surface->h != outputHeight_) fitSurface();
  // Scale into a 0x00RRGGBB picture of the whole surface (the borders stay
  // black), repeating the previous line where a frame row spans several.
  const int w = box_.w;
  for (int y = 0; y < box_.h; ++y) {
    uint32_t* line = scaled_.data() + static_cast<size_t>(box_.y + y) * outputWidth_ + box_.x;
    if (y > 0 && rowOf_[y] == rowOf_[y - 1]) {
      std::memcpy(line, line - outputWidth_, static_cast<size_t>(w) * 4);
      continue;
    }
    const uint32_t* source = pixels + static_cast<size_t>(rowOf_[y]) * frameWidth_;
    for (int x = 0; x < w; ++x) line[x] = source[columnOf_[x]];
  }
  pace();
  SDL_LockSurface(surface);
  SDL_ConvertPixels(outputWidth_, outputHeight_, SDL_PIXELFORMAT_RGB888, scaled_.data(), outputWidth_ * 4,
                    surface->format->format, surface->pixels, surface->pitch);
  SDL_UnlockSurface(surface);
  SDL_UpdateWindowSurface(window_);
  lastPresent_ = std::chrono::steady_clock::now();
}

void SdlDisplay::present(const uint32_t* pixels) {
  if (!renderer_) {
    presentToSurface(pixels);
    return;
  }
  SDL_UpdateTexture(texture_, nullptr, pixels, frameWidth_ * 4);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  if (options_.aspect && upscaled_) {
    SDL_SetRenderTarget(renderer_, upscaled_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_SetRenderTarget(renderer_, nullptr);
    // The largest 4:3 box that fits, centred.
    SDL_Rect box{0, 0, outputWidth_, outputWidth_ * 3 / 4};
    if (box.h > outputHeight_) box = {0, 0, outputHeight_ * 4 / 3, outputHeight_};
    box.x = (outputWidth_ - box.w) / 2;
    box.y = (outputHeight_ - box.h) / 2;
    SDL_RenderCopy(renderer_, upscaled_, nullptr, &box);
  } else {
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  }
  pace();
  SDL_RenderPresent(renderer_);
  lastPresent_ = std::chrono::steady_clock::now();
}

// With vsync the present itself waits for the display. Where there is none,
// or it is not honoured, wait out the refresh interval here, so that the loop
// never spins thousands of frames a second. A display that does wait is
// given a little slack, so that this never makes it miss a refresh.
void SdlDisplay::pace() {
  const auto spacing = vsync_ ? refresh_ * 3 / 4 : refresh_;
  const auto due = lastPresent_ + spacing;
  if (std::chrono::steady_clock::now() < due) std::this_thread::sleep_until(due);
}

void SdlDisplay::pumpEvents() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_KEYDOWN) {
      keys_.push_back(static_cast<int>(event.key.keysym.sym));  // SDLK_ESCAPE is 27
    } else if (event.type == SDL_QUIT) {
      keys_.push_back(keyEscape);  // closing the window ends the show like Escape
    } else if (event.type == SDL_WINDOWEVENT && (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                                                 event.window.event == SDL_WINDOWEVENT_DISPLAY_CHANGED)) {
      fitOutput();
    }
  }
}

namespace {

bool isSet(const char* name) {
  const char* value = SDL_getenv(name);
  return value && *value;
}

}  // namespace

bool displayReachable(std::string& why) {
  const bool chosen = isSet("SDL_VIDEODRIVER");
  // Where no Wayland can be reached, its probe is silenced: nothing worth
  // reading is lost (with no Wayland session at all, libwayland prints an
  // error of its own when SDL merely looks for one).
  std::optional<QuietStderr> quiet;
  if (!isSet("WAYLAND_DISPLAY") && !isSet("XDG_RUNTIME_DIR")) quiet.emplace();
  const int status = SDL_InitSubSystem(SDL_INIT_VIDEO);
  quiet.reset();
  if (status != 0) {
    why = std::string("can't open a window: ") + SDL_GetError();
    return false;
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  const bool showsNothing = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
  // On success video stays initialised for the window (SDL counts the
  // initialisations), so the drivers are not probed twice.
  if (!showsNothing || chosen) return true;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  std::string where;
  if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY")) {
    where = "DISPLAY and WAYLAND_DISPLAY are unset";
  } else {
    if (isSet("DISPLAY")) where = std::string("DISPLAY=") + SDL_getenv("DISPLAY");
    if (isSet("WAYLAND_DISPLAY"))
      where += std::string(where.empty() ? "" : " and ") + "WAYLAND_DISPLAY=" + SDL_getenv("WAYLAND_DISPLAY");
    where += " can't be reached";
  }
  why = "no display to show the window on (" + where + "); use --capture OUT to render without one";
  return false;
}

void sdlNotice(void* context, const char* caption, const char* text) {
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, nullptr) != 0)
    noticeToStderr(context, caption, text);
}

}  // namespace vorlith
