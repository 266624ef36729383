#include "settings/key_table.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fakes/memory_store.h"

namespace larkspill {
namespace {

TEST(KeyTable, SetRegistryWritesEveryKeyInOrderMarkerLast) {
  MemoryStore store;
  WriteFirstRunValues(store);
  // Sections come as One, then Startup, then Two, then System, whose SetReg=2 marker is last.
  std::string order;
  for (const auto& w : store.Writes()) order += static_cast<char>(std::tolower(w.section[0]));
  EXPECT_EQ(std::string(order.begin(), std::unique(order.begin(), order.end())), "osts");
  EXPECT_EQ(store.Writes().back().key + "=" + store.Writes().back().value, "SetReg=2");
  EXPECT_EQ(store.GetSetting(kAppName, "one", "SoundOff", "x"), "Never");
}

// "text=number" as read. Absent, each reader has its own default; an empty default, no number or
// one beyond 16 bits gives the first-run value; halves go to even.
TEST(KeyTable, ReadersDefaultsConversionsOfStoredTextAndSpelling) {
  constexpr Reader S = Reader::Saver, D = Reader::Dialog;
  const struct {
    Reader reader;
    Key key;
    const char* stored;  // nullptr: absent
    const char* expected;
  } cases[] = {
      {S, Key::SoundOffAfter, nullptr, "1=1"}, {D, Key::ShowFlock, nullptr, "=1"},
      {S, Key::ShowFlock, nullptr, "1=1"}, {S, Key::FirstRunMarker, nullptr, "1=1"},
      {D, Key::ButterflyCount, nullptr, "=3"}, {S, Key::BirdStepDelay, nullptr, "=25"},
      {S, Key::BirdStepDelay, " 40 ", " 40 =40"}, {S, Key::BirdStepDelay, "fast", "fast=25"},
      {S, Key::ClockFontSize, "", "=24"}, {S, Key::SceneMinutes, "32768", "32768=1"},
      {S, Key::SceneMinutes, "32767", "32767=32767"}, {S, Key::ClockCorner, "2.5", "2.5=2"},
      {S, Key::WaterSoundVolume, "-2500", "-2500=-2500"},
      {S, Key::WaterSoundVolume, "-32769", "-32769=-911"},
      {S, Key::ClockCorner, "3.5", "3.5=4"}, {S, Key::ClockCorner, "2.5e9", "2.5e9=1"},
      {S, Key::ClockCorner, "4e0", "4e0=4"}, {S, Key::ClockCorner, "inf", "inf=1"},
      {S, Key::ClockCorner, "0x10", "0x10=1"}, {S, Key::WaterFrameDelay, "+150", "+150=150"},
      // A store from before the monitors could be spanned shows each monitor its own scene.
      {S, Key::SpanMonitors, nullptr, "0=0"}, {D, Key::SpanMonitors, nullptr, "0=0"}};
  for (const auto& c : cases) {
    MemoryStore store;
    if (c.stored != nullptr) WriteSetting(store, c.key, c.stored);
    EXPECT_EQ(ReadText(store, c.reader, c.key) + "=" +
                  std::to_string(ReadInteger(store, c.reader, c.key)),
              c.expected)
        << Setting(c.key).key << (c.stored ? c.stored : " absent");
  }
  MemoryStore store;
  store.SaveSetting(kAppName, "one", "ScrollSec", "30000000");
  EXPECT_EQ(ReadLong(store, Reader::Saver, Key::SceneSeconds), 30000000);
  store.SaveSetting(kAppName, "one", "ScrollSec", "3e10");
  EXPECT_EQ(ReadLong(store, Reader::Saver, Key::SceneSeconds), 60);
  // The file keeps the spelling it always had: "One"/"Waterfall1" as first written, found again
  // by every reader and writer whatever the case.
  store.ClearWrites();
  WriteFirstRunValues(store);
  EXPECT_EQ(store.Writes()[15].section + "/" + store.Writes()[15].key, "One/Waterfall1");
  WriteSetting(store, Key::Scene1InRotation, "0");
  EXPECT_EQ(store.GetSetting(kAppName, "ONE", "WATERFALL1", "") + store.Writes().back().key,
            "0waterfall1");
}

}  // namespace
}  // namespace larkspill
