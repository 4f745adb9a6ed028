// The database name that keys the rules: both programs cut ACT!'s open database path with this
// one function, so the editor and the switcher always name the same rules section.
#pragma once

#include <string>
#include <string_view>

namespace morvane {

// The file name of the path (what follows its last "\", the whole path when it has none) up to
// its first ".": C:\Data\Sales.dbf gives Sales, C:\Data\My.Sales.dbf gives My. A file name
// without any "." is taken whole (C:\Data\Sales gives Sales) rather than failing, so a database
// so named still gets its rules. An empty file name (no database open, or a path ending in "\")
// fails with error 5.
std::string databaseNameFromPath(std::string_view path);

}  // namespace morvane
