#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace larkspill {

// ASCII letters lowered; section and key names compare in this form.
std::string FoldCase(std::string_view text);

// The settings file's text: [section] headers and key=value lines, parsed and written in
// memory. Values are escaped so that any text comes back exactly: backslash, line breaks, tabs
// and other control characters are written as escapes, and a value with spaces at either end or
// a leading quote is written between double quotes. Comments (';' or '#') and blank lines of a
// hand-edited file are kept as they are.
class IniDocument {
 public:
  // Lines that cannot be read are left out of the document and described in `problems`.
  static IniDocument Parse(std::string_view text, std::vector<std::string>* problems = nullptr);
  std::string Serialize() const;

  // The value of section/key (names compared without regard to case), or nullptr.
  const std::string* Find(std::string_view section, std::string_view key) const;
  // Replaces the value, or adds the entry (and its section) spelled as given.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  size_t EntryCount() const;

 private:
  struct Line {
    bool is_entry = false;
    std::string key;    // entries
    std::string value;  // entries: the value; other lines: the raw text
  };
  struct Section {
    std::string name;  // empty for lines before the first header
    std::vector<Line> lines;
  };
  Section* FindSection(std::string_view name);
  std::vector<Section> sections_;
};

std::string EscapeIniValue(std::string_view value);
std::string EscapeIniName(std::string_view name);

}  // namespace larkspill
