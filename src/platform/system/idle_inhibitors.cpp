#include "platform/system/idle_inhibitors.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace larkspill {
namespace {

constexpr const char* kScreenSaver = "org.freedesktop.ScreenSaver";
constexpr const char* kLogin = "org.freedesktop.login1";
constexpr uint32_t kGnomeInhibitIdle = 8;

bool NameHasOwner(sd_bus* bus, const char* name) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  int has = 0;
  if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "NameHasOwner", &error, &reply, "s", name) >= 0) {
    sd_bus_message_read(reply, "b", &has);
  }
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  return has != 0;
}

// Calls a method that answers one boolean; false when it cannot be asked.
bool AskBool(sd_bus* bus, const char* service, const char* path, const char* interface,
             const char* method, const char* types = nullptr, uint32_t argument = 0) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  int answer = 0;
  const int called = types == nullptr ? sd_bus_call_method(bus, service, path, interface, method,
                                                           &error, &reply, nullptr)
                                      : sd_bus_call_method(bus, service, path, interface, method,
                                                           &error, &reply, types, argument);
  if (called >= 0) sd_bus_message_read(reply, "b", &answer);
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  return answer != 0;
}

}  // namespace

struct IdleInhibitors::Handlers {
  static int Inhibit(sd_bus_message* call, void* self, sd_bus_error*) {
    auto* me = static_cast<IdleInhibitors*>(self);
    const char* application = nullptr;
    const char* reason = nullptr;
    if (sd_bus_message_read(call, "ss", &application, &reason) < 0) return -EINVAL;
    const char* sender = sd_bus_message_get_sender(call);
    const uint32_t cookie = me->next_cookie_++;
    me->inhibits_[cookie] = sender != nullptr ? sender : "";
    return sd_bus_reply_method_return(call, "u", cookie);
  }
  static int UnInhibit(sd_bus_message* call, void* self, sd_bus_error*) {
    uint32_t cookie = 0;
    if (sd_bus_message_read(call, "u", &cookie) < 0) return -EINVAL;
    static_cast<IdleInhibitors*>(self)->inhibits_.erase(cookie);
    return sd_bus_reply_method_return(call, nullptr);
  }
  static int GetActive(sd_bus_message* call, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(call, "b", 0);
  }
  static int SimulateUserActivity(sd_bus_message* call, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(call, nullptr);
  }
  // A program that leaves the bus takes its inhibits with it.
  static int OwnerChanged(sd_bus_message* signal, void* self, sd_bus_error*) {
    const char *name = nullptr, *old_owner = nullptr, *new_owner = nullptr;
    if (sd_bus_message_read(signal, "sss", &name, &old_owner, &new_owner) < 0) return 0;
    if (new_owner == nullptr || new_owner[0] != '\0') return 0;
    auto& inhibits = static_cast<IdleInhibitors*>(self)->inhibits_;
    std::erase_if(inhibits, [name](const auto& held) { return held.second == name; });
    return 0;
  }
};

namespace {

const sd_bus_vtable kScreenSaverTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Inhibit", "ss", "u", IdleInhibitors::Handlers::Inhibit,
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("UnInhibit", "u", "", IdleInhibitors::Handlers::UnInhibit,
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetActive", "", "b", IdleInhibitors::Handlers::GetActive,
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SimulateUserActivity", "", "", IdleInhibitors::Handlers::SimulateUserActivity,
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

}  // namespace

IdleInhibitors::IdleInhibitors() {
  if (sd_bus_open_user(&session_) < 0) session_ = nullptr;
  if (session_ != nullptr) {
    gnome_session_ = NameHasOwner(session_, "org.gnome.SessionManager");
    // Programs call it at either path; the name is asked for last, once both answer.
    if (!gnome_session_ && !NameHasOwner(session_, kScreenSaver) &&
        sd_bus_add_object_vtable(session_, &slots_[0], "/org/freedesktop/ScreenSaver", kScreenSaver,
                                 kScreenSaverTable, this) >= 0 &&
        sd_bus_add_object_vtable(session_, &slots_[1], "/ScreenSaver", kScreenSaver,
                                 kScreenSaverTable, this) >= 0 &&
        sd_bus_match_signal(session_, &slots_[2], "org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus", "NameOwnerChanged", Handlers::OwnerChanged,
                            this) >= 0) {
      serving_ = sd_bus_request_name(session_, kScreenSaver, 0) >= 0;
    }
  }
  if (sd_bus_open_system(&system_) < 0) system_ = nullptr;
  if (system_ != nullptr) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const char* id = std::getenv("XDG_SESSION_ID");
    const bool named = id != nullptr && id[0] != '\0';
    const int called =
        named ? sd_bus_call_method(system_, kLogin, "/org/freedesktop/login1",
                                   "org.freedesktop.login1.Manager", "GetSession", &error, &reply,
                                   "s", id)
              : sd_bus_call_method(system_, kLogin, "/org/freedesktop/login1",
                                   "org.freedesktop.login1.Manager", "GetSessionByPID", &error,
                                   &reply, "u", static_cast<uint32_t>(::getpid()));
    const char* path = nullptr;
    if (called >= 0 && sd_bus_message_read(reply, "o", &path) > 0 && path != nullptr) {
      login_session_ = path;
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
  }
}

IdleInhibitors::~IdleInhibitors() {
  for (sd_bus_slot* slot : slots_) sd_bus_slot_unref(slot);
  if (session_ != nullptr) sd_bus_flush_close_unref(session_);
  if (system_ != nullptr) sd_bus_flush_close_unref(system_);
}

bool IdleInhibitors::Inhibited() {
  if (serving_) return !inhibits_.empty();
  if (gnome_session_) {
    return AskBool(session_, "org.gnome.SessionManager", "/org/gnome/SessionManager",
                   "org.gnome.SessionManager", "IsInhibited", "u", kGnomeInhibitIdle);
  }
  return false;
}

bool IdleInhibitors::Locked() {
  if (system_ != nullptr && !login_session_.empty()) {
    int locked = 0;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    if (sd_bus_get_property_trivial(system_, kLogin, login_session_.c_str(),
                                    "org.freedesktop.login1.Session", "LockedHint", &error, 'b',
                                    &locked) >= 0 &&
        locked) {
      sd_bus_error_free(&error);
      return true;
    }
    sd_bus_error_free(&error);
  }
  if (session_ == nullptr) return false;
  if (gnome_session_) {
    return AskBool(session_, "org.gnome.ScreenSaver", "/org/gnome/ScreenSaver",
                   "org.gnome.ScreenSaver", "GetActive");
  }
  // Another screen-saver daemon (KDE's, Xfce's, MATE's) says whether it is active: locked then.
  return !serving_ &&
         AskBool(session_, kScreenSaver, "/org/freedesktop/ScreenSaver", kScreenSaver, "GetActive");
}

int IdleInhibitors::Fd() const {
  return session_ != nullptr ? sd_bus_get_fd(session_) : -1;
}

void IdleInhibitors::Dispatch() {
  if (session_ == nullptr) return;
  for (int i = 0; i < 64 && sd_bus_process(session_, nullptr) > 0; ++i) {
  }
}

}  // namespace larkspill
