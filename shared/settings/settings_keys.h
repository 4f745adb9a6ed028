// The per-user settings both programs share (application "Morvane", section "Settings"): every
// key, its default, and how its text is read and written, in one place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/settings_store.h"

namespace morvane::settings {

inline constexpr std::string_view kApplication = "Morvane";
inline constexpr std::string_view kSection = "Settings";

inline constexpr std::string_view kDelay = "Delay";
inline constexpr std::string_view kStealthMode = "StealthMode";
inline constexpr std::string_view kIniLocation = "IniLocation";
inline constexpr std::string_view kIniFolder = "IniFolder";
inline constexpr std::string_view kWidthCol = "WidthCol";  // followed by the column number
inline constexpr std::string_view kViewType = "ViewType";

inline constexpr int32_t kDefaultDelay = 1000;
inline constexpr std::string_view kDefaultDelayText = "1000";
inline constexpr std::string_view kDefaultStealthMode = "0";
inline constexpr float kDefaultColumnWidth = 2500.0f;
inline constexpr std::string_view kDefaultColumnWidthText = "2500";
inline constexpr std::string_view kDefaultViewType = "1";
inline constexpr std::string_view kRulesFileName = "Morvane.ini";
// The shortest and the longest delay a Timer control can wait (Windows raises the shortest to
// its own minimum timer interval).
inline constexpr int32_t kMinDelay = 1;
inline constexpr int32_t kMaxDelay = 65535;

// One setting's raw text, with the given default when it is missing.
std::string read(SettingsStore& store, std::string_view key, std::string_view defaultValue);
void save(SettingsStore& store, std::string_view key, std::string_view value);

// "Delay" as the settings dialog shows and stores it: the text as it is.
std::string readDelayText(SettingsStore& store);
void saveDelayText(SettingsStore& store, std::string_view text);
// "Delay" as MorvaneAuto uses it: numeric text rounded to whole milliseconds, else 1000. Zero
// (what "0" or "0.4" round to) means no wait and gives the timer's shortest, 1; a negative delay
// gives 1000 and one beyond the timer's maximum 65535, so a stray value never stops the switcher.
int32_t readDelay(SettingsStore& store);

// "StealthMode": the raw text (default "0"), and whether it reads as the number 1. The latter
// throws RuntimeError 13 when the text is not numeric (an empty value included).
std::string readStealthModeText(SettingsStore& store);
bool readStealthMode(SettingsStore& store);
void saveStealthMode(SettingsStore& store, int state);

// "IniLocation": the stored path, else the program folder followed by "\Morvane.ini" (worked
// out at each read). Saving it stores "IniFolder" too: the path up to and including its last
// "\", empty when it has none.
std::string defaultIniLocation(std::string_view programFolder);
std::string readIniLocation(SettingsStore& store, std::string_view programFolder);
std::string iniFolderOf(std::string_view path);
void saveIniLocation(SettingsStore& store, std::string_view path);

// "WidthCol1", "WidthCol2": column widths in twips as Single text. A stored width that is not a
// usable number (not numeric, negative, or beyond a Single) reads as the default 2500.
std::string columnWidthKey(int column);
float readColumnWidth(SettingsStore& store, int column);
void saveColumnWidth(SettingsStore& store, int column, float twips);

// "ViewType": ACT!'s view type as a 16-bit integer (default 1); a stored text that is not one
// throws RuntimeError 13 or 6 as CInt does.
int16_t readViewType(SettingsStore& store);
void saveViewType(SettingsStore& store, int16_t type);

}  // namespace morvane::settings
