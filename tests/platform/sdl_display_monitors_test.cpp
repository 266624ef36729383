// The full-screen display on an X server with two monitors. (The display drawing into a host's
// window is tested end to end, with the program, by the host tests.)
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "fakes/fake_clock.h"
#include "platform/sdl_display.h"

namespace larkspill {
namespace {

using testing::FakeClock;

// An X server with two 800 x 600 monitors side by side: Xorg's dummy driver, whose outputs
// RandR can switch on. Stops it when the suite ends. Not every machine has it, or lets Xorg run.
class TwoMonitorServer {
 public:
  bool Start() {
    const char* driver = "/usr/lib/xorg/modules/drivers/dummy_drv.so";
    if (!std::filesystem::exists(driver) || std::system("command -v Xorg xrandr >/dev/null") != 0) {
      return false;
    }
    dir_ = std::filesystem::temp_directory_path() /
           ("larkspill_two_monitors_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    std::string config = (dir_ / "xorg.conf").string();
    if (FILE* f = std::fopen(config.c_str(), "w")) {
      std::fputs(
          "Section \"ServerFlags\"\n Option \"AutoAddDevices\" \"false\"\n"
          " Option \"DontVTSwitch\" \"true\"\nEndSection\n"
          "Section \"Device\"\n Identifier \"d\"\n Driver \"dummy\"\n VideoRam 32768\n"
          "EndSection\n"
          "Section \"Monitor\"\n Identifier \"m\"\n HorizSync 5-1000\n VertRefresh 5-200\n"
          "EndSection\n"
          "Section \"Screen\"\n Identifier \"s\"\n Device \"d\"\n Monitor \"m\"\n"
          " DefaultDepth 24\n SubSection \"Display\"\n  Depth 24\n  Modes \"800x600\"\n"
          "  Virtual 1600 600\n EndSubSection\nEndSection\n",
          f);
      std::fclose(f);
    }
    // Xorg writes its display number to the pipe once it takes connections.
    int ready[2];
    if (pipe(ready) != 0) return false;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      int null_fd = open("/dev/null", O_WRONLY);
      dup2(ready[1], 3);
      dup2(null_fd, 1);
      dup2(null_fd, 2);
      std::string log = (dir_ / "xorg.log").string();
      execlp("Xorg", "Xorg", "-displayfd", "3", "-config", config.c_str(), "-logfile", log.c_str(),
             "-noreset", "-nolisten", "tcp", "-novtswitch", "-sharevts",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ready[1]);
    char number[16] = {};
    if (read(ready[0], number, sizeof number - 1) > 0) name_ = ":" + std::to_string(std::atoi(number));
    close(ready[0]);
    if (name_.empty()) return false;
    // The dummy driver sometimes takes a second request before the output shows.
    std::string second_monitor = "DISPLAY=";
    second_monitor += name_;
    second_monitor += " sh -c 'xrandr --addmode DUMMY1 800x600 || exit 1; for i in 1 2 3; do";
    second_monitor += " xrandr --output DUMMY1 --mode 800x600 --right-of DUMMY0;";
    second_monitor += " xrandr --listmonitors | grep -q \"Monitors: 2\" && exit 0; done;";
    second_monitor += " exit 1' >/dev/null 2>&1";
    return std::system(second_monitor.c_str()) == 0;
  }
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
      pid_ = 0;
    }
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  const std::string& name() const { return name_; }

 private:
  pid_t pid_ = 0;
  std::string name_;
  std::filesystem::path dir_;
};

class SdlDisplayMonitorsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new TwoMonitorServer;
    if (!server_->Start()) return;
    setenv("DISPLAY", server_->name().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
  }
  static void TearDownTestSuite() {
    server_->Stop();
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (server_->name().empty()) GTEST_SKIP() << "no X server with two monitors here";
    x_ = XOpenDisplay(server_->name().c_str());
    ASSERT_NE(x_, nullptr);
    display_ = std::make_unique<SdlDisplay>(clock_, SdlDisplayOptions{.title = "monitors"});
    ASSERT_TRUE(display_->OpenDisplay(800, 600, 16, ""));
  }
  void TearDown() override {
    display_.reset();
    if (x_ != nullptr) XCloseDisplay(x_);
  }
  // The desktop's pixel (0xRRGGBB) once it is `expected`, or after a second: the display's
  // requests go on a connection of its own, which the server may handle after this one's.
  unsigned long ScreenPixel(int x, int y, unsigned long expected) {
    unsigned long pixel = 0xDEAD;
    for (int tries = 0; tries < 100 && pixel != expected; ++tries) {
      if (tries > 0) SDL_Delay(10);
      XSync(x_, False);
      XImage* image = XGetImage(x_, DefaultRootWindow(x_), x, y, 1, 1, AllPlanes, ZPixmap);
      if (image == nullptr) return 0xDEAD;
      pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
      XDestroyImage(image);
    }
    return pixel;
  }
  // Writes a one-colour BMP of w x h pixels.
  std::string Bmp(const std::string& name, Uint8 r, Uint8 g, Uint8 b, int w, int h) {
    SdlSurfacePtr s(SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_RGB24));
    SDL_FillRect(s.get(), nullptr, SDL_MapRGB(s->format, r, g, b));
    std::string path =
        (std::filesystem::temp_directory_path() / (name + std::to_string(getpid()) + ".bmp"))
            .string();
    SDL_SaveBMP(s.get(), path.c_str());
    return path;
  }

  struct CountingEvents : DisplayEvents {
    void OnFrame() override {}
    void OnPointerMoved() override { ++moves; }
    void OnButton() override { ++buttons; }
    void OnWheel() override { ++wheels; }
    void OnKey() override { ++keys; }
    int moves = 0, buttons = 0, wheels = 0, keys = 0;
  };

  static TwoMonitorServer* server_;
  FakeClock clock_;
  Display* x_ = nullptr;
  std::unique_ptr<SdlDisplay> display_;
};

TwoMonitorServer* SdlDisplayMonitorsTest::server_ = nullptr;

TEST_F(SdlDisplayMonitorsTest, EveryMonitorShowsTheWholeFrameAndEachChange) {
  EXPECT_EQ(display_->WindowCount(), 2);
  std::string white = Bmp("white", 255, 255, 255, 800, 600);
  std::string red = Bmp("red", 255, 0, 0, 10, 10);
  int32_t background = display_->CreateSprite();
  display_->LoadSpriteFrame(background, 1, white, kKeyOpaque);
  int32_t dot = display_->CreateSprite();
  display_->LoadSpriteFrame(dot, 1, red, kKeyOpaque);
  display_->SetSpriteX(dot, 100);
  display_->SetSpriteY(dot, 100);
  auto frame = [&](bool with_dot) {
    CountingEvents events;
    display_->PumpEvents(events);
    display_->DrawSprite(background);
    if (with_dot) display_->DrawSprite(dot);
    display_->Flip();
  };
  for (int i = 0; i < 3; ++i) frame(false);
  // Each monitor shows the frame whole, not half of one stretched across both.
  for (int left : {0, 800}) {
    EXPECT_EQ(ScreenPixel(left + 1, 1, 0xFFFFFFu), 0xFFFFFFu) << left;
    EXPECT_EQ(ScreenPixel(left + 798, 598, 0xFFFFFFu), 0xFFFFFFu) << left;
    EXPECT_EQ(ScreenPixel(left + 105, 105, 0xFFFFFFu), 0xFFFFFFu) << left;
  }
  // A change to a small part of the frame reaches both monitors, and so does its undoing.
  frame(true);
  EXPECT_EQ(ScreenPixel(105, 105, 0xFF0000u), 0xFF0000u);
  EXPECT_EQ(ScreenPixel(905, 105, 0xFF0000u), 0xFF0000u);
  frame(false);
  EXPECT_EQ(ScreenPixel(105, 105, 0xFFFFFFu), 0xFFFFFFu);
  EXPECT_EQ(ScreenPixel(905, 105, 0xFFFFFFu), 0xFFFFFFu);
  std::filesystem::remove(white);
  std::filesystem::remove(red);
}

TEST_F(SdlDisplayMonitorsTest, InputFromEitherMonitorsWindowCounts) {
  std::vector<Uint32> windows;
  for (Uint32 id = 1; id < 1000 && windows.size() < 2; ++id) {
    if (SDL_GetWindowFromID(id) != nullptr) windows.push_back(id);
  }
  ASSERT_EQ(windows.size(), 2u);
  auto motion = [](Uint32 window, int x, int y) {
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = window;
    event.motion.x = x;
    event.motion.y = y;
    SDL_PushEvent(&event);
  };
  CountingEvents events;
  motion(windows[0], 5, 5);  // the pointer is here, whatever the windows' appearing reported
  display_->PumpEvents(events);
  events = {};
  motion(windows[1], 5, 5);  // the same window place on the other monitor: a move
  motion(windows[1], 5, 5);  // no move
  motion(windows[0], 6, 5);  // a move
  SDL_Event button{};
  button.type = SDL_MOUSEBUTTONDOWN;
  button.button.windowID = windows[1];
  SDL_PushEvent(&button);
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.windowID = windows[1];
  SDL_PushEvent(&key);
  display_->PumpEvents(events);
  EXPECT_EQ(events.moves, 2);
  EXPECT_EQ(events.buttons, 1);
  EXPECT_EQ(events.keys, 1);
}

}  // namespace
}  // namespace larkspill
