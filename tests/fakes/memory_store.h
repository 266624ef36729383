#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "settings/ini_format.h"
#include "settings/settings_store.h"

namespace larkspill {

// A store held in memory, for tests and the dialog's tools: it remembers every write in order,
// spelled as the caller spelled it.
class MemoryStore : public SettingsStore {
 public:
  struct Write {
    std::string section;
    std::string key;
    std::string value;
  };

  std::string GetSetting(const std::string& app, const std::string& section,
                         const std::string& key, const std::string& default_value) override {
    auto it = values_.find(Fold(app, section, key));
    return it == values_.end() ? default_value : it->second;
  }
  void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                   const std::string& value) override {
    values_[Fold(app, section, key)] = value;
    writes_.push_back(Write{section, key, value});
  }

  bool Has(const std::string& section, const std::string& key) const {
    return values_.count(Fold(kAppName, section, key)) != 0;
  }
  // Removes an entry, as a user editing the store by hand might.
  void Remove(const std::string& section, const std::string& key) {
    values_.erase(Fold(kAppName, section, key));
  }
  size_t Size() const { return values_.size(); }
  const std::vector<Write>& Writes() const { return writes_; }
  void ClearWrites() { writes_.clear(); }
  // Stands for a store whose file cannot be written (writes are still kept).
  void SetWhyCannotSave(std::string why) { why_cannot_save_ = std::move(why); }
  std::string WhyCannotSave() override { return why_cannot_save_; }

 private:
  static std::pair<std::string, std::string> Fold(const std::string& app,
                                                  const std::string& section,
                                                  const std::string& key) {
    std::string full_section = app == kAppName ? section : app + "/" + section;
    return {FoldCase(full_section), FoldCase(key)};
  }
  std::map<std::pair<std::string, std::string>, std::string> values_;
  std::vector<Write> writes_;
  std::string why_cannot_save_;
};

}  // namespace larkspill
