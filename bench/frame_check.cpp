// Draws a fixed script of saver frames on the SDL display and prints, for every frame, a hash of
// what the X server then shows on the whole screen (and writes chosen frames as PPM pictures).
// Two builds of the display that print the same hashes put the same pixels on the screen at the
// same frames; that is how a change to the way frames are composed or sent is checked.
//
//   DISPLAY=:N frame_check ASSET_DIR [FRAMES] [PPM_DIR]
//
// With FRAME_CHECK_EMBED=1 the display draws into a window the size of the screen that this
// program creates, as under a screen-saver host, instead of into full-screen windows of its own.
//
// The script uses the scene's real pictures: both waterfalls in turn, water animating, eight
// creatures crossing (also off the edges and over each other), a clock text changing every
// second's worth of frames, a message, a frame without a scene, and creatures that stop being
// drawn. Time comes from a clock the script advances by a fixed step, so each run is the same.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "platform/display/sdl_display.h"
#include "scene/clock.h"
#include "scene/scene_layout.h"

namespace larkspill {
namespace {

namespace layout = scene_layout;

class ScriptClock : public Clock {
 public:
  uint32_t TickCount() override { return ticks; }
  double SecondsSinceMidnight() override { return ticks / 1000.0; }
  std::string TimeText(double) override { return "12:00:00"; }
  uint32_t ticks = 0;
};

// FNV-1a over the screen's pixels as 0xRRGGBB.
uint64_t ScreenHash(Display* x, int frame, const char* ppm_dir) {
  Window root = DefaultRootWindow(x);
  XWindowAttributes attributes{};
  XGetWindowAttributes(x, root, &attributes);
  XImage* image = XGetImage(x, root, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
  if (image == nullptr) return 0;
  uint64_t hash = 1469598103934665603ULL;
  FILE* ppm = nullptr;
  if (ppm_dir != nullptr) {
    std::string path = std::string(ppm_dir) + "/frame" + std::to_string(frame) + ".ppm";
    ppm = std::fopen(path.c_str(), "wb");
    if (ppm != nullptr) std::fprintf(ppm, "P6\n%d %d\n255\n", image->width, image->height);
  }
  for (int y = 0; y < image->height; ++y) {
    for (int xx = 0; xx < image->width; ++xx) {
      unsigned long pixel = XGetPixel(image, xx, y) & 0xFFFFFF;
      for (int shift = 16; shift >= 0; shift -= 8) {
        unsigned char byte = (pixel >> shift) & 0xFF;
        hash = (hash ^ byte) * 1099511628211ULL;
        if (ppm != nullptr) std::fputc(byte, ppm);
      }
    }
  }
  if (ppm != nullptr) std::fclose(ppm);
  XDestroyImage(image);
  return hash;
}

int Run(const std::string& assets, int frames, const char* ppm_dir) {
  Display* x = XOpenDisplay(nullptr);
  if (x == nullptr) {
    std::fprintf(stderr, "frame_check: no X display\n");
    return 1;
  }
  ScriptClock clock;
  SdlDisplayOptions options{.title = "frame check"};
  if (const char* embed = std::getenv("FRAME_CHECK_EMBED"); embed != nullptr && *embed == '1') {
    Window root = DefaultRootWindow(x);
    XWindowAttributes attributes{};
    XGetWindowAttributes(x, root, &attributes);
    Window host = XCreateSimpleWindow(x, root, 0, 0, attributes.width, attributes.height, 0, 0, 0);
    XMapWindow(x, host);
    XSync(x, False);
    options.embed_window = host;
    options.accept_input = false;
  }
  SdlDisplay display(clock, options);
  if (!display.OpenDisplay(800, 600, 16, "")) return 1;
  auto sprite = [&](std::span<const char* const> files, int32_t key, layout::Place at) {
    int32_t id = display.CreateSprite();
    int32_t frame = 1;
    for (const char* file : files) display.LoadSpriteFrame(id, frame++, assets + "/" + file, key);
    display.SetSpriteFrameDelay(id, 100);
    display.SetSpriteX(id, at.x);
    display.SetSpriteY(id, at.y);
    return id;
  };
  const int32_t opaque = kKeyOpaque;
  const int32_t keyed = kKeyTransparent;
  const std::span<const char* const> butterfly1 = layout::kFirstKindButterfly;
  const std::span<const char* const> butterfly2 = layout::kSecondKindButterfly;
  const std::span<const char* const> flock = layout::kFlock;
  const std::span<const char* const> bird = layout::kBird;
  const char* const two_kinds_of_wing[] = {butterfly1[0], butterfly1[3]};
  const layout::Place wide = {-layout::kWideMargin, 0};  // the backgrounds reach beyond the scene
  int32_t background1 = sprite({&layout::kBackground1, 1}, opaque, wide);
  int32_t water1 = sprite(layout::kWater1.files, opaque, layout::kWater1.place);
  int32_t background2 = sprite({&layout::kBackground2, 1}, opaque, wide);
  int32_t water2 = sprite(layout::kWater2.files, keyed, layout::kWater2.place);
  int32_t creatures[8] = {
      sprite(butterfly1.first(3), keyed, layout::kButterflyStarts[0]),
      sprite(butterfly1.subspan(3), keyed, layout::kButterflyStarts[1]),
      sprite(butterfly2.first(3), keyed, layout::kButterflyStarts[2]),
      sprite(butterfly2.subspan(3), keyed, layout::kButterflyStarts[3]),
      sprite(flock.first(4), keyed, layout::kFlockStart),
      sprite(bird.first(4), keyed, layout::kBirdStarts[0]),
      sprite(bird.subspan(4), keyed, {400, 450}),
      sprite(two_kinds_of_wing, keyed, {390, 300}),
  };
  for (int32_t creature : creatures) display.SetSpriteRoams(creature);
  const int steps[8][2] = {{-1, 1}, {-1, -1}, {0, 1}, {-2, 1}, {1, 0}, {1, 1}, {3, -1}, {0, 0}};

  for (int frame = 0; frame < frames; ++frame) {
    clock.ticks += 17;
    const int scene = (frame / 150) % 3;  // first waterfall, second, none
    if (scene == 0) {
      display.DrawSprite(background1);
      if (display.SpriteFrameDue(water1)) display.NextSpriteFrame(water1);
      display.DrawSprite(water1);
    } else if (scene == 1) {
      display.DrawSprite(background2);
      if (display.SpriteFrameDue(water2)) display.NextSpriteFrame(water2);
      display.DrawSprite(water2);
    } else {
      display.ClearBackBuffer(kBlack);
      display.SetTextFont("Arial", 30, 1, false, false, false);
      display.DrawText("You have not selected a Waterfall", 215, 295, kYellow);
    }
    for (int i = 0; i < 8; ++i) {
      // The flock rests for a while each lap, as it does in the scene.
      if (i == 4 && (frame / 90) % 3 == 2) continue;
      if (display.SpriteFrameDue(creatures[i])) display.NextSpriteFrame(creatures[i]);
      if (frame % (i + 1) == 0) {
        display.MoveSpriteX(creatures[i], steps[i][0]);
        display.MoveSpriteY(creatures[i], steps[i][1]);
      }
      if (display.GetSpriteX(creatures[i]) < -130) display.SetSpriteX(creatures[i], 805);
      if (display.GetSpriteX(creatures[i]) > 810) display.SetSpriteX(creatures[i], -118);
      if (display.GetSpriteY(creatures[i]) < -60) display.SetSpriteY(creatures[i], 605);
      if (display.GetSpriteY(creatures[i]) > 610) display.SetSpriteY(creatures[i], 10);
      display.DrawSprite(creatures[i]);
    }
    display.SetTextFont("Arial", 24, 1, false, false, false);
    display.DrawText("10:27:" + std::to_string(10 + frame / 60), 650, 1, kYellow);
    if (frame % 200 < 120) {
      display.SetTextFont("Arial", 24, 1, false, false, false);
      display.DrawText("Place a Message Here", 1, 568, kYellow);
    }
    display.Flip();
    // The display does not wait for the server to take in what it sent; a whole first frame is
    // a large request, so give it time before looking.
    if (frame == 0) usleep(100000);
    XSync(x, False);
    const bool keep = ppm_dir != nullptr && (frame % 50 == 0 || frame == frames - 1);
    std::printf("%d %016llx\n", frame,
                static_cast<unsigned long long>(ScreenHash(x, frame, keep ? ppm_dir : nullptr)));
  }
  display.CloseDisplay();
  XCloseDisplay(x);
  return 0;
}

}  // namespace
}  // namespace larkspill

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s ASSET_DIR [FRAMES] [PPM_DIR]\n", argv[0]);
    return 2;
  }
  int frames = argc > 2 ? std::atoi(argv[2]) : 450;
  return larkspill::Run(argv[1], frames, argc > 3 ? argv[3] : nullptr);
}
