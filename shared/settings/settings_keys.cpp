#include "shared/settings/settings_keys.h"

#include <algorithm>
#include <limits>

#include "platform/conversions.h"

namespace morvane::settings {

std::string read(SettingsStore& store, std::string_view key, std::string_view defaultValue) {
  return store.getSetting(kApplication, kSection, key, defaultValue);
}

void save(SettingsStore& store, std::string_view key, std::string_view value) {
  store.saveSetting(kApplication, kSection, key, value);
}

std::string readDelayText(SettingsStore& store) {
  return read(store, kDelay, kDefaultDelayText);
}

void saveDelayText(SettingsStore& store, std::string_view text) {
  save(store, kDelay, text);
}

int32_t readDelay(SettingsStore& store) {
  const std::string text = readDelayText(store);
  if (!conv::isNumeric(text)) return kDefaultDelay;
  // Rounded as CLng rounds, but kept within what the timer can wait instead of overflowing.
  const double value = conv::toDouble(text);
  if (value >= kMaxDelay) return kMaxDelay;
  if (!(value > -1.0)) return kDefaultDelay;
  const int32_t delay = conv::toLong(value);
  if (delay < 0) return kDefaultDelay;
  return std::max(delay, kMinDelay);
}

std::string readStealthModeText(SettingsStore& store) {
  return read(store, kStealthMode, kDefaultStealthMode);
}

bool readStealthMode(SettingsStore& store) {
  return conv::toDouble(readStealthModeText(store)) == 1.0;
}

void saveStealthMode(SettingsStore& store, int state) {
  save(store, kStealthMode, std::to_string(state));
}

std::string defaultIniLocation(std::string_view programFolder) {
  std::string path(programFolder);
  // The folder ends in "\" only at a drive root ("C:\"); never write the separator twice.
  if (path.empty() || path.back() != '\\') path += '\\';
  path += kRulesFileName;
  return path;
}

std::string readIniLocation(SettingsStore& store, std::string_view programFolder) {
  return read(store, kIniLocation, defaultIniLocation(programFolder));
}

std::string iniFolderOf(std::string_view path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

void saveIniLocation(SettingsStore& store, std::string_view path) {
  save(store, kIniLocation, path);
  save(store, kIniFolder, iniFolderOf(path));
}

std::string columnWidthKey(int column) {
  return std::string(kWidthCol) + std::to_string(column);
}

float readColumnWidth(SettingsStore& store, int column) {
  const std::string text = read(store, columnWidthKey(column), kDefaultColumnWidthText);
  if (!conv::isNumeric(text)) return kDefaultColumnWidth;
  const double width = conv::toDouble(text);
  if (!(width >= 0.0) || width > std::numeric_limits<float>::max()) return kDefaultColumnWidth;
  return static_cast<float>(width);
}

void saveColumnWidth(SettingsStore& store, int column, float twips) {
  save(store, columnWidthKey(column), conv::singleToString(twips));
}

int16_t readViewType(SettingsStore& store) {
  return conv::toInteger(read(store, kViewType, kDefaultViewType));
}

void saveViewType(SettingsStore& store, int16_t type) {
  save(store, kViewType, std::to_string(type));
}

}  // namespace morvane::settings
