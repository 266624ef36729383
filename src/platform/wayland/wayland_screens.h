#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/frame/screens.h"

struct wl_buffer;
struct wl_callback;
struct wl_compositor;
struct wl_display;
struct wl_event_queue;
struct wl_keyboard;
struct wl_output;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

namespace larkspill {

// One output of the compositor and the saver's surface on it: an overlay-layer surface anchored
// to every edge, so it covers the whole output above windows, panels and fullscreen programs.
struct WaylandOutput {
  uint32_t name = 0;  // the compositor's name for the output, to know when it goes
  wl_output* output = nullptr;
  int32_t scale = 1;  // the output's integer scale: buffers are this many times the surface size
  int32_t x = 0;      // where the output is on the desktop, for pointer positions
  int32_t y = 0;
  int32_t refresh_mhz = 0;  // its current mode's refresh rate, in millihertz; 0 when unknown
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;
  int32_t width = 0;  // the surface's size as the compositor configured it, in surface units
  int32_t height = 0;
  bool configured = false;
  bool closed = false;  // the compositor closed the surface (its output is going)
  bool gone = false;    // the output went away; forgotten once nothing refers to it
  bool renew = true;    // its pixels must all be sent again (new size, new scale, new buffers)
  wl_callback* frame_callback = nullptr;  // the last frame not yet shown by the compositor
  std::chrono::steady_clock::time_point committed_at{};  // when that frame was sent
};

// The saver's screens on a Wayland compositor that offers the layer shell (sway, Hyprland,
// labwc, river, Wayfire, KDE Plasma): a surface on every output, outputs that come and go while
// it runs, and the seat's keyboard and pointer, which it holds exclusively while it shows.
//
// A screen locker takes the keyboard or the pointer from it (the compositor sends them away from
// the saver's surfaces and to none of them): the screen is then taken and the saver steps aside,
// as on X11.
class WaylandScreens : public Screens {
 public:
  // Connects to the compositor WAYLAND_DISPLAY names; null, quietly, where there is none or it
  // offers no layer shell or shared memory (GNOME), so the caller goes on with X11.
  static std::unique_ptr<WaylandScreens> Connect();
  ~WaylandScreens() override;
  WaylandScreens(const WaylandScreens&) = delete;
  WaylandScreens& operator=(const WaylandScreens&) = delete;

  std::string Name() const override { return "shared memory (wayland)"; }
  bool Start() override { return true; }  // connected already
  // Puts a surface on every output and waits for the compositor to size them; false (said on
  // the standard error) when it has no outputs or does not answer. The outputs' sizes are the
  // compositor's, whatever the scene's.
  bool Open(int32_t width, int32_t height) override;
  // Destroys the surfaces; the connection stays for a later Open.
  void Close() override;
  // The outputs, each its surface's size in pixels (surface units times the output's scale).
  std::vector<ScreenPlace> List() const override;
  std::unique_ptr<FrameMemory> MakeFrameMemory(int w, int h) override {
    return std::make_unique<PlainFrameMemory>(w, h);
  }
  std::unique_ptr<Presenter> MakePresenter(size_t screen, const FrameComposer& frame,
                                           FrameMemory& memory) override;
  // Outputs came or went, or one has a new size or scale.
  bool TakeChanged() override;
  // Drops the outputs that went away.
  bool Follow() override;
  bool SurelyShown() const override { return Shown(); }
  // Sleeps until the compositor sent something, `milliseconds` passed or a signal arrived.
  void WaitForEvents(uint32_t milliseconds) override;
  // Sleeps until an output's frame callback came (it may take a new frame), input or another of
  // the compositor's events came, or a signal arrived; an output that shows nothing of its own
  // (nothing changed on it) is paced at the fastest refresh rate. At most about a second, when
  // the compositor keeps the frame callbacks back.
  void WaitForNextFrame() override;
  // Whether every output keeps its frame callback back: none came for about a second after a
  // frame was sent. A stopped or hung compositor, or outputs it turned off.
  bool AllDark() const override;
  // The cursor is hidden over the saver's surfaces whenever the pointer enters one.
  void SetCursorVisible(bool /*visible*/) override {}

  wl_display* display() const { return display_; }
  wl_shm* shm() const { return shm_; }
  // The queue of the frame callbacks and the buffers' releases, read apart from the others so a
  // wait for the next frame leaves input to Pump.
  wl_event_queue* frame_queue() const { return frame_queue_; }
  std::vector<std::unique_ptr<WaylandOutput>>& outputs() { return outputs_; }

  // Reads what the compositor sent, without waiting, while open: input goes to `events`, once,
  // so does a screen taken by a locker. Sends what was asked of it. An output's pixels are
  // renewed by its presenter.
  void Pump(DisplayEvents& events, const std::function<void(size_t screen)>& renew) override;
  // Sends the requests made since the last Pump (the frame's buffers).
  void Flush();

  // Whether the saver's surfaces are surely on top: the seat's input reached one of them, or the
  // seat has none to give. The sound waits for it.
  bool Shown() const { return input_came_ || !seat_has_input_; }
  // Whether the connection was lost (the compositor ended or refused a request).
  bool Lost() override { return lost_; }
  // Whether outputs came or went since the last call; the caller then builds its screens again.
  bool TakeOutputsChanged();
  // The highest refresh rate of the outputs, in frames a second; 0 when none says.
  int RefreshRate() const;
  // Drops the outputs that went away; called once nothing refers to them any more.
  void ForgetGoneOutputs();

 private:
  struct Listeners;  // what the compositor calls back
  friend struct Listeners;
  struct InputListeners;  // what the seat calls back (wayland_input.cpp)
  friend struct InputListeners;

  WaylandScreens() = default;
  void AddOutput(uint32_t name, uint32_t version);
  void RemoveOutput(uint32_t name);
  void MakeSurface(WaylandOutput& output);
  WaylandOutput* OutputOf(wl_surface* surface);
  void ListenToSeat();
  void PointerAt(wl_surface* surface, double x, double y);
  void ReclaimKeyboard();
  void Roundtrip();

  // The outputs showing the saver, each with what it is waiting for.
  int OutputsWaitingForCallback() const;

  wl_display* display_ = nullptr;
  wl_event_queue* frame_queue_ = nullptr;
  std::chrono::steady_clock::time_point frame_started_{};  // the end of the last wait for a frame
  wl_registry* registry_ = nullptr;
  wl_compositor* compositor_ = nullptr;
  wl_shm* shm_ = nullptr;
  wl_seat* seat_ = nullptr;
  zwlr_layer_shell_v1* layer_shell_ = nullptr;
  wl_keyboard* keyboard_ = nullptr;
  wl_pointer* pointer_ = nullptr;
  std::vector<std::unique_ptr<WaylandOutput>> outputs_;
  bool open_ = false;
  bool lost_ = false;
  bool outputs_changed_ = false;
  std::vector<ScreenPlace> followed_;  // the outputs as they were when last followed

  DisplayEvents* events_ = nullptr;  // where input goes, during Pump
  wl_surface* entered_ = nullptr;    // the surface the pointer is over
  uint32_t pointer_serial_ = 0;      // its last enter, which hiding the cursor names
  // The keyboard or the pointer left the saver's surfaces at this time (zero: it is on one, or
  // never was); a moment later with no surface of ours having it back, a locker has it.
  std::chrono::steady_clock::time_point keyboard_away_since_{};
  std::chrono::steady_clock::time_point pointer_away_since_{};
  // When the saver last asked for the keyboard back after it left (zero: not since it came back).
  // A window may have taken it (KWin gives every new window the keyboard, over the layer shell's
  // exclusive claim) and gives it back when asked; a locker keeps it.
  std::chrono::steady_clock::time_point keyboard_reclaimed_at_{};
  bool screen_taken_ = false;
  bool seat_has_input_ = false;
  bool input_came_ = false;  // the pointer or the keyboard entered a surface of the saver's
  std::chrono::steady_clock::time_point opened_at_{};
  bool taken_told_ = false;
  bool pointer_known_ = false;
  double pointer_x_ = 0;  // on the desktop
  double pointer_y_ = 0;
};

}  // namespace larkspill
