#include "tests/platform/profile_case_table.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace morvane::testing {

void PrintTo(const ProfileCase& c, std::ostream* os) {
  *os << c.id << ": " << c.operation;
}

std::string unescapeProfileText(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    switch (c) {
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'v':
        out += '\v';
        break;
      case '0':
        out += '\0';
        break;
      case 'x':
        out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
        i += 2;
        break;
      default:
        out += c;
        break;
    }
  }
  return out;
}

std::vector<ProfileCase> loadProfileCases(const std::string& tsvPath) {
  std::vector<ProfileCase> cases;
  std::ifstream in(tsvPath, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream row(line);
    std::string field;
    while (std::getline(row, field, '\t')) fields.push_back(field);
    if (fields.size() < 5) continue;
    cases.push_back({fields[0], fields[1], fields[2], fields[3], std::stoi(fields[4]),
                     fields.size() > 5 && fields[5] == "uncertain"});
  }
  return cases;
}

std::vector<std::optional<std::string>> splitProfileOperation(std::string_view op) {
  std::vector<std::optional<std::string>> words;
  size_t i = 0;
  while (i < op.size()) {
    if (op[i] == ' ') {
      ++i;
    } else if (op[i] == '"') {
      size_t j = i + 1;
      while (j < op.size() && op[j] != '"') j += op[j] == '\\' ? 2 : 1;
      words.push_back(unescapeProfileText(op.substr(i + 1, j - i - 1)));
      i = j + 1;
    } else {
      const size_t j = std::min(op.find(' ', i), op.size());
      const std::string word(op.substr(i, j - i));
      words.push_back(word == "NULL" ? std::nullopt : std::optional<std::string>(word));
      i = j;
    }
  }
  return words;
}

}  // namespace morvane::testing
