// ACT!'s macro files as the simulated ACT! and its stand-in read them: a text file whose lines
// `Run "<program>"` start a program of the macro's own folder, in order. Lines starting with ";"
// are comments; the verb's letter case does not matter; other lines do nothing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvane::hostsim {

// The full paths of the programs a macro at macroPath with this text starts.
std::vector<std::string> macroPrograms(std::string_view macroPath, std::string_view macroText);

}  // namespace morvane::hostsim
