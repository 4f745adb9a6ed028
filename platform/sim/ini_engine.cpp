#include "platform/sim/ini_engine.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "platform/ansi_text.h"

namespace morvane::ini {

namespace {

// The rules are the same for an ANSI file (char) and a UTF-16 one (char16_t): every character
// that means something to the format is ASCII.
template <class C>
using View = std::basic_string_view<C>;
template <class C>
using Text = std::basic_string<C>;

template <class C>
void appendAscii(Text<C>& out, const char* ascii) {
  for (; *ascii; ++ascii) out += static_cast<C>(*ascii);
}

// One line of the file: [begin, contentEnd) is its text, [contentEnd, end) its terminator
// (CR LF, a lone CR or a lone LF; none on a last line without one). A NUL byte is an ordinary
// character of its line (our choice; Windows keeps NULs on rewriting, reading them is unverified).
struct Line {
  size_t begin = 0;
  size_t contentEnd = 0;
  size_t end = 0;
  bool terminated() const { return end != contentEnd; }
};

template <class C>
bool nextLine(View<C> text, size_t& pos, Line& line) {
  if (pos >= text.size()) return false;
  line.begin = pos;
  size_t i = pos;
  while (i < text.size() && text[i] != C('\n') && text[i] != C('\r')) ++i;
  line.contentEnd = i;
  if (i < text.size()) {
    i += (text[i] == C('\r') && i + 1 < text.size() && text[i + 1] == C('\n')) ? 2 : 1;
  }
  line.end = i;
  pos = i;
  return true;
}

// The file side trims space, TAB and VT; the caller's names lose only their spaces.
template <class C>
bool isBlank(C c) {
  return c == C(' ') || c == C('\t') || c == C('\v');
}

template <class C>
View<C> trimBlanks(View<C> s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

template <class C>
View<C> trimSpaces(View<C> s) {
  while (!s.empty() && s.front() == C(' ')) s.remove_prefix(1);
  while (!s.empty() && s.back() == C(' ')) s.remove_suffix(1);
  return s;
}

enum class LineKind { Blank, Section, Comment, Key, Other };

template <class C>
struct Classified {
  LineKind kind = LineKind::Blank;
  View<C> name;   // section or key name
  View<C> value;  // key lines: the value, trimmed
};

template <class C>
Classified<C> classify(View<C> content) {
  Classified<C> c;
  const View<C> t = trimBlanks(content);
  if (t.empty()) return c;
  if (t.front() == C('[')) {
    // The name runs to the first ']' or, without one, to the end of the line; anything after
    // the ']' is ignored.
    View<C> name = t.substr(1);
    name = name.substr(0, name.find(C(']')));
    c.kind = LineKind::Section;
    c.name = trimBlanks(name);
    return c;
  }
  if (t.front() == C(';')) {
    c.kind = LineKind::Comment;
    return c;
  }
  const size_t eq = t.find(C('='));
  if (eq == View<C>::npos) {
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
  return static_cast<unsigned char>(ansi::foldCase(static_cast<char>(c)));
}

// The same capitals as code points, for UTF-16 files.
char16_t foldUnit(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
    return static_cast<char16_t>(c + 0x20);
  }
  if (c == 0x0160 || c == 0x0152 || c == 0x017D) return static_cast<char16_t>(c + 1);
  if (c == 0x0178) return 0x00FF;
  return c;
}

char16_t fold(char16_t c) {
  return foldUnit(c);
}
unsigned char fold(char c) {
  return foldByte(static_cast<unsigned char>(c));
}

template <class C>
bool equalNames(View<C> a, View<C> b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// Where a section's first block lies, and the lines a write needs from it. Only the first
// block of a section name counts, for reading and for writing alike.
template <class C>
struct Block {
  bool found = false;
  Line header;
  size_t end = 0;           // start of the next header, or the end of the file
  bool hasKeyLine = false;  // the wanted key's first line
  Line keyLine;
  View<C> keySpelling;
  bool hasLastKey = false;  // the block's last key line
  Line lastKey;
};

template <class C>
Block<C> findBlock(View<C> text, View<C> section, View<C> key) {
  Block<C> block;
  block.end = text.size();
  size_t pos = 0;
  Line line;
  while (nextLine(text, pos, line)) {
    const Classified<C> c = classify(text.substr(line.begin, line.contentEnd - line.begin));
    if (c.kind == LineKind::Section) {
      if (block.found) {
        block.end = line.begin;
        return block;
      }
      if (equalNames(c.name, section)) {
        block.found = true;
        block.header = line;
      }
      continue;
    }
    if (!block.found || c.kind != LineKind::Key) continue;
    block.hasLastKey = true;
    block.lastKey = line;
    if (!block.hasKeyLine && equalNames(c.name, key)) {
      block.hasKeyLine = true;
      block.keyLine = line;
      block.keySpelling = c.name;
    }
  }
  return block;
}

template <class C>
View<C> stripOuterQuotes(View<C> value) {
  if (value.size() >= 2 && (value.front() == C('"') || value.front() == C('\'')) &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

template <class C>
Text<C> readValueT(std::optional<View<C>> file, View<C> section, View<C> key, View<C> fallback) {
  // Only trailing spaces leave the default; it is otherwise returned as given (quotes too).
  while (!fallback.empty() && fallback.back() == C(' ')) fallback.remove_suffix(1);
  if (!file) return Text<C>(fallback);
  section = trimSpaces(section);
  key = trimSpaces(key);
  const View<C> text = *file;
  size_t pos = 0;
  Line line;
  bool inSection = false;
  while (nextLine(text, pos, line)) {
    const Classified<C> c = classify(text.substr(line.begin, line.contentEnd - line.begin));
    if (c.kind == LineKind::Section) {
      if (inSection) break;  // a later block of the same name is never searched
      inSection = equalNames(c.name, section);
    } else if (inSection && c.kind == LineKind::Key && equalNames(c.name, key)) {
      // An empty value is a value: the result is empty, not the default (unverified on Windows).
      return Text<C>(stripOuterQuotes(c.value));
    }
  }
  return Text<C>(fallback);
}

template <class C>
Text<C> writeKeyT(std::optional<View<C>> file, View<C> section, View<C> key, View<C> value) {
  section = trimSpaces(section);
  key = trimSpaces(key);
  const View<C> text = file.value_or(View<C>());
  const Block<C> block = findBlock(text, section, key);
  Text<C> out;
  out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
  if (block.hasKeyLine) {
    // Replaced in place, keeping the file's spelling of the key; the rewritten line is plain
    // key=value (its old indentation goes) and ends in CR LF (both unverified on Windows).
    out.append(text.substr(0, block.keyLine.begin));
    out.append(block.keySpelling);
    out += C('=');
    out.append(value);
    appendAscii(out, "\r\n");
    out.append(text.substr(block.keyLine.end));
    return out;
  }
  if (block.found) {
    // After the section's last key line, or straight after its header when it has none, so
    // comment and blank lines at the section's end stay below the new key.
    const Line& after = block.hasLastKey ? block.lastKey : block.header;
    out.append(text.substr(0, after.end));
    if (!after.terminated()) appendAscii(out, "\r\n");
    out.append(key);
    out += C('=');
    out.append(value);
    appendAscii(out, "\r\n");
    out.append(text.substr(after.end));
    return out;
  }
  out.append(text);
  if (!text.empty() && text.back() != C('\n') && text.back() != C('\r')) appendAscii(out, "\r\n");
  out += C('[');
  out.append(section);
  appendAscii(out, "]\r\n");
  out.append(key);
  out += C('=');
  out.append(value);
  appendAscii(out, "\r\n");
  return out;
}

template <class C>
Text<C> deleteKeyT(std::optional<View<C>> file, View<C> section, View<C> key) {
  if (!file) return Text<C>();
  const View<C> text = *file;
  const Block<C> block = findBlock(text, trimSpaces(section), trimSpaces(key));
  if (!block.hasKeyLine) return Text<C>(text);
  Text<C> out(text.substr(0, block.keyLine.begin));
  out.append(text.substr(block.keyLine.end));
  return out;
}

template <class C>
Text<C> deleteSectionT(std::optional<View<C>> file, View<C> section) {
  if (!file) return Text<C>();
  const View<C> text = *file;
  const Block<C> block = findBlock(text, trimSpaces(section), View<C>());
  if (!block.found)
    return Text<C>(text);  // unverified on Windows: a missing section changes nothing
  Text<C> out(text.substr(0, block.header.begin));
  size_t pos = block.header.end;
  const View<C> blockText = text.substr(0, block.end);
  Line line;
  while (nextLine(blockText, pos, line)) {
    const Classified<C> c = classify(text.substr(line.begin, line.contentEnd - line.begin));
    if (c.kind != LineKind::Key) out.append(text.substr(line.begin, line.end - line.begin));
  }
  out.append(text.substr(block.end));
  return out;
}

// Unicode for the Windows-1252 bytes 0x80-0x9F; the five bytes the code page leaves undefined
// map to the control characters of the same number, as Windows maps them.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

bool namesEqual(std::string_view a, std::string_view b) {
  return equalNames(a, b);
}

std::string readValue(std::optional<std::string_view> file, std::string_view section,
                      std::string_view key, std::string_view defaultValue) {
  return readValueT(file, section, key, defaultValue);
}

std::u16string readValue(std::optional<std::u16string_view> file, std::u16string_view section,
                         std::u16string_view key, std::u16string_view defaultValue) {
  return readValueT(file, section, key, defaultValue);
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
  return writeKeyT(file, section, key, value);
}

std::u16string writeKey(std::optional<std::u16string_view> file, std::u16string_view section,
                        std::u16string_view key, std::u16string_view value) {
  return writeKeyT(file, section, key, value);
}

std::string deleteKey(std::optional<std::string_view> file, std::string_view section,
                      std::string_view key) {
  return deleteKeyT(file, section, key);
}

std::u16string deleteKey(std::optional<std::u16string_view> file, std::u16string_view section,
                         std::u16string_view key) {
  return deleteKeyT(file, section, key);
}

std::string deleteSection(std::optional<std::string_view> file, std::string_view section) {
  return deleteSectionT(file, section);
}

std::u16string deleteSection(std::optional<std::u16string_view> file, std::u16string_view section) {
  return deleteSectionT(file, section);
}

std::u16string ansiToUnicode(std::string_view ansi) {
  std::u16string out;
  out.reserve(ansi.size());
  for (char c : ansi) {
    const auto u = static_cast<unsigned char>(c);
    out += (u >= 0x80 && u < 0xA0) ? kHighControls[u - 0x80] : static_cast<char16_t>(u);
  }
  return out;
}

std::string unicodeToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
      out += static_cast<char>(c);
      continue;
    }
    const char16_t* found = std::find(std::begin(kHighControls), std::end(kHighControls), c);
    out +=
        found != std::end(kHighControls) ? static_cast<char>(0x80 + (found - kHighControls)) : '?';
  }
  return out;
}

}  // namespace morvane::ini
