#include "startup/overridden_store.h"

#include <strings.h>

#include <utility>

namespace larkspill {

OverriddenStore::OverriddenStore(SettingsStore& store, std::vector<SettingOverride> overrides)
    : store_(store), overrides_(std::move(overrides)) {}

std::string OverriddenStore::GetSetting(const std::string& app, const std::string& section,
                                        const std::string& key, const std::string& default_value) {
  // The last option naming an entry wins, as on any command line.
  for (auto it = overrides_.rbegin(); it != overrides_.rend(); ++it) {
    const SettingKey& overridden = Setting(it->key);
    if (strcasecmp(overridden.section, section.c_str()) == 0 &&
        strcasecmp(overridden.key, key.c_str()) == 0) {
      return it->value;
    }
  }
  return store_.GetSetting(app, section, key, default_value);
}

void OverriddenStore::SaveSetting(const std::string& app, const std::string& section,
                                  const std::string& key, const std::string& value) {
  store_.SaveSetting(app, section, key, value);
}

void OverriddenStore::SaveSettings(const std::string& app, const std::vector<Entry>& entries) {
  store_.SaveSettings(app, entries);
}

}  // namespace larkspill
