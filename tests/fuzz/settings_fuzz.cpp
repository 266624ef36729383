// Feeds arbitrary bytes to the settings file parser and the number conversions: nothing may
// crash, and whatever is read must survive a write and a read unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/ini_format.h"
#include "settings/key_table.h"
#include "settings/memory_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  larkspill::IniDocument doc = larkspill::IniDocument::Parse(text);
  std::string once = doc.Serialize();
  if (larkspill::IniDocument::Parse(once).Serialize() != once) std::abort();

  // The input as a value: stored and read back exactly, converted without surprises.
  larkspill::IniDocument values;
  values.Set("two", "Message", text);
  larkspill::IniDocument reread = larkspill::IniDocument::Parse(values.Serialize());
  const std::string* back = reread.Find("TWO", "message");
  if (back == nullptr || *back != text) std::abort();

  larkspill::MemoryStore store;
  store.SaveSetting(larkspill::kAppName, "two", "PosClock", std::string(text));
  int16_t pos = larkspill::ReadNumericInteger(store, larkspill::Reader::Saver, "two", "PosClock");
  std::optional<int16_t> direct = larkspill::ToInteger(text);
  if (direct && *direct != pos) std::abort();
  if (!direct && pos != 1) std::abort();  // the first-run value stands in
  return 0;
}
