#include "platform/x11/preview_window.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <utility>

#include "platform/files/picture_file.h"
#include "platform/files/regular_file.h"
#include "platform/x11/x11_errors.h"
#include "scene/exit_status.h"

namespace larkspill {

PreviewPicture LoadPreviewPicture(const std::string& path) {
  std::string error;
  RegularFile file = OpenRegularFile(path, &error);
  SdlSurfacePtr read = file.IsOpen() ? ReadBmp(file.fd(), file.size(), &error) : nullptr;
  if (!read) throw std::runtime_error("cannot read the preview picture " + path + ": " + error);
  SDL_Surface* loaded = read.release();
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(loaded);
  if (argb == nullptr) {
    throw std::runtime_error("cannot read the preview picture " + path + ": " + SDL_GetError());
  }
  PreviewPicture picture;
  picture.width = argb->w;
  picture.height = argb->h;
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  SDL_LockSurface(argb);
  for (int y = 0; y < picture.height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(argb->pixels) +
                                                        static_cast<size_t>(y) * argb->pitch);
    for (int x = 0; x < picture.width; ++x) {
      picture.pixels[static_cast<size_t>(y) * picture.width + x] = row[x] & 0xFFFFFFu;
    }
  }
  SDL_UnlockSurface(argb);
  SDL_FreeSurface(argb);
  return picture;
}

unsigned long TrueColourPixel(uint32_t rgb, const ColourMasks& masks) {
  auto channel = [](uint32_t value, unsigned long mask) -> unsigned long {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    unsigned long scaled =
        bits <= 8 ? value >> (8 - bits) : static_cast<unsigned long>(value) << (bits - 8);
    return (scaled << shift) & mask;
  };
  return channel((rgb >> 16) & 0xFF, masks.red) | channel((rgb >> 8) & 0xFF, masks.green) |
         channel(rgb & 0xFF, masks.blue);
}

struct PreviewWindow::State {
  Window parent = 0;
  PreviewPicture picture;
  std::function<int()> pending_signal;

  Display* display = nullptr;
  Window window = 0;
  bool window_destroyed = false;
  GC gc = nullptr;
  XImage* image = nullptr;
  Visual* visual = nullptr;
  int depth = 0;
  Colormap colormap = 0;
  bool true_colour = false;
  ColourMasks masks;
  std::map<uint32_t, unsigned long> allocated;  // colour cells of a palette visual
  int width = 0;
  int height = 0;

  unsigned long Pixel(uint32_t rgb) {
    if (true_colour) return TrueColourPixel(rgb, masks);
    auto found = allocated.find(rgb);
    if (found != allocated.end()) return found->second;
    XColor colour{};
    colour.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257);
    colour.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257);
    colour.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
    colour.flags = DoRed | DoGreen | DoBlue;
    unsigned long pixel = XAllocColor(display, colormap, &colour)
                              ? colour.pixel
                              : BlackPixel(display, DefaultScreen(display));
    allocated[rgb] = pixel;
    return pixel;
  }

  bool MakeImage() {
    image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                         static_cast<unsigned>(picture.width),
                         static_cast<unsigned>(picture.height), BitmapPad(display), 0);
    if (image == nullptr) return false;
    image->data = static_cast<char*>(std::calloc(static_cast<size_t>(image->bytes_per_line),
                                                 static_cast<size_t>(picture.height)));
    if (image->data == nullptr) return false;
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        XPutPixel(image, x, y, Pixel(picture.pixels[static_cast<size_t>(y) * picture.width + x]));
      }
    }
    return true;
  }

  // Paints the part of the picture inside an exposed rectangle; the background does the rest.
  void Paint(int x, int y, int w, int h) {
    const int right = std::min(x + w, picture.width);
    const int bottom = std::min(y + h, picture.height);
    if (x >= right || y >= bottom) return;
    XPutImage(display, window, gc, image, x, y, x, y, static_cast<unsigned>(right - x),
              static_cast<unsigned>(bottom - y));
  }

  void FollowParentSize(int w, int h) {
    w = std::max(w, 1);
    h = std::max(h, 1);
    if (w == width && h == height) return;
    width = w;
    height = h;
    XResizeWindow(display, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
  }

  void Release() {
    if (display == nullptr) return;
    if (image != nullptr) XDestroyImage(image);
    image = nullptr;
    if (gc != nullptr) XFreeGC(display, gc);
    gc = nullptr;
    // Leave nothing behind in a pane that still exists.
    if (window != 0 && !window_destroyed && !OwnXWindowFailed()) XDestroyWindow(display, window);
    XSync(display, False);
    XCloseDisplay(display);
    display = nullptr;
    ForgetOwnXWindows();
  }
};

PreviewWindow::PreviewWindow(uint32_t PreviewParent, PreviewPicture picture,
                             std::function<int()> pending_signal)
    : state_(std::make_unique<State>()) {
  state_->parent = PreviewParent;
  state_->picture = std::move(picture);
  state_->pending_signal = std::move(pending_signal);
}

PreviewWindow::~PreviewWindow() {
  state_->Release();
}

int PreviewWindow::Run() {
  State& s = *state_;
  s.display = XOpenDisplay(nullptr);
  if (s.display == nullptr) {
    std::fprintf(stderr, "larkspill: cannot open the X display %s for the preview\n",
                 XDisplayName(nullptr));
    return kExitNoDisplay;
  }
  // The pane's client area; asking for it also tells us whether the pane exists.
  XWindowAttributes pane{};
  bool found = false;
  {
    XErrorTrap trap(s.display);
    found = XGetWindowAttributes(s.display, s.parent, &pane) != 0 && !trap.Caught();
  }
  if (!found) {
    std::fprintf(stderr, "larkspill: /p names window %u (0x%x), which does not exist\n",
                 static_cast<unsigned>(s.parent), static_cast<unsigned>(s.parent));
    return kExitUsage;
  }
  if (pane.c_class == InputOnly) {
    std::fprintf(stderr, "larkspill: /p names window %u (0x%x), which cannot show a picture\n",
                 static_cast<unsigned>(s.parent), static_cast<unsigned>(s.parent));
    return kExitUsage;
  }
  s.visual = pane.visual;
  s.depth = pane.depth;
  s.colormap =
      pane.colormap != None ? pane.colormap : DefaultColormap(s.display, DefaultScreen(s.display));
  s.true_colour = s.visual->c_class == TrueColor || s.visual->c_class == DirectColor;
  s.masks = ColourMasks{s.visual->red_mask, s.visual->green_mask, s.visual->blue_mask};
  s.width = std::max(pane.width, 1);
  s.height = std::max(pane.height, 1);

  // Errors about the pane or our window mean the pane's owner destroyed it: the normal way
  // preview mode ends, noted and never fatal.
  WatchOwnXWindow(s.parent);
  // Its size changes and its end reach us through the pane's structure events.
  XSelectInput(s.display, s.parent, StructureNotifyMask);
  XSetWindowAttributes attributes{};
  attributes.background_pixel = s.Pixel(0x000000);
  attributes.border_pixel = attributes.background_pixel;
  attributes.event_mask = ExposureMask | StructureNotifyMask;
  // A child of the pane, in the pane's own visual, so it is drawn as part of the pane and the
  // window manager never sees it as a window to focus.
  s.window = XCreateWindow(s.display, s.parent, 0, 0, static_cast<unsigned>(s.width),
                           static_cast<unsigned>(s.height), 0, CopyFromParent, InputOutput,
                           CopyFromParent, CWBackPixel | CWBorderPixel | CWEventMask, &attributes);
  WatchOwnXWindow(s.window);
  XStoreName(s.display, s.window, PreviewWindow::kCaption);
  if (XWMHints* hints = XAllocWMHints()) {
    hints->flags = InputHint;
    hints->input = False;
    XSetWMHints(s.display, s.window, hints);
    XFree(hints);
  }
  s.gc = XCreateGC(s.display, s.window, 0, nullptr);
  if (!s.MakeImage()) {
    std::fprintf(stderr, "larkspill: cannot make the preview picture for the X display\n");
    return kExitNoDisplay;
  }
  XMapWindow(s.display, s.window);
  XSync(s.display, False);

  const int connection = ConnectionNumber(s.display);
  while (true) {
    while (XPending(s.display) > 0) {
      XEvent event;
      XNextEvent(s.display, &event);
      switch (event.type) {
        case Expose:
          if (event.xexpose.window == s.window) {
            s.Paint(event.xexpose.x, event.xexpose.y, event.xexpose.width, event.xexpose.height);
          }
          break;
        case ConfigureNotify:
          if (event.xconfigure.window == s.parent) {
            s.FollowParentSize(event.xconfigure.width, event.xconfigure.height);
          }
          break;
        case DestroyNotify:
          if (event.xdestroywindow.window == s.window) s.window_destroyed = true;
          if (event.xdestroywindow.window == s.window || event.xdestroywindow.window == s.parent) {
            return kExitOk;
          }
          break;
        default:
          break;
      }
    }
    // A request that met a vanished window: the pane is going, and so are we.
    if (OwnXWindowFailed()) return kExitOk;
    if (int signal = s.pending_signal ? s.pending_signal() : 0; signal != 0) return 128 + signal;
    pollfd readable{connection, POLLIN, 0};
    poll(&readable, 1, 200);
  }
}

int RunPreview(bool has_number, int32_t PreviewParent, const std::string& asset_dir,
               std::function<int()> pending_signal) {
  if (!has_number) {
    std::fprintf(stderr,
                 "larkspill: /p needs the preview pane's window id, as in /p 12345; nothing "
                 "to show the preview in\n");
    return kExitUsage;
  }
  if (PreviewParent <= 0) {
    std::fprintf(stderr, "larkspill: /p names window %d, which cannot exist\n", PreviewParent);
    return kExitUsage;
  }
  std::string path = asset_dir;
  if (!path.empty() && path.back() != '/') path += '/';
  path += PreviewWindow::kPictureFile;
  PreviewPicture picture;
  try {
    picture = LoadPreviewPicture(path);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "larkspill: %s\n", error.what());
    return kExitAssetError;
  }
  PreviewWindow window(static_cast<uint32_t>(PreviewParent), std::move(picture),
                       std::move(pending_signal));
  return window.Run();
}

}  // namespace larkspill
