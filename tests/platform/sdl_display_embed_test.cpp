// The display drawing into a window it does not own, as under a screen-saver host, on an Xvfb
// server of the test's own.
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "fakes/fake_clock.h"
#include "platform/sdl_display.h"

namespace larkspill {
namespace {

using testing::FakeClock;

// Starts Xvfb on the first free display from :60 to :69; stops it when the suite ends.
class XvfbServer {
 public:
  bool Start() {
    for (int n = 60; n < 70; ++n) {
      if (std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock") ||
          std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) {
        continue;
      }
      std::string name = ":" + std::to_string(n);
      pid_ = fork();
      if (pid_ < 0) return false;
      if (pid_ == 0) {
        // The server dies with the test, even when the test crashes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        dup2(null_fd, 2);
        execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
      }
      for (int attempt = 0; attempt < 100; ++attempt) {
        if (Display* probe = XOpenDisplay(name.c_str())) {
          XCloseDisplay(probe);
          // A server started for the same number at the same time by another test answers
          // too; ours is the one only if it stays up, having won the number's lock.
          std::this_thread::sleep_for(std::chrono::milliseconds(200));
          if (waitpid(pid_, nullptr, WNOHANG) == 0) {
            name_ = name;
            return true;
          }
          pid_ = 0;
          break;
        }
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {  // lost the number to another server
          pid_ = 0;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      Stop();
    }
    return false;
  }
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
      pid_ = 0;
    }
  }
  const std::string& name() const { return name_; }

 private:
  pid_t pid_ = 0;
  std::string name_;
};

class SdlDisplayEmbedTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new XvfbServer;
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
    if (server_->name().empty()) GTEST_SKIP() << "Xvfb could not be started";
    host_ = XOpenDisplay(server_->name().c_str());
    ASSERT_NE(host_, nullptr);
    window_ = XCreateSimpleWindow(host_, DefaultRootWindow(host_), 0, 0, 1000, 500, 0, 0, 0);
    XMapWindow(host_, window_);
    XSync(host_, False);
    display_ = std::make_unique<SdlDisplay>(
        clock_,
        SdlDisplayOptions{.title = "embedded", .embed_window = window_, .accept_input = false});
    ASSERT_TRUE(display_->OpenDisplay(800, 600, 16, ""));
  }
  void TearDown() override {
    display_.reset();
    if (host_ != nullptr) XCloseDisplay(host_);
  }

  // Shows a white frame, taking in whatever the host did to its window first.
  void ShowWhiteFrame() {
    RecordingEvents events;
    // The host's resize reaches us as an event; a few rounds give the server time to send it.
    for (int round = 0; round < 5; ++round) {
      display_->PumpEvents(events);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    display_->ClearBackBuffer(0xFFFFFF);
    display_->Flip();
    XSync(host_, False);
  }

  // The pixel of the host's window as the X server holds it: 0xRRGGBB.
  unsigned long HostPixel(int x, int y) {
    XImage* image = XGetImage(host_, window_, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return 0xDEAD;
    unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
  }

  struct RecordingEvents : DisplayEvents {
    void OnFrame() override {}
    void OnPointerMoved() override {}
    void OnButton() override {}
    void OnKey() override {}
  };

  static XvfbServer* server_;
  FakeClock clock_;
  Display* host_ = nullptr;
  Window window_ = 0;
  std::unique_ptr<SdlDisplay> display_;
};

XvfbServer* SdlDisplayEmbedTest::server_ = nullptr;

TEST_F(SdlDisplayEmbedTest, FrameIsLetterboxedAndFollowsTheHostsResizing) {
  ShowWhiteFrame();
  // 1000 x 500 shows the frame 667 wide in the middle, bars left and right.
  EXPECT_EQ(HostPixel(500, 250), 0xFFFFFFu);
  EXPECT_EQ(HostPixel(100, 250), 0u);
  EXPECT_EQ(HostPixel(900, 250), 0u);

  XResizeWindow(host_, window_, 400, 600);
  XSync(host_, False);
  ShowWhiteFrame();
  // 400 x 600 shows it 400 x 300 in the middle, bars above and below.
  EXPECT_EQ(HostPixel(200, 300), 0xFFFFFFu);
  EXPECT_EQ(HostPixel(390, 300), 0xFFFFFFu);
  EXPECT_EQ(HostPixel(200, 50), 0u);
  EXPECT_EQ(HostPixel(200, 550), 0u);
}

TEST_F(SdlDisplayEmbedTest, HostDestroyingItsWindowEndsTheDisplayQuietly) {
  ShowWhiteFrame();
  EXPECT_TRUE(display_->CheckDisplay());
  XDestroyWindow(host_, window_);
  XSync(host_, False);
  // A frame shown before the news arrives draws into a window that is gone.
  display_->ClearBackBuffer(0xFFFFFF);
  display_->Flip();
  EXPECT_FALSE(display_->CheckDisplay());
  ShowWhiteFrame();
  EXPECT_FALSE(display_->CheckDisplay());
  display_->CloseDisplay();
  EXPECT_FALSE(display_->CheckDisplay());
}

TEST_F(SdlDisplayEmbedTest, HostDestroyingItsWindowIsNoticedAmongTheEvents) {
  ShowWhiteFrame();
  XDestroyWindow(host_, window_);
  XSync(host_, False);
  RecordingEvents events;
  for (int round = 0; round < 50 && display_->CheckDisplay(); ++round) {
    display_->PumpEvents(events);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(display_->CheckDisplay());
}

}  // namespace
}  // namespace larkspill
