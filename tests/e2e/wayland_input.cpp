// The tests' hands on a Wayland compositor: one virtual keyboard and one virtual pointer, kept for
// as long as it runs (one-shot devices get lost on some compositors). Reads commands on its
// standard input, one a line: "key", "move DX DY", "button", "wheel [up|left|right]"; answers each with "ok" once
// the compositor has had it. Prints "ready" first.
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

namespace {

wl_seat* g_seat = nullptr;
zwp_virtual_keyboard_manager_v1* g_keyboards = nullptr;
zwlr_virtual_pointer_manager_v1* g_pointers = nullptr;

void Global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  const std::string kind(interface);
  if (kind == wl_seat_interface.name && g_seat == nullptr) {
    g_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (kind == zwp_virtual_keyboard_manager_v1_interface.name) {
    g_keyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
        wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
  } else if (kind == zwlr_virtual_pointer_manager_v1_interface.name) {
    g_pointers = static_cast<zwlr_virtual_pointer_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
  }
}
void GlobalRemove(void*, wl_registry*, uint32_t) {}
constexpr wl_registry_listener kRegistry{Global, GlobalRemove};

// A keyboard needs a keymap before its first key: the default one, in shared memory.
bool GiveKeymap(zwp_virtual_keyboard_v1* keyboard) {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  xkb_keymap* keymap = context ? xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
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
  if (g_seat == nullptr || g_keyboards == nullptr || g_pointers == nullptr) {
    std::fprintf(stderr, "wayland_input: the compositor offers no virtual keyboard or pointer\n");
    return 1;
  }
  auto* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(g_keyboards, g_seat);
  auto* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(g_pointers, g_seat);
  if (!GiveKeymap(keyboard)) return 1;
  wl_display_roundtrip(display);
  std::printf("ready\n");
  std::fflush(stdout);
  uint32_t time = 1;
  for (std::string line; std::getline(std::cin, line); ++time) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "key") {
      zwp_virtual_keyboard_v1_key(keyboard, time, KEY_SPACE, WL_KEYBOARD_KEY_STATE_PRESSED);
      zwp_virtual_keyboard_v1_key(keyboard, time, KEY_SPACE, WL_KEYBOARD_KEY_STATE_RELEASED);
    } else if (command == "move") {
      double dx = 0, dy = 0;
      words >> dx >> dy;
      zwlr_virtual_pointer_v1_motion(pointer, time, wl_fixed_from_double(dx), wl_fixed_from_double(dy));
      zwlr_virtual_pointer_v1_frame(pointer);
    } else if (command == "button") {
      zwlr_virtual_pointer_v1_button(pointer, time, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
      zwlr_virtual_pointer_v1_button(pointer, time, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
      zwlr_virtual_pointer_v1_frame(pointer);
    } else if (command == "wheel") {  // "wheel" is down; "wheel up", "wheel left", "wheel right"
      std::string direction;
      words >> direction;
      const bool across = direction == "left" || direction == "right";
      const int amount = direction == "up" || direction == "left" ? -10 : 10;
      zwlr_virtual_pointer_v1_axis(
          pointer, time,
          across ? WL_POINTER_AXIS_HORIZONTAL_SCROLL : WL_POINTER_AXIS_VERTICAL_SCROLL,
          wl_fixed_from_int(amount));
      zwlr_virtual_pointer_v1_frame(pointer);
    } else {
      continue;
    }
    wl_display_roundtrip(display);
    std::printf("ok\n");
    std::fflush(stdout);
  }
  zwp_virtual_keyboard_v1_destroy(keyboard);
  zwlr_virtual_pointer_v1_destroy(pointer);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
