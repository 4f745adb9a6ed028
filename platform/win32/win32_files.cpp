#include "platform/win32/win32_files.h"

#include <string>

#include "platform/win32/win32_base.h"

namespace morvane::win32 {

namespace {

// The attributes, or INVALID_FILE_ATTRIBUTES when nothing is there.
DWORD attributesOf(std::string_view path) {
  return GetFileAttributesA(std::string(path).c_str());
}

}  // namespace

bool Win32Files::fileExists(std::string_view path) {
  const DWORD a = attributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Files::folderExists(std::string_view path) {
  const DWORD a = attributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32Files::copyFile(std::string_view from, std::string_view to) {
  return CopyFileA(std::string(from).c_str(), std::string(to).c_str(), FALSE) != FALSE;
}

bool Win32Files::writeFile(std::string_view path, std::string_view bytes) {
  const HANDLE file = CreateFileA(std::string(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                              &written, nullptr) &&
                                    written == bytes.size());
  return CloseHandle(file) && ok;
}

std::vector<std::string> Win32Files::fileNames(std::string_view folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA((std::string(folder) + "\\*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      names.emplace_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

}  // namespace morvane::win32
