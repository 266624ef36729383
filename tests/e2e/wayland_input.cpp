// The tests' hands on a Wayland compositor: one virtual keyboard and one virtual pointer, kept for
// as long as it runs (one-shot devices get lost on some compositors); on KWin, which offers
// neither, its own fake input device. Reads commands on its standard input, one a line: "key",
// "move DX DY", "button", "wheel [up|left|right]"; answers each with "ok" once the compositor has
// had it. Prints "ready" first (naming KWin's fake input when that is what it uses).
#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#ifdef HAVE_KWIN_FAKE_INPUT
#include "fake-input-client-protocol.h"
#endif

namespace {

wl_seat* g_seat = nullptr;
zwp_virtual_keyboard_manager_v1* g_keyboards = nullptr;
zwlr_virtual_pointer_manager_v1* g_pointers = nullptr;
#ifdef HAVE_KWIN_FAKE_INPUT
org_kde_kwin_fake_input* g_kwin = nullptr;
#endif

void Global(void*, wl_registry* registry, uint32_t name, const char* interface,
            [[maybe_unused]] uint32_t version) {
  const std::string kind(interface);
  if (kind == wl_seat_interface.name && g_seat == nullptr) {
    g_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (kind == zwp_virtual_keyboard_manager_v1_interface.name) {
    g_keyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
        wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
  } else if (kind == zwlr_virtual_pointer_manager_v1_interface.name) {
    g_pointers = static_cast<zwlr_virtual_pointer_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
#ifdef HAVE_KWIN_FAKE_INPUT
  } else if (kind == org_kde_kwin_fake_input_interface.name && version >= 4) {  // 4 brought keys
    g_kwin = static_cast<org_kde_kwin_fake_input*>(
        wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
#endif
  }
}
void GlobalRemove(void*, wl_registry*, uint32_t) {}
constexpr wl_registry_listener kRegistry{Global, GlobalRemove};

// A keyboard needs a keymap before its first key: the default one, in shared memory.
bool GiveKeymap(zwp_virtual_keyboard_v1* keyboard) {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  xkb_keymap* keymap =
      context ? xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
  char* text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
  if (text == nullptr) return false;
  const size_t size = std::strlen(text) + 1;
  const int fd = memfd_create("keymap", MFD_CLOEXEC);
  const bool written = fd >= 0 && write(fd, text, size) == static_cast<ssize_t>(size);
  if (written) zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, size);
  if (fd >= 0) close(fd);
  std::free(text);
  xkb_keymap_unref(keymap);
  xkb_context_unref(context);
  return written;
}

// The one device the commands go to: the virtual keyboard and pointer, or KWin's fake input.
struct Hands {
  zwp_virtual_keyboard_v1* keyboard = nullptr;
  zwlr_virtual_pointer_v1* pointer = nullptr;
  uint32_t time = 1;

  void Key() {
#ifdef HAVE_KWIN_FAKE_INPUT
    if (g_kwin != nullptr) {
      org_kde_kwin_fake_input_keyboard_key(g_kwin, KEY_SPACE, WL_KEYBOARD_KEY_STATE_PRESSED);
      org_kde_kwin_fake_input_keyboard_key(g_kwin, KEY_SPACE, WL_KEYBOARD_KEY_STATE_RELEASED);
      return;
    }
#endif
    zwp_virtual_keyboard_v1_key(keyboard, time, KEY_SPACE, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(keyboard, time, KEY_SPACE, WL_KEYBOARD_KEY_STATE_RELEASED);
  }
  void Move(double dx, double dy) {
#ifdef HAVE_KWIN_FAKE_INPUT
    if (g_kwin != nullptr) {
      org_kde_kwin_fake_input_pointer_motion(g_kwin, wl_fixed_from_double(dx),
                                             wl_fixed_from_double(dy));
      return;
    }
#endif
    zwlr_virtual_pointer_v1_motion(pointer, time, wl_fixed_from_double(dx),
                                   wl_fixed_from_double(dy));
    zwlr_virtual_pointer_v1_frame(pointer);
  }
  void Button() {
#ifdef HAVE_KWIN_FAKE_INPUT
    if (g_kwin != nullptr) {
      org_kde_kwin_fake_input_button(g_kwin, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
      org_kde_kwin_fake_input_button(g_kwin, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
      return;
    }
#endif
    zwlr_virtual_pointer_v1_button(pointer, time, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
    zwlr_virtual_pointer_v1_button(pointer, time, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer);
  }
  void Wheel(wl_pointer_axis axis, int amount) {
#ifdef HAVE_KWIN_FAKE_INPUT
    if (g_kwin != nullptr) {
      org_kde_kwin_fake_input_axis(g_kwin, axis, wl_fixed_from_int(amount));
      return;
    }
#endif
    zwlr_virtual_pointer_v1_axis(pointer, time, axis, wl_fixed_from_int(amount));
    zwlr_virtual_pointer_v1_frame(pointer);
  }
};

}  // namespace

int main() {
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "wayland_input: no compositor\n");
    return 1;
  }
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistry, nullptr);
  wl_display_roundtrip(display);
  Hands hands;
  const bool virtual_devices = g_seat != nullptr && g_keyboards != nullptr && g_pointers != nullptr;
#ifdef HAVE_KWIN_FAKE_INPUT
  if (virtual_devices) {
    g_kwin = nullptr;  // the virtual devices where both are offered
  } else if (g_kwin != nullptr) {
    // KWin takes fake input only from a client that asked for it by name.
    org_kde_kwin_fake_input_authenticate(g_kwin, "larkspill tests",
                                         "keys and pointer moves for the tests");
  }
  const bool kwin = g_kwin != nullptr;
#else
  const bool kwin = false;
#endif
  if (!virtual_devices && !kwin) {
    std::fprintf(stderr, "wayland_input: the compositor offers no virtual keyboard or pointer\n");
    return 1;
  }
  if (virtual_devices) {
    hands.keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(g_keyboards, g_seat);
    hands.pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(g_pointers, g_seat);
    if (!GiveKeymap(hands.keyboard)) return 1;
  }
  wl_display_roundtrip(display);
  std::printf(virtual_devices ? "ready\n" : "ready: KWin's fake input\n");
  std::fflush(stdout);
  for (std::string line; std::getline(std::cin, line); ++hands.time) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "key") {
      hands.Key();
    } else if (command == "move") {
      double dx = 0, dy = 0;
      words >> dx >> dy;
      hands.Move(dx, dy);
    } else if (command == "button") {
      hands.Button();
    } else if (command == "wheel") {  // "wheel" is down; "wheel up", "wheel left", "wheel right"
      std::string direction;
      words >> direction;
      const bool across = direction == "left" || direction == "right";
      hands.Wheel(across ? WL_POINTER_AXIS_HORIZONTAL_SCROLL : WL_POINTER_AXIS_VERTICAL_SCROLL,
                  direction == "up" || direction == "left" ? -10 : 10);
    } else {
      continue;
    }
    wl_display_roundtrip(display);
    std::printf("ok\n");
    std::fflush(stdout);
  }
  if (hands.keyboard != nullptr) zwp_virtual_keyboard_v1_destroy(hands.keyboard);
  if (hands.pointer != nullptr) zwlr_virtual_pointer_v1_destroy(hands.pointer);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
