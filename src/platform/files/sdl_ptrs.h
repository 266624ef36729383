#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <memory>

namespace larkspill {

// Owners for SDL handles: each frees its handle with the matching SDL call.
struct SdlWindowDeleter {
  void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
};
struct SdlSurfaceDeleter {
  void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
struct TtfFontDeleter {
  void operator()(TTF_Font* font) const { TTF_CloseFont(font); }
};

using SdlWindowPtr = std::unique_ptr<SDL_Window, SdlWindowDeleter>;
using SdlSurfacePtr = std::unique_ptr<SDL_Surface, SdlSurfaceDeleter>;
using TtfFontPtr = std::unique_ptr<TTF_Font, TtfFontDeleter>;

}  // namespace larkspill
