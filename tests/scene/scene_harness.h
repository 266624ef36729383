#pragma once

#include <cstring>
#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_clock.h"
#include "fakes/fake_display.h"
#include "fakes/fake_window_system.h"
#include "fakes/memory_store.h"
#include "fakes/recording_sound_device.h"
#include "scene/saver_window.h"
#include "settings/key_table.h"

namespace larkspill::testing {

// Random numbers queued by the test; `fallback` once the queue is empty.
struct ScriptedRandom : Random {
  double Next() override {
    if (values.empty()) return fallback;
    const double v = values.front();
    return values.pop_front(), v;
  }
  std::deque<double> values;
  double fallback = 0.5;
};

// A memory store that journals reads and writes ("Get System/SetReg", "Save Two/Message").
struct JournalStore : MemoryStore {
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

// A saver window on fakes. Sound ids: water 1, birds 2, jungle 3, eagle 4.
struct Harness {
  struct Setting { std::string section, key, value; };
  // The pictures of a normal load, numbered in the order the window loads them.
  enum Loaded : int32_t {
    kB1, kB2, kB3, kB4, kB5, kFlock, kBird1, kBird2, kWater1, kBg1, kWater2, kWater2Small, kBg2
  };
  Harness() { display.journal = windows.journal = sound.journal = &journal; }

  void Set(const std::vector<Setting>& settings) {
    for (const Setting& s : settings) store.SaveSetting(kAppName, s.section, s.key, s.value);
  }
  SaverWindow& Make() {
    window = std::make_unique<SaverWindow>(SaverServices{
        display, sound, store, windows, clock, random, "/a/",
        [this](auto& text, auto& title) { boxes.emplace_back(text, title); }});
    return *window;
  }
  // Loads on first-run values, `settings` over them and only `creatures` on (all when null).
  SaverWindow& Load(const std::vector<Setting>& settings = {}, const char* creatures = nullptr) {
    WriteFirstRunValues(store);
    for (const char* kind : {"Birds", "SingleBird", "Butter1", "Butter2"})
      if (creatures) Set({{"one", kind, std::strstr(creatures, kind) ? "1" : "0"}});
    Set(settings);
    Make().Load();
    display.calls.clear(), sound.calls.clear(), journal.clear();
    return *window;
  }
  void FrameASecondLater() { clock.Advance(1000), window->OnFrame(); }
  // Where the last frame drew these pictures; {-9999, -9999} when it did not.
  std::pair<int32_t, int32_t> DrawnAt(int32_t pictures) {
    const auto d = display.Drawn(pictures);
    return d ? std::pair(d->x, d->y) : std::pair(-9999, -9999);
  }
  // After an end: every sound stopped, the three loops let go, the cursor shown again.
  void ExpectSilentWithTheCursorShown() {
    EXPECT_GE(sound.Count("StopAllSounds"), 1u);
    for (const char* loop : {"ReleaseSound 1", "ReleaseSound 2", "ReleaseSound 3"})
      EXPECT_GE(sound.Count(loop), 1u) << loop;
    EXPECT_EQ(windows.calls.back(), "ShowCursor 1");
  }
  // Runs every handler of an ended window, as the event loop still may: none does anything.
  void ExpectNothingRunsAfterTheEnd() {
    const std::optional<int> ended = window->EndStatus();
    ASSERT_TRUE(ended);
    journal.clear();
    for (auto f :
         {&SaverWindow::OnFrame, &SaverWindow::EverySecond, &SaverWindow::LetRestedBirdsFly,
          &SaverWindow::DriftSecondKindButterflies, &SaverWindow::PowerOffTick, &SaverWindow::OnKey,
          &SaverWindow::OnButton, &SaverWindow::OnWheel, &SaverWindow::OnPointerMoved,
          &SaverWindow::CloseDown, &SaverWindow::Unload})
      (window.get()->*f)();
    EXPECT_TRUE(journal.empty()) << journal.front();
    EXPECT_EQ(window->EndStatus(), ended);  // the first end's status stands
  }

  FakeClock clock;
  FakeDisplay display;
  RecordingSoundDevice sound;
  JournalStore store;
  FakeWindowSystem windows;
  ScriptedRandom random;
  std::vector<std::string> journal;
  std::vector<std::pair<std::string, std::string>> boxes;
  std::unique_ptr<SaverWindow> window;
};

}  // namespace larkspill::testing
