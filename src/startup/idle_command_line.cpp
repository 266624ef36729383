#include <charconv>
#include <cmath>

#include "startup/command_line.h"

namespace larkspill {
namespace {

// A week: longer than that, a desktop's idle time means nothing.
constexpr double kLongestIdleMinutes = 7 * 24 * 60;

// MINUTES as the user wrote it: digits with an optional decimal point, whatever the locale.
std::optional<double> ParseMinutes(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

bool ParseIdleWatchOptions(const std::vector<std::string>& args, StartupOptions& options) {
  using Entry = StartupOptions::AutostartEntry;
  bool any = false, on_idle = false;
  std::string minutes;
  std::vector<std::string> others;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    if (a.starts_with("--")) a.erase(0, 1);
    if (a == "-on-idle" || a.starts_with("-on-idle=")) {
      any = on_idle = true;
      if (size_t eq = a.find('='); eq != std::string::npos) {
        minutes = a.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        minutes = args[++i];
      }
    } else if (a == "-autostart" || a == "-no-autostart") {
      any = true;
      options.autostart = a == "-autostart" ? Entry::Write : Entry::Remove;
    } else {
      others.push_back(args[i]);
    }
  }
  if (!any) return false;
  options.mode = on_idle ? Mode::OnIdle : Mode::Autostart;
  if (!others.empty()) {
    options.error =
        "--on-idle and --autostart take no other arguments, and \"" + others[0] + "\" is one";
  } else if (options.autostart == Entry::Write && !on_idle) {
    options.error = "--autostart goes with --on-idle MINUTES: the minutes the entry starts it with";
  } else if (options.autostart == Entry::Remove && on_idle) {
    options.error = "--on-idle and --no-autostart do not go together";
  } else if (on_idle) {
    std::optional<double> value = ParseMinutes(minutes);
    if (minutes.empty()) {
      options.error = "--on-idle is missing its minutes (a number such as 5, or 0.5 for 30 s)";
    } else if (!value || *value <= 0 || *value > kLongestIdleMinutes) {
      options.error =
          "--on-idle needs minutes above 0 and at most a week (10080), such as 5 or "
          "0.5, not \"" +
          minutes + "\"";
    } else if (std::llround(*value * 60000) < 1000) {
      options.error = "--on-idle needs at least a second (0.02 minutes), not \"" + minutes + "\"";
    } else {
      options.idle_minutes = *value;
    }
  }
  return true;
}

}  // namespace larkspill
