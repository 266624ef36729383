// Feeds arbitrary command lines (arguments split at NUL bytes) and environment values to the
// start-up parser: nothing may crash, and the mode must agree with the switch.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "startup/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string all(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> args;
  std::istringstream in(all + '\0');
  for (std::string arg; std::getline(in, arg, '\0');) args.push_back(arg);
  std::string env = args.size() > 1 ? args.back() : std::string();
  for (const char* xsw : {static_cast<const char*>(nullptr), env.c_str()}) {
    larkspill::StartupOptions o = larkspill::ParseStartup(args, xsw);
    const bool numbered = larkspill::LongestNumericTail(o.normalized).has_value();
    if (o.switch_text.size() > 2 || (o.mode == larkspill::Mode::Preview && o.switch_text != "/p") ||
        (o.mode == larkspill::Mode::Settings && o.switch_text != "/c") ||
        (o.mode == larkspill::Mode::Host && o.error.empty() && o.host_window == 0 && !o.host_root) ||
        o.preview_has_number != (o.mode == larkspill::Mode::Preview && numbered)) {
      std::abort();
    }
  }
  larkspill::ParseWindowId(all);
  return 0;
}
