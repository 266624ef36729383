#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "settings/settings_store.h"

namespace larkspill {

// $XDG_CONFIG_HOME/larkspill/settings.ini, or ~/.config/larkspill/settings.ini.
std::filesystem::path DefaultSettingsPath();

// The settings file. Every read sees the file as it is now; every write takes an exclusive lock,
// reads the file again, changes its entries and replaces the file atomically, so two programs
// writing at once lose nothing and a reader never sees half a file. A file that does not parse
// or cannot be written is reported once on standard error and never ends the program; values
// that cannot be written are kept in memory for the rest of the run.
class IniFileStore : public SettingsStore {
 public:
  explicit IniFileStore(std::filesystem::path path);

  std::string GetSetting(const std::string& app, const std::string& section,
                         const std::string& key, const std::string& default_value) override;
  void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                   const std::string& value) override;
  void SaveSettings(const std::string& app, const std::vector<Entry>& entries) override;

  const std::filesystem::path& Path() const { return path_; }

 private:
  struct State;
  std::filesystem::path path_;
  std::shared_ptr<State> state_;
};

}  // namespace larkspill
