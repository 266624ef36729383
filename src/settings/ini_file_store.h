#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "settings/settings_store.h"

namespace larkspill {

// $XDG_CONFIG_HOME/larkspill/settings.ini, else ~/.config/larkspill/settings.ini with the home
// folder from $HOME or, when that is unset, from the password database; empty when the user has
// no home folder at all (never a shared folder another user could have made first).
std::filesystem::path DefaultSettingsPath();

// The settings file. Reads parse the file once and again only when it changes; every write takes
// an exclusive lock, changes the entries and replaces the file atomically, so two programs
// writing at once lose nothing and a reader never sees half a file.
//
// The file is the user's: a symbolic link stays a link (its target is replaced, in the target's
// own folder), permission bits and owner are kept, and a file without write permission for its
// owner, or anything that is not a regular file, or a file larger than kMaxFileSize, is never
// replaced. Such problems, a lock held too long, or a file that cannot be written are reported
// once on standard error and never end the program: values that cannot be written are kept in
// memory for the rest of the run.
class IniFileStore : public SettingsStore {
 public:
  static constexpr size_t kMaxFileSize = size_t{4} << 20;
  // How long a write waits for another writer's lock, and once that has run out in this run.
  static constexpr int kLockWaitMs = 3000;
  static constexpr int kLockRetryWaitMs = 200;

  // `pending_signal` tells a wait for the lock that the program has been asked to end (non-zero).
  explicit IniFileStore(std::filesystem::path path, std::function<int()> pending_signal = {});

  std::string GetSetting(const std::string& app, const std::string& section,
                         const std::string& key, const std::string& default_value) override;
  void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                   const std::string& value) override;
  void SaveSettings(const std::string& app, const std::vector<Entry>& entries) override;
  bool ReadCleanly() override;
  std::string WhyCannotSave() override;

 private:
  struct State;
  // Brings the parsed file up to date; the empty text, or why the file cannot be read.
  std::string Refresh(const std::filesystem::path& file);
  // The same from the file open as `fd` in the state `st`, or from no file when `fd` is -1.
  std::string Refresh(const std::filesystem::path& file, int fd, const struct stat& st);
  // Writes the entries; the empty text, or why they could not be written.
  std::string Write(const std::string& app, const std::vector<Entry>& entries);
  // Says once per problem that the settings live in memory for the rest of the run.
  void ReportInMemory(const std::string& why);

  std::filesystem::path path_;
  std::function<int()> pending_signal_;
  std::shared_ptr<State> state_;
};

}  // namespace larkspill
