#include "settings/ini_format.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

namespace larkspill {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsSpace(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (IsSpace(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Escapes backslash, control characters and the characters in `extra`.
std::string Escape(std::string_view text, std::string_view extra) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char hex[5];
          std::snprintf(hex, sizeof hex, "\\x%02X", u);
          out += hex;
        } else if (extra.find(c) != std::string_view::npos) {
          out += '\\';
          out += c;
        } else {
          out += c;
        }
    }
  }
  return out;
}

// Undoes Escape; an unknown escape keeps the character after the backslash.
std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\' || i + 1 == text.size()) {
      out += c;
      continue;
    }
    char n = text[++i];
    switch (n) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x':
        if (i + 2 < text.size() + 0 && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
          out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
          i += 2;
        } else {
          out += 'x';
        }
        break;
      default: out += n;
    }
  }
  return out;
}

// Position of the first '=' that is not escaped, or npos.
size_t FindSeparator(std::string_view line) {
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\') {
      ++i;
    } else if (line[i] == '=') {
      return i;
    }
  }
  return std::string_view::npos;
}

std::string ParseValue(std::string_view raw) {
  raw = Trim(raw);
  if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') {
    // The closing quote must not be escaped: count the backslashes before it.
    size_t slashes = 0;
    for (size_t i = raw.size() - 1; i > 1 && raw[i - 1] == '\\'; --i) ++slashes;
    if (slashes % 2 == 0) raw = raw.substr(1, raw.size() - 2);
  }
  return Unescape(raw);
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string EscapeIniValue(std::string_view value) {
  std::string escaped = Escape(value, "\"");
  bool quote = !value.empty() && (IsSpace(value.front()) || IsSpace(value.back()));
  if (quote) return "\"" + escaped + "\"";
  return escaped;
}

std::string EscapeIniName(std::string_view name) {
  std::string escaped = Escape(name, "=[]; #\"");
  return escaped;
}


namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsComment(std::string_view trimmed) {
  return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

// The end of a header's name: the first unescaped ']' after which only a comment or nothing
// follows; npos when the line is no header.
size_t HeaderClose(std::string_view line) {
  for (size_t i = 1; i < line.size(); ++i) {
    if (line[i] == '\\') {
      ++i;
    } else if (line[i] == ']') {
      std::string_view rest = Trim(line.substr(i + 1));
      if (rest.empty() || IsComment(rest)) return i;
    }
  }
  return std::string_view::npos;
}

// Where the blank lines at the end of a block of lines begin (the block's size when none).
size_t TrailingBlankStart(std::string_view block, std::string_view eol) {
  size_t end = block.size();
  for (;;) {
    size_t start = end == 0 ? std::string_view::npos : block.rfind(eol, end - 1);
    size_t line_start = start == std::string_view::npos ? 0 : start + eol.size();
    if (!Trim(block.substr(line_start, end - line_start)).empty()) return end;
    if (start == std::string_view::npos) return 0;
    end = start;
  }
}

}  // namespace

std::string IniDocument::EntryId(std::string_view folded_section, std::string_view key) {
  return std::to_string(folded_section.size()) + ':' + std::string(folded_section) + FoldCase(key);
}

IniDocument::Section& IniDocument::AddSection(std::string_view name, std::string header) {
  section_index_[FoldCase(name)] = sections_.size();
  sections_.push_back(Section{std::string(name), std::move(header), {}});
  return sections_.back();
}

IniDocument IniDocument::Parse(std::string_view text, IniProblems* problems) {
  IniDocument doc;
  doc.AddSection("", {});
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    doc.byte_order_mark_ = true;
    text.remove_prefix(kByteOrderMark.size());
  }
  if (size_t first_end = text.find('\n'); first_end != std::string_view::npos) {
    doc.crlf_ = first_end > 0 && text[first_end - 1] == '\r';
  }
  const std::string_view eol = doc.crlf_ ? "\r\n" : "\n";
  // Room for an entry per line, up to a million, so the index is not rebuilt as it grows.
  doc.entries_.reserve(std::min<size_t>(std::count(text.begin(), text.end(), '\n') + 1, 1 << 20));
  size_t line_number = 0;
  std::string section_id;  // the folded name of the section being read
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++line_number;
    while (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    std::string_view line = Trim(raw);
    Section& section = doc.sections_.back();
    if (line.empty() || IsComment(line)) {
      // Runs of comments and blank lines are kept as one block of text.
      if (!section.lines.empty() && !section.lines.back().is_entry()) {
        std::string& block = section.lines.back().text;
        block += eol;
        block += raw;
      } else {
        section.lines.push_back(Line{std::string(raw)});
      }
      continue;
    }
    if (line.front() == '[') {
      if (size_t close = HeaderClose(line); close != std::string_view::npos) {
        doc.AddSection(Unescape(Trim(line.substr(1, close - 1))), std::string(raw));
        section_id = FoldCase(doc.sections_.back().name);
        continue;
      }
    } else if (size_t eq = FindSeparator(line); eq != std::string_view::npos && eq > 0) {
      std::string id = EntryId(section_id, Unescape(Trim(line.substr(0, eq))));
      const auto value_at = static_cast<uint32_t>(line.data() - raw.data() + eq + 1);
      section.lines.push_back(Line{std::string(raw), value_at});
      // A later line for the same key wins, as a reader of the file would expect.
      doc.entries_[std::move(id)] = Place{doc.sections_.size() - 1, section.lines.size() - 1};
      continue;
    }
    if (problems != nullptr && problems->count++ < IniProblems::kDescribed) {
      std::string shown(line.substr(0, 60));
      for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
      }
      problems->first.push_back("line " + std::to_string(line_number) + " is not a setting: \"" +
                                shown + (line.size() > 60 ? "...\"" : "\""));
    }
  }
  return doc;
}

std::string IniDocument::Serialize() const {
  const std::string_view eol = crlf_ ? "\r\n" : "\n";
  std::string out;
  if (byte_order_mark_) out += kByteOrderMark;
  for (size_t s = 0; s < sections_.size(); ++s) {
    const Section& section = sections_[s];
    if (s > 0) {
      out += section.header.empty() ? "[" + EscapeIniName(section.name) + "]" : section.header;
      out += eol;
    }
    for (const Line& line : section.lines) {
      out += line.text;
      out += eol;
    }
  }
  // A first line that itself begins with the mark (left after lines above it were dropped) keeps
  // its bytes only behind a mark of the file's own.
  if (!byte_order_mark_ && out.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
    out.insert(0, kByteOrderMark);
  }
  return out;
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
  auto it = entries_.find(EntryId(FoldCase(section), key));
  if (it == entries_.end()) return std::nullopt;
  const Line& line = sections_[it->second.section].lines[it->second.line];
  return ParseValue(std::string_view(line.text).substr(line.value_at));
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string folded_section = FoldCase(section);
  std::string id = EntryId(folded_section, key);
  if (auto it = entries_.find(id); it != entries_.end()) {
    // The key stays as the user wrote it; the value is written anew.
    Line& line = sections_[it->second.section].lines[it->second.line];
    line.text.resize(line.value_at);
    line.text += EscapeIniValue(value);
    return;
  }
  if (sections_.empty()) AddSection("", {});
  size_t index = 0;
  if (auto it = section_index_.find(folded_section); it != section_index_.end()) {
    index = it->second;
  } else {
    // Keep a blank line between sections when the file is read by a person.
    std::vector<Line>& previous = sections_.back().lines;
    if (!previous.empty() && (previous.back().is_entry() || !Trim(previous.back().text).empty())) {
      previous.push_back(Line{});
    }
    AddSection(section, {});
    index = sections_.size() - 1;
  }
  // New entries go after the section's last entry, before any blank lines that end it.
  std::vector<Line>& lines = sections_[index].lines;
  size_t pos = lines.size();
  if (pos > 0 && !lines.back().is_entry()) {
    const std::string_view eol = crlf_ ? "\r\n" : "\n";
    std::string& block = lines.back().text;
    size_t blank = TrailingBlankStart(block, eol);
    if (blank == 0) {
      --pos;
    } else if (blank < block.size()) {
      // Split the block: its closing blank lines move after the new entry.
      Line rest{block.substr(blank + eol.size())};
      block.resize(blank);
      lines.push_back(std::move(rest));
    }
  }
  std::string text = EscapeIniName(key) + "=";
  const auto value_at = static_cast<uint32_t>(text.size());
  text += EscapeIniValue(value);
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(pos), Line{std::move(text), value_at});
  entries_[std::move(id)] = Place{index, pos};
}

}  // namespace larkspill
