#include "settings/key_table.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "settings/memory_store.h"

namespace larkspill {
namespace {

TEST(KeyTable, SetRegistryWritesEveryKeyInOrderMarkerLast) {
  MemoryStore store;
  SetRegistry(store);
  // Sections come as One, then Startup, then Two, then System, whose SetReg=2 marker is last.
  std::string order;
  for (const auto& w : store.Writes()) order += static_cast<char>(std::tolower(w.section[0]));
  EXPECT_EQ(std::string(order.begin(), std::unique(order.begin(), order.end())), "osts");
  EXPECT_EQ(store.Writes().back().key + "=" + store.Writes().back().value, "SetReg=2");
  EXPECT_EQ(store.GetSetting(kAppName, "one", "SoundOff", "x"), "Never");
}

// "text=number" as read. Absent, each reader has its own default; an empty default, no number or
// one beyond 16 bits gives the first-run value; halves go to even.
TEST(KeyTable, ReadersDefaultsConversionsOfStoredTextAndUnknownKeys) {
  constexpr Reader S = Reader::Saver, D = Reader::Dialog;
  const struct {
    Reader reader;
    const char *section, *key, *stored;  // nullptr: absent
    const char* expected;
  } cases[] = {
      {S, "one", "SoundOff", nullptr, "1=1"}, {D, "one", "Birds", nullptr, "=1"},
      {S, "one", "Birds", nullptr, "1=1"}, {S, "System", "SetReg", nullptr, "1=1"},
      {D, "one", "NumButter", nullptr, "=3"}, {S, "one", "BirdSpeed", nullptr, "=25"},
      {S, "one", "BirdSpeed", " 40 ", " 40 =40"}, {S, "one", "BirdSpeed", "fast", "fast=25"},
      {S, "one", "FontSize", "", "=24"}, {S, "one", "Scroll", "32768", "32768=1"},
      {S, "one", "Scroll", "32767", "32767=32767"}, {S, "two", "PosClock", "2.5", "2.5=2"},
      {S, "two", "VolumeWater", "-2500", "-2500=-2500"},
      {S, "two", "VolumeWater", "-32769", "-32769=-911"},
      {S, "two", "PosClock", "3.5", "3.5=4"}, {S, "two", "PosClock", "2.5e9", "2.5e9=1"},
      {S, "two", "PosClock", "4e0", "4e0=4"}, {S, "two", "PosClock", "inf", "inf=1"},
      {S, "two", "PosClock", "0x10", "0x10=1"}, {S, "two", "WaterSpeed", "+150", "+150=150"}};
  for (const auto& c : cases) {
    MemoryStore store;
    if (c.stored != nullptr) store.SaveSetting(kAppName, c.section, c.key, c.stored);
    EXPECT_EQ(ReadText(store, c.reader, c.section, c.key) + "=" +
                  std::to_string(ReadInteger(store, c.reader, c.section, c.key)),
              c.expected)
        << c.key << (c.stored ? c.stored : " absent");
  }
  MemoryStore store;
  store.SaveSetting(kAppName, "one", "ScrollSec", "30000000");
  EXPECT_EQ(ReadLong(store, Reader::Saver, "one", "ScrollSec"), 30000000);
  store.SaveSetting(kAppName, "one", "ScrollSec", "3e10");
  EXPECT_EQ(ReadLong(store, Reader::Saver, "one", "ScrollSec"), 60);
  // Keys are found whatever their case; an unknown key is a programming error.
  EXPECT_EQ(FindSettingKey("ONE", "birdspeed")->first_run, std::string("25"));
  EXPECT_EQ(FindSettingKey("one", "nosuch"), nullptr);
  EXPECT_THROW(ReadText(store, Reader::Saver, "one", "nosuch"), std::invalid_argument);
}

}  // namespace
}  // namespace larkspill
