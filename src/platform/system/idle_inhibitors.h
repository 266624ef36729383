#pragma once

#include <cstdint>
#include <map>
#include <string>

typedef struct sd_bus sd_bus;
typedef struct sd_bus_slot sd_bus_slot;

namespace larkspill {

// What holds idle off or says the session is locked, as the session's own services tell it.
// Where nobody serves org.freedesktop.ScreenSaver on the session bus (a bare X11 session), it
// serves it itself, as screen-saver daemons do, so that players' and calls' inhibits reach it;
// an inhibit goes when its program calls UnInhibit or leaves the bus. On GNOME it asks
// gnome-session; the lock comes from the login manager and from the desktop's screen saver.
class IdleInhibitors {
 public:
  IdleInhibitors();
  ~IdleInhibitors();
  IdleInhibitors(const IdleInhibitors&) = delete;
  IdleInhibitors& operator=(const IdleInhibitors&) = delete;

  bool Inhibited();
  bool Locked();
  // The session bus's descriptor (-1 without one), and the reading of what arrived on it.
  int Fd() const;
  void Dispatch();
  // True once it serves org.freedesktop.ScreenSaver itself.
  bool Serving() const { return serving_; }

  struct Handlers;  // what the bus calls back

 private:
  friend struct Handlers;

  sd_bus* session_ = nullptr;
  sd_bus* system_ = nullptr;
  std::string login_session_;  // this session's object at the login manager, when it has one
  bool serving_ = false;
  bool gnome_session_ = false;
  uint32_t next_cookie_ = 1;
  std::map<uint32_t, std::string> inhibits_;  // cookie -> the bus name of the program holding it
  sd_bus_slot* slots_[3] = {};
};

}  // namespace larkspill
