#include "platform/sim/ini_engine.h"

#include <algorithm>
#include <cstring>

namespace morvane::ini {

namespace {

// One line of the file: [begin, contentEnd) is its text, [contentEnd, end) its terminator
// (CR LF, a lone CR or a lone LF; none on a last line without one). A NUL byte is an ordinary
// character of its line (our choice; Windows keeps NULs on rewriting, reading them is unverified).
struct Line {
  size_t begin = 0;
  size_t contentEnd = 0;
  size_t end = 0;
  bool terminated() const { return end != contentEnd; }
};

bool nextLine(std::string_view text, size_t& pos, Line& line) {
  if (pos >= text.size()) return false;
  line.begin = pos;
  size_t i = pos;
  while (i < text.size() && text[i] != '\n' && text[i] != '\r') ++i;
  line.contentEnd = i;
  if (i < text.size()) i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
  line.end = i;
  pos = i;
  return true;
}

// The file side trims space, TAB and VT; the caller's names lose only their spaces.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v';
}

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view trimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

enum class LineKind { Blank, Section, Comment, Key, Other };

struct Classified {
  LineKind kind = LineKind::Blank;
  std::string_view name;   // section or key name
  std::string_view value;  // key lines: the value, trimmed
};

Classified classify(std::string_view content) {
  Classified c;
  const std::string_view t = trimBlanks(content);
  if (t.empty()) return c;
  if (t.front() == '[') {
    // The name runs to the first ']' or, without one, to the end of the line; anything after
    // the ']' is ignored.
    std::string_view name = t.substr(1);
    name = name.substr(0, name.find(']'));
    c.kind = LineKind::Section;
    c.name = trimBlanks(name);
    return c;
  }
  if (t.front() == ';') {
    c.kind = LineKind::Comment;
    return c;
  }
  const size_t eq = t.find('=');
  if (eq == std::string_view::npos) {
    // Never a key: a read of this name gets the default, and placement ignores it.
    c.kind = LineKind::Other;
    return c;
  }
  c.kind = LineKind::Key;
  c.name = trimBlanks(t.substr(0, eq));
  c.value = trimBlanks(t.substr(eq + 1));
  return c;
}

unsigned char foldByte(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
  // Windows-1252 capitals: À-Þ except ×, and Š Œ Ž Ÿ.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 0x10);
  if (c == 0x9F) return 0xFF;
  return c;
}

// Where a section's first block lies, and the lines a write needs from it. Only the first
// block of a section name counts, for reading and for writing alike.
struct Block {
  bool found = false;
  Line header;
  size_t end = 0;           // start of the next header, or the end of the file
  bool hasKeyLine = false;  // the wanted key's first line
  Line keyLine;
  std::string_view keySpelling;
  bool hasLastKey = false;  // the block's last key line
  Line lastKey;
};

Block findBlock(std::string_view text, std::string_view section, std::string_view key) {
  Block block;
  block.end = text.size();
  size_t pos = 0;
  Line line;
  while (nextLine(text, pos, line)) {
    const Classified c = classify(text.substr(line.begin, line.contentEnd - line.begin));
    if (c.kind == LineKind::Section) {
      if (block.found) {
        block.end = line.begin;
        return block;
      }
      if (namesEqual(c.name, section)) {
        block.found = true;
        block.header = line;
      }
      continue;
    }
    if (!block.found || c.kind != LineKind::Key) continue;
    block.hasLastKey = true;
    block.lastKey = line;
    if (!block.hasKeyLine && namesEqual(c.name, key)) {
      block.hasKeyLine = true;
      block.keyLine = line;
      block.keySpelling = c.name;
    }
  }
  return block;
}

std::string_view stripOuterQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

char foldAnsiCase(char c) {
  return static_cast<char>(foldByte(static_cast<unsigned char>(c)));
}

bool namesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (foldByte(static_cast<unsigned char>(a[i])) != foldByte(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string readValue(std::optional<std::string_view> file, std::string_view section,
                      std::string_view key, std::string_view defaultValue) {
  // Only trailing spaces leave the default; it is otherwise returned as given (quotes too).
  while (!defaultValue.empty() && defaultValue.back() == ' ') defaultValue.remove_suffix(1);
  if (!file) return std::string(defaultValue);
  section = trimSpaces(section);
  key = trimSpaces(key);
  const std::string_view text = *file;
  size_t pos = 0;
  Line line;
  bool inSection = false;
  while (nextLine(text, pos, line)) {
    const Classified c = classify(text.substr(line.begin, line.contentEnd - line.begin));
    if (c.kind == LineKind::Section) {
      if (inSection) break;  // a later block of the same name is never searched
      inSection = namesEqual(c.name, section);
    } else if (inSection && c.kind == LineKind::Key && namesEqual(c.name, key)) {
      // An empty value is a value: the result is empty, not the default.
      return std::string(stripOuterQuotes(c.value));
    }
  }
  return std::string(defaultValue);
}

uint32_t copyToBuffer(std::string_view text, char* buffer, uint32_t size) {
  if (size == 0 || buffer == nullptr) return 0;
  const size_t count = std::min<size_t>(text.size(), size - 1);
  if (count > 0) std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return static_cast<uint32_t>(count);
}

std::string writeKey(std::optional<std::string_view> file, std::string_view section,
                     std::string_view key, std::string_view value) {
  section = trimSpaces(section);
  key = trimSpaces(key);
  const std::string_view text = file.value_or(std::string_view());
  const Block block = findBlock(text, section, key);
  std::string out;
  out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
  if (block.hasKeyLine) {
    // Replaced in place, keeping the file's spelling of the key; the rewritten line is plain
    // key=value (its old indentation goes) and ends in CR LF.
    out.append(text.substr(0, block.keyLine.begin));
    out.append(block.keySpelling).append("=").append(value).append("\r\n");
    out.append(text.substr(block.keyLine.end));
    return out;
  }
  if (block.found) {
    // After the section's last key line, or straight after its header when it has none, so
    // comment and blank lines at the section's end stay below the new key.
    const Line& after = block.hasLastKey ? block.lastKey : block.header;
    out.append(text.substr(0, after.end));
    if (!after.terminated()) out.append("\r\n");
    out.append(key).append("=").append(value).append("\r\n");
    out.append(text.substr(after.end));
    return out;
  }
  out.append(text);
  if (!text.empty() && text.back() != '\n' && text.back() != '\r') out.append("\r\n");
  out.append("[").append(section).append("]\r\n");
  out.append(key).append("=").append(value).append("\r\n");
  return out;
}

std::string deleteKey(std::optional<std::string_view> file, std::string_view section,
                      std::string_view key) {
  if (!file) return std::string();
  const std::string_view text = *file;
  const Block block = findBlock(text, trimSpaces(section), trimSpaces(key));
  if (!block.hasKeyLine) return std::string(text);
  std::string out(text.substr(0, block.keyLine.begin));
  out.append(text.substr(block.keyLine.end));
  return out;
}

std::string deleteSection(std::optional<std::string_view> file, std::string_view section) {
  if (!file) return std::string();
  const std::string_view text = *file;
  const Block block = findBlock(text, trimSpaces(section), std::string_view());
  if (!block.found)
    return std::string(text);  // unverified on Windows: a missing section changes nothing
  std::string out(text.substr(0, block.header.begin));
  size_t pos = block.header.end;
  Line line;
  while (pos < block.end && nextLine(text.substr(0, block.end), pos, line)) {
    const Classified c = classify(text.substr(line.begin, line.contentEnd - line.begin));
    if (c.kind != LineKind::Key) out.append(text.substr(line.begin, line.end - line.begin));
  }
  out.append(text.substr(block.end));
  return out;
}

}  // namespace morvane::ini
