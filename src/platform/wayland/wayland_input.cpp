// The seat's keyboard and pointer over the saver's Wayland surfaces.
#include <linux/input-event-codes.h>
#include <unistd.h>
#include <wayland-client.h>

#include <chrono>

#include "platform/wayland/wayland_screens.h"
#include "scene/scene_display.h"

namespace larkspill {

struct WaylandScreens::InputListeners {
  static WaylandScreens& Of(void* data) { return *static_cast<WaylandScreens*>(data); }

  static void Capabilities(void* data, wl_seat* seat, uint32_t caps) {
    WaylandScreens& s = Of(data);
    s.seat_has_input_ = (caps & (WL_SEAT_CAPABILITY_KEYBOARD | WL_SEAT_CAPABILITY_POINTER)) != 0;
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && s.keyboard_ == nullptr) {
      s.keyboard_ = wl_seat_get_keyboard(seat);
      wl_keyboard_add_listener(s.keyboard_, &kKeyboard, data);
    }
    if ((caps & WL_SEAT_CAPABILITY_POINTER) && s.pointer_ == nullptr) {
      s.pointer_ = wl_seat_get_pointer(seat);
      wl_pointer_add_listener(s.pointer_, &kPointer, data);
    }
  }
  static void SeatName(void*, wl_seat*, const char*) {}
  static constexpr wl_seat_listener kSeat{Capabilities, SeatName};

  // Keys: any key pressed ends the saver; the keyboard leaving its surfaces for good means a
  // locker.
  static void Keymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { ::close(fd); }
  static void KeyboardEnter(void* data, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*) {
    WaylandScreens& s = Of(data);
    if (s.OutputOf(surface) == nullptr) return;
    s.keyboard_away_since_ = {};
    s.keyboard_reclaimed_at_ = {};
    s.input_came_ = true;
  }
  static void KeyboardLeave(void* data, wl_keyboard*, uint32_t, wl_surface*) {
    WaylandScreens& s = Of(data);
    if (s.open_) s.keyboard_away_since_ = std::chrono::steady_clock::now();
  }
  static void Key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
    WaylandScreens& s = Of(data);
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED && s.events_ != nullptr) s.events_->OnKey();
  }
  static void Modifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
  static void RepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
  static constexpr wl_keyboard_listener kKeyboard{Keymap, KeyboardEnter, KeyboardLeave,
                                                  Key,    Modifiers,     RepeatInfo};

  // The pointer: hidden over the saver; moves, buttons and the wheel reach the scene.
  static void PointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface,
                           wl_fixed_t x, wl_fixed_t y) {
    WaylandScreens& s = Of(data);
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
    s.pointer_serial_ = serial;
    if (s.OutputOf(surface) != nullptr) {
      s.pointer_away_since_ = {};
      s.input_came_ = true;
    }
    s.PointerAt(surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
  }
  // Over surfaces that cover every output the pointer leaves one only for another of them, or for
  // something put over them (a locker's surface), or when another client takes all input.
  static void PointerLeave(void* data, wl_pointer*, uint32_t, wl_surface*) {
    WaylandScreens& s = Of(data);
    s.entered_ = nullptr;
    if (s.open_) s.pointer_away_since_ = std::chrono::steady_clock::now();
  }
  static void Motion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    WaylandScreens& s = Of(data);
    s.PointerAt(s.entered_, wl_fixed_to_double(x), wl_fixed_to_double(y));
  }
  static void Button(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state) {
    WaylandScreens& s = Of(data);
    if (state != WL_POINTER_BUTTON_STATE_PRESSED || s.events_ == nullptr) return;
    // Some compositors send the wheel's tilt as buttons, as X11 does.
    if (button >= BTN_MOUSE && button < BTN_JOYSTICK) s.events_->OnButton();
  }
  static void Axis(void* data, wl_pointer*, uint32_t, uint32_t, wl_fixed_t value) {
    WaylandScreens& s = Of(data);
    if (value != 0 && s.events_ != nullptr) s.events_->OnWheel();
  }
  static void Frame(void*, wl_pointer*) {}
  static void AxisSource(void*, wl_pointer*, uint32_t) {}
  static void AxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
  static void AxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
  static constexpr wl_pointer_listener kPointer{
      PointerEnter, PointerLeave, Motion, Button, Axis, Frame, AxisSource, AxisStop, AxisDiscrete};
};

void WaylandScreens::ListenToSeat() {
  wl_seat_add_listener(seat_, &InputListeners::kSeat, this);
}

// The pointer at a place on a surface, as a place on the desktop. The first report only says
// where the pointer already is, and a report of the same place is no movement; neither counts.
void WaylandScreens::PointerAt(wl_surface* surface, double x, double y) {
  entered_ = surface;
  const WaylandOutput* output = OutputOf(surface);
  if (output == nullptr) return;
  x += output->x;
  y += output->y;
  if (pointer_known_ && (x != pointer_x_ || y != pointer_y_) && events_ != nullptr) {
    events_->OnPointerMoved();
  }
  pointer_known_ = true;
  pointer_x_ = x;
  pointer_y_ = y;
}

}  // namespace larkspill
