#include "platform/sim/sim_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <vector>

#include "platform/ansi_text.h"
#include "platform/sim/ini_engine.h"

namespace morvane::sim {

namespace fs = std::filesystem;

namespace {

bool forbiddenInName(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
         c == '*';
}

// Splits the rest of a path into folder and file names, resolving "." and ".." and dropping
// the trailing dots and spaces Windows ignores. False when a name is not allowed.
bool appendComponents(std::string_view rest, std::vector<std::string>& parts, size_t floor) {
  size_t pos = 0;
  while (pos <= rest.size()) {
    size_t next = rest.find('\\', pos);
    if (next == std::string_view::npos) next = rest.size();
    std::string_view name = rest.substr(pos, next - pos);
    pos = next + 1;
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (parts.size() > floor) parts.pop_back();
      continue;
    }
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
    if (name.empty()) return false;
    std::string folded;
    folded.reserve(name.size());
    for (char c : name) {
      if (forbiddenInName(c)) return false;
      folded += ansi::foldCase(c);
    }
    parts.push_back(std::move(folded));
  }
  return true;
}

}  // namespace

std::optional<std::string> readHostFile(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  // Read to the end whatever the size said: the file may change while it is read.
  std::string bytes;
  bytes.resize(static_cast<size_t>(st.st_size) + 1);
  size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(filled);
  return bytes;
}

bool replaceHostFile(const fs::path& path, std::string_view bytes,
                     std::optional<uintmax_t> freeSpace) {
  std::error_code ec;
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  if (!fs::is_directory(folder, ec)) return false;
  mode_t mode = 0644;
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) {
    if (!S_ISREG(old.st_mode) || (old.st_mode & S_IWUSR) == 0) return false;
    mode = old.st_mode & 07777;
  }

  std::string tempName = ".";
  tempName += path.filename().string();
  tempName += ".XXXXXX";
  std::string temp = (folder / tempName).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, mode) == 0;
  const size_t limit =
      freeSpace ? static_cast<size_t>(std::min<uintmax_t>(*freeSpace, bytes.size())) : bytes.size();
  size_t written = 0;
  while (ok && written < limit) {
    const ssize_t n = ::write(fd, bytes.data() + written, limit - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    written += static_cast<size_t>(n);
  }
  if (written < bytes.size()) ok = false;  // the disk filled up
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

SimFileSystem::SimFileSystem(fs::path root) : m_root(std::move(root)) {}

std::optional<fs::path> SimFileSystem::hostPath(std::string_view windowsPath) const {
  std::string path(windowsPath);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  std::vector<std::string> parts;
  size_t floor = 0;
  std::string_view rest;
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    // \\server\share\...: the server and share are the fixed top of the path.
    const std::string_view unc = std::string_view(path).substr(2);
    const size_t serverEnd = unc.find('\\');
    if (serverEnd == std::string_view::npos) return std::nullopt;
    size_t shareEnd = unc.find('\\', serverEnd + 1);
    if (shareEnd == std::string_view::npos) shareEnd = unc.size();
    parts.push_back("unc");
    if (!appendComponents(unc.substr(0, serverEnd), parts, 1) ||
        !appendComponents(unc.substr(serverEnd + 1, shareEnd - serverEnd - 1), parts, 2) ||
        parts.size() != 3) {
      return std::nullopt;
    }
    floor = 3;
    rest = unc.substr(shareEnd);
  } else if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
             path[1] == ':' && path[2] == '\\') {
    parts.push_back(std::string(1, ansi::foldCase(path[0])));
    floor = 1;
    rest = std::string_view(path).substr(3);
  } else {
    return std::nullopt;
  }
  if (!appendComponents(rest, parts, floor)) return std::nullopt;
  fs::path host = m_root;
  for (const auto& part : parts) host /= part;
  return host;
}

std::optional<std::string> SimFileSystem::readFile(std::string_view windowsPath) const {
  const auto host = hostPath(windowsPath);
  if (!host) return std::nullopt;
  return readHostFile(*host);
}

bool SimFileSystem::writeFile(std::string_view windowsPath, std::string_view bytes) {
  const auto host = hostPath(windowsPath);
  return host && replaceHostFile(*host, bytes, m_freeSpace);
}

bool SimFileSystem::exists(std::string_view windowsPath) const {
  const auto host = hostPath(windowsPath);
  std::error_code ec;
  return host && fs::exists(*host, ec);
}

bool SimFileSystem::isFile(std::string_view windowsPath) const {
  const auto host = hostPath(windowsPath);
  std::error_code ec;
  return host && fs::is_regular_file(*host, ec);
}

std::vector<std::string> SimFileSystem::fileNames(std::string_view folder) {
  std::vector<std::string> names;
  const auto host = hostPath(folder);
  std::error_code ec;
  if (!host || !fs::is_directory(*host, ec)) return names;
  for (const auto& entry : fs::directory_iterator(*host, ec))
    if (entry.is_regular_file(ec)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());  // NTFS lists by name
  return names;
}

bool SimFileSystem::isDirectory(std::string_view windowsPath) const {
  const auto host = hostPath(windowsPath);
  std::error_code ec;
  return host && fs::is_directory(*host, ec);
}

bool SimFileSystem::createDirectory(std::string_view windowsPath) {
  const auto host = hostPath(windowsPath);
  if (!host) return false;
  std::error_code ec;
  fs::create_directories(*host, ec);
  return fs::is_directory(*host, ec);
}

bool SimFileSystem::removeFile(std::string_view windowsPath) {
  const auto host = hostPath(windowsPath);
  std::error_code ec;
  if (!host || !fs::is_regular_file(*host, ec) || isReadOnly(windowsPath)) return false;
  return fs::remove(*host, ec);
}

bool SimFileSystem::copyFile(std::string_view fromWindowsPath, std::string_view toWindowsPath) {
  // CopyFileA onto the file itself fails (a sharing violation: the source is open for reading).
  const auto from = hostPath(fromWindowsPath);
  if (from && from == hostPath(toWindowsPath)) return false;
  const auto bytes = readFile(fromWindowsPath);
  return bytes && writeFile(toWindowsPath, *bytes);
}

bool SimFileSystem::setReadOnly(std::string_view windowsPath, bool readOnly) {
  const auto host = hostPath(windowsPath);
  struct stat st {};
  if (!host || ::stat(host->c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = readOnly ? (mode & ~mode_t{0222}) : (mode | S_IWUSR);
  return ::chmod(host->c_str(), mode) == 0;
}

bool SimFileSystem::isReadOnly(std::string_view windowsPath) const {
  const auto host = hostPath(windowsPath);
  struct stat st {};
  return host && ::stat(host->c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

}  // namespace morvane::sim
