// Feeds arbitrary bytes to the settings file parser and the number conversions: nothing may
// crash, whatever is read survives a write and a read unchanged, a written file has no line the
// reader cannot read, and a valid file loses nothing to what editors put around its lines.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

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

// A valid file with a byte-order mark, comment and blank lines before it, comments after its
// headers, spaces around '=' and CRLF line ends, as the input chooses: every entry is read.
void CosmeticForms(std::string_view data) {
  auto take = [&data]() -> uint8_t {
    if (data.empty()) return 0;
    const auto byte = static_cast<uint8_t>(data.front());
    data.remove_prefix(1);
    return byte;
  };
  const uint8_t style = take();
  const std::string_view eol = (style & 8) != 0 ? "\r\n" : "\n";
  const char* const lead[] = {"", "; note", "# note", " \t ", "; [One]", "#x=y", "  ; MouseSens=9"};
  std::string file = (style & 1) != 0 ? "\xEF\xBB\xBF" : "";
  for (int n = take() % 8; n > 0; --n) {
    file += lead[take() % std::size(lead)];
    file += eol;
  }
  struct Kept {
    std::string section, key, value;
  };
  std::vector<Kept> kept;
  IniDocument valid;
  const char* const sections[] = {"One", "Two", "Startup", "System"};
  for (size_t i = 0; i < 16 && !data.empty(); ++i) {
    const size_t length = std::min<size_t>(take() % 32, data.size());
    Kept k{sections[i % 4], "Key" + std::to_string(i), std::string(data.substr(0, length))};
    data.remove_prefix(length);
    valid.Set(k.section, k.key, k.value);
    kept.push_back(k);
  }
  const std::string body = valid.Serialize();
  for (size_t start = 0; start < body.size();) {
    const size_t end = body.find('\n', start);
    std::string line = body.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.front() == '[' && (style & 2) != 0) line += " ; a comment [x]";
    if (line.rfind("Key", 0) == 0 && (style & 4) != 0) line.replace(line.find('='), 1, " = ");
    file += line;
    file += eol;
  }
  IniProblems problems;
  IniDocument read = IniDocument::Parse(file, &problems);
  Check(problems.count == 0);
  for (const Kept& k : kept) {
    Check(read.Find(k.section, k.key) == k.value);
  }
  // Written back unchanged, the file is the same to the byte.
  Check(read.Serialize() == file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  ArbitraryText(text);
  CosmeticForms(text);

  larkspill::MemoryStore store;
  store.SaveSetting(larkspill::kAppName, "two", "PosClock", std::string(text));
  int16_t pos = larkspill::ReadNumericInteger(store, larkspill::Reader::Saver, "two", "PosClock");
  std::optional<int16_t> direct = larkspill::ToInteger(text);
  if (direct && *direct != pos) std::abort();
  if (!direct && pos != 1) std::abort();  // the first-run value stands in
  return 0;
}
