#include "platform/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/runtime_error.h"
#include "tests/platform/error_number.h"

namespace morvane::conv {
namespace {

using morvane::testing::errorNumberOf;

struct NumericCase {
  const char* text;
  bool numeric;
};

TEST(IsNumeric, AcceptsWhatTheNumberReaderAccepts) {
  const NumericCase cases[] = {
      {"53", true},        {"459.95", true}, {"45 Help", false},  {"", false},
      {"   ", false},      {" 12 ", true},   {"\t12\r\n", true},  {"12-", true},
      {"12+", true},       {"-12-", false},  {"+ 0 ", true},      {"+ +0", false},
      {"(12)", true},      {"()", false},    {"(12", false},      {"-(12)", false},
      {"1,234", true},     {"1,,000", true}, {"1,", true},        {",1,000", false},
      {"1.", true},        {".5", true},     {".", false},        {"1..1", false},
      {"1.5,0", false},    {"1e3", true},    {"1E-3", true},      {"1d3", true},
      {"1.5e+20", true},   {"1e", false},    {"1e1.", false},     {"&HFF", true},
      {"&h0abcdef", true}, {"&O777", true},  {"&o128", false},    {"&H", false},
      {"0x10", false},     {"FE", false},    {"$1,234.50", true}, {"$", false},
      {"$$11", false},     {"-$11", true},   {"$-11", true},      {"True", false},
      {"abc", false},      {"1 2", false},   {"0100", true},      {"1e999", false},
      {"1e-999", true},    {"12\xA0", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isNumeric(c.text), c.numeric) << '"' << c.text << '"';
  }
}

TEST(IsNumeric, NulByteIsNotPartOfANumber) {
  EXPECT_FALSE(isNumeric(std::string("12\0", 3)));
}

struct IntegerCase {
  const char* text;
  int32_t value;
  int error;  // 0 when the conversion succeeds
};

TEST(ToInteger, RoundsHalfToEvenAndChecksRange) {
  const IntegerCase cases[] = {
      {"0.5", 0, 0},
      {"1.5", 2, 0},
      {"2.5", 2, 0},
      {"3.5", 4, 0},
      {"-0.5", 0, 0},
      {"-1.5", -2, 0},
      {"-2.5", -2, 0},
      {"2345.5678", 2346, 0},
      {"1.34", 1, 0},
      {"1,000", 1000, 0},
      {"12-", -12, 0},
      {"(7)", -7, 0},
      {"32767.49", 32767, 0},
      {"32767.5", 0, 6},
      {"-32768.5", -32768, 0},
      {"-32768.51", 0, 6},
      {"40000", 0, 6},
      {"&H7FFF", 32767, 0},
      {"&HFFFF", -1, 0},
      {"&H8000", -32768, 0},
      {"&H10000", 0, 6},
      {"", 0, 13},
      {"abc", 0, 13},
      {"True", 0, 13},
      {"1726 56th Ave NE", 0, 13},
      {"1e999", 0, 6},
      {" 42 ", 42, 0},
      {"4.2e1", 42, 0},
  };
  for (const auto& c : cases) {
    int16_t got = 0;
    EXPECT_EQ(errorNumberOf([&] { got = toInteger(std::string_view(c.text)); }), c.error) << c.text;
    if (c.error == 0) {
      EXPECT_EQ(got, c.value) << c.text;
    }
  }
}

TEST(ToLong, RoundsHalfToEvenAndChecksRange) {
  const IntegerCase cases[] = {
      {"25427.45", 25427, 0},
      {"25427.55", 25428, 0},
      {"2147483647", 2147483647, 0},
      {"2147483648", 0, 6},
      {"-2147483648", std::numeric_limits<int32_t>::min(), 0},
      {"-2147483648.5", std::numeric_limits<int32_t>::min(), 0},
      {"-2147483649", 0, 6},
      {"&H8000", 32768, 0},
      {"&HFFFFFFFF", -1, 0},
      {"&H100000000", 0, 6},
      {"1000.5", 1000, 0},
      {"1001.5", 1002, 0},
      {"x", 0, 13},
  };
  for (const auto& c : cases) {
    int32_t got = 0;
    EXPECT_EQ(errorNumberOf([&] { got = toLong(std::string_view(c.text)); }), c.error) << c.text;
    if (c.error == 0) {
      EXPECT_EQ(got, c.value) << c.text;
    }
  }
}

TEST(ToInteger, OfNumbers) {
  EXPECT_EQ(toInteger(2.5), 2);
  EXPECT_EQ(toInteger(-3.5), -4);
  EXPECT_EQ(errorNumberOf([] { toInteger(32767.5); }), 6);
  EXPECT_EQ(errorNumberOf([] { toInteger(std::nan("")); }), 6);
  EXPECT_EQ(errorNumberOf([] { toLong(std::numeric_limits<double>::infinity()); }), 6);
  EXPECT_EQ(errorNumberOf([] { toLong(2147483647.5); }), 6);  // the even neighbour is out of range
  EXPECT_EQ(toLong(2147483646.5), 2147483646);
}

TEST(ToDoubleAndSingle, ReadTextAndCheckRange) {
  EXPECT_DOUBLE_EQ(toDouble("1234.5"), 1234.5);
  EXPECT_DOUBLE_EQ(toDouble("1d3"), 1000.0);
  EXPECT_DOUBLE_EQ(toDouble("(1,234.5)"), -1234.5);
  EXPECT_DOUBLE_EQ(toDouble("0.000005"), 0.000005);
  EXPECT_EQ(toDouble("1e-999"), 0.0);
  EXPECT_EQ(errorNumberOf([] { toDouble("1e400"); }), 6);
  EXPECT_EQ(errorNumberOf([] { toDouble("x1"); }), 13);
  EXPECT_FLOAT_EQ(toSingle("75.3421115"), 75.3421115f);
  EXPECT_EQ(errorNumberOf([] { toSingle("1e39"); }), 6);
}

TEST(Variants, ConvertByBasicRules) {
  EXPECT_EQ(toInteger(Variant()), 0);
  EXPECT_EQ(toInteger(Variant(true)), -1);
  EXPECT_EQ(toInteger(Variant("&HFFFF")), -1);
  EXPECT_EQ(toLong(Variant("&HFFFF")), 65535);
  EXPECT_EQ(toInteger(Variant(int32_t{100})), 100);
  EXPECT_EQ(errorNumberOf([] { toInteger(Variant(int32_t{70000})); }), 6);
  EXPECT_EQ(toLong(Variant(2.5f)), 2);
  EXPECT_EQ(errorNumberOf([] { toLong(Variant(ObjectRef())); }), 13);
  EXPECT_TRUE(toBoolean(Variant(" true ")));
  EXPECT_FALSE(toBoolean(Variant("FALSE")));
  EXPECT_TRUE(toBoolean(Variant("-1")));
  EXPECT_FALSE(toBoolean(Variant("0")));
  EXPECT_EQ(errorNumberOf([] { toBoolean(Variant("yes")); }), 13);
  EXPECT_EQ(toString(Variant()), "");
  EXPECT_EQ(toString(Variant(true)), "True");
  EXPECT_EQ(toString(Variant(int16_t{-5})), "-5");
  EXPECT_EQ(toString(Variant(1234.5f)), "1234.5");
  EXPECT_EQ(toString(Variant(0.1)), "0.1");
  EXPECT_EQ(toString(Variant("as is ")), "as is ");
}

struct TextCase {
  double value;
  const char* text;
};

TEST(SingleToString, SevenSignificantDigits) {
  const TextCase cases[] = {
      {654322.23456, "654322.3"},
      {3.14159265, "3.141593"},
      {12.3456789, "12.34568"},
      {123.45678901, "123.4568"},
      {1234.56789, "1234.568"},
      {0.5, "0.5"},
      {0.000005, "0.000005"},
      {1.0e8, "1E+08"},
      {1.0e12, "1E+12"},
      {1.2e15, "1.2E+15"},
      {1.234e16, "1.234E+16"},
      {2500, "2500"},
      {1234.5, "1234.5"},
      {0.1, "0.1"},
      {1e20, "1E+20"},
      {-1234.5, "-1234.5"},
      {10000000, "1E+07"},
      {9999999, "9999999"},
      {-0.0, "0"},
      {0, "0"},
      {9999999.5, "1E+07"},
      {2.369428e-38, "2.369428E-38"},
      {1.234567e-5, "1.234567E-05"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(singleToString(static_cast<float>(c.value)), c.text) << c.value;
  }
}

TEST(DoubleToString, FifteenSignificantDigits) {
  const TextCase cases[] = {
      {1e8, "100000000"},
      {999999999999999.0, "999999999999999"},
      {1e15, "1E+15"},
      {5.6789e-11, "0.000000000056789"},
      {5.6789e-12, "5.6789E-12"},
      {3.14159265358979323846, "3.14159265358979"},
      {0.1, "0.1"},
      {-2.5, "-2.5"},
      {1e300, "1E+300"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(doubleToString(c.value), c.text) << c.value;
  }
}

TEST(SingleToString, WidthRoundTripsThroughText) {
  for (float width : {1234.5f, 2500.0f, 0.1f, 1440.25f, 99999.99f}) {
    EXPECT_EQ(toSingle(singleToString(width)), width);
  }
}

}  // namespace
}  // namespace morvane::conv
