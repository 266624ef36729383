// Reading and writing the settings file at sizes a user could make by hand: 100,000 keys (about
// 1.6 MB) and a 1 MB message. The saver's start reads every setting once; the dialog's opening
// reads every setting and writes those its controls correct, each write a whole-file replace.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "settings/ini_file_store.h"
#include "settings/ini_format.h"
#include "settings/key_table.h"

namespace larkspill {
namespace {

namespace fs = std::filesystem;

// 100,000 keys over ten sections, the first-run values among them.
std::string ManyKeys() {
  std::string text;
  for (int s = 0; s < 10; ++s) {
    text += "[Extra" + std::to_string(s) + "]\n";
    for (int k = 0; k < 10000; ++k)
      text += "Key" + std::to_string(k) + "=" + std::to_string(k * 7) + "\n";
  }
  IniDocument doc = IniDocument::Parse(text);
  for (const SettingKey& k : SettingKeys()) doc.Set(k.section, k.key, k.first_run);
  return doc.Serialize();
}

// The first-run values with a message of 1 MB.
std::string BigMessage() {
  IniDocument doc;
  for (const SettingKey& k : SettingKeys()) doc.Set(k.section, k.key, k.first_run);
  std::string message;
  while (message.size() < (1 << 20)) message += "A long message, with = signs; and \"quotes\". ";
  doc.Set("Two", "Message", message);
  return doc.Serialize();
}

class File {
 public:
  explicit File(const std::string& text) {
    char pattern[] = "/tmp/larkspill-bench-XXXXXX";
    dir_ = mkdtemp(pattern);
    path_ = dir_ / "settings.ini";
    std::ofstream(path_, std::ios::binary) << text;
  }
  ~File() { fs::remove_all(dir_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path dir_, path_;
};

// Every key the saver reads, as its start reads them.
void SaverReads(SettingsStore& store) {
  WriteFirstRunValuesIfNew(store);
  for (const SettingKey& k : SettingKeys()) {
    if (k.saver_default != nullptr) benchmark::DoNotOptimize(ReadText(store, Reader::Saver, k.id));
  }
}

void Parse(benchmark::State& state, const std::string& text) {
  for (auto _ : state) benchmark::DoNotOptimize(IniDocument::Parse(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void SaverStart(benchmark::State& state, const std::string& text) {
  File file(text);
  for (auto _ : state) {
    IniFileStore store(file.path());
    SaverReads(store);
  }
}

// The dialog's opening: every key read, twelve corrected by a write each, reads in between.
void DialogOpening(benchmark::State& state, const std::string& text) {
  File file(text);
  for (auto _ : state) {
    IniFileStore store(file.path());
    int writes = 0;
    for (const SettingKey& k : SettingKeys()) {
      if (k.dialog_default == nullptr) continue;
      std::string value = ReadText(store, Reader::Dialog, k.id);
      if (writes < 12 && k.conversion == Conversion::Integer) {
        WriteSetting(store, k.id, value);
        ++writes;
      }
    }
  }
}

// One more change once the dialog is open: a whole-file replace.
void DialogClick(benchmark::State& state, const std::string& text) {
  File file(text);
  IniFileStore store(file.path());
  ReadText(store, Reader::Dialog, Key::ShowFlock);
  int i = 0;
  for (auto _ : state) WriteSetting(store, Key::ShowFlock, std::to_string(++i % 2));
}

const std::string& Keys() {
  static const std::string text = ManyKeys();
  return text;
}
const std::string& StoredBigMessage() {
  static const std::string text = BigMessage();
  return text;
}

BENCHMARK_CAPTURE(Parse, keys_100000, Keys())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Parse, message_1MB, StoredBigMessage())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SaverStart, keys_100000, Keys())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SaverStart, message_1MB, StoredBigMessage())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DialogOpening, keys_100000, Keys())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DialogOpening, message_1MB, StoredBigMessage())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DialogClick, keys_100000, Keys())->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace larkspill

BENCHMARK_MAIN();
