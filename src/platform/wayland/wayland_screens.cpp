#include "platform/wayland/wayland_screens.h"

#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/wayland/wayland_presenter.h"
#include "scene/scene_display.h"
// The layer shell's header names an argument "namespace", a keyword in C++.
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

namespace larkspill {
namespace {

// How long the keyboard or the pointer may be away from the saver's surfaces before the screen
// counts as taken: moving between two outputs sends it away from one surface and to the other in
// one go.
constexpr auto kInputAway = std::chrono::milliseconds(200);
// How long the surfaces may wait for the seat's input after they are made: longer, and a locker
// holds the screen.
constexpr auto kNeverShown = std::chrono::seconds(1);
// How long Open waits for the compositor to size the surfaces.
constexpr int kConfigureRounds = 50;
}  // namespace

struct WaylandScreens::Listeners {
  static WaylandScreens& Of(void* data) { return *static_cast<WaylandScreens*>(data); }

  static void Global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                     uint32_t version) {
    WaylandScreens& s = Of(data);
    const std::string_view kind(interface);
    if (kind == wl_compositor_interface.name && version >= 1) {
      s.compositor_ = static_cast<wl_compositor*>(
          wl_registry_bind(registry, name, &wl_compositor_interface, std::min(version, 4u)));
    } else if (kind == wl_shm_interface.name) {
      s.shm_ = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (kind == wl_seat_interface.name && s.seat_ == nullptr) {
      s.seat_ = static_cast<wl_seat*>(
          wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5u)));
      s.ListenToSeat();
    } else if (kind == zwlr_layer_shell_v1_interface.name) {
      s.layer_shell_ = static_cast<zwlr_layer_shell_v1*>(
          wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, std::min(version, 3u)));
    } else if (kind == wl_output_interface.name && version >= 2) {
      s.AddOutput(name, std::min(version, 3u));
    }
  }
  static void GlobalRemove(void* data, wl_registry*, uint32_t name) { Of(data).RemoveOutput(name); }
  static constexpr wl_registry_listener kRegistry{Global, GlobalRemove};

  // The outputs: where they are, their refresh rate and scale.
  static void Geometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                       const char*, const char*, int32_t) {
    auto& output = *static_cast<WaylandOutput*>(data);
    output.x = x;
    output.y = y;
  }
  static void Mode(void* data, wl_output*, uint32_t flags, int32_t, int32_t, int32_t refresh) {
    if (flags & WL_OUTPUT_MODE_CURRENT) static_cast<WaylandOutput*>(data)->refresh_mhz = refresh;
  }
  static void Done(void*, wl_output*) {}
  static void Scale(void* data, wl_output*, int32_t factor) {
    auto& output = *static_cast<WaylandOutput*>(data);
    if (factor >= 1 && factor <= 8 && factor != output.scale) {
      output.scale = factor;
      output.renew = true;
      if (output.surface != nullptr) wl_surface_set_buffer_scale(output.surface, factor);
    }
  }
  static constexpr wl_output_listener kOutput{Geometry, Mode, Done, Scale};

  // The saver's surfaces: their size, or the compositor closing one (its output went).
  static void Configure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
                        uint32_t height) {
    auto& output = *static_cast<WaylandOutput*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    if (static_cast<int32_t>(width) != output.width ||
        static_cast<int32_t>(height) != output.height) {
      output.renew = true;
    }
    output.width = static_cast<int32_t>(std::min(width, 16384u));
    output.height = static_cast<int32_t>(std::min(height, 16384u));
    output.configured = true;
  }
  static void Closed(void* data, zwlr_layer_surface_v1*) {
    static_cast<WaylandOutput*>(data)->closed = true;
  }
  static constexpr zwlr_layer_surface_v1_listener kLayer{Configure, Closed};
};

std::unique_ptr<WaylandScreens> WaylandScreens::Connect() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || name[0] == '\0') return nullptr;
  std::unique_ptr<WaylandScreens> screens(new WaylandScreens());
  screens->display_ = wl_display_connect(nullptr);
  if (screens->display_ == nullptr) return nullptr;
  screens->frame_queue_ = wl_display_create_queue(screens->display_);
  screens->registry_ = wl_display_get_registry(screens->display_);
  wl_registry_add_listener(screens->registry_, &Listeners::kRegistry, screens.get());
  // The globals, then what the outputs and the seat say of themselves.
  screens->Roundtrip();
  screens->Roundtrip();
  if (screens->lost_ || screens->compositor_ == nullptr || screens->shm_ == nullptr ||
      screens->layer_shell_ == nullptr) {
    return nullptr;
  }
  return screens;
}

WaylandScreens::~WaylandScreens() {
  Close();
  for (auto& output : outputs_) {
    if (wl_output_get_version(output->output) >= 3) {
      wl_output_release(output->output);
    } else {
      wl_output_destroy(output->output);
    }
  }
  outputs_.clear();
  if (keyboard_ != nullptr) wl_keyboard_destroy(keyboard_);
  if (pointer_ != nullptr) wl_pointer_destroy(pointer_);
  if (seat_ != nullptr) wl_seat_destroy(seat_);
  if (layer_shell_ != nullptr) zwlr_layer_shell_v1_destroy(layer_shell_);
  if (shm_ != nullptr) wl_shm_destroy(shm_);
  if (compositor_ != nullptr) wl_compositor_destroy(compositor_);
  if (registry_ != nullptr) wl_registry_destroy(registry_);
  if (frame_queue_ != nullptr) wl_event_queue_destroy(frame_queue_);
  if (display_ != nullptr) {
    wl_display_flush(display_);
    wl_display_disconnect(display_);
  }
}

void WaylandScreens::Roundtrip() {
  if (!lost_ && wl_display_roundtrip(display_) < 0) lost_ = true;
}

void WaylandScreens::AddOutput(uint32_t name, uint32_t version) {
  auto output = std::make_unique<WaylandOutput>();
  output->name = name;
  output->output =
      static_cast<wl_output*>(wl_registry_bind(registry_, name, &wl_output_interface, version));
  wl_output_add_listener(output->output, &Listeners::kOutput, output.get());
  if (open_) {
    MakeSurface(*output);  // one plugged in while the saver runs is covered at once
    outputs_changed_ = true;
  }
  outputs_.push_back(std::move(output));
}

void WaylandScreens::RemoveOutput(uint32_t name) {
  for (auto& output : outputs_) {
    if (output->name != name || output->gone) continue;
    output->gone = true;
    output->configured = false;
    outputs_changed_ = true;
  }
}

void WaylandScreens::MakeSurface(WaylandOutput& output) {
  output.surface = wl_compositor_create_surface(compositor_);
  output.layer = zwlr_layer_shell_v1_get_layer_surface(
      layer_shell_, output.surface, output.output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "larkspill");
  zwlr_layer_surface_v1_add_listener(output.layer, &Listeners::kLayer, &output);
  zwlr_layer_surface_v1_set_anchor(
      output.layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                        ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  // Over panels too, with every key.
  zwlr_layer_surface_v1_set_exclusive_zone(output.layer, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(output.layer, 1);
  zwlr_layer_surface_v1_set_size(output.layer, 0, 0);
  wl_surface_set_buffer_scale(output.surface, output.scale);
  wl_surface_commit(output.surface);  // a first commit with no buffer asks for a size
}

bool WaylandScreens::Open(int32_t /*width*/, int32_t /*height*/) {
  Close();
  for (auto& output : outputs_) {
    if (!output->gone) MakeSurface(*output);
  }
  if (outputs_.empty()) {
    std::fprintf(stderr, "larkspill: the Wayland compositor has no outputs to show the saver on\n");
    return false;
  }
  for (int round = 0; round < kConfigureRounds && !lost_; ++round) {
    Roundtrip();
    if (std::all_of(outputs_.begin(), outputs_.end(),
                    [](const auto& o) { return o->gone || o->configured; })) {
      break;
    }
  }
  open_ = !lost_ && std::any_of(outputs_.begin(), outputs_.end(),
                                [](const auto& o) { return o->configured; });
  opened_at_ = std::chrono::steady_clock::now();
  followed_ = List();
  if (!open_) {
    std::fprintf(stderr, "larkspill: the Wayland compositor gave the saver no surface to show\n");
  }
  return open_;
}

void WaylandScreens::Close() {
  open_ = false;
  for (auto& output : outputs_) {
    if (output->frame_callback != nullptr) wl_callback_destroy(output->frame_callback);
    if (output->layer != nullptr) zwlr_layer_surface_v1_destroy(output->layer);
    if (output->surface != nullptr) wl_surface_destroy(output->surface);
    output->frame_callback = nullptr;
    output->layer = nullptr;
    output->surface = nullptr;
    output->configured = false;
    output->renew = true;
  }
  if (display_ != nullptr) wl_display_flush(display_);
}

void WaylandScreens::ForgetGoneOutputs() {
  for (auto& output : outputs_) {
    if (!output->gone) continue;
    if (output->frame_callback != nullptr) wl_callback_destroy(output->frame_callback);
    if (output->layer != nullptr) zwlr_layer_surface_v1_destroy(output->layer);
    if (output->surface != nullptr) wl_surface_destroy(output->surface);
    if (wl_output_get_version(output->output) >= 3) {
      wl_output_release(output->output);
    } else {
      wl_output_destroy(output->output);
    }
  }
  std::erase_if(outputs_, [](const auto& o) { return o->gone; });
}

WaylandOutput* WaylandScreens::OutputOf(wl_surface* surface) {
  for (auto& output : outputs_) {
    if (surface != nullptr && output->surface == surface) return output.get();
  }
  return nullptr;
}

// Claims the keyboard anew on every surface: a compositor that handed it to a window gives it back
// to an overlay surface that asks for it exclusively once more.
void WaylandScreens::ReclaimKeyboard() {
  for (auto& output : outputs_) {
    if (output->gone || output->layer == nullptr || !output->configured) continue;
    zwlr_layer_surface_v1_set_keyboard_interactivity(output->layer, 0);
    wl_surface_commit(output->surface);
    zwlr_layer_surface_v1_set_keyboard_interactivity(output->layer, 1);
    wl_surface_commit(output->surface);
  }
  Flush();
}

void WaylandScreens::Pump(DisplayEvents& events,
                          const std::function<void(size_t screen)>& /*renew*/) {
  if (lost_ || !open_) return;
  events_ = &events;
  while (!lost_ && wl_display_prepare_read(display_) != 0) {
    if (wl_display_dispatch_pending(display_) < 0) lost_ = true;
  }
  if (!lost_) {
    Flush();
    pollfd connection{wl_display_get_fd(display_), POLLIN, 0};
    if (::poll(&connection, 1, 0) > 0) {
      if (wl_display_read_events(display_) < 0) lost_ = true;
    } else {
      wl_display_cancel_read(display_);
    }
    if (!lost_ && wl_display_dispatch_pending(display_) < 0) lost_ = true;
    if (!lost_ && wl_display_dispatch_queue_pending(display_, frame_queue_) < 0) lost_ = true;
  }
  for (auto& output : outputs_) {
    if (output->closed && !output->gone) {
      output->gone = true;
      outputs_changed_ = true;
    }
  }
  // Every output gone, or every surface closed by the compositor: nothing left to show on.
  if (open_ && std::none_of(outputs_.begin(), outputs_.end(),
                            [](const auto& o) { return !o->gone && o->configured; })) {
    if (!outputs_changed_) lost_ = true;
  }
  const auto now = std::chrono::steady_clock::now();
  const std::chrono::steady_clock::time_point never{};
  if (pointer_away_since_ != never && now - pointer_away_since_ >= kInputAway) screen_taken_ = true;
  // The keyboard away: asked back once; still away a moment after that, a locker has it.
  if (!screen_taken_ && keyboard_away_since_ != never && now - keyboard_away_since_ >= kInputAway) {
    if (keyboard_reclaimed_at_ == never) {
      ReclaimKeyboard();
      keyboard_reclaimed_at_ = now;
    } else if (now - keyboard_reclaimed_at_ >= kInputAway) {
      screen_taken_ = true;
    }
  }
  // Shown over everything, the saver's surfaces get the pointer and the keyboard at once; under a
  // held lock they never do.
  if (open_ && !Shown() && now - opened_at_ >= kNeverShown) screen_taken_ = true;
  if (screen_taken_ && !taken_told_) {
    taken_told_ = true;
    events.OnScreenTaken();
  }
  events_ = nullptr;
}

void WaylandScreens::Flush() {
  if (lost_) return;
  if (wl_display_flush(display_) < 0 && errno != EAGAIN) lost_ = true;
}

bool WaylandScreens::TakeOutputsChanged() {
  const bool changed = outputs_changed_;
  outputs_changed_ = false;
  // A compositor may show its own cursor again when the outputs change.
  if (changed && pointer_ != nullptr && pointer_serial_ != 0) {
    wl_pointer_set_cursor(pointer_, pointer_serial_, nullptr, 0, 0);
  }
  return changed;
}

std::vector<ScreenPlace> WaylandScreens::List() const {
  std::vector<ScreenPlace> places;
  for (const auto& output : outputs_) {
    places.push_back({.x = output->x * output->scale,
                      .y = output->y * output->scale,
                      .width = output->width * output->scale,
                      .height = output->height * output->scale,
                      .scale = output->scale,
                      .refresh = (output->refresh_mhz + 500) / 1000});
  }
  return places;
}

bool WaylandScreens::TakeChanged() {
  const bool came_or_went = TakeOutputsChanged();
  return List() != followed_ || came_or_went;
}

bool WaylandScreens::Follow() {
  ForgetGoneOutputs();
  followed_ = List();
  return true;
}

std::unique_ptr<Presenter> WaylandScreens::MakePresenter(size_t screen,
                                                         const FrameComposer& /*frame*/,
                                                         FrameMemory& /*memory*/) {
  return std::make_unique<WaylandPresenter>(*this, *outputs_.at(screen));
}

}  // namespace larkspill
