// What the recorder program (tests/win32/record_args.cpp, record_args.exe) writes each time it
// starts, and how tests read it back. End-to-end tests copy the recorder under a program's name
// (as "Morvane.exe" into a program folder) to see how another program starts that one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvane::wintest {

struct RecordedStart {
  std::string commandLine;       // GetCommandLineA, as the program received it
  std::string arguments;         // what follows the program's name (Command$)
  std::string programFolder;     // the folder of the .exe (App.Path)
  std::string workingDirectory;  // the current folder at start
};

// The environment variable that names the file to write; without it the recorder writes beside
// itself, to defaultRecordFile(its own path).
inline constexpr const char* kRecordFileVariable = "MORVANE_RECORD_ARGS_FILE";

// "C:\P\Morvane.exe" gives "C:\P\Morvane.starts.txt".
std::string defaultRecordFile(std::string_view exePath);

// Every start recorded in the file, oldest first; none when the file does not exist.
std::vector<RecordedStart> readRecordedStarts(const std::string& file);

// Adds one start at the end of the file (the recorder's side of the format).
bool appendRecordedStart(const std::string& file, const RecordedStart& start);

}  // namespace morvane::wintest
