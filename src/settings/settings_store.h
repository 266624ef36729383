#pragma once

#include <string>
#include <vector>

namespace larkspill {

// The application name every read and write uses.
inline constexpr const char* kAppName = "Larkspill";

// Per-user store of text settings addressed by (application, section, key). Section and key
// names compare without regard to letter case; values are text and come back exactly as saved.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // The stored value, or `default_value` when the entry is absent.
  virtual std::string GetSetting(const std::string& app, const std::string& section,
                                 const std::string& key, const std::string& default_value) = 0;

  // Creates the entry as needed and replaces any old value. Never throws; a store that cannot
  // be written keeps the value in memory and says once on standard error what went wrong.
  virtual void SaveSetting(const std::string& app, const std::string& section,
                           const std::string& key, const std::string& value) = 0;

  struct Entry {
    std::string section;
    std::string key;
    std::string value;
    bool only_if_absent = false;  // leaves an entry that is already there as it is
  };
  // Saves several entries of one application, in order. A store that can write them together
  // does so, so that either all of them or none reach the file.
  virtual void SaveSettings(const std::string& app, const std::vector<Entry>& entries) {
    static const std::string absent("\x01" "absent" "\x01");
    for (const Entry& e : entries) {
      if (e.only_if_absent && GetSetting(app, e.section, e.key, absent) != absent) continue;
      SaveSetting(app, e.section, e.key, e.value);
    }
  }

  // False when something stored could not be read (a line of a hand-edited file, a file that is
  // not a regular file): an entry that reads as absent may then be one the user wrote.
  virtual bool ReadCleanly() { return true; }

  // Why changes cannot be saved (a settings file the user made read-only, say), or the empty
  // text when they can.
  virtual std::string WhyCannotSave() { return {}; }
};

}  // namespace larkspill
