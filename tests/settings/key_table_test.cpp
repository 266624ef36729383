#include "settings/key_table.h"

#include <gtest/gtest.h>

#include "settings/memory_store.h"

namespace larkspill {
namespace {

TEST(KeyTable, SetRegistryWritesEveryKeyInOrderMarkerLast) {
  MemoryStore store;
  SetRegistry(store);
  // Sections come as One, then Startup, then Two, then System, whose SetReg=2 marker is last.
  std::string order;
  for (const auto& w : store.Writes()) {
    char s = static_cast<char>(std::tolower(w.section[0]));
    if (order.empty() || order.back() != s) order += s;
  }
  EXPECT_EQ(order, "osts");
  EXPECT_EQ(store.Writes().back().key + "=" + store.Writes().back().value, "SetReg=2");
  EXPECT_EQ(store.GetSetting(kAppName, "one", "SoundOff", "x"), "Never");
}

TEST(KeyTable, ReadersUseTheirOwnAbsentDefaults) {
  MemoryStore store;
  // Absent SoundOff: the saver's reader gets "1" (a minute), not "Never".
  EXPECT_EQ(ReadText(store, Reader::Saver, "one", "SoundOff"), "1");
  EXPECT_EQ(ReadText(store, Reader::Dialog, "one", "Birds") + "|" +
                ReadText(store, Reader::Saver, "one", "Birds"), "|1");
  EXPECT_EQ(ReadInteger(store, Reader::Saver, "System", "SetReg"), 1);
  // An empty default does not convert: the first-run value stands in.
  EXPECT_EQ(ReadInteger(store, Reader::Dialog, "one", "NumButter"), 3);
  EXPECT_EQ(ReadInteger(store, Reader::Saver, "one", "BirdSpeed"), 25);
}

TEST(KeyTable, ConversionsOfStoredText) {
  struct Case {
    const char *section, *key, *stored;
    int expected;
  };
  // Not a number, or beyond 16 bits: the first-run value. Halves go to even.
  const Case cases[] = {
      {"one", "BirdSpeed", " 40 ", 40},   {"one", "BirdSpeed", "fast", 25},
      {"one", "FontSize", "", 24},        {"one", "Scroll", "32768", 1},
      {"one", "Scroll", "32767", 32767},  {"two", "VolumeWater", "-2500", -2500},
      {"two", "VolumeWater", "-32769", -911}, {"two", "PosClock", "2.5", 2},
      {"two", "PosClock", "3.5", 4},      {"two", "PosClock", "2.5e9", 1},
      {"two", "PosClock", "4e0", 4},      {"two", "PosClock", "inf", 1},
      {"two", "PosClock", "0x10", 1},     {"two", "WaterSpeed", "+150", 150}};
  for (const Case& c : cases) {
    MemoryStore store;
    store.SaveSetting(kAppName, c.section, c.key, c.stored);
    EXPECT_EQ(ReadInteger(store, Reader::Saver, c.section, c.key), c.expected)
        << c.key << "=" << c.stored;
  }
  MemoryStore store;
  store.SaveSetting(kAppName, "one", "ScrollSec", "30000000");
  EXPECT_EQ(ReadLong(store, Reader::Saver, "one", "ScrollSec"), 30000000);
  store.SaveSetting(kAppName, "one", "ScrollSec", "3e10");
  EXPECT_EQ(ReadLong(store, Reader::Saver, "one", "ScrollSec"), 60);
}

TEST(KeyTable, UnknownKeysAreAProgrammingError) {
  MemoryStore store;
  EXPECT_EQ(FindSettingKey("ONE", "birdspeed")->first_run, std::string("25"));
  EXPECT_EQ(FindSettingKey("one", "nosuch"), nullptr);
  EXPECT_THROW(ReadText(store, Reader::Saver, "one", "nosuch"), std::invalid_argument);
}

}  // namespace
}  // namespace larkspill
