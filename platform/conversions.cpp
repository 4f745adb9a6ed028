#include "platform/conversions.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <system_error>

#include "platform/runtime_error.h"

namespace morvane::conv {

namespace {

// What the number reader made of a text. Overflow means the text is a well-formed number that no
// Double can hold.
struct Parsed {
  double value = 0.0;
  bool radix = false;  // &H / &O literal: `bits` holds the value as written
  uint64_t bits = 0;
  bool overflow = false;
};

bool isBlank(char c) {
  // The Automation reader skips the C white-space characters and the no-break space (0xA0 in
  // the ANSI code page).
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' ||
         static_cast<unsigned char>(c) == 0xA0;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

int hexDigit(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<Parsed> parseRadix(std::string_view text, size_t pos) {
  // text[pos] is '&', text[pos + 1] is H or O.
  const bool hex = text[pos + 1] == 'h' || text[pos + 1] == 'H';
  pos += 2;
  Parsed result;
  result.radix = true;
  size_t digits = 0;
  for (; pos < text.size(); ++pos) {
    const int d =
        hex ? hexDigit(text[pos]) : (text[pos] >= '0' && text[pos] <= '7' ? text[pos] - '0' : -1);
    if (d < 0) break;
    if (result.bits > (uint64_t{0xFFFFFFFF} >> (hex ? 4 : 3))) result.overflow = true;
    result.bits = (result.bits << (hex ? 4 : 3)) | static_cast<uint64_t>(d);
    ++digits;
  }
  while (pos < text.size() && isBlank(text[pos])) ++pos;
  if (digits == 0 || pos != text.size()) return std::nullopt;
  result.bits &= 0xFFFFFFFF;
  result.value = static_cast<double>(result.bits);
  return result;
}

// Reads the whole text as the Automation number reader does in an English locale: blanks around
// it, a sign in front or behind (or parentheses), a currency sign in front, thousands separators
// after the first digit, one decimal point, an exponent with e or d; or an &H / &O literal.
// Anything left over makes the text not a number.
std::optional<Parsed> parseNumber(std::string_view text) {
  size_t pos = 0;
  const size_t n = text.size();
  auto skipBlanks = [&] {
    while (pos < n && isBlank(text[pos])) ++pos;
  };
  skipBlanks();
  if (pos + 1 < n && text[pos] == '&' &&
      (text[pos + 1] == 'h' || text[pos + 1] == 'H' || text[pos + 1] == 'o' ||
       text[pos + 1] == 'O')) {
    return parseRadix(text, pos);
  }

  bool negative = false;
  bool signSeen = false;
  bool paren = false;
  bool currency = false;
  for (;;) {
    if (pos >= n) return std::nullopt;
    const char c = text[pos];
    if ((c == '+' || c == '-') && !signSeen && !paren) {
      signSeen = true;
      negative = c == '-';
    } else if (c == '(' && !signSeen && !paren) {
      paren = true;
      negative = true;
    } else if (c == '$' && !currency) {
      currency = true;
    } else {
      break;
    }
    ++pos;
    skipBlanks();
  }

  std::string digits;           // significant digits, integer and fraction part together
  long long pointExponent = 0;  // how many of `digits` are after the decimal point
  bool anyDigit = false;
  while (pos < n && (isDigit(text[pos]) || (text[pos] == ',' && anyDigit))) {
    if (text[pos] != ',') {
      anyDigit = true;
      if (!(digits.empty() && text[pos] == '0')) digits += text[pos];
    }
    ++pos;
  }
  if (pos < n && text[pos] == '.') {
    ++pos;
    while (pos < n && isDigit(text[pos])) {
      anyDigit = true;
      if (!(digits.empty() && text[pos] == '0')) {
        digits += text[pos];
        ++pointExponent;
      } else {
        ++pointExponent;  // a leading zero of the fraction still moves the point
      }
      ++pos;
    }
  }
  if (!anyDigit) return std::nullopt;

  long long exponent = 0;
  if (pos < n && (text[pos] == 'e' || text[pos] == 'E' || text[pos] == 'd' || text[pos] == 'D')) {
    ++pos;
    bool expNegative = false;
    if (pos < n && (text[pos] == '+' || text[pos] == '-')) {
      expNegative = text[pos] == '-';
      ++pos;
    }
    if (pos >= n || !isDigit(text[pos])) return std::nullopt;  // "1e" is not a number
    while (pos < n && isDigit(text[pos])) {
      if (exponent < 1000000) exponent = exponent * 10 + (text[pos] - '0');
      ++pos;
    }
    if (expNegative) exponent = -exponent;
  }

  skipBlanks();
  if (pos < n && (text[pos] == '+' || text[pos] == '-') && !signSeen && !paren) {
    signSeen = true;
    negative = text[pos] == '-';
    ++pos;
    skipBlanks();
  }
  if (paren) {
    if (pos >= n || text[pos] != ')') return std::nullopt;
    ++pos;
    skipBlanks();
  }
  if (pos != n) return std::nullopt;

  Parsed result;
  if (digits.empty()) return result;  // all zeros
  const long long scale = exponent - pointExponent;
  // The decimal exponent of the leading digit decides overflow before the digits are read.
  const long long leading = scale + static_cast<long long>(digits.size()) - 1;
  if (leading > 400) {
    result.overflow = true;
    return result;
  }
  if (leading < -400) return result;  // too small for a Double: zero
  std::string normal = digits + "e" + std::to_string(scale);
  double value = 0.0;
  const auto [end, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
  (void)end;
  if (ec == std::errc::result_out_of_range) {
    if (leading > 0) result.overflow = true;
    return result;  // underflow reads as zero
  }
  if (!std::isfinite(value)) {
    result.overflow = true;
    return result;
  }
  result.value = negative ? -value : value;
  return result;
}

Parsed parseOrThrow(std::string_view text) {
  auto parsed = parseNumber(text);
  if (!parsed) throw RuntimeError(err::kTypeMismatch);
  if (parsed->overflow) throw RuntimeError(err::kOverflow);
  return *parsed;
}

// Rounds to a whole number, a fraction of exactly one half going to the even neighbour.
double roundHalfEven(double value) {
  const double lower = std::floor(value);
  const double fraction = value - lower;
  if (fraction > 0.5) return lower + 1.0;
  if (fraction < 0.5) return lower;
  return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

template <class Int>
Int roundToInt(double value) {
  if (!std::isfinite(value)) throw RuntimeError(err::kOverflow);
  const double rounded = roundHalfEven(value);
  if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
    throw RuntimeError(err::kOverflow);
  }
  return static_cast<Int>(rounded);
}

// &H / &O literals are bit patterns: one that fits the target's width is read as that type
// (&HFFFF is -1 as an Integer, 65535 as a Long).
template <class Int, class UInt>
Int radixToInt(uint64_t bits) {
  if (bits > std::numeric_limits<UInt>::max()) throw RuntimeError(err::kOverflow);
  return static_cast<Int>(static_cast<UInt>(bits));
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Basic's number text: `precision` significant digits, trailing zeros dropped. Fixed notation
// unless the integer part would need more than `precision` digits or the fraction more than
// `precision` places (so 5.6789E-11 is written out in full as a Double, 5.6789E-12 is not);
// exponent form is mantissa, "E", sign and at least two digits.
std::string numberText(double value, int precision) {
  if (value == 0.0) return "0";  // negative zero too
  if (std::isnan(value)) return "-1.#IND";
  if (std::isinf(value)) return value > 0 ? "1.#INF" : "-1.#INF";
  // Digits of the exact binary value (a double never needs more than 767 significant digits),
  // then rounded to `precision` digits with a half going away from zero, as the runtime does
  // (654322.25 as a Single is "654322.3").
  char buffer[1024];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 800);
  if (ec != std::errc()) return "0";
  const std::string_view sci(buffer, static_cast<size_t>(end - buffer));
  const size_t ePos = sci.find('e');
  const bool negative = sci[0] == '-';
  std::string digits;
  for (size_t i = negative ? 1 : 0; i < ePos; ++i) {
    if (sci[i] != '.') digits += sci[i];
  }
  int exponent = 0;
  std::from_chars(sci.data() + ePos + 1 + (sci[ePos + 1] == '+' ? 1 : 0), sci.data() + sci.size(),
                  exponent);
  const bool roundUp = digits[static_cast<size_t>(precision)] >= '5';
  digits.resize(static_cast<size_t>(precision));
  if (roundUp) {
    size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) {
      digits.insert(digits.begin(), '1');
      digits.pop_back();
      ++exponent;
    } else {
      ++digits[i - 1];
    }
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string text = negative ? "-" : "";
  const int count = static_cast<int>(digits.size());
  const int fractionPlaces = count - 1 - exponent;
  if (exponent < precision && fractionPlaces <= precision) {
    if (exponent < 0) {
      text += "0.";
      text.append(static_cast<size_t>(-exponent - 1), '0');
      text += digits;
    } else if (count <= exponent + 1) {
      text += digits;
      text.append(static_cast<size_t>(exponent + 1 - count), '0');
    } else {
      text += digits.substr(0, static_cast<size_t>(exponent + 1));
      text += '.';
      text += digits.substr(static_cast<size_t>(exponent + 1));
    }
    return text;
  }
  text += digits.substr(0, 1);
  if (count > 1) {
    text += '.';
    text += digits.substr(1);
  }
  text += exponent < 0 ? "E-" : "E+";
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) text += '0';
  text += std::to_string(magnitude);
  return text;
}

}  // namespace

bool isNumeric(std::string_view text) {
  auto parsed = parseNumber(text);
  // A number too big for a Double cannot be converted, so it does not count as numeric.
  return parsed && !parsed->overflow;
}

double toDouble(std::string_view text) {
  return parseOrThrow(text).value;
}

float toSingle(std::string_view text) {
  const double value = parseOrThrow(text).value;
  if (std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
    throw RuntimeError(err::kOverflow);
  }
  return static_cast<float>(value);
}

int16_t toInteger(std::string_view text) {
  const Parsed parsed = parseOrThrow(text);
  if (parsed.radix) return radixToInt<int16_t, uint16_t>(parsed.bits);
  return roundToInt<int16_t>(parsed.value);
}

int32_t toLong(std::string_view text) {
  const Parsed parsed = parseOrThrow(text);
  if (parsed.radix) return radixToInt<int32_t, uint32_t>(parsed.bits);
  return roundToInt<int32_t>(parsed.value);
}

int16_t toInteger(double value) {
  return roundToInt<int16_t>(value);
}
int32_t toLong(double value) {
  return roundToInt<int32_t>(value);
}

namespace {

// Any variant as a Double, with Basic's coercions; strings go through the number reader.
double variantNumber(const Variant& value) {
  const auto& v = value.value();
  if (std::holds_alternative<Empty>(v)) return 0.0;
  if (const bool* b = std::get_if<bool>(&v)) return *b ? -1.0 : 0.0;
  if (const int16_t* i = std::get_if<int16_t>(&v)) return *i;
  if (const int32_t* l = std::get_if<int32_t>(&v)) return *l;
  if (const float* f = std::get_if<float>(&v)) return *f;
  if (const double* d = std::get_if<double>(&v)) return *d;
  if (const std::string* s = std::get_if<std::string>(&v)) return toDouble(*s);
  throw RuntimeError(err::kTypeMismatch);
}

}  // namespace

int16_t toInteger(const Variant& value) {
  if (const std::string* s = std::get_if<std::string>(&value.value())) return toInteger(*s);
  return toInteger(variantNumber(value));
}

int32_t toLong(const Variant& value) {
  if (const std::string* s = std::get_if<std::string>(&value.value())) return toLong(*s);
  return toLong(variantNumber(value));
}

double toDouble(const Variant& value) {
  return variantNumber(value);
}

bool toBoolean(const Variant& value) {
  if (const bool* b = std::get_if<bool>(&value.value())) return *b;
  if (const std::string* s = std::get_if<std::string>(&value.value())) {
    std::string_view t = *s;
    while (!t.empty() && isBlank(t.front())) t.remove_prefix(1);
    while (!t.empty() && isBlank(t.back())) t.remove_suffix(1);
    if (equalsNoCase(t, "True") || equalsNoCase(t, "#TRUE#")) return true;
    if (equalsNoCase(t, "False") || equalsNoCase(t, "#FALSE#")) return false;
    return toDouble(*s) != 0.0;
  }
  return variantNumber(value) != 0.0;
}

std::string toString(const Variant& value) {
  const auto& v = value.value();
  if (std::holds_alternative<Empty>(v)) return "";
  if (const bool* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  if (const int16_t* i = std::get_if<int16_t>(&v)) return std::to_string(*i);
  if (const int32_t* l = std::get_if<int32_t>(&v)) return std::to_string(*l);
  if (const float* f = std::get_if<float>(&v)) return singleToString(*f);
  if (const double* d = std::get_if<double>(&v)) return doubleToString(*d);
  if (const std::string* s = std::get_if<std::string>(&v)) return *s;
  throw RuntimeError(err::kTypeMismatch);
}

std::string singleToString(float value) {
  return numberText(static_cast<double>(value), 7);
}
std::string doubleToString(double value) {
  return numberText(value, 15);
}

}  // namespace morvane::conv
