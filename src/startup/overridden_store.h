#pragma once

#include <string>
#include <vector>

#include "settings/settings_store.h"
#include "startup/command_line.h"

namespace larkspill {

// The settings as a host's options change them for one run: reads of an overridden entry give
// the option's value, everything else (every write included) goes to the store underneath, so
// an option never reaches the settings file.
class OverriddenStore : public SettingsStore {
 public:
  OverriddenStore(SettingsStore& store, std::vector<SettingOverride> overrides);

  std::string GetSetting(const std::string& app, const std::string& section, const std::string& key,
                         const std::string& default_value) override;
  void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                   const std::string& value) override;
  void SaveSettings(const std::string& app, const std::vector<Entry>& entries) override;

 private:
  SettingsStore& store_;
  std::vector<SettingOverride> overrides_;
};

}  // namespace larkspill
