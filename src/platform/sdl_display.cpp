#include "platform/sdl_display.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>

#include "driver/notice.h"

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
  return d;
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
  if (options_.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  window_ = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width * scale,
                             shownHeight * scale, flags);
  if (!window_) {
    std::fprintf(stderr, "vorlith: can't open a window: %s\n", SDL_GetError());
    close();
    return false;
  }
  // Read when the texture is made: nearest neighbour keeps the pixels crisp.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
  if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (!renderer_) {
    std::fprintf(stderr, "vorlith: can't draw into the window: %s\n", SDL_GetError());
    close();
    return false;
  }
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
  if (!texture_) {
    std::fprintf(stderr, "vorlith: can't make the frame texture: %s\n", SDL_GetError());
    close();
    return false;
  }
  // The top byte of a pixel is never shown.
  SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
  SDL_RenderSetLogicalSize(renderer_, width, shownHeight);
  SDL_RenderSetIntegerScale(renderer_, options_.aspect ? SDL_FALSE : SDL_TRUE);
  if (options_.fullscreen) SDL_ShowCursor(SDL_DISABLE);
  return true;
}

void SdlDisplay::close() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
  texture_ = nullptr;
  renderer_ = nullptr;
  if (window_ || SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  window_ = nullptr;
}

void SdlDisplay::present(const uint32_t* pixels) {
  SDL_UpdateTexture(texture_, nullptr, pixels, frameWidth_ * 4);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
}

void SdlDisplay::pumpEvents() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_KEYDOWN) {
      keys_.push_back(static_cast<int>(event.key.keysym.sym));  // SDLK_ESCAPE is 27
    } else if (event.type == SDL_QUIT) {
      keys_.push_back(keyEscape);  // closing the window ends the show like Escape
    }
  }
}

void sdlNotice(void* context, const char* caption, const char* text) {
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, nullptr) != 0)
    noticeToStderr(context, caption, text);
}

}  // namespace vorlith
