// Runs the real saver scene on the SDL display with a scripted clock and a fixed random seed, and
// prints, for every frame, a hash of what the X server then shows on the whole screen (and writes
// chosen frames as PPM pictures). Two builds that print the same hashes put the same pixels on
// the screen at the same frames; that is how a change to the scene, the way frames are described,
// composed or sent is checked.
//
//   DISPLAY=:N frame_check ASSET_DIR [FRAMES] [PPM_DIR]
//
// With FRAME_CHECK_EMBED=1 the display draws into a window the size of the screen that this
// program creates, as under a screen-saver host, instead of into full-screen windows of its own.
//
// The scene runs on its first-run settings with everything shown: both waterfalls taking turns
// every three seconds, all creatures, the clock in the upper right, the message, and the
// frame-rate figure; for a while the scene is switched off, as when no waterfall is chosen. Time
// advances 16 or 17 ms a frame and the timers run as the saver's loop runs them, so each run is
// the same. Nothing is heard: the sound device is silent.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/display/screen_display.h"
#include "platform/x11/x11_screens.h"
#include "scene/clock.h"
#include "scene/random.h"
#include "scene/saver_window.h"
#include "settings/key_table.h"
#include "fakes/memory_store.h"
#include "startup/fps_overlay.h"

namespace larkspill {
namespace {

// A clock that moves only when the script moves it; the day starts at 10:27:10.
class ScriptClock : public Clock {
 public:
  uint32_t TickCount() override { return ticks; }
  double SecondsSinceMidnight() override { return 37630 + (ticks - kBoot) / 1000.0; }
  std::string TimeText(double day_fraction) override {
    const int seconds = static_cast<int>(day_fraction * 86400 + 0.5);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600 % 24, seconds / 60 % 60,
                  seconds % 60);
    return text;
  }
  // The tick count starts an hour after boot, as a saver's does: never near 0.
  static constexpr uint32_t kBoot = 3600000;
  uint32_t ticks = kBoot;
};

class SilentSound : public SoundDevice {
 public:
  int32_t LoadSound(const std::string&) override { return ++sounds_; }
  void PlaySound(int32_t, int32_t, int32_t) override {}
  void ReleaseSound(int32_t) override {}
  void PlaySoundLooped(int32_t) override {}
  void StopSound(int32_t) override {}
  void StopAllSounds() override {}
  void SetSoundVolume(int32_t, int32_t) override {}

 private:
  int32_t sounds_ = 0;
};

class NoDesktop : public WindowSystem {
 public:
  bool FindWindowByTitle(const std::string&) override { return false; }
  Rect DesktopRect() override { return {0, 0, 800, 600}; }
  void ShowCursor(bool) override {}
  void SetScreenSaverRunning(bool) override {}
  bool MonitorPoweredOff() override { return false; }
  bool PreviousInstanceRunning() override { return false; }
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
  WindowOptions options{.title = "frame check"};
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
  ScreenDisplay display(std::make_unique<X11Screens>(options));
  FpsOverlay fps(clock);
  MemoryStore store;
  WriteFirstRunValues(store);
  auto set = [&store](Key key, const char* value) {
    store.SaveSetting(kAppName, Setting(key).section, Setting(key).key, value);
  };
  set(Key::SceneSeconds, "3");
  set(Key::ClockCorner, "3");
  set(Key::ShowUserMessage, "1");
  SilentSound sound;
  NoDesktop desktop;
  SeededRandom random;
  SaverWindow window({display, sound, store, desktop, clock, random, assets + "/", nullptr,
                      [&fps](SceneFrame& frame) { fps.AddTo(frame); }});
  window.Load();
  if (window.EndStatus()) return 1;

  for (int frame = 0; frame < frames; ++frame) {
    clock.ticks += frame % 3 == 2 ? 16 : 17;
    // A stretch without a scene; the next turn of the waterfalls brings it back.
    if (frame == 400) window.CurrentWaterfall = 0;
    window.Timers().RunDue(clock.ticks);
    window.OnFrame();
    display.WaitForNextFrame();
    if (window.EndStatus()) return 1;
    // The display does not wait for the server to take in what it sent; a whole first frame is
    // a large request, so give it time before looking.
    if (frame == 0) usleep(100000);
    XSync(x, False);
    const bool keep = ppm_dir != nullptr && (frame % 50 == 0 || frame == frames - 1);
    std::printf("%d %016llx\n", frame,
                static_cast<unsigned long long>(ScreenHash(x, frame, keep ? ppm_dir : nullptr)));
  }
  window.CloseDown();
  display.Close();
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
  int frames = argc > 2 ? std::atoi(argv[2]) : 600;
  return larkspill::Run(argv[1], frames, argc > 3 ? argv[3] : nullptr);
}
