#pragma once

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_clock.h"
#include "fakes/fake_display.h"
#include "fakes/fake_window_system.h"
#include "fakes/recording_sound_device.h"
#include "scene/saver_window.h"
#include "settings/key_table.h"
#include "settings/memory_store.h"

namespace larkspill::testing {

// Random numbers queued by the test; `fallback` once the queue is empty.
class ScriptedRandom : public Random {
 public:
  double Next() override {
    if (values.empty()) return fallback;
    double v = values.front();
    values.pop_front();
    return v;
  }
  std::deque<double> values;
  double fallback = 0.5;
};

// A memory store that journals reads and writes ("Get System/SetReg", "Save Two/Message").
class JournalStore : public MemoryStore {
 public:
  std::string GetSetting(const std::string& app, const std::string& section, const std::string& key,
                         const std::string& default_value) override {
    if (journal) journal->push_back("Get " + section + "/" + key);
    return MemoryStore::GetSetting(app, section, key, default_value);
  }
  void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                   const std::string& value) override {
    if (journal) journal->push_back("Save " + section + "/" + key);
    MemoryStore::SaveSetting(app, section, key, value);
  }
  std::vector<std::string>* journal = nullptr;
};

// A saver window on fakes. Sprite ids of a normal load: butterflies 1..5 are 1..5, the flock 6,
// single birds 7 and 8, first water 9 and background 10, second water 11, its small water 12,
// its background 13. Sound ids: water 1, birds 2, jungle 3, eagle 4.
struct Harness {
  // clang-format off
  enum Sprites : int32_t {
    kB1 = 1, kB2, kB3, kB4, kB5, kFlock, kBird1, kBird2, kWater1, kBg1, kWater2, kWater2Small, kBg2
  };
  // clang-format on
  Harness() { display.journal = windows.journal = sound.journal = &journal; }

  // Writes the first-run values, so Form_Load reads the settings as set by the test.
  void FirstRun() { SetRegistry(store); }
  void Set(const std::string& section, const std::string& key, const std::string& value) {
    store.SaveSetting(kAppName, section, key, value);
  }
  // First-run settings with only the named creatures switched on.
  void OnlyCreatures(bool flock, bool single_birds, bool first_kind, bool second_kind) {
    FirstRun();
    Set("one", "Birds", flock ? "1" : "0");
    Set("one", "SingleBird", single_birds ? "1" : "0");
    Set("one", "Butter1", first_kind ? "1" : "0");
    Set("one", "Butter2", second_kind ? "1" : "0");
  }

  SaverWindow& Make() {
    window = std::make_unique<SaverWindow>(
        SaverServices{display, sound, store, windows, clock, random, "/a/",
                      [this](const std::string& text, const std::string& title) {
                        boxes.emplace_back(text, title);
                      },
                      [this](int status) { statuses.push_back(status); }});
    return *window;
  }
  SaverWindow& Load() {
    Make();
    window->Form_Load();
    display.calls.clear();
    sound.calls.clear();
    journal.clear();
    return *window;
  }
  FakeDisplay::Sprite& Sprite(int32_t id) { return display.sprites[id]; }
  // Every handler of the window, as the event loop may still call them after it ended.
  void PokeAll() {
    for (auto f : {&SaverWindow::OnFrame, &SaverWindow::Timer1_Timer, &SaverWindow::Timer3_Timer,
                   &SaverWindow::Timer4_Timer, &SaverWindow::Timer5_Timer, &SaverWindow::OnKey,
                   &SaverWindow::OnButton, &SaverWindow::OnWheel, &SaverWindow::OnPointerMoved,
                   &SaverWindow::CloseDown, &SaverWindow::Form_Unload})
      (window.get()->*f)();
  }

  FakeClock clock;
  FakeDisplay display{clock};
  RecordingSoundDevice sound;
  JournalStore store;
  FakeWindowSystem windows;
  ScriptedRandom random;
  std::vector<std::string> journal;
  std::vector<std::pair<std::string, std::string>> boxes;
  std::vector<int> statuses;
  std::unique_ptr<SaverWindow> window;
};

}  // namespace larkspill::testing
