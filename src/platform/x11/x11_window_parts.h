#pragma once

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <string_view>

// What the presenters need to know of an SDL window on X11: its connection and window, and
// whether it keeps pixels as the frame does.
namespace larkspill {

// SDL's X connection and the window, where the window is on X11.
inline bool X11Parts(SDL_Window* window, Display** display, Window* x_window) {
  if (std::string_view(SDL_GetCurrentVideoDriver()) != "x11") return false;
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (!SDL_GetWindowWMInfo(window, &wm) || wm.subsystem != SDL_SYSWM_X11) return false;
  *display = wm.info.x11.display;
  *x_window = wm.info.x11.window;
  return true;
}

// Whether the window's visual keeps pixels as the frame does: 8 bits each of red, green, blue.
inline bool FrameLikeVisual(const XWindowAttributes& attributes) {
  return attributes.visual != nullptr && attributes.visual->red_mask == 0xFF0000 &&
         attributes.visual->green_mask == 0xFF00 && attributes.visual->blue_mask == 0xFF;
}

// The pixels are in this machine's own order; Xlib turns them round for a server of the other.
inline constexpr int kOwnByteOrder = SDL_BYTEORDER == SDL_LIL_ENDIAN ? LSBFirst : MSBFirst;

}  // namespace larkspill
