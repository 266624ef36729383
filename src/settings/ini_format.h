#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace larkspill {

// ASCII letters lowered; section and key names compare in this form.
std::string FoldCase(std::string_view text);

// What a parse could not read: how many lines, and a description of the first few.
struct IniProblems {
  static constexpr size_t kDescribed = 5;
  size_t count = 0;
  std::vector<std::string> first;  // at most kDescribed
};

// The settings file's text: [section] headers and key=value lines, parsed and written in
// memory. Values are escaped so that any text comes back exactly: backslash, line breaks, tabs
// and other control characters are written as escapes, and a value with spaces at either end or
// a leading quote is written between double quotes.
//
// A hand-edited file is read as other INI tools read it (a leading byte-order mark, ';' and '#'
// comments, a comment after a header, spaces around names and '=', CRLF line ends) and written
// back as it was: lines nobody changed keep their exact text, and the mark and line ends stay.
class IniDocument {
 public:
  // Lines that cannot be read are left out of the document and counted in `problems`.
  static IniDocument Parse(std::string_view text, IniProblems* problems = nullptr);
  std::string Serialize() const;

  // The value of section/key (names compared without regard to case), or nullopt. Where a key
  // is given twice, the later line counts.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  // Replaces the value, or adds the entry (and its section) spelled as given.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  size_t EntryCount() const { return entries_.size(); }

 private:
  // A line as it is written (comments and blank lines in a row: one block of them). An entry's
  // value is read from its text when asked for, which keeps a large file's lines small.
  struct Line {
    std::string text;
    uint32_t value_at = 0;  // entries: where the value begins, after the '='; 0 for others
    bool is_entry() const { return value_at != 0; }
  };
  struct Section {
    std::string name;    // empty for lines before the first header
    std::string header;  // the header line as read; empty for a section added since
    std::vector<Line> lines;
  };
  struct Place {
    size_t section;
    size_t line;
  };
  static std::string EntryId(std::string_view folded_section, std::string_view key);
  Section& AddSection(std::string_view name, std::string header);

  std::vector<Section> sections_;
  // By folded name: the last section of that name, and the line that holds each key's value.
  std::unordered_map<std::string, size_t> section_index_;
  std::unordered_map<std::string, Place> entries_;
  bool byte_order_mark_ = false;
  bool crlf_ = false;
};

std::string EscapeIniValue(std::string_view value);
std::string EscapeIniName(std::string_view name);

}  // namespace larkspill
