#include "platform/system/login_session_watch.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace larkspill {
namespace {

constexpr const char* kLogin = "org.freedesktop.login1";
constexpr const char* kManagerPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

}  // namespace

struct LoginSessionWatch::Handlers {
  static int OnSession(sd_bus_message* reply, void* watch, sd_bus_error*);
  static int OnLock(sd_bus_message* message, void* watch, sd_bus_error*);
  static int OnPrepareForSleep(sd_bus_message* message, void* watch, sd_bus_error*);
};

LoginSessionWatch::LoginSessionWatch() {
  using H = Handlers;
  if (sd_bus_open_system(&bus_) < 0) {
    bus_ = nullptr;
    return;
  }
  // Only the login manager's own signals count: anyone on the bus may send one that looks alike.
  sd_bus_match_signal(bus_, nullptr, kLogin, kManagerPath, kManager, "PrepareForSleep",
                      H::OnPrepareForSleep, this);
  sd_bus_match_signal(bus_, nullptr, kLogin, nullptr, "org.freedesktop.login1.Session", "Lock",
                      H::OnLock, this);
  // Which session is ours: the one the desktop named, else the one this process runs in. The
  // answer comes later; nothing waits for it.
  const char* id = std::getenv("XDG_SESSION_ID");
  if (id != nullptr && id[0] != '\0') {
    sd_bus_call_method_async(bus_, nullptr, kLogin, kManagerPath, kManager, "GetSession",
                             H::OnSession, this, "s", id);
  } else {
    sd_bus_call_method_async(bus_, nullptr, kLogin, kManagerPath, kManager, "GetSessionByPID",
                             H::OnSession, this, "u", static_cast<uint32_t>(::getpid()));
  }
}

LoginSessionWatch::~LoginSessionWatch() {
  if (bus_ != nullptr) sd_bus_flush_close_unref(bus_);
}

bool LoginSessionWatch::LockComing() {
  if (bus_ == nullptr) return false;
  int processed = 0;
  // A bounded number a call: a flood of messages must not hold up the frame.
  for (int i = 0; i < 64 && !lock_coming_; ++i) {
    processed = sd_bus_process(bus_, nullptr);
    if (processed <= 0) break;
  }
  if (processed < 0) {  // the bus went away: no more announcements
    sd_bus_flush_close_unref(bus_);
    bus_ = nullptr;
  }
  return lock_coming_;
}

int LoginSessionWatch::Handlers::OnSession(sd_bus_message* reply, void* watch, sd_bus_error*) {
  const char* path = nullptr;
  if (sd_bus_message_is_method_error(reply, nullptr) == 0 &&
      sd_bus_message_read(reply, "o", &path) > 0 && path != nullptr) {
    static_cast<LoginSessionWatch*>(watch)->session_ = path;
  }
  return 0;
}

int LoginSessionWatch::Handlers::OnLock(sd_bus_message* message, void* watch, sd_bus_error*) {
  auto* self = static_cast<LoginSessionWatch*>(watch);
  const char* path = sd_bus_message_get_path(message);
  if (path != nullptr && !self->session_.empty() && self->session_ == path) {
    self->lock_coming_ = true;
  }
  return 0;
}

int LoginSessionWatch::Handlers::OnPrepareForSleep(sd_bus_message* message, void* watch,
                                                   sd_bus_error*) {
  int going_to_sleep = 0;
  if (sd_bus_message_read(message, "b", &going_to_sleep) > 0 && going_to_sleep) {
    static_cast<LoginSessionWatch*>(watch)->lock_coming_ = true;
  }
  return 0;
}

}  // namespace larkspill
