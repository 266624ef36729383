// CPU cost of one saver frame on the display: an 800 x 600 background, eight keyed creatures, a
// clock and a message, shown and then paced to the refresh rate by sleeping (so wall time per
// frame is the frame period and CPU time is the real cost).
//
// Without DISPLAY the offscreen video driver is used (composition only); with DISPLAY set (an
// X server, e.g. Xvfb) the frame also travels to the window. LARKSPILL_BENCH_WINDOWED=1 uses an
// 800 x 600 window instead of the full screen; SDL_RENDER_DRIVER picks another renderer.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/display/screen_display.h"
#include "platform/x11/x11_screens.h"

namespace larkspill {
namespace {

// Writes a w x h picture: a gradient, or magenta around an ellipse when `keyed`.
std::string WritePicture(const std::filesystem::path& dir, const std::string& name, int w, int h,
                         bool keyed) {
  SdlSurfacePtr surface(SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_RGB24));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      auto* p = static_cast<Uint8*>(surface->pixels) + y * surface->pitch + x * 3;
      double dx = (x - w / 2.0) / (w / 2.0);
      double dy = (y - h / 2.0) / (h / 2.0);
      bool inside = !keyed || dx * dx + dy * dy < 1.0;
      p[0] = inside ? static_cast<Uint8>(x * 255 / w) : 255;
      p[1] = inside ? static_cast<Uint8>(y * 255 / h) : 0;
      p[2] = inside ? 90 : 255;
    }
  }
  std::string path = (dir / name).string();
  SDL_SaveBMP(surface.get(), path.c_str());
  return path;
}

// The saver reads the window system's events once a frame; so does the benchmark.
struct IgnoredEvents : DisplayEvents {
  void OnFrame() override {}
  void OnPointerMoved() override {}
  void OnButton() override {}
  void OnWheel() override {}
  void OnKey() override {}
  void OnScreenTaken() override {}
};

void BM_SaverFrame(benchmark::State& state) {
  if (std::getenv("DISPLAY") == nullptr) setenv("SDL_VIDEODRIVER", "offscreen", 1);
  bool windowed = std::getenv("LARKSPILL_BENCH_WINDOWED") != nullptr;
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "larkspill_frame_bench";
  std::filesystem::create_directories(dir);

  ScreenDisplay display(
      std::make_unique<X11Screens>(WindowOptions{.title = "frame bench", .fullscreen = !windowed}));
  if (!display.Open(800, 600)) {
    state.SkipWithError("no display");
    return;
  }
  auto load = [&](const std::string& name, int w, int h, bool keyed) {
    const std::string path = WritePicture(dir, name, w, h, keyed);
    return display.LoadPictures({&path, 1}, keyed);
  };
  const Pictures background = load("bg.bmp", 800, 600, false);
  const int sizes[8][2] = {{70, 50}, {70, 50},  {70, 50}, {60, 45},
                           {60, 45}, {118, 60}, {75, 40}, {75, 40}};
  Pictures creatures[8];
  for (int i = 0; i < 8; ++i) {
    creatures[i] = load("creature" + std::to_string(i) + ".bmp", sizes[i][0], sizes[i][1], true);
  }

  IgnoredEvents events;
  SceneFrame frame;
  for (int step = 1; auto _ : state) {
    display.PumpEvents(events);
    frame.drawings.clear();
    frame.Picture(background, 1, 0, 0);
    for (int i = 0; i < 8; ++i) frame.Picture(creatures[i], 1, 80 * i + step, 60 * i);
    frame.Text("12:00:00", "Arial", 20, kYellow, 650, 1);
    frame.Text("A message along the bottom of the screen", "Arial", 14, kYellow, 1, 568);
    display.Show(frame);
    display.WaitForNextFrame();
    ++step;
  }
  state.SetLabel(display.RendererName());
  display.Close();
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SaverFrame)->MeasureProcessCPUTime()->Iterations(300)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace larkspill

BENCHMARK_MAIN();
