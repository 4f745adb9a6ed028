// Conversions in the Basic tradition (CInt, CLng, CSng, CDbl, CStr, IsNumeric), in one place.
// Text is read as the Automation parser reads it in an English locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/automation.h"

namespace morvane::conv {

// IsNumeric: the whole text, surrounding blanks allowed, reads as a number (sign, decimal point,
// thousands separators, exponent, &H / &O). Empty or blank text is not numeric.
bool isNumeric(std::string_view text);

// CDbl / CSng of text: error 13 when not numeric, 6 when out of range.
double toDouble(std::string_view text);
float toSingle(std::string_view text);
// CInt / CLng of text: rounded half to even; error 13 when not numeric, 6 when out of range.
int16_t toInteger(std::string_view text);
int32_t toLong(std::string_view text);
// CInt / CLng of a number: rounded half to even; error 6 when out of range or not finite.
int16_t toInteger(double value);
int32_t toLong(double value);

// The same conversions of a variant: Empty is 0, booleans are 0 / -1, objects give 13.
int16_t toInteger(const Variant& value);
int32_t toLong(const Variant& value);
double toDouble(const Variant& value);
bool toBoolean(const Variant& value);

// Text arguments go to the text conversions (a std::string or literal would otherwise convert to
// a Variant as well as to a string_view).
inline int16_t toInteger(const std::string& text) {
  return toInteger(std::string_view(text));
}
inline int16_t toInteger(const char* text) {
  return toInteger(std::string_view(text));
}
inline int32_t toLong(const std::string& text) {
  return toLong(std::string_view(text));
}
inline int32_t toLong(const char* text) {
  return toLong(std::string_view(text));
}
inline double toDouble(const std::string& text) {
  return toDouble(std::string_view(text));
}
inline double toDouble(const char* text) {
  return toDouble(std::string_view(text));
}
inline float toSingle(const std::string& text) {
  return toSingle(std::string_view(text));
}
inline float toSingle(const char* text) {
  return toSingle(std::string_view(text));
}
// CStr: numbers as Basic writes them, booleans "True"/"False", Empty "", objects give 13.
std::string toString(const Variant& value);

// The text of a Single (7 significant digits, e.g. 1234.5 -> "1234.5", 1E+08 -> "1E+08") and of a
// Double (15 significant digits).
std::string singleToString(float value);
std::string doubleToString(double value);

}  // namespace morvane::conv
