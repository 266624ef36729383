#pragma once

#include <chrono>
#include <filesystem>
#include <functional>

#include "os/fd.h"

class QObject;

namespace larkspill {

// One settings dialog per user. The dialog that opens holds a lock in the user's runtime folder
// for as long as it lives and listens on a socket beside it; a later start finds the lock taken
// and asks that dialog, through the socket, to come to the front, as desktop settings windows do.
// The kernel drops the lock with the process, so a dialog that crashed claims nothing.
class SingleDialog {
 public:
  // With an empty folder nothing is claimed and every start opens a dialog of its own.
  explicit SingleDialog(std::filesystem::path runtime_dir);
  ~SingleDialog();
  SingleDialog(const SingleDialog&) = delete;
  SingleDialog& operator=(const SingleDialog&) = delete;

  enum class Start {
    Open,         // no other dialog: this start opens one
    AlreadyOpen,  // the open dialog came to the front
    NoAnswer,     // a dialog holds the claim but did not answer in time
  };
  // Runs before the application exists. Takes the claim, or asks the dialog holding it to come to
  // the front, waiting for it (it may be starting itself) up to `patience`.
  Start Claim(std::chrono::milliseconds patience = std::chrono::seconds(5));

  // For the start that opened the dialog, once the application exists: `to_front` runs on the
  // user-interface thread for every later start. The listener lives as long as `owner`.
  void Listen(QObject* owner, std::function<void()> to_front);

 private:
  std::filesystem::path lock_path_;
  std::filesystem::path socket_path_;
  Fd lock_;
};

}  // namespace larkspill
