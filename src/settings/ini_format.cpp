#include "settings/ini_format.h"

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

IniDocument IniDocument::Parse(std::string_view text, std::vector<std::string>* problems) {
  IniDocument doc;
  doc.sections_.push_back(Section{});
  size_t line_number = 0;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++line_number;
    std::string_view line = Trim(raw);
    if (line.empty() || line.front() == ';' || line.front() == '#') {
      doc.sections_.back().lines.push_back(Line{false, {}, std::string(Trim(raw))});
      continue;
    }
    if (line.front() == '[') {
      // The header ends at the last unescaped ']'.
      size_t close = std::string_view::npos;
      for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '\\') {
          ++i;
        } else if (line[i] == ']') {
          close = i;
        }
      }
      if (close != std::string_view::npos && Trim(line.substr(close + 1)).empty()) {
        std::string name = Unescape(Trim(line.substr(1, close - 1)));
        Section* existing = doc.FindSection(name);
        if (existing == nullptr || existing != &doc.sections_.back()) {
          doc.sections_.push_back(Section{name, {}});
        }
        continue;
      }
    } else if (size_t eq = FindSeparator(line); eq != std::string_view::npos && eq > 0) {
      std::string key = Unescape(Trim(line.substr(0, eq)));
      std::string value = ParseValue(line.substr(eq + 1));
      // A later line for the same key wins, as a reader of the file would expect.
      Section& section = doc.sections_.back();
      std::string folded = FoldCase(key);
      bool replaced = false;
      for (Line& l : section.lines) {
        if (l.is_entry && FoldCase(l.key) == folded) {
          l.value = value;
          replaced = true;
        }
      }
      if (!replaced) section.lines.push_back(Line{true, std::move(key), std::move(value)});
      continue;
    }
    if (problems != nullptr) {
      std::string shown(line.substr(0, 60));
      for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
      }
      problems->push_back("line " + std::to_string(line_number) + " is not a setting: \"" +
                          shown + (line.size() > 60 ? "...\"" : "\""));
    }
  }
  return doc;
}

std::string IniDocument::Serialize() const {
  std::string out;
  for (const Section& section : sections_) {
    if (&section != &sections_.front() || !section.name.empty()) {
      out += '[';
      out += EscapeIniName(section.name);
      out += "]\n";
    }
    for (const Line& line : section.lines) {
      if (line.is_entry) {
        out += EscapeIniName(line.key);
        out += '=';
        out += EscapeIniValue(line.value);
      } else {
        out += line.value;
      }
      out += '\n';
    }
  }
  return out;
}

IniDocument::Section* IniDocument::FindSection(std::string_view name) {
  std::string folded = FoldCase(name);
  for (Section& section : sections_) {
    if (FoldCase(section.name) == folded && (!section.name.empty() || name.empty())) {
      return &section;
    }
  }
  return nullptr;
}

const std::string* IniDocument::Find(std::string_view section, std::string_view key) const {
  std::string folded_section = FoldCase(section);
  std::string folded_key = FoldCase(key);
  const std::string* found = nullptr;
  for (const Section& s : sections_) {
    if (FoldCase(s.name) != folded_section) continue;
    if (s.name.empty() && &s != &sections_.front()) continue;
    for (const Line& l : s.lines) {
      if (l.is_entry && FoldCase(l.key) == folded_key) found = &l.value;
    }
  }
  return found;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::string folded_section = FoldCase(section);
  std::string folded_key = FoldCase(key);
  Line* last_match = nullptr;
  Section* last_section = nullptr;
  for (Section& s : sections_) {
    if (FoldCase(s.name) != folded_section) continue;
    last_section = &s;
    for (Line& l : s.lines) {
      if (l.is_entry && FoldCase(l.key) == folded_key) last_match = &l;
    }
  }
  if (last_match != nullptr) {
    last_match->value = std::string(value);
    return;
  }
  if (last_section == nullptr || (section.empty() && last_section != &sections_.front())) {
    if (sections_.empty()) sections_.push_back(Section{});
    if (section.empty()) {
      last_section = &sections_.front();
    } else {
      // Keep a blank line between sections when the file is read by a person.
      Section& previous = sections_.back();
      if (!previous.lines.empty() && (previous.lines.back().is_entry ||
                                      !previous.lines.back().value.empty())) {
        previous.lines.push_back(Line{false, {}, {}});
      }
      sections_.push_back(Section{std::string(section), {}});
      last_section = &sections_.back();
    }
  }
  // New entries go after the section's last entry, before any trailing blank lines.
  auto& lines = last_section->lines;
  auto pos = lines.end();
  while (pos != lines.begin() && !(pos - 1)->is_entry && (pos - 1)->value.empty()) --pos;
  lines.insert(pos, Line{true, std::string(key), std::string(value)});
}

size_t IniDocument::EntryCount() const {
  size_t n = 0;
  for (const Section& s : sections_) {
    for (const Line& l : s.lines) n += l.is_entry;
  }
  return n;
}

}  // namespace larkspill
