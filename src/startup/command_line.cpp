#include "startup/command_line.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "settings/key_table.h"

namespace larkspill {

std::string NormalizeCommandLine(std::string_view command_line) {
  while (!command_line.empty() && command_line.front() == ' ') command_line.remove_prefix(1);
  while (!command_line.empty() && command_line.back() == ' ') command_line.remove_suffix(1);
  std::string out(command_line);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::optional<int32_t> LongestNumericTail(std::string_view text) {
  for (size_t n = text.size(); n >= 1; --n) {
    std::optional<double> value = ParseNumber(text.substr(text.size() - n));
    if (!value) continue;
    double rounded = std::nearbyint(*value);
    if (rounded < -2147483648.0 || rounded > 2147483647.0) return std::nullopt;
    return static_cast<int32_t>(rounded);
  }
  return std::nullopt;
}

std::optional<uint64_t> ParseWindowId(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0 ||
      value > 0xFFFFFFFFu) {
    return std::nullopt;
  }
  return value;
}

const char* UsageText() {
  return R"(usage: larkspill [/s | /c | /a | /p ID]
       larkspill -root | -window-id ID  [host options]
       larkspill --on-idle MINUTES [--autostart] | --no-autostart

  /s            the saver, full screen (ends at once if another Larkspill runs)
  (nothing)     the saver, full screen, without that check
  /c            the settings dialog
  /p ID         the preview still in the X11 window ID
  /a            how the screen lock's password is changed
  -root         the saver in the window named by XSCREENSAVER_WINDOW, else the root window
  -window-id ID the saver in the X11 window ID (decimal or 0x hexadecimal)
  --on-idle MINUTES [--autostart]
                stays in the session and starts the saver after MINUTES without input (0.5 is
                30 seconds); --autostart also starts it so at every login
  --no-autostart  no longer started so at login

Host options, for this run only (the stored settings stay as they are):
  -waterfall 1|2|both   which waterfalls take turns
  -sound, -no-sound     every sound on / no sound at all
  -clock, -no-clock     the clock shown / hidden
  -fps                  frames per second in the bottom-left corner
  -span                 one forest spread across all monitors, the waterfall on the primary
Options it does not know are ignored, as the hosts' own savers do. Every option may also be
written with two dashes. Settings: larkspill /c; more in man 6 larkspill.
)";
}

namespace {

// The value of the option at `args[i]`: after its '=', else the next word, which it then
// consumes. A next word that starts with '-' is the next option, never a value: nullopt.
std::optional<std::string> OptionValue(const std::vector<std::string>& args, size_t& i) {
  const std::string& a = args[i];
  if (size_t eq = a.find('='); eq != std::string::npos) return a.substr(eq + 1);
  if (i + 1 < args.size() && !args[i + 1].starts_with('-')) return args[++i];
  return std::nullopt;
}

// Reads one host option into `options`; true when `args[i]` was one (a value it takes is
// consumed with it).
bool ReadHostOption(const std::vector<std::string>& args, size_t& i, StartupOptions& options) {
  std::string a = args[i];
  if (a.rfind("--", 0) == 0) a.erase(0, 1);
  auto set = [&options](Key key, const char* value) { options.overrides.push_back({key, value}); };
  if (a == "-fps") {
    options.show_fps = true;
  } else if (a == "-span") {
    set(Key::SpanMonitors, "1");
  } else if (a == "-clock" || a == "-no-clock") {
    set(Key::ShowClock, a == "-clock" ? "1" : "0");
  } else if (a == "-sound" || a == "-no-sound") {
    const char* on = a == "-sound" ? "1" : "0";
    for (Key key : {Key::WaterSoundOn, Key::BirdSongOn, Key::JungleSoundOn, Key::EagleCallOn}) {
      set(key, on);
    }
    options.no_sound = a == "-no-sound";
  } else if (a == "-waterfall" || a.rfind("-waterfall=", 0) == 0) {
    const std::optional<std::string> value = OptionValue(args, i);
    const std::string lowered = NormalizeCommandLine(value.value_or(""));
    if (!value) {
      options.warnings.push_back("-waterfall is missing its value (1, 2 or both); the stored "
                                 "waterfalls are shown");
    } else if (lowered == "1" || lowered == "2" || lowered == "both") {
      set(Key::Scene1InRotation, lowered == "2" ? "0" : "1");
      set(Key::Scene2InRotation, lowered == "1" ? "0" : "1");
    } else {
      options.warnings.push_back("-waterfall takes 1, 2 or both, not \"" + *value +
                                 "\"; the stored waterfalls are shown");
    }
  } else {
    return false;
  }
  return true;
}

}  // namespace

StartupOptions ParseStartup(const std::vector<std::string>& args,
                            const char* xscreensaver_window) {
  StartupOptions options;
  if (ParseIdleWatchOptions(args, options)) return options;

  // The hosts that run third-party savers pass their own arguments.
  bool host = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-root" || a == "--root") {
      host = true;
      options.host_root = true;
    } else if (a == "-window-id" || a == "--window-id" || a.rfind("--window-id=", 0) == 0 ||
               a.rfind("-window-id=", 0) == 0) {
      host = true;
      const std::optional<std::string> value = OptionValue(args, i);
      std::optional<uint64_t> id = ParseWindowId(value.value_or(""));
      if (!value) {
        options.error = "--window-id is missing its window id (decimal or 0x hexadecimal)";
      } else if (!id) {
        options.error = "--window-id needs a window id in decimal or 0x hexadecimal, not \"" +
                        *value + "\"";
      } else {
        options.host_window = *id;
      }
    } else if (a == "--help" || a == "-help") {
      options.mode = Mode::Help;
      return options;
    } else {
      ReadHostOption(args, i, options);
    }
  }
  std::string joined;
  for (const std::string& a : args) {
    if (!joined.empty()) joined += ' ';
    joined += a;
  }
  options.normalized = NormalizeCommandLine(joined);
  options.switch_text = options.normalized.substr(0, 2);

  // A host that names its window only in the environment starts the saver without arguments.
  if (xscreensaver_window != nullptr && xscreensaver_window[0] != '\0' &&
      (host || options.normalized.empty())) {
    host = true;
    if (options.host_window == 0 && options.error.empty()) {
      std::optional<uint64_t> id = ParseWindowId(xscreensaver_window);
      if (id) {
        options.host_window = *id;
      } else {
        options.error = std::string("XSCREENSAVER_WINDOW holds \"") + xscreensaver_window +
                        "\", not a window id";
      }
    }
  }
  if (host) {
    options.mode = Mode::Host;
    return options;
  }

  const std::string& s = options.switch_text;
  if (s == "/s") {
    options.mode = Mode::Saver;
  } else if (options.normalized.empty()) {
    options.mode = Mode::SaverNoCheck;
  } else if (s == "/p") {
    options.mode = Mode::Preview;
    if (std::optional<int32_t> handle = LongestNumericTail(options.normalized)) {
      options.PreviewParent = *handle;
      options.preview_has_number = true;
    }
  } else if (s == "/c") {
    options.mode = Mode::Settings;
  } else if (s == "/a") {
    options.mode = Mode::Password;
  } else {
    options.mode = Mode::None;
  }
  return options;
}

}  // namespace larkspill
