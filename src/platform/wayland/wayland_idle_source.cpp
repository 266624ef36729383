#include "platform/wayland/wayland_idle_source.h"

#include <wayland-client.h>

#include <cstring>

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

namespace larkspill {

struct WaylandIdleSource::Parts {
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_seat* seat = nullptr;
  ext_idle_notifier_v1* notifier = nullptr;
  ext_idle_notification_v1* notification = nullptr;
  org_kde_kwin_idle* kde_idle = nullptr;
  org_kde_kwin_idle_timeout* kde_timeout = nullptr;
  bool idle = false;
  bool gone = false;  // the compositor went away

  ~Parts() {
    if (notification != nullptr) ext_idle_notification_v1_destroy(notification);
    if (notifier != nullptr) ext_idle_notifier_v1_destroy(notifier);
    if (kde_timeout != nullptr) org_kde_kwin_idle_timeout_release(kde_timeout);
    if (kde_idle != nullptr) org_kde_kwin_idle_destroy(kde_idle);
    if (seat != nullptr) wl_seat_destroy(seat);
    if (registry != nullptr) wl_registry_destroy(registry);
    if (display != nullptr) wl_display_disconnect(display);
  }
};

namespace {

using Parts = WaylandIdleSource::Parts;

void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  auto* parts = static_cast<Parts*>(data);
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && parts->seat == nullptr) {
    parts->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
    parts->notifier = static_cast<ext_idle_notifier_v1*>(
        wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
  } else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
    parts->kde_idle = static_cast<org_kde_kwin_idle*>(
        wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
  }
}
void GlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistry{Global, GlobalRemove};

void Idled(void* data, ext_idle_notification_v1*) {
  static_cast<Parts*>(data)->idle = true;
}
void Resumed(void* data, ext_idle_notification_v1*) {
  static_cast<Parts*>(data)->idle = false;
}
const ext_idle_notification_v1_listener kNotification{Idled, Resumed};

void KdeIdle(void* data, org_kde_kwin_idle_timeout*) {
  static_cast<Parts*>(data)->idle = true;
}
void KdeResumed(void* data, org_kde_kwin_idle_timeout*) {
  static_cast<Parts*>(data)->idle = false;
}
const org_kde_kwin_idle_timeout_listener kKdeTimeout{KdeIdle, KdeResumed};

}  // namespace

std::unique_ptr<WaylandIdleSource> WaylandIdleSource::Open(std::chrono::milliseconds stretch) {
  auto parts = std::make_unique<Parts>();
  parts->display = wl_display_connect(nullptr);
  if (parts->display == nullptr) return nullptr;
  parts->registry = wl_display_get_registry(parts->display);
  wl_registry_add_listener(parts->registry, &kRegistry, parts.get());
  if (wl_display_roundtrip(parts->display) < 0 || parts->seat == nullptr) return nullptr;
  const auto timeout = static_cast<uint32_t>(stretch.count());
  if (parts->notifier != nullptr) {
    parts->notification =
        ext_idle_notifier_v1_get_idle_notification(parts->notifier, timeout, parts->seat);
    ext_idle_notification_v1_add_listener(parts->notification, &kNotification, parts.get());
  } else if (parts->kde_idle != nullptr) {
    parts->kde_timeout = org_kde_kwin_idle_get_idle_timeout(parts->kde_idle, parts->seat, timeout);
    org_kde_kwin_idle_timeout_add_listener(parts->kde_timeout, &kKdeTimeout, parts.get());
  } else {
    return nullptr;
  }
  if (wl_display_roundtrip(parts->display) < 0) return nullptr;
  return std::unique_ptr<WaylandIdleSource>(new WaylandIdleSource(std::move(parts), stretch));
}

WaylandIdleSource::WaylandIdleSource(std::unique_ptr<Parts> parts,
                                     std::chrono::milliseconds stretch)
    : parts_(std::move(parts)), stretch_(stretch) {}

WaylandIdleSource::~WaylandIdleSource() = default;

std::optional<std::chrono::milliseconds> WaylandIdleSource::IdleTime() {
  if (parts_->gone) return std::nullopt;
  return parts_->idle ? stretch_ : std::chrono::milliseconds{0};
}

bool WaylandIdleSource::Lost() const {
  return parts_->gone;
}

int WaylandIdleSource::Fd() const {
  return parts_->gone ? -1 : wl_display_get_fd(parts_->display);
}

void WaylandIdleSource::Dispatch() {
  if (parts_->gone) return;
  wl_display_flush(parts_->display);
  // The socket is read without waiting: this runs when poll saw it readable, or to catch up.
  if (wl_display_prepare_read(parts_->display) == 0 &&
      wl_display_read_events(parts_->display) < 0) {
    parts_->gone = true;
  }
  if (!parts_->gone && wl_display_dispatch_pending(parts_->display) < 0) parts_->gone = true;
}

}  // namespace larkspill
