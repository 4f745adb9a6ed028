// The Windows private-profile cases of profile_cases.tsv (format in the reference page on
// profile files): each row gives a file before, one GET, SET or DELSECTION call, and the value
// read or the file after. Read by the simulation's tests and by the Windows tests alike.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::testing {

struct ProfileCase {
  std::string id;
  std::string initial;    // escaped; "<none>" no file, "<empty>" a 0-byte file
  std::string operation;  // GET "sec" "key" "default" nSize | SET ... | DELSECTION ...
  std::string expected;   // escaped; "<empty>", "<unchanged>", "<none>" as for initial
  int count = 0;
  bool uncertain = false;  // not verified on Windows by any source read
};

void PrintTo(const ProfileCase& c, std::ostream* os);

// Every row of the table file.
std::vector<ProfileCase> loadProfileCases(const std::string& tsvPath);

// \r \n \t \v \0 \\ \" and \xHH.
std::string unescapeProfileText(std::string_view text);

// The words of an operation: its name, then quoted strings (unescaped), NULL (nullopt) or a number.
std::vector<std::optional<std::string>> splitProfileOperation(std::string_view op);

// The C string of a word: null for NULL.
inline const char* profileArgument(const std::optional<std::string>& word) {
  return word ? word->c_str() : nullptr;
}

}  // namespace morvane::testing
