#include "settings/memory_store.h"

#include "settings/ini_format.h"

namespace larkspill {

std::pair<std::string, std::string> MemoryStore::Fold(const std::string& app,
                                                      const std::string& section,
                                                      const std::string& key) {
  std::string full_section = app == kAppName ? section : app + "/" + section;
  return {FoldCase(full_section), FoldCase(key)};
}

std::string MemoryStore::GetSetting(const std::string& app, const std::string& section,
                                    const std::string& key, const std::string& default_value) {
  auto it = values_.find(Fold(app, section, key));
  return it == values_.end() ? default_value : it->second;
}

void MemoryStore::SaveSetting(const std::string& app, const std::string& section,
                              const std::string& key, const std::string& value) {
  values_[Fold(app, section, key)] = value;
  writes_.push_back(Write{section, key, value});
}

bool MemoryStore::Has(const std::string& section, const std::string& key) const {
  return values_.count(Fold(kAppName, section, key)) != 0;
}

void MemoryStore::Remove(const std::string& section, const std::string& key) {
  values_.erase(Fold(kAppName, section, key));
}

}  // namespace larkspill
