#pragma once

namespace larkspill {

// The saver's exit statuses: each end says what happened.
enum ExitStatus : int {
  kExitOk = 0,            // ended by the user, the host or a signal asking it to
  kExitUsage = 1,         // a command line it cannot act on
  kExitAssetError = 2,    // a picture could not be loaded
  kExitDisplayLost = 3,   // the display went away while the saver ran
  kExitNoDisplay = 4,     // no display could be opened
};

}  // namespace larkspill
