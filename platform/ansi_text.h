// Letter case of ANSI text as Windows compares it (code page 1252): one place for every
// case-insensitive comparison of names, classes, keys and paths.
#pragma once

#include <string>
#include <string_view>

namespace morvane::ansi {

// The lower-case form of a code page 1252 letter (A-Z, À-Þ except ×, Š Œ Ž Ÿ); others unchanged.
char foldCase(char c);
std::string foldCase(std::string_view text);

bool equalsNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view text, std::string_view prefix);
bool containsNoCase(std::string_view text, std::string_view part);
// <0, 0 or >0 as a is before, equal to or after b, letter case ignored.
int compareNoCase(std::string_view a, std::string_view b);

}  // namespace morvane::ansi
