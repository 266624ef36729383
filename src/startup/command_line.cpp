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

StartupOptions ParseStartup(const std::vector<std::string>& args,
                            const char* xscreensaver_window) {
  StartupOptions options;

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
      std::string value;
      if (size_t eq = a.find('='); eq != std::string::npos) {
        value = a.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      }
      std::optional<uint64_t> id = ParseWindowId(value);
      if (!id) {
        options.error = "--window-id needs a window id in decimal or 0x hexadecimal, not \"" +
                        value + "\"";
      } else {
        options.host_window = *id;
      }
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
