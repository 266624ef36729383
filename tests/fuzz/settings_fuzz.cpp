// Feeds arbitrary bytes to the settings parser and the number conversions: nothing may crash, what
// is read survives a write and a read unchanged, and a written file has no unreadable line.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fakes/memory_store.h"
#include "settings/ini_format.h"
#include "settings/key_table.h"

static void Check(bool ok) {
  if (!ok) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace larkspill;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  // Any text: read, changed and written, it reads back whole and without unreadable lines.
  IniDocument doc = IniDocument::Parse(text);
  const std::string once = doc.Serialize();
  IniProblems problems;
  IniDocument again = IniDocument::Parse(once, &problems);
  Check(problems.count == 0 && again.Serialize() == once && again.EntryCount() == doc.EntryCount());
  doc.Set("two", "Message", "changed");
  IniDocument changed = IniDocument::Parse(doc.Serialize(), &problems);
  Check(problems.count == 0 && changed.EntryCount() == doc.EntryCount());
  Check(changed.Find("TWO", "message") == "changed");
  // The input as a value: stored and read back exactly; as a number, read as the conversion says.
  IniDocument values;
  values.Set("two", "Message", text);
  Check(IniDocument::Parse(values.Serialize()).Find("TWO", "message") == text);
  MemoryStore store;
  store.SaveSetting(kAppName, "two", "PosClock", std::string(text));
  const int16_t pos = ReadNumericInteger(store, Reader::Saver, Key::ClockCorner);
  const std::optional<int16_t> direct = ToInteger(text);
  Check(direct ? *direct == pos : pos == 1);  // without a number, the first-run value stands in
  return 0;
}
