#include <gtest/gtest.h>

#include <string>

#include "model/numtext.h"

using namespace forms;

TEST(NumberToText, WritesPlainDecimalsAtFifteenDigits) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {0, "0"},
      {1, "1"},
      {31, "31"},
      {0.3, "0.3"},
      {10, "10"},
      {-2.5, "-2.5"},
      {-0.0, "0"},
      {9.9 + 0.1, "10"},
      {0.1 + 0.2, "0.3"},
      {1e23, "100000000000000000000000"},
      {0.000001, "0.000001"},
      {123456789012345.6, "123456789012346"},
      {1.0 / 3, "0.333333333333333"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(numberToText(c.value), c.text) << c.value;
  }
}

TEST(NumberToText, TenthsNeverDriftOverManyTicks) {
  // The stopwatch reads its own text back each tick, so every step is rounded.
  std::string t = "0";
  for (int tick = 1; tick <= 1000; ++tick) {
    t = numberToText(textToNumber(t) + 0.1);
    if (tick == 100) {
      EXPECT_EQ(t, "10");
    }
    if (tick == 3) {
      EXPECT_EQ(t, "0.3");
    }
  }
  EXPECT_EQ(t, "100");
}

namespace {
const std::string kTiny = "0." + std::string(400, '0') + "1";
const std::string kNegativeTiny = "-" + kTiny;
const std::string kTinyE5 = kTiny + "e5";
const std::string kNegativeTinyE5 = kNegativeTiny + "e5";
// Four hundred and one digits before the point: still too large after "e-5".
const std::string kHugeEMinus5 = "1" + std::string(400, '0') + "e-5";
} // namespace

TEST(TextToNumber, ReadsWhatPlayersType) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"3", 3},
      {"10", 10},
      {"9.9", 9.9},
      {"", 0},
      {"abc", 0},
      {"3x", 3},
      {"1e3", 1000},
      {"1e", 1},
      {" 2", 2},
      {"-1", -1},
      {"+4", 4},
      {"9.9.9", 9.9},
      {".5", 0.5},
      {"５", 5}, // full-width digit from an input method
      {"１２．５", 12.5},
      {"　7", 7}, // ideographic space before it
      {"ー1", 0}, // a long-vowel mark is no minus sign
      {"1e999", 1.7976931348623157e308},
      {"-1e999", -1.7976931348623157e308},
      {"1e-999", 0},
      // Too small for a double without an exponent: about 0, never the largest double.
      {kTiny.c_str(), 0},
      {kNegativeTiny.c_str(), 0},
      {kTinyE5.c_str(), 0},
      {kNegativeTinyE5.c_str(), 0},
      {kHugeEMinus5.c_str(), 1.7976931348623157e308},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(textToNumber(c.text), c.value) << c.text;
  }
}

TEST(TextToNumber, CountsStayExactAcrossAdds) {
  EXPECT_EQ(numberToText(textToNumber("0") + 1), "1");
  EXPECT_EQ(numberToText(textToNumber("9.9") + 0.1), "10");
  EXPECT_EQ(textToNumber(numberToText(textToNumber("9.9") + 0.1)), 10.0);
  const std::string longNumber(400, '9');
  const double v = textToNumber(longNumber);
  EXPECT_GT(v, 1e300);
  EXPECT_FALSE(numberToText(v + 1).empty());
}
