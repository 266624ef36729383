#pragma once

#include <string>

typedef struct sd_bus sd_bus;

namespace larkspill {

// What the login manager (systemd-logind) announces for this session: a lock (`loginctl
// lock-session`, a lid closed, a desktop's lock key) or the system about to sleep. Screen lockers
// such as xss-lock start on these; the saver must be gone before they do.
class LoginSessionWatch {
 public:
  // Listens on the system bus; where there is none, or no login manager on it, it never
  // announces anything.
  LoginSessionWatch();
  ~LoginSessionWatch();
  LoginSessionWatch(const LoginSessionWatch&) = delete;
  LoginSessionWatch& operator=(const LoginSessionWatch&) = delete;

  // Reads what arrived, without waiting; true once a lock of this session or a sleep was
  // announced.
  bool LockComing();

 private:
  struct Handlers;  // what the bus calls back
  friend struct Handlers;

  sd_bus* bus_ = nullptr;
  std::string session_;  // this session's object, once the login manager has named it
  bool lock_coming_ = false;
};

}  // namespace larkspill
