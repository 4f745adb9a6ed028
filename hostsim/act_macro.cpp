#include "hostsim/act_macro.h"

#include "platform/ansi_text.h"

namespace morvane::hostsim {

namespace {

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

std::vector<std::string> macroPrograms(std::string_view macroPath, std::string_view macroText) {
  const size_t slash = macroPath.rfind('\\');
  const std::string folder(slash == std::string_view::npos ? "" : macroPath.substr(0, slash + 1));
  std::vector<std::string> programs;
  while (!macroText.empty()) {
    const size_t end = macroText.find('\n');
    const std::string_view line = trim(macroText.substr(0, end));
    macroText = end == std::string_view::npos ? std::string_view() : macroText.substr(end + 1);
    constexpr std::string_view kRun = "run ";
    if (line.size() <= kRun.size() || ansi::foldCase(line.substr(0, kRun.size())) != kRun)
      continue;
    const std::string_view quoted = trim(line.substr(kRun.size()));
    if (quoted.size() < 3 || quoted.front() != '"' || quoted.back() != '"') continue;
    programs.push_back(folder + std::string(quoted.substr(1, quoted.size() - 2)));
  }
  return programs;
}

}  // namespace morvane::hostsim
