#include "tests/win32/support/recorded_start.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/win32/win32_base.h"

namespace morvane::wintest {

namespace {

// One record: a "start" line, then one "name=value" line per field, CR LF after each.
constexpr std::string_view kStart = "start";
constexpr std::string_view kCommandLine = "commandLine=";
constexpr std::string_view kArguments = "arguments=";
constexpr std::string_view kProgramFolder = "programFolder=";
constexpr std::string_view kWorkingDirectory = "workingDirectory=";

bool take(const std::string& line, std::string_view name, std::string& field) {
  if (line.compare(0, name.size(), name) != 0) return false;
  field = line.substr(name.size());
  return true;
}

}  // namespace

std::string defaultRecordFile(std::string_view exePath) {
  std::string path(exePath);
  const size_t slash = path.find_last_of('\\');
  const size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.resize(dot);
  return path + ".starts.txt";
}

std::vector<RecordedStart> readRecordedStarts(const std::string& file) {
  std::vector<RecordedStart> starts;
  std::ifstream in(std::filesystem::path(win32::toWide(file)), std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == kStart) {
      starts.emplace_back();
      continue;
    }
    if (starts.empty()) continue;
    RecordedStart& start = starts.back();
    take(line, kCommandLine, start.commandLine) || take(line, kArguments, start.arguments) ||
        take(line, kProgramFolder, start.programFolder) ||
        take(line, kWorkingDirectory, start.workingDirectory);
  }
  return starts;
}

bool appendRecordedStart(const std::string& file, const RecordedStart& start) {
  std::ostringstream record;
  record << kStart << "\r\n"
         << kCommandLine << start.commandLine << "\r\n"
         << kArguments << start.arguments << "\r\n"
         << kProgramFolder << start.programFolder << "\r\n"
         << kWorkingDirectory << start.workingDirectory << "\r\n";
  const std::string bytes = record.str();
  // One write of the whole record, at the end of the file even when two copies write at once.
  const HANDLE handle =
      CreateFileW(win32::toWide(file).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(handle);
  return ok;
}

}  // namespace morvane::wintest
