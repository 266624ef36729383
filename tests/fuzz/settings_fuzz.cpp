// Feeds arbitrary bytes to the settings file parser and the number conversions: nothing may
// crash, whatever is read survives a write and a read unchanged, and a written file has no line
// the reader cannot read. (What editors put around valid lines: the format's unit test.)
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/ini_format.h"
#include "settings/key_table.h"
#include "settings/memory_store.h"

namespace {

using larkspill::IniDocument;
using larkspill::IniProblems;

void Check(bool ok) {
  if (!ok) std::abort();
}

// Any text: read, changed and written, it reads back whole and without unreadable lines.
void ArbitraryText(std::string_view text) {
  IniDocument doc = IniDocument::Parse(text);
  const std::string once = doc.Serialize();
  IniProblems problems;
  IniDocument again = IniDocument::Parse(once, &problems);
  Check(problems.count == 0);
  Check(again.Serialize() == once);
  Check(again.EntryCount() == doc.EntryCount());
  doc.Set("two", "Message", "changed");
  IniDocument changed = IniDocument::Parse(doc.Serialize(), &problems);
  Check(problems.count == 0 && changed.EntryCount() == doc.EntryCount());
  Check(changed.Find("TWO", "message") == "changed");

  // The input as a value: stored and read back exactly.
  IniDocument values;
  values.Set("two", "Message", text);
  IniDocument reread = IniDocument::Parse(values.Serialize());
  Check(reread.Find("TWO", "message") == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  ArbitraryText(text);

  larkspill::MemoryStore store;
  store.SaveSetting(larkspill::kAppName, "two", "PosClock", std::string(text));
  int16_t pos = larkspill::ReadNumericInteger(store, larkspill::Reader::Saver, "two", "PosClock");
  std::optional<int16_t> direct = larkspill::ToInteger(text);
  if (direct && *direct != pos) std::abort();
  if (!direct && pos != 1) std::abort();  // the first-run value stands in
  return 0;
}
